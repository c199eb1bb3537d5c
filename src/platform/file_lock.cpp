#include "platform/file_lock.h"

#include <mutex>

namespace ziv {
namespace {

std::mutex lockerMutex;

FileLocker& Locker() {
    static FileLocker locker;
    return locker;
}

}  // namespace

void SetFileLocker(FileLocker locker) {
    std::lock_guard<std::mutex> guard(lockerMutex);
    Locker() = std::move(locker);
}

std::string LockFilePath(const std::string& path) { return path + ".lock"; }

std::unique_ptr<FileLockHold> LockSharedFile(const std::string& path) {
    FileLocker locker;
    {
        std::lock_guard<std::mutex> guard(lockerMutex);
        locker = Locker();
    }
    if (!locker) return std::make_unique<FileLockHold>();
    return locker(LockFilePath(path));
}

}  // namespace ziv
