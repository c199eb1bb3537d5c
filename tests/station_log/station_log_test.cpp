// The station's log on its own disk: appended, never rewritten whole at each
// entry, small again once delivered, and never one run's entries lost to
// another run on the same root.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "common/numbers.h"
#include "platform/share_lock.h"
#include "station_log/entry_writer.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

QueuedRow Row(int n) {
    return {"/p/A-100/data/検査員1_A-100_0号機_2025年1月5日.xls", 0, 1 + n % 100,
            {"M", "10.0" + DecimalText(n), "合", "-0.005"}, {1700000000000000000LL + n, "station"}};
}

}  // namespace

// A thousand values waiting (a long outage) and then delivered one by one: the
// old queue wrote its whole file at each change (gigabytes); the log writes
// each entry once, a short mark when it is delivered, and compacts now and
// then, never more than twice what the entries themselves take.
TEST(StationLog, ManyEntriesPutAndDeliveredWriteAtMostTwiceTheirBytesAndLeaveTheLogSmall) {
    TempRoot root;
    StationLog queue(OldQueuePath(root.path()));
    std::uint64_t entryBytes = 0;
    for (int n = 0; n < 1000; ++n) {
        QueuedRow row = Row(n);
        row.Book += DecimalText(n / 100);  // 10 workbooks: no entry replaces another
        std::uint64_t before = queue.BytesWritten();
        ASSERT_TRUE(queue.Put(row));
        entryBytes += queue.BytesWritten() - before;
    }
    ASSERT_EQ(queue.Count(), 1000u);
    for (const std::string& book : queue.Targets<QueuedRow>())
        for (const auto& [r, row] : queue.ValuesFor<QueuedRow>(book)) ASSERT_TRUE(queue.Remove<QueuedRow>(book, {{r, row}}));
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_LE(queue.BytesWritten(), 2 * entryBytes);
    EXPECT_LT(fs::file_size(queue.LogPath()), 70u * 1024);
}

// Two runs of the program on one installation root (a shared home folder):
// each appends to a file of its own; a run that starts takes in only the
// files of runs that ended, and nothing any of them kept is lost.
TEST(StationLog, ARunNeverTakesTheLogOfARunStillGoingAndTakesInWhatEndedRunsLeft) {
    TempRoot root;
    const std::string path = OldQueuePath(root.path());
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StationLog other(path);
        bool kept = static_cast<bool>(other.Put(Row(1)));
        char c = kept ? 'k' : 'f';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1);
        _exit(0);  // killed, as it were: its log stays as it was
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, 'k');
    {
        StationLog mine(path);
        mine.Load();
        EXPECT_EQ(mine.Count(), 0u) << "the other run still writes its log";
        ASSERT_TRUE(mine.Put(Row(2)));
        c = 'x';
        ASSERT_EQ(write(toChild[1], &c, 1), 1);
        int status = 0;
        waitpid(child, &status, 0);
    }
    StationLog next(path);
    next.Load();
    EXPECT_EQ(next.Count(), 2u);
    // A crash in the middle of an append leaves a cut-off last line: not taken, nothing else lost.
    const std::string log = next.LogPath();
    std::ofstream(log, std::ios::app) << "9\tR\t1\tstation\t/p/x.xls\t0\t3\tM\t10.0";
    StationLog after(path);
    after.Load();
    EXPECT_EQ(after.Count(), 2u);
}

// Measurement times carry the last server reading forward on the monotonic
// clock: a new reading that puts the clock back (a server set back, or this
// computer's own clock when the share is its own disk) never stamps an entry
// before one made earlier. A kept reading is taken at a start while the share
// is away only in the form this station writes; a bare offset or a damaged
// file is not trusted, and the station's own clock stands until the share answers.
TEST(StationLog, MeasurementTimesNeverGoBackAndOnlyAKeptReadingThatFitsIsTrusted) {
    TempRoot root;
    constexpr std::int64_t kS = 1'000'000'000;
    ServerClock clock;
    clock.Measured(OwnClockNs() - 45 * kS, SteadyClockNs());
    const std::int64_t first = clock.NowNs();
    EXPECT_LT(std::llabs(clock.OffsetNs() + 45 * kS), kS);
    clock.Measured(first - 300 * kS, SteadyClockNs());
    EXPECT_GE(clock.NowNs(), first + 1'000'000) << "stepped back with the reading";

    const std::string kept = root / "ServerClock.dat";
    clock.Measured(OwnClockNs() - 45 * kS, SteadyClockNs());
    ASSERT_TRUE(KeepServerClock(kept, clock, RealDisk()));
    const std::string written = ReadBytes(kept);
    struct Case {
        std::string file;
        std::int64_t offsetNs;
    } cases[] = {{written, -45 * kS}, {"-45000000000\n", 0}, {"garbage\n", 0}, {"", 0},
                 {"ZIV server clock 2\n1\t2\n", 0}};
    for (const Case& c : cases) {
        WriteBytes(kept, c.file);
        ServerClock started;
        EntryWriter away(std::make_shared<StationLog>(root / "q.dat"), StationFiles(), started);
        away.ClockBeside(root / "gone", kept);
        EXPECT_LT(std::llabs(started.OffsetNs() - c.offsetNs), kS) << c.file;
    }
    // The share answers (a folder of this computer: its clock is the server's).
    std::filesystem::create_directories(root / "share");
    WriteBytes(kept, written);
    ServerClock measured;
    EntryWriter writer(std::make_shared<StationLog>(root / "q.dat"), StationFiles(), measured);
    writer.ClockBeside(root / "share", kept);
    writer.Start();
    ASSERT_TRUE(writer.Drain(5000));
    writer.Stop(1000);
    EXPECT_LT(std::llabs(measured.OffsetNs()), 2 * kS);
    ServerClock next;
    ASSERT_TRUE(TakeKeptServerClock(kept, next, RealDisk()));
    EXPECT_LT(std::llabs(next.OffsetNs()), 2 * kS) << "the new reading was not kept";
}

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

