// A station killed while it appends to its journal loses no entry it had
// been told was written, and the journal never holds an entry twice or out of
// order: the appender runs in a child process killed with SIGKILL at random
// moments and started again, as a station is after a crash.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/failure_text.h"
#include "records/journal.h"
#include "temp_root.h"

extern char** environ;

using namespace ziv;
using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

constexpr char kFolderVariable[] = "ZIV_JOURNAL_FOLDER";
constexpr char kNotifyVariable[] = "ZIV_JOURNAL_NOTIFY_FD";
const Day kWorkDate{year{2024}, month{3}, day{7}};

// Entry n, told apart from every other by its point, time and text.
JournalEntry Numbered(long n) {
    JournalEntry e;
    e.Time = {sys_days(kWorkDate) + milliseconds(n), minutes(540)};
    e.WorkDate = kWorkDate;
    e.Station = "s";
    e.Operator = "検査員1";
    e.Product = "A-100";
    e.Point = 1 + static_cast<int>(n % 100);
    e.Text = std::to_string(n);
    e.Way = EntryWay::Typed;
    // Lines of different lengths, some of them long, so that kills land
    // inside writes of several sizes.
    e.Reply = std::string(static_cast<size_t>(n % 7) * 300, 'r');
    return e;
}

std::string JournalIn(const std::string& folder) { return JournalPath(folder, kWorkDate, "s"); }

pid_t StartAppender(const std::string& folder, int notifyFd, const std::string& log) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (!entry.starts_with(std::string(kFolderVariable) + "=") && !entry.starts_with(std::string(kNotifyVariable) + "="))
            env.push_back(entry);
    }
    env.push_back(std::string(kFolderVariable) + "=" + folder);
    env.push_back(std::string(kNotifyVariable) + "=" + std::to_string(notifyFd));
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string exe = fs::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=JournalCrash.AppenderChild";
    char* argv[] = {exe.data(), filter.data(), nullptr};
    int output = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t pid = fork();
    if (pid == 0) {
        if (output >= 0) {
            dup2(output, STDOUT_FILENO);
            dup2(output, STDERR_FILENO);
        }
        execve(exe.c_str(), argv, envp.data());
        _exit(127);
    }
    if (output >= 0) ::close(output);
    return pid;
}

// The highest entry the appender reported written once `count` reports have
// come; 0 when it stopped by itself or went silent.
long WaitForReports(int fd, int count, long last) {
    while (count > 0) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 60000) <= 0) return 0;
        long n = 0;
        if (::read(fd, &n, sizeof n) != static_cast<ssize_t>(sizeof n)) return 0;
        last = n;
        --count;
    }
    return last;
}

}  // namespace

// The appending station: appends entry after entry and reports each once its
// append returned. Skipped unless started by the test below.
TEST(JournalCrash, AppenderChild) {
    const char* folder = std::getenv(kFolderVariable);
    const char* notify = std::getenv(kNotifyVariable);
    if (!folder || !notify) GTEST_SKIP() << "runs only as the process that JournalCrash kills";
    int fd = std::atoi(notify);
    const std::string path = JournalIn(folder);
    long n = static_cast<long>(ReadJournal(path).entries.size());
    for (;;) {
        ++n;
        FileResult written = AppendToJournal(path, {JournalRecord(Numbered(n))});
        if (!written) {
            std::fprintf(stderr, "entry %ld: %s\n", n, FailureText(written).c_str());
            _exit(2);
        }
        if (::write(fd, &n, sizeof n) != static_cast<ssize_t>(sizeof n)) _exit(3);
    }
}

TEST(JournalCrash, AKilledStationLosesNoEntryItWasToldWasWrittenAndWritesNoneTwice) {
    TempRoot root;
    const std::string folder = root / "製品";
    fs::create_directories(folder);
    const std::string path = JournalIn(folder), log = root / "appender.log";
    unsigned seed = std::random_device{}();
    if (const char* s = std::getenv("ZIV_CRASH_SEED")) seed = static_cast<unsigned>(std::strtoul(s, nullptr, 10));
    SCOPED_TRACE("ZIV_CRASH_SEED=" + std::to_string(seed));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> reportsBeforeKill(1, 40);
    std::uniform_int_distribution<int> microsecondsBeforeKill(0, 3000);
    ::signal(SIGPIPE, SIG_IGN);

    long reported = 0;
    for (int kill = 1; kill <= 30; ++kill) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fcntl(fds[0], F_SETFD, FD_CLOEXEC);
        pid_t pid = StartAppender(folder, fds[1], log);
        ::close(fds[1]);
        ASSERT_GT(pid, 0);
        long last = WaitForReports(fds[0], reportsBeforeKill(rng), reported);
        std::this_thread::sleep_for(microseconds(microsecondsBeforeKill(rng)));
        ::kill(pid, SIGKILL);
        // Reports already on their way were written too.
        for (long n = 0; ::read(fds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n);) last = n;
        int status = 0;
        waitpid(pid, &status, 0);
        ::close(fds[0]);
        ASSERT_GT(last, reported) << "the appender stopped by itself before kill " << kill << "\n" << ReadBytes(log);
        reported = last;

        JournalRead read = ReadJournal(path);
        ASSERT_EQ(read.status, ReadStatus::Read);
        ASSERT_GE(read.entries.size(), static_cast<size_t>(reported)) << "after kill " << kill;
        for (size_t i = 0; i < read.entries.size(); ++i)
            ASSERT_EQ(read.entries[i], Numbered(static_cast<long>(i) + 1)) << "after kill " << kill << ", entry " << i;
        // A kill can cut one line at most, and only the one being written.
        EXPECT_LE(read.damaged, static_cast<size_t>(kill)) << "after kill " << kill;
    }
}
