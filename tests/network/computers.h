#pragma once
// Several "computers" on one file server, for tests run as root: each
// computer is a process tree in namespaces of its own (mount, host name,
// process ids), with its own host name and machine id, its own sshfs mount of
// the test's sshd at the same path as every other computer's, and, when
// asked, a clock that runs ahead or a slow link to the server. Programs run
// on a computer by entering its namespaces; the share goes away by ending
// that computer's sshfs, and comes back by mounting it again.
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "share.h"

struct ComputerOptions {
    std::string hostName = "pc";
    // 32 hex digits written over /etc/machine-id inside the computer; empty
    // gives the computer one of its own. Cloned computers share both.
    std::string machineId;
    // The running kernel's boot id as the computer's programs read it
    // (/proc/sys/kernel/random/boot_id); empty gives it one of its own, as
    // every real computer has.
    std::string bootId;
    // Where the computer's process ids start, so that two computers do not
    // hand out the same ids (as two real ones rarely do at the same moment).
    int firstPid = 1000;
    // How far its programs' wall clock runs ahead of the server's (libfaketime);
    // the file times they see stay the server's.
    int clockAheadSeconds = 0;
    // A slow link: the named calls on the share sleep this long in its programs.
    int slowShareMs = 0;
    std::string slowCalls = "write,rename";  // any of write, rename, create
};

class Computer {
public:
    // Empty when such a computer cannot be made here, else what is missing
    // (namespaces, FUSE, sshfs, libfaketime, the slow-share library).
    static std::string Unavailable(const ComputerOptions& options);
    // The libfaketime library, or empty when it is not installed.
    static std::string FakeTimeLibrary();

    // Starts the computer and mounts the share at mountPoint (a folder that
    // must exist and stay unmounted outside); its own messages go to log()
    // in folder.
    Computer(const SshfsShare& share, const std::string& mountPoint, const ComputerOptions& options,
             const std::string& folder);
    // Ends every program still running on it, its sshfs and its namespaces.
    ~Computer();
    Computer(const Computer&) = delete;
    Computer& operator=(const Computer&) = delete;

    bool up() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& mount() const { return mount_; }
    const ComputerOptions& options() const { return options_; }
    const std::string& log() const { return log_; }

    // Starts a program on this computer with extra environment entries
    // "NAME=value" (its clock and link as the options say); output to log.
    // The pid is that of a process group: Kill and WaitChild take it.
    pid_t Start(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& log);
    // This test program again, running only the tests the filter names.
    pid_t StartSelf(const std::string& filter, const std::vector<std::string>& env, const std::string& log);

    // The share goes away: its sshfs is ended, and every call on the share
    // fails until RestoreShare (the mount is dead, not gone: nothing lands
    // on the local disk beneath it).
    void DropShare();
    // The dead mount is taken away and the share mounted again; false when
    // it did not come back.
    bool RestoreShare();
    // The share hangs (its sshfs stopped, as a hard mount hangs when the
    // server goes away): every call on it waits until it goes on again.
    void HangShare(bool hung);

private:
    bool Mount();
    std::string Enter() const;

    SshfsShare const& share_;
    ComputerOptions options_;
    std::string mount_, folder_, log_, error_;
    pid_t unshare_ = -1;  // its child is the computer's first process
    pid_t init_ = -1;
    pid_t sshfs_ = -1;
    std::vector<pid_t> started_;
};

// Ends a program started on a computer at once (SIGKILL), with the process
// that entered the computer for it.
void Kill(pid_t program);

// The lines of a log that start with prefix, without it.
std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix);
// The end of a log, for a failure message.
std::string LogTail(const std::string& log, size_t bytes = 3000);
