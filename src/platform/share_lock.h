#pragma once
// The lock between stations that share a folder, possibly on several
// computers: a lock file made exclusively beside the file it guards, holding
// its holder's details, kept fresh while held and judged by the file server's
// clock. A lock is taken over only when its holder is known to be gone (a
// process of this computer) or when it has not been refreshed for
// kStaleLockMs by the server's clock.
//
// Written here rather than taken from a mail-spool lock library: those make
// the lock with a hard link only, which SMB shares do not have; here a link
// is one of three ways to make it (see MakeWay).
#include <cstdint>
#include <optional>
#include <string>

#include "platform/file_lock.h"

namespace ziv {

// The station's locks, for every file it shares with other stations. The
// station's identity is read from (or made in) the installation root at the
// first lock.
FileLocks& StationFileLocks();
// The disk as it is with the station's locks: what the program hands its windows.
Files StationFiles();

// How long a save waits for another station's lock; after how long a lock
// that was not refreshed counts as left by a station that died; how often a
// holder refreshes its lock (well within the stale time, also on a share
// whose client caches a file's times for a while).
constexpr int kLockWaitMs = 4000;
constexpr int kStaleLockMs = 30000;
constexpr int kLockRefreshMs = 3000;

// What a lock file says of its holder; nothing when it cannot be read (not
// yet written, or written by another program).
struct LockHolder {
    long pid = 0;
    std::string computer;  // ThisComputer() of the holder
    std::string station;   // StationIdentity() of the holder
};
std::optional<LockHolder> ParseLockDetails(const std::string& text);
std::string LockDetails(const LockHolder& holder, std::uint64_t token);

}  // namespace ziv
