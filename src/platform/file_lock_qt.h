#pragma once
// The lock between stations: QLockFile (created exclusively, so it holds on
// NFS and SMB too); the lock of a station that died is taken over.
namespace ziv {

// Installs the QLockFile locker for every shared file of this process; called
// once where a program starts, before any window saves.
void UseStationFileLocks();

// How long a save waits for another station's lock, and after how long a lock
// whose holder cannot be asked (another computer) counts as left by a crash.
constexpr int kLockWaitMs = 4000;
constexpr int kStaleLockMs = 30000;

}  // namespace ziv
