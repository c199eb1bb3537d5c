#pragma once
// Stations that share a product folder serialise the read-merge-write of a
// shared file through a lock file beside it. The rules reach the lock through
// this seam; the lock itself lives with the platform (file_lock_qt).
#include <functional>
#include <memory>
#include <string>

namespace ziv {

// How long a save waits for a lock another station holds: a few seconds, or
// not at all (a retry of what waits, made in passing, must not hold up the
// operator; its timer tries again later).
enum class LockWait { Patient, Once };

// Held while it lives; released when destroyed.
class FileLockHold {
public:
    virtual ~FileLockHold() = default;
    // False once another station has taken the lock over (it judged this
    // holder dead): the file must then not be replaced from what was read.
    virtual bool StillHeld() const { return true; }
};

// Takes the lock guarding the file at path, waiting a few seconds at most;
// nothing when another holder kept it all that time.
using FileLocker = std::function<std::unique_ptr<FileLockHold>(const std::string& path, LockWait wait)>;
void SetFileLocker(FileLocker locker);

// "<file>.lock", beside the file it guards; for a name too long to take the
// ending, its start and a hash of the whole name stand for it, so that the
// lock's name always fits the file system and never is another file's lock.
// suffix ".lock.rmlock" gives the lock under which a left lock is removed.
std::string LockFilePath(const std::string& path, const std::string& suffix = ".lock");

// The lock guarding path; nothing when it could not be had. Without a locker
// installed (a program that never shares its files) the hold locks nothing.
std::unique_ptr<FileLockHold> LockSharedFile(const std::string& path, LockWait wait = LockWait::Patient);

}  // namespace ziv
