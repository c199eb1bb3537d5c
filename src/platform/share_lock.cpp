#include "platform/share_lock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <map>
#include <mutex>
#include <random>
#include <thread>
#include <utility>

#include "common/durable_file.h"
#include "common/text_file.h"
#include "common/this_computer.h"
#include "platform/file_lock.h"
#include "platform/paths.h"
#include "platform/station_identity.h"

namespace ziv {

std::string LockDetails(const LockHolder& holder, std::uint64_t token) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(token));
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    // The first three lines read as other lock files do (process, program,
    // host), for whoever looks at a lock by hand.
    return std::to_string(holder.pid) + "\nziv\n" + host + "\n" + holder.computer + "\n" + holder.station + "\n" +
           hex + "\n";
}

std::optional<LockHolder> ParseLockDetails(const std::string& text) {
    auto lines = SplitLines(text);
    if (lines.size() < 6 || lines[1] != "ziv" || lines[3].empty() || lines[4].empty()) return std::nullopt;
    char* end = nullptr;
    long pid = std::strtol(lines[0].c_str(), &end, 10);
    if (lines[0].empty() || *end || pid <= 0) return std::nullopt;
    return LockHolder{pid, lines[3], lines[4]};
}

namespace {

using Clock = std::chrono::steady_clock;

const std::string& ThisStation() {
    static const std::string id = StationIdentity(InstallationRoot());
    return id;
}

std::uint64_t NewToken() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    return random();
}

