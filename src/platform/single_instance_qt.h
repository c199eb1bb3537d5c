#pragma once
#include <QLockFile>
#include <memory>
#include <string>

namespace ziv {

// One running ZIV per installation root: a lock file in the user's runtime
// folder held for the whole run; a stale lock of a dead process is taken over.
class SingleInstance {
public:
    // False when another live process holds the lock for this root.
    bool Acquire(const std::string& savePath);
    void Release();

private:
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace ziv
