// A station killed while it appends to its journal loses no entry it had
// been told was written, and the journal never holds one twice or out of
// order: an appending child process is killed with SIGKILL at random moments
// and started again on the same journal, as a station is after a crash.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <thread>

#include "records/journal.h"
#include "temp_root.h"

using namespace ziv;
using namespace std::chrono;

namespace {

// Entry n, told apart from every other; lines of several lengths, some long,
// so that kills land inside writes of several sizes.
JournalEntry Numbered(long n) {
    JournalEntry e;
    e.Time = {sys_days(Day{year{2024}, month{3}, day{7}}) + milliseconds(n), minutes(540)};
    e.WorkDate = Day{year{2024}, month{3}, day{7}};
    e.Point = 1 + static_cast<int>(n % 100);
    e.Text = std::to_string(n);
    e.Reply = std::string(static_cast<size_t>(n % 7) * 300, 'r');
    return e;
}

// Appends entry after entry, reporting each once its append returned.
[[noreturn]] void Append(const std::string& path, int reportFd) {
    for (long n = static_cast<long>(ReadJournal(path).entries.size()) + 1;; ++n) {
        if (!AppendToJournal(path, {JournalRecord(Numbered(n))})) _exit(2);
        if (::write(reportFd, &n, sizeof n) != static_cast<ssize_t>(sizeof n)) _exit(3);
    }
}

}  // namespace

TEST(JournalCrash, AKilledStationLosesNoEntryItWasToldWasWrittenAndWritesNoneTwice) {
    TempRoot root;
    std::filesystem::create_directories(root / "製品");
    const std::string path = JournalPath(root / "製品", Numbered(0).WorkDate, "s");
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    long reported = 0;
    for (int kill = 1; kill <= 30; ++kill) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t pid = fork();
        if (pid == 0) {
            ::close(fds[0]);
            Append(path, fds[1]);
        }
        ::close(fds[1]);
        long last = reported;
        for (int reports = std::uniform_int_distribution<int>(1, 40)(rng); reports > 0; --reports) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 60000) <= 0 || ::read(fds[0], &last, sizeof last) != static_cast<ssize_t>(sizeof last)) break;
        }
        std::this_thread::sleep_for(microseconds(std::uniform_int_distribution<int>(0, 3000)(rng)));
        ::kill(pid, SIGKILL);
        // Reports already on their way were written too.
        for (long n; ::read(fds[0], &n, sizeof n) == static_cast<ssize_t>(sizeof n);) last = n;
        int status = 0;
        waitpid(pid, &status, 0);
        ::close(fds[0]);
        ASSERT_GT(last, reported) << "the appender stopped by itself before kill " << kill << ", status " << status;
        reported = last;

        JournalRead read = ReadJournal(path);
        ASSERT_GE(read.entries.size(), static_cast<size_t>(reported)) << "after kill " << kill;
        for (size_t i = 0; i < read.entries.size(); ++i)
            ASSERT_EQ(read.entries[i], Numbered(static_cast<long>(i) + 1)) << "after kill " << kill << ", entry " << i;
        EXPECT_LE(read.damaged, static_cast<size_t>(kill)) << "a kill cuts one line at most";
    }
}
