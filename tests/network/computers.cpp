#include "computers.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Like the share's own start of a program, but in a process group of its own,
// so that the program dies with the process that entered the computer for it.
pid_t SpawnGroup(const std::vector<std::string>& argv, const std::string& log) {
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        execve(args[0], args.data(), environ);
        _exit(127);
    }
    if (pid > 0) ::setpgid(pid, pid);  // also here, so that a kill right away finds the group
    if (out >= 0) ::close(out);
    return pid;
}

pid_t ParentOf(pid_t pid) {
    std::string stat = ReadAll("/proc/" + std::to_string(pid) + "/stat");
    // "pid (name) state ppid …": the name may hold spaces and parentheses.
    auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(stat.substr(close + 1));
    std::string state;
    pid_t parent = -1;
    rest >> state >> parent;
    return parent;
}

pid_t FirstChildOf(pid_t parent) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return -1;
    pid_t found = -1;
    while (const dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(e->d_name, &end, 10);
        if (pid > 0 && *end == '\0' && ParentOf(static_cast<pid_t>(pid)) == parent) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    ::closedir(proc);
    return found;
}

bool Exited(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

// The sanitizer's runtime must come first among the preloaded libraries of a
// sanitized program, or it refuses to start; it is this program's own.
std::string SanitizerRuntime() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        auto slash = line.find('/');
        if (slash != std::string::npos && line.find("/libasan.so") != std::string::npos) return line.substr(slash);
    }
    return {};
}

std::string RandomHex(int digits) {
    std::random_device random;
    std::string hex;
    for (int i = 0; i < digits; ++i) hex += "0123456789abcdef"[random() % 16];
    return hex;
}

std::string RandomBootId() {
    std::string hex = RandomHex(32);
    return hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" + hex.substr(16, 4) + "-" +
           hex.substr(20);
}

bool NamespacesWork() {
    static const bool work = [] {
        std::string unshare = FindProgram("unshare");
        return !unshare.empty() &&
               RunProgram({unshare, "--mount", "--uts", "--pid", "--fork", "--mount-proc", "--propagation", "private",
                           "true"},
                          "/dev/null") == 0;
    }();
    return work;
}

constexpr auto kStep = std::chrono::milliseconds(20);

}  // namespace

std::string Computer::FakeTimeLibrary() {
    std::vector<std::string> candidates = {"/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1",
                                           "/usr/lib/aarch64-linux-gnu/faketime/libfaketime.so.1",
                                           "/usr/lib64/faketime/libfaketime.so.1", "/usr/lib/faketime/libfaketime.so.1",
                                           "/usr/local/lib/faketime/libfaketime.so.1"};
    for (auto& c : candidates)
        if (::access(c.c_str(), R_OK) == 0) return c;
    return {};
}

std::string Computer::Unavailable(const ComputerOptions& options) {
    if (std::string why = SshfsShare::Unavailable(); !why.empty()) return why;
    for (const char* p : {"unshare", "nsenter", "mount", "hostname"})
        if (FindProgram(p).empty()) return std::string(p) + " (util-linux) is not installed";
    if (!NamespacesWork())
        return "no namespaces for a second computer: 'unshare --mount --uts --pid' failed (it needs root)";
    if (options.clockAheadSeconds != 0 && FakeTimeLibrary().empty())
        return "libfaketime is not installed (Debian package faketime; scripts/setup installs it)";
#ifdef ZIV_SLOW_SHARE_LIBRARY
    if (options.slowShareMs > 0 && ::access(ZIV_SLOW_SHARE_LIBRARY, R_OK) != 0)
        return std::string("the slow-share library was not built: ") + ZIV_SLOW_SHARE_LIBRARY;
#else
    if (options.slowShareMs > 0) return "the slow-share library is not part of this build";
#endif
    return {};
}

Computer::Computer(const SshfsShare& share, const std::string& mountPoint, const ComputerOptions& options,
                   const std::string& folder)
    : share_(share), options_(options), mount_(mountPoint), folder_(folder),
      log_(folder + "/" + options.hostName + "-" + std::to_string(options.firstPid) + ".log") {
    fs::create_directories(folder_);
    fs::create_directories(mount_);
    if (options_.machineId.empty()) options_.machineId = RandomHex(32);
    if (options_.bootId.empty()) options_.bootId = RandomBootId();
    std::string stem = log_.substr(0, log_.size() - 4), machineId = stem + ".machine-id", bootId = stem + ".boot-id";
    std::ofstream(machineId) << options_.machineId << "\n";
    std::ofstream(bootId) << options_.bootId << "\n";
    // The first process of the computer names it, makes its process ids
    // start where asked, puts the machine id and boot id in place and lays a read-only
    // empty folder under the share, so that a program writing while the
    // share is gone gets an error instead of writing to the local disk.
    const char* script =
        "hostname \"$1\" && echo \"$2\" > /proc/sys/kernel/ns_last_pid && "
        "mount --bind \"$3\" /etc/machine-id && mount --bind \"$4\" /proc/sys/kernel/random/boot_id && "
        "mount -t tmpfs -o ro,size=64k ziv-share-gone \"$5\" && echo computer ready && exec sleep 100000";
    unshare_ = SpawnGroup({FindProgram("unshare"), "--mount", "--uts", "--pid", "--fork", "--kill-child",
                           "--mount-proc", "--propagation", "private", "sh", "-c", script, "computer",
                           options_.hostName, std::to_string(options_.firstPid - 1), machineId, bootId, mount_},
                          log_);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (ReadAll(log_).find("computer ready") == std::string::npos) {
        if (Exited(unshare_)) {
            unshare_ = -1;
            error_ = "the computer " + options_.hostName + " did not start: " + ReadAll(log_);
            return;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = "the computer " + options_.hostName + " did not start in time: " + ReadAll(log_);
            return;
        }
        std::this_thread::sleep_for(kStep);
    }
    for (int i = 0; i < 100 && (init_ = FirstChildOf(unshare_)) <= 0; ++i) std::this_thread::sleep_for(kStep);
    if (init_ <= 0) {
        error_ = "the first process of " + options_.hostName + " was not found";
        return;
    }
    if (!Mount()) error_ = "the share was not mounted on " + options_.hostName + ": " + LogTail(log_);
}

