#pragma once
// Stations that share a product folder serialise the read-merge-write of a
// shared file through a lock file beside it. The rules reach the lock through
// this seam; the lock itself lives with the platform (file_lock_qt).
#include <functional>
#include <memory>
#include <string>

namespace ziv {

// Held while it lives; released when destroyed.
class FileLockHold {
public:
    virtual ~FileLockHold() = default;
};

// Takes the lock file at lockPath, waiting a few seconds at most; nothing when
// another holder kept it all that time.
using FileLocker = std::function<std::unique_ptr<FileLockHold>(const std::string& lockPath)>;
void SetFileLocker(FileLocker locker);

// "<file>.lock", beside the file it guards.
std::string LockFilePath(const std::string& path);

// The lock guarding path; nothing when it could not be had. Without a locker
// installed (a program that never shares its files) the hold locks nothing.
std::unique_ptr<FileLockHold> LockSharedFile(const std::string& path);

}  // namespace ziv
