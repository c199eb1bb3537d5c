// Day-workbook rows wait in the station's log whatever keeps them from their
// workbook, across a restart, until a delivery writes them, over what other
// stations wrote to those rows unless that was measured later.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "platform/file_lock.h"
#include "platform/share_lock.h"
#include "records/day_book.h"
#include "station_log/delivery.h"
#include "temp_root.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

// Locks as the test decides them.
class TestLocks : public FileLocks {
public:
    std::function<std::unique_ptr<FileLockHold>(const std::string& path, LockWait wait)> take;
    std::unique_ptr<FileLockHold> Lock(const std::string& path, LockWait wait) override { return take(path, wait); }
};

class RowDelivery : public ::testing::Test {
protected:
    TempRoot root;
    std::string product = root / "製品/A-100";
    std::string book = DayBookPath(product, "検査員1", "A-100", 0, {"2026", "3", "2"});
    std::set<std::string> busy;        // files whose lock another station keeps
    std::map<int, std::string> typed;  // row -> value, as the grid holds it
    FaultyDisk disk;
    TestLocks locks;
    Files files{disk, locks};

    void SetUp() override {
        fs::create_directories(root / "Config");
        fs::create_directories(product);
        Workbook master = Workbook::New();
        for (int r = 1; r <= 3; ++r) master.SetCell(1, r, 1, std::to_string(10 * r));
        ASSERT_TRUE(master.SaveAs(MasterBookPath(product)));
        locks.take = [this](const std::string& path, LockWait) -> std::unique_ptr<FileLockHold> {
            return busy.count(path) ? nullptr : std::make_unique<FileLockHold>();
        };
    }
    std::int64_t measuredNs = 1000;
    // A value typed into the row and one delivery of what waits: what kept
    // the workbook from taking it (Busy when another station's lock did).
    Failure Enter(StationLog& log, DayBooks& books, int row, const std::string& value,
                  LockWait wait = LockWait::Patient) {
        EXPECT_TRUE(log.Put(QueuedRow{book, 0, row, {"M", value, "合", "0"}, {measuredNs++, "here"}}));
        return Deliver(log, books, wait);
    }
    Failure Deliver(StationLog& log, DayBooks& books, LockWait wait = LockWait::Patient) {
        Delivered d;
        EXPECT_TRUE(DeliverRows(log, books, wait, d)) << "the log keeps what it is told";
        if (!d.bookFailures.empty()) return d.bookFailures.front().second.failure;
        return log.ValuesFor<QueuedRow>(book).empty() ? Failure::None : Failure::Busy;
    }
    // Another station's save: the rows written straight into the file.
    void WrittenElsewhere(const std::map<int, std::string>& values) {
        fs::create_directories(DayBookFolder(product));
        std::optional<Workbook> file = fs::exists(book) ? Workbook::Open(book) : Workbook::New();
        for (const auto& [r, v] : values) WriteDayBookRow(*file, r, {"X", v, "合", "0"});
        ASSERT_TRUE(file->SaveAs(book));
    }
    std::string Value(int row) { return Workbook::Open(book)->CellText(1, row, 5); }
};

}  // namespace

TEST_F(RowDelivery, EveryRowTheShareRefusedWaitsThroughARestartAndIsWrittenIntoANewWorkbook) {
    {
        StationLog queue(OldQueuePath(root.path()));
        DayBooks books(files);
        // The share not answering: the data folder cannot be made, the file not read.
        WriteBytes(DayBookFolder(product), "a file where the folder should be");
        EXPECT_EQ(Enter(queue, books, 1, "10.001"), Failure::FolderNotMade);
        fs::remove(DayBookFolder(product));
        disk.reads = [&](const std::string& p) { return p == book ? ENOTCONN : 0; };
        EXPECT_EQ(Enter(queue, books, 2, "20.002"), Failure::Unreadable);
        disk.reads = nullptr;
        busy.insert(book);
        EXPECT_EQ(Enter(queue, books, 3, "30.003"), Failure::Busy);
        busy.clear();
        disk.writes = [&](WriteStep, const std::string& p) { return p == book ? ENOSPC : 0; };
        EXPECT_EQ(Enter(queue, books, 3, "30.004"), Failure::WriteFailed);
        disk.writes = nullptr;
        EXPECT_EQ(queue.Count(), 3u);
    }
    StationLog queue(OldQueuePath(root.path()));
    ASSERT_EQ(queue.Load().status, ReadStatus::Read);
    DayBooks books(files);
    EXPECT_EQ(queue.ValuesFor<QueuedRow>(book).size(), 3u);
    EXPECT_EQ(Deliver(queue, books), Failure::None);
    EXPECT_EQ(queue.Count(), 0u);
    StationLog after(OldQueuePath(root.path()));
    static_cast<void>(after.Load());
    EXPECT_EQ(after.Count(), 0u);
    // Made new with the master read from beside the data folder.
    EXPECT_EQ(Workbook::Open(book)->CellText(1, 3, 1), "30");
    EXPECT_EQ(Value(1), "10.001");
    EXPECT_EQ(Value(2), "20.002");
    EXPECT_EQ(Value(3), "30.004");
}

