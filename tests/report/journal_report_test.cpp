// What the report takes from the stations' measurement journals: the entry
// behind each value of a day workbook, a point's history with its
// re-measurements, the order of a day's values on the chart, and the values
// with their times and gauges in the CSV and in the AQDEF file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "records/journal.h"
#include "report/aqdef.h"
#include "report/capability.h"
#include "report/journal_index.h"
#include "report/part_facts.h"
#include "report/report_csv.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;
using reporttest::MakeDayBook;
using reporttest::Ran;
using reporttest::RunProgram;

namespace {

const Day kSeventh{std::chrono::year(2026), std::chrono::month(3), std::chrono::day(7)};

JournalEntry Entry(const std::string& time, const std::string& who, int point, const std::string& text,
                   const std::string& replaced, EntryWay way = EntryWay::Typed, const std::string& gauge = "") {
    JournalEntry e;
    e.Time = *ParseTimestamp(time);
    e.WorkDate = kSeventh;
    e.Station = "st1";
    e.Operator = who;
    e.Product = "軸受";
    e.Machine = 2;
    e.Point = point;
    e.Text = text;
    e.Judgement = "合";
    e.Way = way;
    e.Key = way == EntryWay::Reading ? 3 : 0;
    e.Gauge = gauge;
    e.Replaced = replaced;
    return e;
}

// 佐藤 typed 10.01 at nine and read 10.02 over it with gauge G-17 five minutes
// later; 田中 measured 9.99 at eight. The books hold the last values.
std::string MakeProduct(const TempRoot& root) {
    std::string product = root / "軸受";
    MakeDayBook(product, "佐藤_軸受_2号機_2026年3月7日.xls", {{1, "10", "0.05", "-0.05", "F3 マイクロ", "10.02", "合", ""}});
    MakeDayBook(product, "田中_軸受_2号機_2026年3月7日.xls", {{1, "10", "0.05", "-0.05", "", "9.99", "合", ""}});
    std::vector<std::string> records;
    JournalEntry otherProduct = Entry("2026-03-07T08:30:00+09:00", "佐藤", 1, "3.5", "");
    otherProduct.Product = "歯車";
    for (const JournalEntry& e :
         {Entry("2026-03-07T08:00:00+09:00", "田中", 1, "9.99", ""), otherProduct,
          Entry("2026-03-07T09:00:00+09:00", "佐藤", 1, "10.01", ""),
          Entry("2026-03-07T09:05:00+09:00", "佐藤", 1, "10.02", "10.01", EntryWay::Reading, "G-17")})
        records.push_back(JournalRecord(e));
    // The product folder setting is the root: its ＺＩＶログ holds every product's entries.
    EXPECT_TRUE(AppendToJournal(JournalPath(root.path(), kSeventh, "st1"), records));
    return product;
}

}  // namespace

TEST(ReportJournal, ValuesFindTheirEntriesAndAPointItsHistory) {
    TempRoot root;
    std::string product = MakeProduct(root);
    // A reading refused afterwards (its reply held no number) changed no cell and measured nothing again.
    JournalEntry refused = Entry("2026-03-07T09:10:00+09:00", "佐藤", 1, "", "10.02", EntryWay::Refused);
    refused.Key = 3;
    ASSERT_TRUE(AppendToJournal(JournalPath(root.path(), kSeventh, "st1"), {JournalRecord(refused)}));
    JournalIndex journal = JournalIndex::Read(product, {});
    ASSERT_EQ(journal.Size(), 4u);
    DayBookName sato{"佐藤", "軸受", 2, {2026, 3, 7}};
    const JournalEntry* entry = journal.EntryOf(sato, 1, "10.02");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->Gauge, "G-17");
    EXPECT_EQ(LocalTimeText(entry->Time), "2026-03-07 09:05:00");
    EXPECT_TRUE(journal.EntryOf(sato, 1, "", 10.02));  // a value the book keeps as a number
    // The first value was measured over: the book's cell is not its entry.
    EXPECT_FALSE(journal.EntryOf(sato, 1, "10.01"));
    EXPECT_FALSE(journal.EntryOf({"佐藤", "軸受", 3, {2026, 3, 7}}, 1, "10.02"));

    std::vector<const JournalEntry*> history = journal.History(1, 2);
    ASSERT_EQ(history.size(), 4u);
    EXPECT_FALSE(IsRemeasurement(*history[3]));
    EXPECT_EQ(history[0]->Operator, "田中");
    EXPECT_FALSE(IsRemeasurement(*history[1]));
    EXPECT_TRUE(IsRemeasurement(*history[2]));
    std::vector<std::string> texts = HistoryTexts(*history[2]);
    EXPECT_EQ(texts.back(), "再測定");
    EXPECT_EQ(texts[9], "F3");

    // A filter's operator and dates apply to the journal as to the books.
    Filter onlyTanaka;
    onlyTanaka.Operator = "田中";
    EXPECT_EQ(JournalIndex::Read(product, onlyTanaka).Size(), 1u);
    Filter before;
    before.To = Date{2026, 3, 6};
    EXPECT_TRUE(JournalIndex::Read(product, before).Empty());

    // By name 佐藤's book comes first; by the journal 田中 measured first.
    DayBookData sBook{"", sato, {}}, tBook{"", {"田中", "軸受", 2, {2026, 3, 7}}, {}};
    sBook.Rows.push_back({1, "10", "0.05", "-0.05", "", "10.02", "合", "", {}});
    tBook.Rows.push_back({1, "10", "0.05", "-0.05", "", "9.99", "合", "", {}});
    CapabilityBuilder plain, timed;
    for (const DayBookData* book : {&sBook, &tBook}) {
        plain.Add(*book);
        timed.Add(*book, &journal);
    }
    EXPECT_EQ(plain.SeriesOf(1, 2)->Samples[0].Value, 10.02);
    EXPECT_EQ(timed.SeriesOf(1, 2)->Samples[0].Value, 9.99);
    EXPECT_NE(timed.SeriesOf(1, 2)->Samples[0].TakenMs, Sample::kNoTime);

    // A line cut short is counted, the whole ones still read.
    std::string path = JournalPath(root.path(), kSeventh, "st1");
    WriteBytes(path, ReadBytes(path) + "2026-03-07T10:00:00+09:00,2026-03-07,st1,佐藤,軸受,2,1,10.");
    JournalIndex damaged = JournalIndex::Read(product, {});
    EXPECT_EQ(damaged.Size(), 4u);
    EXPECT_EQ(damaged.Damaged(), 1u);
}