std::int64_t ModifiedNs(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

// A lock file as seen at one moment: its details and when the server last
// saw it written.
struct Seen {
    bool exists = false;
    std::string text;
    std::int64_t modifiedNs = 0;
    bool operator==(const Seen&) const = default;
};

// Opened first, then asked for its time: a network client revalidates a
// file's attributes when it is opened.
Seen Look(const std::string& path) {
    Seen seen;
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return seen;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        seen.exists = true;
        seen.modifiedNs = ModifiedNs(st);
        char buf[4096];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) seen.text.assign(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return seen;
}

bool WriteAll(int fd, const std::string& bytes) { return WriteAllAt(fd, bytes, 0); }

// The file server's time, asked of the server once (a file made beside the
// lock) and carried forward by this computer's monotonic clock: a wait that
// makes a file at each try floods the server. Asked again after a while, as
// the two clocks drift apart slowly.
class ShareTime {
public:
    explicit ShareTime(std::string beside) : beside_(std::move(beside)) {}
    std::optional<std::int64_t> Now() {
        auto now = Clock::now();
        if (!probed_ || now - probedAt_ > std::chrono::seconds(30)) {
            probed_ = ShareClockNs(beside_);
            probedAt_ = now;
        }
        if (!probed_) return std::nullopt;
        return *probed_ + std::chrono::duration_cast<std::chrono::nanoseconds>(now - probedAt_).count();
    }

private:
    std::string beside_;
    std::optional<std::int64_t> probed_;
    Clock::time_point probedAt_;
};

// Left behind: its holder is a process of this computer that is gone, or it
// has not been written for the stale time by the server's clock. A lock
// whose details cannot be read is judged by its age alone.
bool LeftBehind(const Seen& seen, ShareTime& time) {
    if (auto holder = ParseLockDetails(seen.text); holder && holder->computer == ThisComputer())
        if (ProcessGone(holder->pid)) return true;
    auto now = time.Now();
    return now && *now - seen.modifiedNs >= static_cast<std::int64_t>(kStaleLockMs) * 1000000;
}

// How a lock file is made so that it appears with its details already in
// it: renamed there without replacing (local disks), else linked there (NFS,
// sshfs; a link is never made over a file), else, where neither exists
// (SMB), made exclusively and written at once, which leaves it empty for a
// moment. Learnt once per folder, not asked again at every save.
enum class MakeWay { RenameNoReplace, HardLink, Exclusive };

class MakeWays {
public:
    static MakeWay Of(const std::string& folder) {
        std::lock_guard<std::mutex> guard(Mutex());
        auto it = Learnt().find(folder);
        return it == Learnt().end() ? MakeWay::RenameNoReplace : it->second;
    }
    static void Learn(const std::string& folder, MakeWay way) {
        std::lock_guard<std::mutex> guard(Mutex());
        Learnt()[folder] = way;
    }

private:
    static std::mutex& Mutex() {
        static std::mutex m;
        return m;
    }
    static std::map<std::string, MakeWay>& Learnt() {
        static std::map<std::string, MakeWay> learnt;
        return learnt;
    }
};

bool Unsupported(int err) { return err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP; }

// Makes the lock file at lockPath holding details; its descriptor, or -errno
// (-EEXIST when someone holds it).
class LockMaker {
public:
    explicit LockMaker(std::string dataPath)
        : dataPath_(std::move(dataPath)), folder_(dataPath_.substr(0, dataPath_.find_last_of('/') + 1)) {}

    // sweep: first remove the temporaries that killed writers left (which
    // lists the folder): once per lock taken, not at every try.
    int Make(const std::string& lockPath, const std::string& details, bool sweep) {
        MakeWay way = MakeWays::Of(folder_);
        if (way != MakeWay::Exclusive) {
            if (sweep) RemoveLeftTemporaries(dataPath_);
            Temporary staged = MakeTemporaryBeside(dataPath_);
            if (staged.fd < 0) return -staged.err;
            int err = WriteAll(staged.fd, details) ? 0 : (errno ? errno : EIO);
            if (!err && way == MakeWay::RenameNoReplace) {
                if (::renameat2(AT_FDCWD, staged.path.c_str(), AT_FDCWD, lockPath.c_str(), RENAME_NOREPLACE) == 0)
                    return staged.fd;
                err = errno;
                if (Unsupported(err)) {
                    MakeWays::Learn(folder_, way = MakeWay::HardLink);
                    err = 0;
                }
            }
            if (!err && way == MakeWay::HardLink) {
                int linked = ::link(staged.path.c_str(), lockPath.c_str());
                err = linked == 0 ? 0 : errno;
                // A server may report a link it made as failed (a request
                // sent again): the count of names tells.
                struct stat st {};
                if (linked == 0 || (fstat(staged.fd, &st) == 0 && st.st_nlink == 2)) {
                    ::unlink(staged.path.c_str());
                    return staged.fd;
                }
                // sshfs says EPERM both for "no links here" and "exists".
                if (err != EEXIST && !Look(lockPath).exists && (Unsupported(err) || err == EPERM || err == EMLINK)) {
                    MakeWays::Learn(folder_, way = MakeWay::Exclusive);
                    err = 0;
                }
            }
            ::close(staged.fd);
            ::unlink(staged.path.c_str());
            if (err) return -err;
        }
        int fd = ::open(lockPath.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) return -errno;
        if (!WriteAll(fd, details)) {
            int err = errno ? errno : EIO;
            ::close(fd);
            ::unlink(lockPath.c_str());
            return -err;
        }
        return fd;
    }

private:
    std::string dataPath_, folder_;
};

// Keeps one lock fresh while it is held: rewriting the details makes the
// server stamp the lock anew, by its own clock; a waiter on any computer then
// sees a live holder, also during a long write. One thread per hold, owning
// its own descriptor: a hung share then holds up only the refresh of its own
// lock, never that of a lock on another share, and letting go never waits
// for a refresh under way.
class Refresher {
public:
    static std::shared_ptr<Refresher> Start(int fd, std::string details) {
        auto refresher = std::make_shared<Refresher>();
        refresher->fd_ = ::dup(fd);
        refresher->details_ = std::move(details);
        if (refresher->fd_ < 0) return nullptr;
        std::thread([refresher] { refresher->Run(); }).detach();
        return refresher;
    }
    void Stop() {
        std::lock_guard<std::mutex> guard(mutex_);
        stop_ = true;
        wake_.notify_all();
    }

private:
    void Run() {
        std::unique_lock<std::mutex> guard(mutex_);
        while (!wake_.wait_for(guard, std::chrono::milliseconds(kLockRefreshMs), [this] { return stop_; })) {
            guard.unlock();
            if (WriteAll(fd_, details_)) ::fdatasync(fd_);
            guard.lock();
        }
        ::close(fd_);
    }

    int fd_ = -1;
    std::string details_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
};

// Removes the file at path only when it is still the one judged: moved aside
// to a name of this process's own first, looked at there, and put back when
// it turned out to be another's (made in the moment since it was judged). A
// plain "look, then unlink" would remove a lock another station has taken in
// between; this leaves only the moment between moving aside and putting
// back, and a file put back is never put over a newer one where the share
// can help it. A name moved aside is a temporary of this process's: a crash
// in between leaves what the next write sweeps away.
bool RemoveIfStill(const std::string& path, const std::string& dataPath, const std::function<bool(const Seen&)>& judged) {
    Temporary aside = MakeTemporaryBeside(dataPath);
    if (aside.fd < 0) return false;
    ::close(aside.fd);
    if (::rename(path.c_str(), aside.path.c_str()) != 0) {
        ::unlink(aside.path.c_str());
        return false;
    }
    if (judged(Look(aside.path))) return ::unlink(aside.path.c_str()) == 0;
    if (::renameat2(AT_FDCWD, aside.path.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return false;
    if (::link(aside.path.c_str(), path.c_str()) != 0 && errno != EEXIST && !Look(path).exists)
        ::rename(aside.path.c_str(), path.c_str());
    ::unlink(aside.path.c_str());
    return false;
}

class ShareHold : public FileLockHold {
public:
    explicit ShareHold(const std::string& dataPath)
        : dataPath_(dataPath),
          lockPath_(LockFilePath(dataPath)),
          removalPath_(LockFilePath(dataPath, ".lock.rmlock")),
          details_(LockDetails({static_cast<long>(::getpid()), ThisComputer(), ThisStation()}, NewToken())),
          maker_(dataPath),
          time_(dataPath) {}

    ~ShareHold() override {
        if (fd_ < 0) return;
        if (refresher_) refresher_->Stop();
        // Taken over meanwhile: the lock file is the new holder's now.
        RemoveIfStill(lockPath_, dataPath_, [&](const Seen& seen) { return seen.text == details_; });
        ::close(fd_);
    }

    // A waiter looks at the lock (one opening) and makes a lock only once the
    // one it saw is gone or left behind. The pauses grow to about a second
    // while one holder keeps the lock (a long write, a dead station: ten
    // stations waiting it out must not send the server thousands of requests
    // a second), and start short again when the lock changed hands: stations
    // that save often pass it on quickly, and a waiter that slept for a second
    // each time would lose it to them over and over. The pauses are uneven,
    // so that waiters do not try in step. 0 when held, else the errno
    // (EEXIST: another station kept it).
    int Take(LockWait wait) {
        auto deadline = Clock::now() + std::chrono::milliseconds(wait == LockWait::Patient ? kLockWaitMs : 0);
        std::minstd_rand uneven(static_cast<unsigned>(::getpid()) ^ static_cast<unsigned>(NewToken()));
        int strayErrors = 0, removals = 0, pauseMs = kFirstPauseMs;
        bool sweep = true;
        std::string holder;
        for (;;) {
            int made = maker_.Make(lockPath_, details_, std::exchange(sweep, false));
            if (made >= 0) {
                fd_ = made;
                refresher_ = Refresher::Start(fd_, details_);
                return 0;
            }
            // A share may refuse the exclusive making of a file that exists
            // with another error (sshfs says EPERM): as long as the lock file
            // is there, it is held, whatever the error said. Were it taken for
            // a lock that cannot be made, the save would go ahead unlocked.
            if (made != -EEXIST && !Look(lockPath_).exists) {
                // It may have gone just between the two: asked again.
                if (++strayErrors < 3) continue;
                return -made;
            }
            // A lock left behind and removed is tried again at once, also
            // past the wait, but not without end (a lock that cannot be read).
            if (RemovedLeftLock() && ++removals < 3) continue;
            for (;;) {
                auto now = Clock::now();
                if (now >= deadline) return EEXIST;
                int pause = pauseMs * static_cast<int>(75 + uneven() % 51) / 100;
                std::this_thread::sleep_for(std::min<Clock::duration>(std::chrono::milliseconds(pause), deadline - now));
                pauseMs = std::min(pauseMs * 2, kLongestPauseMs);
                Seen seen = Look(lockPath_);
                if (!seen.exists || LeftBehind(seen, time_)) break;
                if (seen.text != holder) pauseMs = kFirstPauseMs;
                holder = std::move(seen.text);
            }
        }
    }

    bool StillHeld() const override { return Look(lockPath_).text == details_; }

private:
    static constexpr int kFirstPauseMs = 10, kLongestPauseMs = 1000;

    // A lock left behind is removed under a second lock, and only when it is
    // still exactly as judged: two waiters that both judged it left must not
    // remove the lock that one of them has made since. True when a lock or a
    // removal lock went: the lock is worth trying again at once.
    bool RemovedLeftLock() {
        Seen seen = Look(lockPath_);
        if (!seen.exists) return true;
        if (!LeftBehind(seen, time_)) return false;
        std::string removalDetails = LockDetails({static_cast<long>(::getpid()), ThisComputer(), ThisStation()},
                                                 NewToken());
        int fd = maker_.Make(removalPath_, removalDetails, false);
        if (fd < 0) {
            // A station died while it removed a lock: its removal lock is
            // judged like any other, and once gone, the lock is tried again.
            if (Seen removal = Look(removalPath_); removal.exists && LeftBehind(removal, time_))
                return RemoveIfStill(removalPath_, dataPath_, [&](const Seen& now) { return now == removal; });
            return false;
        }
        bool removed = RemoveIfStill(lockPath_, dataPath_, [&](const Seen& now) { return now == seen; });
        ::close(fd);
        RemoveIfStill(removalPath_, dataPath_, [&](const Seen& now) { return now.text == removalDetails; });
        return removed;
    }

    std::string dataPath_, lockPath_, removalPath_, details_;
    LockMaker maker_;
    ShareTime time_;
    int fd_ = -1;
    std::shared_ptr<Refresher> refresher_;
};

}  // namespace

namespace {

class StationLocks : public FileLocks {
public:
    std::unique_ptr<FileLockHold> Lock(const std::string& dataPath, LockWait wait) override {
        auto hold = std::make_unique<ShareHold>(dataPath);
        int err = hold->Take(wait);
        if (err == 0) return hold;
        if (err == EEXIST) return nullptr;
        // The lock file cannot be made (no room, no right to create): the
        // write that follows fails for the same reason and says so.
        return std::make_unique<FileLockHold>();
    }
};

}  // namespace

FileLocks& StationFileLocks() {
    static StationLocks locks;
    return locks;
}

Files StationFiles() { return {RealDisk(), StationFileLocks()}; }

}  // namespace ziv
