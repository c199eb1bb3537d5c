// Day-workbook rows whose save failed wait in the station's queue: whatever
// the failure, whatever is closed meanwhile, and across a restart, until a
// save or a retry writes them, over what other stations wrote to those rows.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>

#include "common/text_file.h"
#include "platform/file_lock.h"
#include "platform/workbook.h"
#include "records/day_book.h"
#include "records/save_queue.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

class QueuedDayRows : public ::testing::Test {
protected:
    TempRoot root;
    std::string product = root / "製品/A-100";
    std::string book = DayBookPath(product, "検査員1", "A-100", 0, {"2026", "3", "2"});
    std::string otherDate = DayBookPath(product, "検査員1", "A-100", 0, {"2026", "3", "3"});
    std::set<std::string> busy;  // files whose lock another station keeps
    std::map<int, std::string> typed;  // row -> value, as the grid holds it

    void SetUp() override {
        fs::create_directories(root / "Config");
        fs::create_directories(product);
        Workbook master = Workbook::New();
        for (int r = 1; r <= 6; ++r) {
            master.SetCell(1, r, 1, std::to_string(10 * r));
            master.SetCell(1, r, 2, "0.02");
            master.SetCell(1, r, 3, "-0.01");
            master.SetCell(1, r, 4, std::to_string(10 * r));
        }
        ASSERT_TRUE(master.SaveAs(MasterBookPath(product)));
        // A lock is had unless the test says another station keeps it. Each
        // test runs in a process of its own, so the program's lock is not
        // needed back afterwards.
        SetFileLocker([this](const std::string& path) -> std::unique_ptr<FileLockHold> {
            if (busy.count(path)) return nullptr;
            return std::make_unique<FileLockHold>();
        });
    }
    void TearDown() override {
        SetFileLocker(nullptr);
        SetWriteFaultHook(nullptr);
        SetReadFaultHook(nullptr);
    }

    DayBooks::SaveResult Enter(DayBooks& books, const std::string& path, int row, const std::string& value) {
        typed[row] = value;
        return books.Save(
            0, path, row, "M", kLastPoint,
            [&](int r, const std::string& name) { return MeasuredRow{name, typed[r], "合", "0"}; },
            [](int r) { return MasterRow{std::to_string(10 * r), "0.02", "-0.01", ""}; });
    }
    // Another station's save: the rows written straight into the file.
    static void WrittenElsewhere(const std::string& path, const std::map<int, std::string>& values) {
        fs::create_directories(fs::path(path).parent_path());
        std::optional<Workbook> file = fs::exists(path) ? Workbook::Open(path) : Workbook::New();
        ASSERT_TRUE(file);
        for (const auto& [r, v] : values) ASSERT_TRUE(WriteDayBookRow(*file, r, {"X", v, "合", "0"}));
        ASSERT_TRUE(file->SaveAs(path));
    }
    static std::string Value(const std::string& path, int row) {
        auto file = Workbook::Open(path);
        return file ? file->CellText(1, row, 5) : "(no workbook)";
    }
    size_t WaitingAfterRestart() {
        SaveQueue queue(SaveQueuePath(root.path()));
        static_cast<void>(queue.Load());
        return queue.Count();
    }
};

}  // namespace

TEST_F(QueuedDayRows, EveryFailedSaveQueuesItsRowAndTheNextSaveWritesThemAll) {
    SaveQueue queue(SaveQueuePath(root.path()));
    DayBooks books(queue);
    // The product folder's share not answering: the data folder cannot be made.
    WriteBytes(DayBookFolder(product), "a file where the folder should be");
    EXPECT_EQ(Enter(books, book, 1, "10.001").outcome, DayBooks::Outcome::FolderNotMade);
    fs::remove(DayBookFolder(product));
    busy.insert(book);
    EXPECT_EQ(Enter(books, book, 2, "20.002").outcome, DayBooks::Outcome::Locked);
    busy.clear();
    SetReadFaultHook([&](const std::string& p) { return p == book ? ENOTCONN : 0; });
    EXPECT_EQ(Enter(books, book, 3, "30.003").outcome, DayBooks::Outcome::Unreadable);
    SetReadFaultHook(nullptr);
    SetWriteFaultHook([&](WriteStep step, const std::string& p) { return step == WriteStep::Write && p == book ? ENOSPC : 0; });
    EXPECT_EQ(Enter(books, book, 4, "40.004").outcome, DayBooks::Outcome::WriteFailed);
    SetWriteFaultHook(nullptr);
    // A damaged file in the way, moved off by the operator afterwards.
    WriteBytes(book, "not a workbook");
    auto damaged = Enter(books, book, 5, "50.005");
    EXPECT_EQ(damaged.outcome, DayBooks::Outcome::Unreadable);
    EXPECT_TRUE(damaged.queued);
    fs::remove(book);
    EXPECT_EQ(queue.Count(), 5u);
    EXPECT_EQ(WaitingAfterRestart(), 5u);

    auto saved = Enter(books, book, 6, "60.006");
    ASSERT_EQ(saved.outcome, DayBooks::Outcome::Saved);
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(Value(book, r), typed[r]) << "row " << r;
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_EQ(WaitingAfterRestart(), 0u);
}

