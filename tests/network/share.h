#pragma once
// A product tree on a real network file system: an sshd of the test's own on
// 127.0.0.1 and an sshfs (FUSE) mount of a temporary folder, so that files
// travel over SFTP with its caching and rename semantics.
#include <sys/types.h>

#include <string>
#include <vector>

class SshfsShare {
public:
    // Empty when FUSE or the programs are missing, with the reason.
    static std::string Unavailable();

    explicit SshfsShare(const std::string& base);
    ~SshfsShare();
    SshfsShare(const SshfsShare&) = delete;
    SshfsShare& operator=(const SshfsShare&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& error() const { return error_; }
    const std::string& served() const { return served_; }  // the folder itself, on the server side
    const std::string& mount() const { return mount_; }    // the same folder through sshfs
    // What another mount of the same folder needs: sshfs's arguments before
    // the mount point ("-p PORT -o … USER@127.0.0.1:SERVED").
    std::vector<std::string> SshfsArguments() const;

private:
    std::string base_, served_, mount_, error_, ssh_, user_;
    int port_ = -1;
    pid_t sshd_ = -1;
    bool mounted_ = false;
};

// The full path of an installed program; empty when it is missing.
std::string FindProgram(const std::string& name);

// What a station started by a test was told in its environment: the text
// (empty when unset), or the number (otherwise when unset or empty).
std::string Env(const char* name);
int EnvInt(const char* name, int otherwise);

// Runs a program, its output into log; its exit status (-1 when not started).
int RunProgram(const std::vector<std::string>& argv, const std::string& log);

// Starts this test program again running only the named test, with extra
// environment entries "NAME=value"; output goes to log.
pid_t StartSelf(const std::string& filter, const std::vector<std::string>& env, const std::string& log);
// Exit status of a child started above (-1 when killed).
int WaitChild(pid_t pid);