Computer::~Computer() {
    // Programs not yet waited for are ended; those waited for are no
    // children any more and are left alone.
    for (pid_t p : started_) {
        int status = 0;
        if (::waitpid(p, &status, WNOHANG) == 0) Kill(p);
    }
    if (sshfs_ > 0) Kill(sshfs_);
    if (unshare_ > 0) {
        // Its child, the computer's first process, ends with it, and every
        // process of the computer with that one.
        ::kill(unshare_, SIGKILL);
        WaitChild(unshare_);
    }
}

std::string Computer::Enter() const { return std::to_string(init_); }

bool Computer::Mount() {
    std::vector<std::string> argv = {FindProgram("nsenter"), "-t", Enter(), "-m", "-u", "-p", "--",
                                     FindProgram("sshfs"), "-f"};
    for (auto& a : share_.SshfsArguments()) argv.push_back(a);
    // Without sshfs's own cache of names and attributes each computer sees
    // the other's changes as soon as they are made, as SMB with leases and
    // NFS from open to close do.
    argv.insert(argv.end(), {"-o", "cache=no", mount_});
    sshfs_ = SpawnGroup(argv, log_);
    const std::string mounted = " " + mount_ + " fuse.sshfs ";
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll("/proc/" + Enter() + "/mounts").find(mounted) != std::string::npos) return true;
        if (Exited(sshfs_)) {
            sshfs_ = -1;
            return false;
        }
        std::this_thread::sleep_for(kStep);
    }
    return false;
}

void Computer::DropShare() {
    if (sshfs_ <= 0) return;
    Kill(sshfs_);
    sshfs_ = -1;
}

void Computer::HangShare(bool hung) {
    if (sshfs_ > 0) ::kill(-sshfs_, hung ? SIGSTOP : SIGCONT);
}

bool Computer::RestoreShare() {
    DropShare();
    RunProgram({FindProgram("nsenter"), "-t", Enter(), "-m", "--", FindProgram("fusermount"), "-u", "-z", mount_},
               log_);
    return Mount();
}

pid_t Computer::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                      const std::string& log) {
    // Only the program itself gets the preloaded libraries, not the tools
    // that bring it into the computer.
    std::vector<std::string> preload;
    if (options_.clockAheadSeconds != 0) preload.push_back(FakeTimeLibrary());
#ifdef ZIV_SLOW_SHARE_LIBRARY
    if (options_.slowShareMs > 0) preload.push_back(ZIV_SLOW_SHARE_LIBRARY);
#endif
    std::vector<std::string> all = {FindProgram("nsenter"), "-t", Enter(), "-m", "-u", "-p", "--",
                                    FindProgram("env")};
    if (!preload.empty()) {
        if (std::string runtime = SanitizerRuntime(); !runtime.empty()) preload.insert(preload.begin(), runtime);
        std::string list;
        for (auto& p : preload) list += (list.empty() ? "" : ":") + p;
        all.push_back("LD_PRELOAD=" + list);
    }
    if (options_.clockAheadSeconds != 0) {
        // File times stay the server's; only the wall clock moves, and
        // timers on the monotonic clock keep their pace.
        all.push_back("FAKETIME=" + std::string(options_.clockAheadSeconds > 0 ? "+" : "") +
                      std::to_string(options_.clockAheadSeconds) + "s");
        all.push_back("NO_FAKE_STAT=1");
        all.push_back("DONT_FAKE_MONOTONIC=1");
    }
    if (options_.slowShareMs > 0) {
        all.push_back("ZIV_SLOW_SHARE_PREFIX=" + mount_);
        all.push_back("ZIV_SLOW_SHARE_MS=" + std::to_string(options_.slowShareMs));
        all.push_back("ZIV_SLOW_SHARE_CALLS=" + options_.slowCalls);
    }
    all.insert(all.end(), env.begin(), env.end());
    all.insert(all.end(), argv.begin(), argv.end());
    pid_t pid = SpawnGroup(all, log);
    if (pid > 0) started_.push_back(pid);
    return pid;
}

pid_t Computer::StartSelf(const std::string& filter, const std::vector<std::string>& env, const std::string& log) {
    return Start({fs::read_symlink("/proc/self/exe").string(), "--gtest_filter=" + filter}, env, log);
}

void Kill(pid_t program) {
    if (program <= 0) return;
    ::kill(-program, SIGKILL);
    ::kill(program, SIGKILL);
    int status = 0;
    ::waitpid(program, &status, 0);
}

std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix) {
    std::ifstream in(log);
    std::vector<std::string> found;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) found.push_back(line.substr(prefix.size()));
    return found;
}

std::string LogTail(const std::string& log, size_t bytes) {
    std::string text = ReadAll(log);
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}
