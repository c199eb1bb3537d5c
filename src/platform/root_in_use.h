#pragma once
// One running system per installation root. The guard in the user's runtime
// folder sees only this computer's programs; a root on a file server (a home
// folder on NFS, ZIV_ROOT on the server) may be opened by a second PC at the
// same time, which would then share its queue, its identity and its
// settings. So the root itself holds a lock, Config/InUse.lock, naming the
// running system, the host and the process, rewritten while it is held so
// that its age on the server's clock tells a live holder from one that died.
#include <memory>
#include <optional>
#include <string>

namespace ziv {

// <root>/Config/InUse.lock
std::string RootInUsePath(const std::string& root);

struct RootUser {
    std::string computer;  // ThisComputer() of the holder
    std::string host;
    long pid = 0;
    bool ThisComputer() const;
};

class RootInUse {
public:
    RootInUse();
    ~RootInUse();
    RootInUse(const RootInUse&) = delete;
    RootInUse& operator=(const RootInUse&) = delete;

    // Takes the root for this process: nothing when taken, else who holds it
    // (a live process of this computer, or another computer whose lock is
    // fresh). A root whose Config cannot be written is taken: the program
    // says so later, where it writes.
    std::optional<RootUser> Take(const std::string& root);
    // Lets go of the root (also done when destroyed).
    void Release();

private:
    struct Held;
    std::shared_ptr<Held> held_;
};

// The message for a root that another computer's program uses.
std::string RootInUseText(const std::string& root, const RootUser& user);

}  // namespace ziv
