// The station's log on its own disk: appended, never rewritten whole at each
// entry, small again once delivered, and never one run's entries lost to
// another run on the same root.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>
#include <unistd.h>

#include "common/numbers.h"
#include "platform/share_lock.h"
#include "records/entry_writer.h"
#include "records/save_queue.h"
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
    SaveQueue queue(SaveQueuePath(root.path()));
    std::uint64_t entryBytes = 0;
    for (int n = 0; n < 1000; ++n) {
        QueuedRow row = Row(n);
        row.Book += DecimalText(n / 100);  // 10 workbooks: no entry replaces another
        std::uint64_t before = queue.BytesWritten();
        ASSERT_TRUE(queue.PutRow(row));
        entryBytes += queue.BytesWritten() - before;
    }
    ASSERT_EQ(queue.Count(), 1000u);
    for (const std::string& book : queue.Books())
        for (const auto& [r, row] : queue.RowsOf(book)) ASSERT_TRUE(queue.RemoveRows(book, {{r, row}}));
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_LE(queue.BytesWritten(), 2 * entryBytes);
    EXPECT_LT(fs::file_size(queue.LogPath()), 70u * 1024);
}

// Two runs of the program on one installation root (a shared home folder):
// each appends to a file of its own; a run that starts takes in only the
// files of runs that ended, and nothing any of them kept is lost.
TEST(StationLog, ARunNeverTakesTheLogOfARunStillGoingAndTakesInWhatEndedRunsLeft) {
    TempRoot root;
    const std::string path = SaveQueuePath(root.path());
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SaveQueue other(path);
        bool kept = static_cast<bool>(other.PutRow(Row(1)));
        char c = kept ? 'k' : 'f';
        (void)!write(toParent[1], &c, 1);
        (void)!read(toChild[0], &c, 1);
        _exit(0);  // killed, as it were: its log stays as it was
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    ASSERT_EQ(c, 'k');
    {
        SaveQueue mine(path);
        mine.Load();
        EXPECT_EQ(mine.Count(), 0u) << "the other run still writes its log";
        ASSERT_TRUE(mine.PutRow(Row(2)));
        c = 'x';
        ASSERT_EQ(write(toChild[1], &c, 1), 1);
        int status = 0;
        waitpid(child, &status, 0);
    }
    SaveQueue next(path);
    next.Load();
    EXPECT_EQ(next.Count(), 2u);
    // A crash in the middle of an append leaves a cut-off last line: not taken, nothing else lost.
    const std::string log = next.LogPath();
    std::ofstream(log, std::ios::app) << "9\tR\t1\tstation\t/p/x.xls\t0\t3\tM\t10.0";
    SaveQueue after(path);
    after.Load();
    EXPECT_EQ(after.Count(), 2u);
}

// A station started while its share is away stamps its entries with the
// server's clock as last measured, kept on its own disk, not with its own
// clock (45 s ahead would beat every other station's newer values); once the
// share answers, the offset measured then is kept.
TEST(StationLog, TheLastServerClockOffsetIsKeptForAStartWhileTheShareIsAway) {
    TempRoot root;
    const std::string kept = root / "ServerClock.dat";
    struct Case {
        const char* file;
        std::int64_t offsetNs;
    } cases[] = {{"-45000000000\n", -45'000'000'000}, {"garbage\n", 0}, {"", 0}};
    for (const Case& c : cases) {
        WriteBytes(kept, c.file);
        ServerClock clock;
        EntryWriter away(std::make_shared<SaveQueue>(root / "q.dat"), StationFiles(), clock);
        away.ClockBeside(root / "gone", kept);
        EXPECT_EQ(clock.OffsetNs(), c.offsetNs) << c.file;
    }
    // The share answers (a folder of this computer: its clock is the server's).
    std::filesystem::create_directories(root / "share");
    WriteBytes(kept, "-45000000000\n");
    ServerClock clock;
    EntryWriter writer(std::make_shared<SaveQueue>(root / "q.dat"), StationFiles(), clock);
    writer.ClockBeside(root / "share", kept);
    writer.Start();
    ASSERT_TRUE(writer.Drain(5000));
    writer.Stop(1000);
    EXPECT_LT(std::llabs(clock.OffsetNs()), 2'000'000'000LL);
    EXPECT_LT(std::llabs(std::stoll(ReadBytes(kept))), 2'000'000'000LL) << "the new offset was not kept";
}
