#include "platform/root_in_use.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "common/durable_file.h"
#include "common/text_file.h"
#include "common/this_computer.h"
#include "platform/paths.h"
#include "platform/share_lock.h"

namespace ziv {

namespace {

// The lock's text: pid, "ziv", host, running system; one a line.
std::string Details() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return std::to_string(::getpid()) + "\nziv\n" + host + "\n" + ziv::ThisComputer() + "\n";
}

std::optional<RootUser> ParseDetails(const std::string& text) {
    auto lines = SplitLines(text);
    if (lines.size() < 4 || lines[1] != "ziv" || lines[3].empty()) return std::nullopt;
    char* end = nullptr;
    long pid = std::strtol(lines[0].c_str(), &end, 10);
    if (lines[0].empty() || *end || pid <= 0) return std::nullopt;
    return RootUser{lines[3], lines[2], pid};
}

struct Found {
    std::string text;
    std::int64_t modifiedNs = -1;  // -1: gone
    bool operator==(const Found&) const = default;
};

Found Look(const std::string& path) {
    Found found;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return found;
    struct stat st {};
    if (fstat(fd, &st) == 0) {
        found.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        char buf[1024];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) found.text.assign(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return found;
}

// Left by a program that ended without letting go: a process of this
// running system that is gone, or a lock not rewritten for the stale time
// by the server's clock (a PC switched off, a crash).
bool LeftBehind(const std::string& path, const Found& found) {
    auto user = ParseDetails(found.text);
    if (user && user->ThisComputer()) return ProcessGone(user->pid);
    auto now = ShareClockNs(path);
    return now && *now - found.modifiedNs >= static_cast<std::int64_t>(kStaleLockMs) * 1000000;
}

bool WriteAll(int fd, const std::string& bytes) { return WriteAllAt(fd, bytes, 0) && ::fdatasync(fd) == 0; }

}  // namespace

bool RootUser::ThisComputer() const { return computer == ziv::ThisComputer(); }

std::string RootInUsePath(const std::string& root) { return JoinPath(JoinPath(root, "Config"), "InUse.lock"); }

// The lock is rewritten on a thread of its own, so that a hung share holds
// up neither the window nor the locks of other files; letting go waits for
// that thread a bounded time only.
struct RootInUse::Held {
    std::string path, details;
    int fd = -1;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false, done = false;

    void Run() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, std::chrono::milliseconds(kLockRefreshMs), [&] { return stop; })) {
            lock.unlock();
            WriteAll(fd, details);
            lock.lock();
        }
        lock.unlock();
        if (Look(path).text == details) ::unlink(path.c_str());
        ::close(fd);
        lock.lock();
        done = true;
        wake.notify_all();
    }
};

RootInUse::RootInUse() = default;
RootInUse::~RootInUse() { Release(); }

std::optional<RootUser> RootInUse::Take(const std::string& root) {
    Release();
    std::string path = RootInUsePath(root);
    if (!MakeFolders(JoinPath(root, "Config"))) return std::nullopt;
    std::string details = Details();
    for (int tries = 0; tries < 3; ++tries) {
        int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            WriteAll(fd, details);
            held_ = std::make_shared<Held>();
            held_->path = path;
            held_->details = details;
            held_->fd = fd;
            std::thread([held = held_] { held->Run(); }).detach();
            return std::nullopt;
        }
        if (errno != EEXIST) return std::nullopt;
        Found found = Look(path);
        if (found.modifiedNs < 0) continue;
        if (!LeftBehind(path, found)) {
            if (auto user = ParseDetails(found.text)) return user;
            return RootUser{"", "不明", 0};  // being written this moment: someone is starting
        }
        // Removed only when still exactly as judged: another starter may
        // have taken it over since.
        if (Look(path) == found) ::unlink(path.c_str());
    }
    return std::nullopt;
}

void RootInUse::Release() {
    if (!held_) return;
    std::unique_lock<std::mutex> lock(held_->mutex);
    held_->stop = true;
    held_->wake.notify_all();
    held_->wake.wait_for(lock, std::chrono::seconds(2), [&] { return held_->done; });
    lock.unlock();
    held_.reset();
}

std::string RootInUseText(const std::string& root, const RootUser& user) {
    return "インストールフォルダ \"" + root + "\" は、別のコンピュータ（" + user.host +
           "）で起動している ZIV が使用中です。1つのインストールフォルダを2台で同時に使うことはできません。"
           "そのコンピュータの ZIV を終了してから起動してください。";
}

}  // namespace ziv