// A damaged log is salvaged once: what reads whole is taken in, the file is
// kept under a name no start reads again, and ziv --set-aside only looks.
TEST(StationLog, ADamagedLogIsSalvagedOnceAndLookingAtTheLogsChangesNothing) {
    TempRoot root;
    const std::string path = OldQueuePath(root.path()), folder = StationLogFolder(path);
    fs::create_directories(folder);
    WriteBytes(folder + "/1-1-a.log", "ZIV station log 2\n1\t\tJ\t0\t\t/p/j\tone\n#?\n2\t\tJ\t0\t\t/p/j\ttwo\n");
    const std::vector<std::string> before = Names(folder);
    for (int look = 0; look < 2; ++look) {
        StationLog::Survey survey = StationLog::Look(path);
        EXPECT_EQ(survey.waiting, 2u);
        EXPECT_EQ(Names(folder), before) << "looking moved or made a file";
    }
    for (int start = 0; start < 3; ++start) {
        StationLog queue(path);
        EXPECT_EQ(queue.Load().damaged, start == 0) << start;
        EXPECT_EQ(queue.JournalRecordsOf("/p/j"), (std::vector<std::string>{"one", "two"})) << start;
    }
    StationLog::Survey survey = StationLog::Look(path);
    EXPECT_EQ(survey.waiting, 2u);
    ASSERT_EQ(survey.damagedCopies.size(), 1u);
    EXPECT_EQ(survey.damagedCopies[0], folder + "/1-1-a-damaged-1.kept");
}

// A start killed after its log was synced and before the earlier file went
// (here: the earlier file put back) takes nothing twice, from an earlier
// log of either version or from the old queue file; nor what it delivered since.
TEST(StationLog, ATakeInKilledBeforeTheEarlierFileWentTakesNothingTwice) {
    struct Earlier {
        const char* name;
        const char* text;
    } earlier[] = {
        {"StationLog/1-1-a.log", "ZIV station log 1\n1\tJ\t0\t\t/p/j\tone\n2\tJ\t0\t\t/p/j\ttwo\n3\tJ\t0\t\t/p/j\tthree\n"},
        {"StationLog/1-1-a.log", "ZIV station log 2\n1\t\tJ\t0\t\t/p/j\tone\n2\t\tJ\t0\t\t/p/j\ttwo\n"
                                 "3\t\tJ\t0\t\t/p/j\tthree\n"},
        {"StationLog.dat", "ZIV save queue 1\nJ\t/p/j\tone\nJ\t/p/j\ttwo\nJ\t/p/j\tthree\nend\t3\n"},
    };
    for (const Earlier& e : earlier) {
        TempRoot root;
        const std::string path = OldQueuePath(root.path()), file = root / (std::string("Config/") + e.name);
        fs::create_directories(StationLogFolder(path));
        WriteBytes(file, e.text);
        {
            StationLog killed(path);
            killed.Load();
            ASSERT_EQ(killed.Count(), 3u) << e.text;
        }
        WriteBytes(file, e.text);
        {
            StationLog next(path);
            next.Load();
            EXPECT_EQ(next.JournalRecordsOf("/p/j"), (std::vector<std::string>{"one", "two", "three"})) << e.text;
            ASSERT_TRUE(next.RemoveJournalLines("/p/j", {"one"}));
        }
        WriteBytes(file, e.text);
        StationLog after(path);
        after.Load();
        EXPECT_EQ(after.JournalRecordsOf("/p/j"), (std::vector<std::string>{"two", "three"})) << e.text;
        EXPECT_EQ(StationLog::Look(path).waiting, 2u) << e.text;
    }
}