TEST_F(RowDelivery, WaitingRowsWinOverAnotherStationsChangesAndKeepTheRest) {
    WrittenElsewhere({{1, "9.991"}, {2, "9.992"}});
    StationLog queue(OldQueuePath(root.path()));
    DayBooks books(files);
    busy.insert(book);
    ASSERT_EQ(Enter(queue, books, 2, "20.02"), Failure::Busy);
    busy.clear();
    WrittenElsewhere({{2, "9.982"}, {3, "9.983"}});

    ASSERT_EQ(Enter(queue, books, 4, "40.04"), Failure::None);
    EXPECT_EQ(Value(1), "9.991");
    EXPECT_EQ(Value(2), "20.02");
    EXPECT_EQ(Value(3), "9.983");
    EXPECT_EQ(Value(4), "40.04");
    EXPECT_EQ(queue.Count(), 0u);

    // A row that waits and is then measured again: the older value must never
    // come back with a later save.
    busy.insert(book);
    ASSERT_EQ(Enter(queue, books, 2, "20.03"), Failure::Busy);
    busy.clear();
    ASSERT_EQ(Enter(queue, books, 2, "20.04"), Failure::None);
    EXPECT_EQ(queue.Count(), 0u);
    ASSERT_EQ(Enter(queue, books, 5, "50.05"), Failure::None);
    EXPECT_EQ(Value(2), "20.04");
}

namespace {
// A hold that another station takes over while this one writes, the first
// time the writer asks, writing its own row meanwhile.
class TakenOverHold : public FileLockHold {
public:
    explicit TakenOverHold(std::function<void()> meanwhile) : meanwhile_(std::move(meanwhile)) {}
    bool StillHeld() const override {
        if (!meanwhile_) return true;
        meanwhile_();
        return false;
    }

private:
    std::function<void()> meanwhile_;
};
}  // namespace

TEST_F(RowDelivery, ALockTakenOverDuringTheWriteIsTakenAgainAndTheFileMergedAgain) {
    WrittenElsewhere({{1, "9.991"}});
    StationLog queue(OldQueuePath(root.path()));
    DayBooks books(files);
    int holds = 0;
    locks.take = [&](const std::string&, LockWait) -> std::unique_ptr<FileLockHold> {
        if (++holds > 1) return std::make_unique<FileLockHold>();
        return std::make_unique<TakenOverHold>([&] { WrittenElsewhere({{3, "9.993"}}); });
    };
    ASSERT_EQ(Enter(queue, books, 2, "20.02"), Failure::None);
    EXPECT_EQ(holds, 2);
    EXPECT_EQ(Value(1), "9.991");
    EXPECT_EQ(Value(2), "20.02");
    EXPECT_EQ(Value(3), "9.993") << "the other station's row, written while its lock was taken over";
}

// A delivery that may not wait for another station's lock asks once; one
// that may, waits.
TEST_F(RowDelivery, ADeliveryThatMayNotWaitForALockAsksOnce) {
    StationLog queue(OldQueuePath(root.path()));
    DayBooks books(files);
    busy.insert(book);
    ASSERT_EQ(Enter(queue, books, 1, "10.01"), Failure::Busy);
    std::vector<LockWait> asked;
    locks.take = [&](const std::string& path, LockWait wait) -> std::unique_ptr<FileLockHold> {
        asked.push_back(wait);
        return busy.count(path) ? nullptr : std::make_unique<FileLockHold>();
    };
    EXPECT_EQ(Deliver(queue, books, LockWait::Once), Failure::Busy);
    EXPECT_EQ(asked, std::vector<LockWait>{LockWait::Once});
    EXPECT_EQ(queue.Count(), 1u);
    busy.clear();
    asked.clear();
    EXPECT_EQ(Deliver(queue, books), Failure::None);
    EXPECT_EQ(asked, std::vector<LockWait>{LockWait::Patient});
    EXPECT_EQ(Value(1), "10.01");
}

// A value that waited on one station (its save failed) and a later one that
// another station saved in the same cell: whichever goes in last, the later
// measurement stays; the waiting one never overwrites it for being queued.
TEST(NewestMeasurement, AnOlderWaitingValueNeverOverwritesANewerOneAndANewerOneWins) {
    TempRoot root;
    const std::string product = root / "製品/A-100";
    const std::string book = DayBookPath(product, "検査員1", "A-100", 0, {"2026", "3", "2"});
    fs::create_directories(product);
    StationLog queueA(root / "a/Config/StationLog.dat"), queueB(root / "b/Config/StationLog.dat");
    DayBooks a(StationFiles()), b(StationFiles());
    Delivered d;
    auto value = [](const char* v) { return MeasuredRow{"", v, "合", ""}; };
    ASSERT_TRUE(queueA.Put(QueuedRow{book, 0, 1, value("10.011"), {1000, "A"}}));
    ASSERT_TRUE(queueB.Put(QueuedRow{book, 0, 1, value("10.042"), {2000, "B"}}));
    ASSERT_TRUE(DeliverRows(queueB, b, LockWait::Patient, d));
    ASSERT_TRUE(DeliverRows(queueA, a, LockWait::Patient, d));
    EXPECT_TRUE(queueA.Empty()) << "done with: a newer value stands";
    EXPECT_EQ(Workbook::Open(book)->CellText(1, 1, 5), "10.042");

    ASSERT_TRUE(queueA.Put(QueuedRow{book, 0, 1, value("10.055"), {3000, "A"}}));
    ASSERT_TRUE(DeliverRows(queueA, a, LockWait::Patient, d));
    EXPECT_EQ(Workbook::Open(book)->CellText(1, 1, 5), "10.055");
}