// A shop moves old years out of the folders the stations list: the report
// still finds the books and the journals there.
TEST(ReportJournal, BooksAndJournalsMovedIntoTheArchiveAreStillRead) {
    TempRoot root;
    std::string product = MakeProduct(root);
    const std::string data = product + "/data", journals = JournalFolder(root.path());
    const std::string book = "田中_軸受_2号機_2026年3月7日.xls", journal = JournalFileName(*ParseDay("2026-03-07"), "st1");
    std::filesystem::create_directories(data + "/" + kArchiveFolderName + "/2026");
    std::filesystem::create_directories(journals + "/" + kArchiveFolderName + "/2026");
    std::filesystem::rename(data + "/" + book, data + "/" + kArchiveFolderName + "/2026/" + book);
    std::filesystem::rename(journals + "/" + journal, journals + "/" + kArchiveFolderName + "/2026/" + journal);
    EXPECT_EQ(ListDayBooks(product, {}).Books.size(), 2u);
    EXPECT_EQ(JournalIndex::Read(product, {}).Size(), 3u);
}

TEST(ReportJournal, CommandLineShowsTimesGaugesHistoryAndAqdef) {
    if (!std::filesystem::exists(reporttest::ReportTool())) GTEST_SKIP() << "ziv-report is not built";
    TempRoot root;
    std::string product = MakeProduct(root);
    PartFacts facts;
    facts.PartNumber = "D-1234";
    facts.PartName = "軸受";
    ASSERT_TRUE(SavePartFacts(PartFactsPath(product), facts));
    QString tool = QString::fromStdString(reporttest::ReportTool());
    QString dir = QString::fromStdString(product);
    QStringList range{dir, "--from", "2026-03-01", "--to", "2026-03-31"};

    Ran values = RunProgram(tool, QStringList{"values"} + range + QStringList{"--csv", QString::fromStdString(root / "v.csv")});
    ASSERT_EQ(values.Exit, 0) << values.Err;
    std::string csv = ReadBytes(root / "v.csv");
    EXPECT_NE(csv.find(",ファイル,時刻,ステーション,管理番号\r\n"), std::string::npos) << csv;
    // A local date and time a spreadsheet takes for one.
    EXPECT_NE(csv.find(",2026-03-07 09:05:00,st1,G-17\r\n"), std::string::npos) << csv;

    Ran history = RunProgram(tool, QStringList{"history"} + range +
                                       QStringList{"--point", "1", "--csv", QString::fromStdString(root / "h.csv")});
    ASSERT_EQ(history.Exit, 0) << history.Err;
    std::string historyCsv = ReadBytes(root / "h.csv");
    EXPECT_EQ(std::count(historyCsv.begin(), historyCsv.end(), '\n'), 4);
    EXPECT_NE(history.Out.find("再測定"), std::string::npos) << history.Out;
    EXPECT_EQ(RunProgram(tool, QStringList{"history"} + range + QStringList{"--point", "2"}).Exit, 2);
    EXPECT_EQ(RunProgram(tool, QStringList{"history"} + range + QStringList{"--point", "101"}).Exit, 1);

    std::string dfq = root / "values.dfq";
    Ran aqdef = RunProgram(tool, QStringList{"aqdef"} + range +
                                     QStringList{"--lot", "L-7", "--out", QString::fromStdString(dfq)});
    ASSERT_EQ(aqdef.Exit, 0) << aqdef.Err;
    AqdefRead read = ParseAqdef(ReadBytes(dfq));
    EXPECT_EQ(read.Damaged, 0u);
    auto field = [&](int key, std::optional<int> index) -> std::vector<std::string> {
        std::vector<std::string> found;
        for (const AqdefField& f : read.Fields)
            if (f.Key == key && (!index || f.Index == index)) found.push_back(f.Content);
        return found;
    };
    EXPECT_EQ(field(1001, std::nullopt), std::vector<std::string>{"D-1234"});
    EXPECT_EQ(field(2110, 1), std::vector<std::string>{"9.95"});
    // In the order taken, whatever the order of the books; the gauge as text, not as a catalogue number.
    EXPECT_EQ(field(1, 1), (std::vector<std::string>{"9.99", "10.02"}));
    EXPECT_EQ(field(9, 1), std::vector<std::string>{"G-17"});
    EXPECT_EQ(field(12, 1), std::vector<std::string>{});
    EXPECT_EQ(field(4, 1), (std::vector<std::string>{"07.03.2026/08:00:00", "07.03.2026/09:05:00"}));
    EXPECT_EQ(field(6, 1), (std::vector<std::string>{"L-7", "L-7"}));
}
