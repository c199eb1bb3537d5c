#pragma once
#include <QLockFile>
#include <memory>
#include <string>

#include "platform/root_in_use.h"

namespace ziv {

// One running ZIV per installation root: a lock file in the user's runtime
// folder held for the whole run (a stale lock of a dead process is taken
// over), and the root's own lock, which other computers sharing the root
// see too.
class SingleInstance {
public:
    // False when another live process holds the lock for this root; Refusal()
    // then says which.
    bool Acquire(const std::string& savePath);
    void Release();
    const std::string& Refusal() const { return refusal_; }

private:
    std::unique_ptr<QLockFile> lock_;
    RootInUse root_;
    std::string refusal_;
};

}  // namespace ziv
