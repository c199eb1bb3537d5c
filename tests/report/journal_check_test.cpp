// The check of the day workbooks against the journals: a value that a late
// write from another computer undid is found and written back; a book that
// agrees with the journals gives nothing.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/share_lock.h"
#include "records/journal.h"
#include "report/journal_check.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;

namespace {

const Day kSeventh{std::chrono::year(2026), std::chrono::month(3), std::chrono::day(7)};

JournalEntry Entry(const std::string& time, const std::string& station, const std::string& who, int point,
                   const std::string& text) {
    JournalEntry e;
    e.Time = *ParseTimestamp("2026-03-07T" + time + "+09:00");
    e.WorkDate = kSeventh;
    e.Station = station;
    e.Operator = who;
    e.Product = "軸受";
    e.Machine = 2;
    e.Point = point;
    e.Text = text;
    e.Judgement = text.empty() ? "" : "合";
    e.Way = text.empty() ? EntryWay::Emptied : EntryWay::Typed;
    return e;
}

}  // namespace

TEST(JournalCheck, FindsAndRepairsWhatALateWriteUndid) {
    TempRoot root;
    std::string product = root / "軸受";
    // Station A's late rename put its older book back over B's 10.042 of
    // point 2; point 3 was emptied on B after A's book was read.
    std::string book = reporttest::MakeDayBook(product, "佐藤_軸受_2号機_2026年3月7日.xls",
                                               {{1, "10", "0.05", "-0.05", "", "10.02", "合", ""},
                                                {2, "10", "0.05", "-0.05", "", "10.011", "合", ""},
                                                {3, "10", "0.05", "-0.05", "", "9.99", "合", ""},
                                                {5, "10", "0.05", "-0.05", "", "10.05", "合", ""}});
    auto journal = [&](const std::string& station, const std::vector<JournalEntry>& entries) {
        std::vector<std::string> records;
        for (const JournalEntry& e : entries) records.push_back(JournalRecord(e));
        ASSERT_TRUE(AppendToJournal(JournalPath(root.path(), kSeventh, station), records));
    };
    journal("a", {Entry("09:00:00", "a", "佐藤", 1, "10.020"), Entry("09:00:01", "a", "佐藤", 2, "10.011"),
                  Entry("09:00:02", "a", "佐藤", 3, "9.99")});
    // A reading refused later on point 1 left its cell as it was.
    JournalEntry refused = Entry("09:08:00", "b", "佐藤", 1, "");
    refused.Way = EntryWay::Refused;
    refused.Key = 3;
    journal("b", {Entry("09:05:00", "b", "佐藤", 2, "10.042"), Entry("09:06:00", "b", "佐藤", 3, ""),
                  Entry("09:07:00", "b", "田中", 4, "10.03"), refused});

    // Point 5's newer value from station c is in the book, its journal line still on its way.
    journal("a", {Entry("09:04:00", "a", "佐藤", 5, "10.04")});
    auto nsOf = [](const std::string& time) { return Entry(time, "", "", 0, "").Time.Utc.time_since_epoch().count() * 1'000'000; };
    ASSERT_TRUE(WriteRowTimes(RowTimesPath(book), {{5, {nsOf("09:09:00"), "c"}}}, RealDisk()));

    // Station a checks the books it delivered to, every station's points in them.
    JournalCheck ofA = CheckJournals(product, {}, StationFiles(), false, "a");
    ASSERT_EQ(ofA.differences.size(), 2u) << "田中's book has no entry of a";
    EXPECT_EQ(ofA.differences[0].newest.Station, "b");
    JournalCheck found = CheckJournals(product, {}, StationFiles(), false);
    ASSERT_EQ(found.differences.size(), 3u);
    EXPECT_EQ(found.differences[0].found, "10.011");
    EXPECT_EQ(found.differences[0].newest.Text, "10.042");
    EXPECT_EQ(found.differences[1].newest.Point, 3);
    EXPECT_TRUE(found.differences[2].bookMissing) << "田中's book was never made";
    EXPECT_EQ(found.Unrepaired(), 3u);

    std::string tool = reporttest::ReportTool();
    if (std::filesystem::exists(tool)) {
        QStringList args{"check", QString::fromStdString(product), "--from", "2026-03-07", "--to", "2026-03-07"};
        reporttest::Ran listed = reporttest::RunProgram(QString::fromStdString(tool), args);
        EXPECT_EQ(listed.Exit, 5) << listed.Err;
        EXPECT_NE(listed.Out.find("\t2\t10.042\t10.011\t"), std::string::npos) << listed.Out;
        reporttest::Ran repaired = reporttest::RunProgram(QString::fromStdString(tool), args << "--repair");
        EXPECT_EQ(repaired.Exit, 0) << repaired.Err;
    } else {
        EXPECT_EQ(CheckJournals(product, {}, StationFiles(), true).Unrepaired(), 0u);
    }
    JournalCheck after = CheckJournals(product, {}, StationFiles(), false);
    EXPECT_TRUE(after.differences.empty()) << after.differences.front().book;
    auto read = Workbook::Open(book);
    ASSERT_TRUE(read);
    EXPECT_EQ(ReadDayBookRow(*read, 2), (MeasuredRow{"", "10.042", "合", ""}));
    EXPECT_EQ(ReadDayBookRow(*read, 3).Value, "");
    EXPECT_EQ(ReadDayBookRow(*read, 5).Value, "10.05") << "an older journal value was written over a newer one";
    EXPECT_EQ(read->CellText(1, 2, 1), "10") << "the master columns stay";
    // The value written back keeps its time, so that A's older value, should
    // it still wait, does not take the cell again.
    RowTimes times = ReadRowTimes(RowTimesPath(book), RealDisk());
    EXPECT_EQ(times[2], (MeasuredAt{Entry("09:05:00", "b", "佐藤", 2, "").Time.Utc.time_since_epoch().count() * 1'000'000, "b"}));
    EXPECT_FALSE(GoesIn(times, 2, {times[2].Ns - 1, "a"}));
}
