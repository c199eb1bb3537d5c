#include "share.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool Executable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string FindProgram(const std::string& name) {
    for (const char* dir : {"/usr/sbin", "/usr/bin", "/sbin", "/bin", "/usr/local/bin"}) {
        std::string path = std::string(dir) + "/" + name;
        if (Executable(path)) return path;
    }
    return {};
}

namespace {

pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv, const std::string& log) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.push_back(*e);
    for (auto& e : extraEnv) {
        std::string name = e.substr(0, e.find('=') + 1);
        std::erase_if(env, [&](const std::string& x) { return x.rfind(name, 0) == 0; });
        env.push_back(e);
    }
    std::vector<char*> args, envp;
    for (auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) dup2(null, STDIN_FILENO);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    if (out >= 0) ::close(out);
    return pid;
}

int FreePort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool Listening(int port) {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

}  // namespace

int WaitChild(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Env(const char* name) {
    const char* text = std::getenv(name);
    return text ? text : "";
}

int EnvInt(const char* name, int otherwise) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : otherwise;
}

int RunProgram(const std::vector<std::string>& argv, const std::string& log) {
    return WaitChild(Spawn(argv, {}, log));
}

pid_t StartSelf(const std::string& filter, const std::vector<std::string>& env, const std::string& log) {
    std::string exe = fs::read_symlink("/proc/self/exe").string();
    return Spawn({exe, "--gtest_filter=" + filter}, env, log);
}

std::string SshfsShare::Unavailable() {
    if (::access("/dev/fuse", R_OK | W_OK) != 0) return "/dev/fuse is not available";
    for (const char* p : {"fusermount", "sshfs", "sshd", "ssh-keygen"})
        if (FindProgram(p).empty()) return std::string(p) + " is not installed (scripts/setup installs it)";
    return {};
}

SshfsShare::SshfsShare(const std::string& base)
    : base_(base), served_(base + "/served"), mount_(base + "/mnt") {
    ssh_ = base + "/ssh";
    const std::string& ssh = ssh_;
    std::string log = base + "/share.log";
    fs::create_directories(served_);
    fs::create_directories(mount_);
    fs::create_directories(ssh);
    fs::create_directories("/run/sshd");
    for (const char* key : {"host", "user"})
        if (RunProgram({FindProgram("ssh-keygen"), "-q", "-t", "ed25519", "-N", "", "-f", ssh + "/" + key}, log) != 0) {
            error_ = "ssh-keygen failed";
            return;
        }
    fs::copy_file(ssh + "/user.pub", ssh + "/authorized_keys");
    int port = port_ = FreePort();
    {
        std::ofstream config(ssh + "/sshd_config");
        config << "Port " << port << "\nListenAddress 127.0.0.1\nHostKey " << ssh << "/host\n"
               << "AuthorizedKeysFile " << ssh << "/authorized_keys\nPidFile " << ssh << "/sshd.pid\n"
               << "UsePAM no\nStrictModes no\nPermitRootLogin prohibit-password\nPasswordAuthentication no\n"
               << "Subsystem sftp internal-sftp\n";
    }
    sshd_ = Spawn({FindProgram("sshd"), "-D", "-e", "-f", ssh + "/sshd_config"}, {}, log);
    for (int i = 0; i < 200 && !Listening(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    user_ = getenv("USER") && *getenv("USER") ? getenv("USER") : "root";
    std::vector<std::string> argv = {FindProgram("sshfs")};
    for (auto& a : SshfsArguments()) argv.push_back(a);
    argv.push_back(mount_);
    int rc = RunProgram(argv, log);
    mounted_ = rc == 0;
    if (!mounted_) {
        std::ifstream in(log);
        error_ = "sshfs failed: " + std::string(std::istreambuf_iterator<char>(in), {});
    }
}

std::vector<std::string> SshfsShare::SshfsArguments() const {
    return {"-p", std::to_string(port_), "-o",
            "IdentityFile=" + ssh_ + "/user,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes",
            user_ + "@127.0.0.1:" + served_};
}

namespace {
bool StillMounted(const std::string& mount) {
    std::ifstream mounts("/proc/mounts");
    std::string line;
    while (std::getline(mounts, line))
        if (line.find(" " + mount + " ") != std::string::npos) return true;
    return false;
}
}  // namespace

SshfsShare::~SshfsShare() {
    // A mount still busy for a moment (the kernel flushing to sshfs) is tried
    // again, and detached at last, so that no mount outlives the test.
    for (int i = 0; mounted_ && i < 20 && StillMounted(mount_); ++i) {
        RunProgram({FindProgram("fusermount"), "-u", mount_}, base_ + "/share.log");
        if (StillMounted(mount_)) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (mounted_ && StillMounted(mount_)) RunProgram({FindProgram("fusermount"), "-u", "-z", mount_}, base_ + "/share.log");
    if (sshd_ > 0) {
        ::kill(sshd_, SIGTERM);
        WaitChild(sshd_);
    }
}