TEST_F(QueuedDayRows, WaitingRowsOutliveClosingAndTheProgramAndAreWrittenIntoANewWorkbook) {
    {
        SaveQueue queue(SaveQueuePath(root.path()));
        DayBooks books(queue);
        busy.insert(book);
        ASSERT_FALSE(Enter(books, book, 2, "20.01"));
        ASSERT_FALSE(Enter(books, book, 3, "30.02"));
        // The working date changed, the window closed.
        books.Close(0);
        books.CloseAll();
        EXPECT_EQ(queue.Count(), 2u);
    }
    busy.clear();
    SaveQueue queue(SaveQueuePath(root.path()));
    ASSERT_EQ(queue.Load().status, ReadStatus::Read);
    DayBooks books(queue);
    EXPECT_EQ(books.Waiting(book).size(), 2u);
    EXPECT_TRUE(books.SaveWaiting().queueProblem);
    EXPECT_EQ(queue.Count(), 0u);
    EXPECT_EQ(WaitingAfterRestart(), 0u);
    // Made new, with the master read from beside the data folder.
    auto written = Workbook::Open(book);
    ASSERT_TRUE(written);
    EXPECT_EQ(written->CellText(1, 1, 1), "10");
    EXPECT_EQ(written->CellText(1, 6, 3), "-0.01");
    EXPECT_EQ(written->CellText(2, 5, 1), "50");
    EXPECT_EQ(written->CellText(1, 2, 5), "20.01");
    EXPECT_EQ(written->CellText(1, 3, 5), "30.02");
    EXPECT_EQ(written->CellText(1, 1, 5), "");
    EXPECT_FALSE(books.IsOpen(0));
}

TEST_F(QueuedDayRows, WaitingRowsWinOverAnotherStationsChangesAndKeepTheRest) {
    WrittenElsewhere(book, {{1, "9.991"}, {2, "9.992"}});
    SaveQueue queue(SaveQueuePath(root.path()));
    DayBooks books(queue);
    ASSERT_FALSE(books.Open(0, book));
    busy.insert(book);
    ASSERT_FALSE(Enter(books, book, 2, "20.02"));
    busy.clear();
    WrittenElsewhere(book, {{2, "9.982"}, {3, "9.983"}});

    auto saved = Enter(books, book, 4, "40.04");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved.fromDisk, std::vector<int>{3});
    EXPECT_EQ(Value(book, 1), "9.991");
    EXPECT_EQ(Value(book, 2), "20.02");
    EXPECT_EQ(Value(book, 3), "9.983");
    EXPECT_EQ(Value(book, 4), "40.04");
    EXPECT_EQ(queue.Count(), 0u);

    // A row of another date's workbook, which the machine no longer shows,
    // goes straight into that file when tried again.
    busy.insert(otherDate);
    ASSERT_FALSE(Enter(books, otherDate, 5, "50.05"));
    busy.clear();
    ASSERT_FALSE(books.Open(0, book));
    WrittenElsewhere(otherDate, {{1, "8.881"}, {5, "8.885"}});
    WrittenElsewhere(book, {{6, "9.986"}});
    DayBooks::Retried retried = books.SaveWaiting();
    EXPECT_TRUE(retried.fromDisk.empty());
    EXPECT_EQ(Value(otherDate, 1), "8.881");
    EXPECT_EQ(Value(otherDate, 5), "50.05");
    EXPECT_EQ(queue.Count(), 0u);
    // The workbook shown is left as the machine read it.
    EXPECT_EQ(books.Row(0, 6).Value, "");
    EXPECT_EQ(books.Row(0, 2).Value, "20.02");
}
