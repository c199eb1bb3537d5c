#pragma once
// Stations that share a product folder serialise the read-merge-write of a
// shared file through a lock file beside it. The rules reach the lock through
// this seam, handed to them with the disk; the station's lock itself is
// share_lock.h's.
#include <memory>
#include <string>

#include "common/disk.h"

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

class FileLocks {
public:
    virtual ~FileLocks() = default;
    // Takes the lock guarding the file at path, waiting as `wait` says;
    // nothing when another holder kept it all that time.
    virtual std::unique_ptr<FileLockHold> Lock(const std::string& path, LockWait wait) = 0;
};

// For files that no station shares while they are written (a demo's files,
// made before any station runs): every hold locks nothing.
FileLocks& NoFileLocks();

// What saves a file that stations share goes through: the disk, and the
// locks between the stations.
struct Files {
    Disk& disk;
    FileLocks& locks;
};

// "<file>.lock", beside the file it guards; for a name too long to take the
// ending, its start and a hash of the whole name stand for it, so that the
// lock's name always fits the file system and never is another file's lock.
// suffix ".lock.rmlock" gives the lock under which a left lock is removed.
std::string LockFilePath(const std::string& path, const std::string& suffix = ".lock");

}  // namespace ziv
