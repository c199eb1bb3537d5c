// The entry flow without any window: what each way of entry leaves on the
// sheet, in the day workbook and in the rejection folder, where the input
// position goes next, and what a load shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <cerrno>
#include <filesystem>

#include "faulty_disk.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "records/day_book.h"
#include "station_log/entry_writer.h"
#include "records/journal.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "station/entry_flow.h"
#include "station/rejection.h"
#include "station/self_heal.h"
#include "temp_root.h"

namespace ziv {
namespace {

namespace fs = std::filesystem;

struct Move {
    int machine, point, top;
    bool operator==(const Move&) const = default;
};

class EntryFlowTest : public ::testing::Test, public EntryFlow::View {
protected:
    TempRoot root;
    std::string products = root / "製品";
    StationLog queue{OldQueuePath(root.path())};
    std::vector<Move> moves;
    std::vector<int> rowsShown;  // machine * 1000 + point
    FaultyDisk disk;
    EntryFlow flow{"検査員1", queue, Files{disk, StationFileLocks()}, *this};
    // The writer the station runs, over the test's queue and disk.
    std::unique_ptr<EntryWriter> writer;

    void RowChanged(int machine, int point) override { rowsShown.push_back(machine * 1000 + point); }
    void SheetChanged(int) override {}
    void PointMoved(int machine, int point, int top) override { moves.push_back({machine, point, top}); }
    void PointReset(int machine) override { moves.push_back({machine, kFirstPoint, kFirstPoint}); }

    void SetUp() override {
        MakeFolders(root / "Config");
        MakeFolders(RejectionFolder(products));
        flow.SetProductFolder(products);
        flow.SetWorkDate({"2025", "1", "5"});
        StartWriter();
        flow.WakeWriterWith([this] { writer->Wake(); });
    }
    void TearDown() override { writer->Stop(5000); }
    // A writer started as a new run of the station starts it.
    void StartWriter(std::function<void()> heal = {}) {
        if (writer) writer->Stop(5000);
        writer = std::make_unique<EntryWriter>(std::shared_ptr<StationLog>(&queue, [](StationLog*) {}),
                                               Files{disk, StationFileLocks()}, StationServerClock());
        writer->Start();
        if (heal) writer->HealAfterOutage(std::move(heal));
    }
    // The writer delivers what waits, as the window lets it: true when nothing waits.
    bool Deliver() {
        bool done = writer->Drain(20000);
        for (const auto& [book, rows] : writer->Take().written) flow.TakeWritten(book, rows);
        return done;
    }
    // A product whose master gives every point nominal 10, -0.01..+0.02 and the target.
    std::string MakeProduct(const std::string& name, int points, const std::string& target = "10") {
        std::string folder = JoinPath(products, name);
        MakeFolders(folder);
        Workbook master = Workbook::New();
        const std::string cells[] = {"10", "0.02", "-0.01", target};
        for (int r = 1; r <= points; ++r)
            for (int c = 1; c <= 4; ++c) master.SetCell(1, r, c, cells[c - 1]);
        EXPECT_TRUE(master.SaveAs(MasterBookPath(folder)));
        return folder;
    }
    void Register(int machine, const std::string& folder) {
        flow.SetProduct(machine, folder);
        static_cast<void>(flow.LoadFromTheTop(machine));
    }
    std::string Book(int machine = 0) {
        return DayBookPath(flow.ProductPath(machine), "検査員1", flow.ProductName(machine), machine, flow.WorkingDate());
    }
    MeasuredRow Saved(int point, int machine = 0) {
        EXPECT_TRUE(Deliver());
        auto book = Workbook::Open(Book(machine));
        return book ? ReadDayBookRow(*book, point) : MeasuredRow{"no workbook", "", "", ""};
    }
    std::vector<std::string> Rejections() {
        Deliver();
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(RejectionFolder(products))) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(EntryFlowTest, EveryWayOfEntryIsJudgedRecordedSavedAndMovesOn) {
    Register(0, MakeProduct("A-100", 5));
    EntryFlow::Entry reading = flow.EnterReading("-010.03", 2, "M");
    EXPECT_EQ(reading.judgement, Judgement::Fail);
    EXPECT_TRUE(reading.rejection && *reading.rejection);
    EXPECT_TRUE(reading.kept);
    EXPECT_EQ(Saved(1), (MeasuredRow{"M", "10.03", "不", "-0.03"}));

    EntryFlow::Entry number = flow.EnterNumber("10.005");
    EXPECT_EQ(number.point, 2);
    EXPECT_EQ(number.judgement, Judgement::Pass);
    EXPECT_FALSE(number.rejection);
    EXPECT_EQ(Saved(2), (MeasuredRow{"", "10.005", "合", "-0.005"}));

    // The keys judge without a number and leave no correction under a target.
    EXPECT_EQ(flow.EnterPassFail(false).key, 11);
    EXPECT_EQ(flow.EnterPassFail(true).key, 12);
    EXPECT_EQ(Saved(3), (MeasuredRow{"", "NG", "不", ""}));
    EXPECT_EQ(Saved(4), (MeasuredRow{"", "OK", "合", ""}));
    EXPECT_EQ(flow.EnterText("傷あり").judgement, Judgement::None);
    EXPECT_EQ(Saved(5), (MeasuredRow{"", "傷あり", "", ""}));

    // Empty text deletes a value; the input position then comes back to it.
    flow.SelectPoint(0, 1);
    EntryFlow::Entry deleted = flow.EnterText("");
    EXPECT_EQ(deleted.before.Value, "10.03");
    EXPECT_EQ(Saved(1), (MeasuredRow{}));
    EXPECT_EQ(flow.Point(0), 1);

    EXPECT_EQ(Rejections(), (std::vector<std::string>{
                                "2025年1月5日_検査員1_0号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［10.03］.txt",
                                "2025年1月5日_検査員1_0号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［NG］.txt"}));
    EXPECT_EQ(flow.SavedCount(), 6);
    EXPECT_EQ(rowsShown, (std::vector<int>{1, 2, 3, 4, 5, 1}));
}

// Every entry goes into the journal at once: what it replaced, how it came,
// the gauge of a reading and whether its calibration had run out; a point
// measured twice keeps both values there, the day workbook the second. An
// entry the journal's folder cannot take waits in the queue and goes in later.
TEST_F(EntryFlowTest, EveryEntryGoesIntoTheJournalWithItsGaugeAndWhatItReplaced) {
    using namespace std::chrono;
    Day today = TimestampNow().LocalDay();
    Gauges gauges{};
    gauges[1] = {"G-2", year_month_day(sys_days(today) - days(1))};  // F2: overdue since today
    gauges[2] = {"G-3", year_month_day(sys_days(today) + days(30))};
    flow.KeepJournal("st-1", gauges);
    Register(0, MakeProduct("A-100", 3));

    EntryFlow::Entry overdue = flow.EnterReading("-010.03", 2, "M", "  -010.03\r");
    EXPECT_TRUE(overdue.gaugeOverdue);
    ASSERT_TRUE(overdue.journal && overdue.journal->Written());
    EXPECT_FALSE(flow.EnterReading("10.01", 3, "M").gaugeOverdue);
    flow.SelectPoint(0, 1);
    EXPECT_TRUE(flow.EnterNumber("10.005").journal->Written());
    flow.SelectPoint(0, 2);
    flow.EnterPassFail(true);
    flow.SelectPoint(0, 2);
    flow.EnterText("");

    Day workDay = year(2025) / 1 / 5;
    ASSERT_TRUE(Deliver());
    JournalRead journal = ReadJournal(JournalPath(products, workDay, "st-1"));
    ASSERT_EQ(journal.entries.size(), 5u);
    const JournalEntry& first = journal.entries[0];
    EXPECT_EQ(first.Way, EntryWay::Reading);
    EXPECT_EQ(first.Key, 2);
    EXPECT_EQ(first.Gauge, "G-2");
    EXPECT_TRUE(first.GaugeOverdue);
    EXPECT_EQ(first.Reply, "  -010.03\r");
    EXPECT_EQ(first.Text, "10.03");
    EXPECT_EQ(first.Judgement, "不");
    EXPECT_EQ(first.Operator, "検査員1");
    EXPECT_EQ(first.Product, "A-100");
    EXPECT_EQ(first.WorkDate, workDay);
    EXPECT_FALSE(journal.entries[1].GaugeOverdue);
    // Measured again by hand: no gauge, and the first value kept as replaced.
    const JournalEntry& again = journal.entries[2];
    EXPECT_EQ(again.Way, EntryWay::Typed);
    EXPECT_EQ(again.Point, 1);
    EXPECT_EQ(again.Gauge, "");
    EXPECT_EQ(again.Replaced, "10.03");
    EXPECT_EQ(Saved(1).Value, "10.005");
    EXPECT_EQ(journal.entries[3].Way, EntryWay::Pass);
    EXPECT_EQ(journal.entries[4].Way, EntryWay::Emptied);
    EXPECT_EQ(journal.entries[4].Replaced, "OK");

    // The journal's folder cannot be made: the entry waits, then goes in.
    fs::rename(JournalFolder(products), root / "journals-away");
    WriteBytes(JournalFolder(products), "a file where the folder belongs");
    EXPECT_TRUE(flow.EnterNumber("10.004").kept);
    EXPECT_FALSE(writer->TryOnce(20000));
    EXPECT_EQ(queue.JournalLineCount(), 1u);
    fs::remove(JournalFolder(products));
    fs::rename(root / "journals-away", JournalFolder(products));
    EXPECT_TRUE(Deliver());
    journal = ReadJournal(JournalPath(products, workDay, "st-1"));
    ASSERT_EQ(journal.entries.size(), 6u);
    EXPECT_EQ(journal.entries[5].Text, "10.004");

    // The flow's disk cannot sync the journal: the entry, though it may be
    // on disk, waits, and goes in once when the disk can.
    disk.appends = [](WriteStep step, const std::string& path) {
        return step == WriteStep::Sync && path.find("ＺＩＶログ") != std::string::npos ? EIO : 0;
    };
    EXPECT_TRUE(flow.EnterNumber("10.006").kept);
    // The writer may find the line in the journal on its next try: then it is not appended again.
    static_cast<void>(writer->TryOnce(20000));
    disk.appends = nullptr;
    EXPECT_TRUE(Deliver());
    journal = ReadJournal(JournalPath(products, workDay, "st-1"));
    ASSERT_EQ(journal.entries.size(), 7u);
    EXPECT_EQ(journal.entries[6].Text, "10.006");
}

// Seen: "12,06" recorded as 1206, "90.0190.01" as 90.019, "-10.005" as
// 10.005 on a point of magnitudes. A box that is not one number is a typo.
TEST_F(EntryFlowTest, NothingIsTakenWithoutProductNorFromABoxThatIsNoNumber) {
    Register(1, MakeProduct("A-100", 3));
    for (EntryFlow::Entry entry : {flow.EnterReading("1", 1, "M"), flow.EnterNumber("1"), flow.EnterText("x"),
                                   flow.EnterPassFail(false)})
        EXPECT_EQ(entry.taken, EntryFlow::Entry::Taken::NoProduct);
    flow.ShowMachine(1);
    using Taken = EntryFlow::Entry::Taken;
    const std::pair<const char*, Taken> typos[] = {{"1.5e3", Taken::NotANumber}, {"abc", Taken::NotANumber},
                                                   {"12,06", Taken::NotANumber}, {"90.0190.01", Taken::NotANumber},
                                                   {"-10.005", Taken::SignRefused}};
    for (const auto& [box, taken] : typos) EXPECT_EQ(flow.EnterNumber(box).taken, taken) << box;
    EXPECT_EQ(flow.Sheet(1).Row(1).Value, "");
    EXPECT_EQ(flow.SavedCount(), 0);
    EXPECT_FALSE(FileExists(Book(1)));
    EXPECT_EQ(Rejections(), std::vector<std::string>{});
    EXPECT_TRUE(rowsShown.empty());
}

// A deviation from a master keeps its sign where the point's lower limit lies
// below zero; a reply or a box without a number records nothing, and the
// journal keeps each refused reply.
TEST_F(EntryFlowTest, SignedDeviationsAndNoNumberRecordNothingWrong) {
    flow.KeepJournal("st-1", {});
    std::string folder = MakeProduct("A-100", 2);
    auto master = Workbook::Open(MasterBookPath(folder));
    ASSERT_TRUE(master);
    const char* deviation[] = {"0", "0.02", "-0.03"};
    for (int c = 1; c <= 3; ++c) master->SetCell(1, 1, c, deviation[c - 1]);
    ASSERT_TRUE(master->SaveAs(MasterBookPath(folder)));
    Register(0, folder);

    EXPECT_TRUE(flow.EnterReading("-000.025", 1, "M", "01A-000.025\r"));
    for (const char* reply : {"ERR", "-----", "OVER", ""}) {
        flow.SelectPoint(0, 1);
        EntryFlow::Entry refused = flow.EnterReading(reply, 1, "M", reply + std::string("\r"));
        EXPECT_EQ(refused.taken, EntryFlow::Entry::Taken::NoNumber) << reply;
        ASSERT_TRUE(refused.journal && refused.journal->Written());
    }
    for (const char* box : {"", "-", "."}) EXPECT_EQ(flow.EnterNumber(box).taken, EntryFlow::Entry::Taken::NoNumber);
    EXPECT_EQ(Saved(1), (MeasuredRow{"M", "-0.025", "合", "10.025"}));
    EXPECT_EQ(flow.EnterNumber("-0.031").after.Value, "-0.031");
    EXPECT_FALSE(flow.SignKept());  // point 2: nominal 10
    EXPECT_EQ(flow.EnterNumber("-10").taken, EntryFlow::Entry::Taken::SignRefused);
    EXPECT_EQ(flow.SavedCount(), 2);
    EXPECT_EQ(Rejections().size(), 1u);

    ASSERT_TRUE(Deliver());
    JournalRead journal = ReadJournal(JournalPath(products, std::chrono::year(2025) / 1 / 5, "st-1"));
    ASSERT_EQ(journal.entries.size(), 6u);
    const JournalEntry& refused = journal.entries[4];
    EXPECT_EQ(refused.Way, EntryWay::Refused);
    EXPECT_EQ(EntryWayText(refused), "F1 数値なし");
    EXPECT_EQ(refused.Reply, "\r");
    EXPECT_EQ(refused.Replaced, "-0.025");
}

TEST_F(EntryFlowTest, TheInputPositionGoesToTheFirstEmptyPoint) {
    Register(0, MakeProduct("A-100", 5));
    flow.SelectPoint(0, 3);
    static_cast<void>(flow.EnterNumber("10"));
    EXPECT_EQ(moves.back(), (Move{0, 1, 3}));  // the point it came from stays in view, on top
    static_cast<void>(flow.EnterNumber("10"));
    EXPECT_EQ(flow.Point(0), 2);
    static_cast<void>(flow.EnterNumber("10"));
    EXPECT_EQ(flow.Point(0), 4);
    flow.SelectPoint(0, 99);
    flow.SearchEmptyPoint();
    EXPECT_EQ(moves.back(), (Move{0, 4, 4}));
    flow.SelectPoint(0, kLastPoint + 1);
    EXPECT_EQ(flow.Point(0), 4);

    // Without auto-advance the next value replaces the one just entered.
    flow.SetAutoAdvance(false);
    moves.clear();
    static_cast<void>(flow.EnterNumber("10.1"));
    static_cast<void>(flow.EnterNumber("10.2"));
    flow.SearchEmptyPoint();
    EXPECT_EQ(flow.Point(0), 4);
    EXPECT_EQ(flow.Sheet(0).Row(4).Value, "10.2");
    EXPECT_TRUE(moves.empty());

    // Each machine keeps its own; showing one moves it on.
    flow.SetAutoAdvance(true);
    Register(1, MakeProduct("B-200", 2));
    flow.SelectPoint(1, 2);
    flow.ShowMachine(1);
    EXPECT_EQ(moves.back(), (Move{1, 1, 2}));
    EXPECT_EQ(flow.Point(0), 4);
    EXPECT_EQ(flow.EnterNumber("10").machine, 1);
}

// Seen: after point 10 of 10 the input position went on to row 11, and the
// values typed there had nothing to be judged by. It stays on the master's
// last point; a row past it takes a value where the operator puts it.
TEST_F(EntryFlowTest, TheInputPositionNeverRunsPastTheMaster) {
    Register(0, MakeProduct("A-100", 3));
    for (const char* value : {"10", "10.001", "10.002"}) ASSERT_TRUE(flow.EnterNumber(value));
    EXPECT_EQ(flow.Point(0), 3);
    flow.SearchEmptyPoint();
    EXPECT_EQ(flow.Point(0), 3);
    flow.SelectPoint(0, 4);
    EXPECT_EQ(flow.EnterNumber("10.5").point, 4);
    EXPECT_EQ(flow.Point(0), 4);
}

// Seen: the calendar gave the years 8 and -4714, and their values went into
// books no report reads, with no journal line. Such a date is refused.
TEST_F(EntryFlowTest, AWorkingDateNoReportReadsIsRefused) {
    flow.KeepJournal("st-1", {});
    Register(0, MakeProduct("A-100", 1));
    const WorkDate refused[] = {
        {"8", "11", "26"}, {"-4714", "11", "26"}, {"2025", "01", "05"}, {"2025", "2", "29"}, {"10000", "1", "1"}};
    for (const WorkDate& date : refused) {
        static_cast<void>(flow.SetWorkDate(date));
        const WorkDate& kept = flow.WorkingDate();
        EXPECT_EQ(kept.Year + "/" + kept.Month + "/" + kept.Day, "2025/1/5") << date.Year << "/" << date.Month;
    }
    EntryFlow::Entry entry = flow.EnterNumber("10");
    EXPECT_TRUE(entry.journal && entry.journal->Written());
}

TEST_F(EntryFlowTest, AFullSheetStartsAgainFromTheFirstPoint) {
    std::string product = MakeProduct("A-100", 0);
    flow.SetProduct(0, product);
    MakeFolders(DayBookFolder(product));
    Workbook book = NewDayBook(kLastPoint, [](int) { return MasterRow{}; });
    for (int r = kFirstPoint; r <= kLastPoint; ++r) ASSERT_TRUE(WriteDayBookRow(book, r, {"", "1", "", ""}));
    ASSERT_TRUE(book.SaveAs(Book()));
    static_cast<void>(flow.LoadFromTheTop(0));
    EXPECT_EQ(moves.back(), (Move{0, 1, 1}));
    EXPECT_EQ(flow.EnterNumber("2").point, 1);
    EXPECT_EQ(flow.Point(0), 1);
}

TEST_F(EntryFlowTest, ALoadShowsTheDayAsSavedTheMasterAsItIsNowAndWhatWaits) {
    std::string product = MakeProduct("A-100", 4);
    Register(0, product);
    EXPECT_EQ(flow.LoadedPointCount(), 4);
    static_cast<void>(flow.EnterNumber("10.001"));
    static_cast<void>(flow.EnterNumber("10.002"));
    ASSERT_TRUE(Deliver());
    MakeProduct("A-100", 1, "");  // the master changed meanwhile

    // Started again, with a value for point 3 that could not be written waiting in its log.
    StationLog again(OldQueuePath(root.path()));
    ASSERT_TRUE(again.Load().problem);
    ASSERT_TRUE(again.Put(QueuedRow{Book(), 0, 3, {"", "10.003", "合", "-0.003"}}));
    EntryFlow restarted("検査員1", again, StationFiles(), *this);
    restarted.SetWorkDate(flow.WorkingDate());
    restarted.SetProduct(0, product);
    moves.clear();
    EXPECT_TRUE(restarted.LoadEveryMachine().empty());
    EXPECT_EQ(restarted.Sheet(0).Measured(2, ""), (MeasuredRow{"", "10.002", "合", "-0.002"}));
    EXPECT_EQ(restarted.Sheet(0).Row(3).Value, "10.003");
    EXPECT_EQ(restarted.Sheet(0).Master(1), (MasterRow{"10", "0.02", "-0.01", ""}));
    EXPECT_EQ(restarted.Sheet(0).Master(2), MasterRow{});
    EXPECT_EQ(restarted.LoadedPointCount(), 1);
    EXPECT_EQ(restarted.Point(0), 1) << "the master's one point is measured: nothing further to go to";
    EXPECT_EQ(moves.size(), 2u * kMachineCount - 1);  // every machine from its first point, then on but machine 0
    // A value saved now leaves the other rows and the master the workbook was made with.
    restarted.SelectPoint(0, 4);
    static_cast<void>(restarted.EnterNumber("10.004"));
    EntryWriter againWriter(std::shared_ptr<StationLog>(&again, [](StationLog*) {}), StationFiles(), StationServerClock());
    againWriter.Start();
    ASSERT_TRUE(againWriter.Drain(20000));
    auto book = Workbook::Open(Book());
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 2, 1), "10");
    EXPECT_EQ(ReadDayBookRow(*book, 2).Value, "10.002");
    EXPECT_EQ(ReadDayBookRow(*book, 4).Value, "10.004");

    // Another date has no workbook yet: its day starts on the first point, on top.
    restarted.SetWorkDate({"2025", "1", "6"});
    moves.clear();
    static_cast<void>(restarted.Load(0));
    EXPECT_EQ(moves, (std::vector<Move>{{0, 1, 4}, {0, 1, 1}}));

    WriteBytes(MasterBookPath(product), "not a workbook");
    WriteBytes(DayBookPath(product, "検査員1", "A-100", 0, restarted.WorkingDate()), "not a workbook either");
    auto unreadable = restarted.Load(0);
    ASSERT_EQ(unreadable.size(), 2u);
    EXPECT_EQ(unreadable[0].file, EntryFlow::Unreadable::File::DayBook);
    EXPECT_EQ(unreadable[1].path, MasterBookPath(product));
}

// A load that the share holds up: what the operator enters meanwhile is
// newer than what the load read, and a load begun again (another date
// chosen) makes the older one's result count for nothing.
TEST_F(EntryFlowTest, ALateLoadNeverTakesBackWhatWasEnteredMeanwhile) {
    Register(0, MakeProduct("A-100", 5));
    for (const char* value : {"10.001", "10.002", "10.003"}) ASSERT_TRUE(flow.EnterNumber(value));
    EntryFlow::LoadedFiles read = EntryFlow::ReadLoad(flow.BeginLoad(0, true), disk);
    EXPECT_TRUE(flow.Loading(0));
    flow.SelectPoint(0, 2);
    EXPECT_EQ(flow.EnterNumber("10.009").judgement, Judgement::Pass) << "the master stays while its product loads";
    EXPECT_TRUE(flow.FinishLoad(std::move(read)).empty());
    EXPECT_FALSE(flow.Loading(0));
    const std::string shown[] = {"10.001", "10.009", "10.003", ""};
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(flow.Sheet(0).Row(r).Value, shown[r - 1]) << r;
    EXPECT_EQ(Saved(2).Value, "10.009");
    EXPECT_EQ(flow.Point(0), 4) << "moved off the value the file brought";

    EntryFlow::LoadedFiles old = EntryFlow::ReadLoad(flow.BeginLoad(0, true), disk);
    flow.SetWorkDate({"2025", "1", "6"});
    EXPECT_TRUE(flow.FinishLoad(EntryFlow::ReadLoad(flow.BeginLoad(0, true), disk)).empty());
    EXPECT_TRUE(flow.FinishLoad(std::move(old)).empty());
    EXPECT_EQ(flow.Sheet(0).Row(1).Value, "") << "the new day shows none of the old one's values";
    EXPECT_EQ(flow.Sheet(0).Master(1).Nominal, "10");
}

// A number entered before its master was read is judged once it is, and
// keeps the time it was measured: judging late makes it no newer than a value
// another station measured meanwhile.
TEST_F(EntryFlowTest, AValueJudgedWhenItsMasterArrivesKeepsItsMeasurementTime) {
    flow.SetProduct(0, MakeProduct("A-100", 3));
    EntryFlow::LoadRequest request = flow.BeginLoad(0, true);
    EntryFlow::Entry entry = flow.EnterNumber("10.5");
    ASSERT_TRUE(entry);
    EXPECT_TRUE(flow.FinishLoad(EntryFlow::ReadLoad(request, disk)).empty());
    EXPECT_EQ(flow.Sheet(0).Row(1).Judgement, "不");
    std::map<int, QueuedRow> waiting = queue.WaitingFor<QueuedRow>(Book());
    ASSERT_EQ(waiting.count(1), 1u);
    EXPECT_EQ(waiting[1].Measured.Judgement, "不");
    EXPECT_EQ(waiting[1].At, entry.at);
}

TEST_F(EntryFlowTest, AValueWhoseRejectionOrSaveFailsStandsAndWaits) {
    std::string product = MakeProduct("A-100", 3);
    Register(0, product);
    fs::remove_all(RejectionFolder(products));
    WriteBytes(DayBookFolder(product), "a file where the folder goes");
    EntryFlow::Entry entry = flow.EnterNumber("11");
    EXPECT_EQ(entry.judgement, Judgement::Fail);
    EXPECT_EQ(flow.Sheet(0).Row(1).Judgement, "不");
    EXPECT_EQ(flow.Point(0), 2);
    EXPECT_FALSE(writer->TryOnce(20000));
    EXPECT_EQ(queue.Count(), 1u) << "the value waits; its rejection record went in, its folder made anew";

    // The next save writes it, and what waits for any other workbook with it.
    std::string otherDay = DayBookPath(product, "検査員1", "A-100", 0, {"2025", "1", "6"});
    ASSERT_TRUE(queue.Put(QueuedRow{otherDay, 0, 2, {"", "9.995", "合", "0.005"}}));
    fs::remove(DayBookFolder(product));
    EXPECT_TRUE(flow.EnterNumber("10"));
    EXPECT_EQ(Saved(1).Value, "11");
    auto other = Workbook::Open(otherDay);
    ASSERT_TRUE(other);
    EXPECT_EQ(ReadDayBookRow(*other, 2).Value, "9.995");
    EXPECT_TRUE(queue.Empty());
    EXPECT_EQ(flow.SavedCount(), 2);
    EXPECT_EQ(Rejections().size(), 1u);
}

// The share hangs (a hard mount whose server went away): entries still
// return at once, each durable in the station's log, and the writer thread
// takes them to the workbook in order once the share answers again.
TEST_F(EntryFlowTest, EntriesNeverWaitForAHungShareAndGoInOnceItAnswers) {
    std::string product = MakeProduct("A-100", 30);
    Register(0, product);
    std::mutex gate;
    std::condition_variable opened;
    bool hung = true;
    disk.reads = [&](const std::string& path) {
        std::unique_lock lock(gate);
        if (path.starts_with(products)) opened.wait(lock, [&] { return !hung; });
        return 0;
    };
    for (int n = 1; n <= 20; ++n) ASSERT_TRUE(flow.EnterNumber("10.01" + std::to_string(n % 9 + 1)).kept) << n;
    EXPECT_EQ(queue.Count(), 20u);
    EXPECT_NE(ReadBytes(queue.LogPath()).find("10.019"), std::string::npos) << "durable before the share saw it";
    {
        std::lock_guard lock(gate);
        hung = false;
    }
    opened.notify_all();
    ASSERT_TRUE(Deliver());
    for (int n = 1; n <= 20; ++n) EXPECT_EQ(Saved(n).Value, "10.01" + std::to_string(n % 9 + 1)) << n;
}

// Another computer's late rename puts an older workbook back over this
// station's delivered value: the writer writes it back once the share is
// back after an outage, and so does a station started afterwards.
TEST_F(EntryFlowTest, WhatALateWriteUndidIsWrittenBackAfterAnOutageAndAtStart) {
    Register(0, MakeProduct("A-100", 5));
    flow.KeepJournal("a", {});
    std::atomic<bool> shareAway = false;
    disk.writes = [&](WriteStep, const std::string& path) { return shareAway && path.starts_with(products) ? EIO : 0; };
    Files files{disk, StationFileLocks()};
    SelfHeal heal("a", files);
    const Day workDay = *ParseDay("2025/1/5");
    heal.Watch(flow.ProductPaths(), workDay);
    std::atomic<int> heals = 0;  // 1 a check, 100 more when it wrote a value back
    auto hook = [&] { heals += heal.Heal(workDay) > 0 ? 100 : 1; };
    auto healsReach = [&](int n) {
        for (int i = 0; i < 600 && heals < n; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return heals >= n;
    };
    auto undo = [&] {
        auto book = Workbook::Open(Book());
        ASSERT_TRUE(book && WriteDayBookRow(*book, 2, {}) && book->SaveAs(Book()));
    };
    StartWriter(hook);
    ASSERT_TRUE(healsReach(1));
    ASSERT_EQ(heals, 1) << "nothing to write back at start";
    for (const char* value : {"10.001", "10.002"}) ASSERT_TRUE(flow.EnterNumber(value).kept);
    ASSERT_TRUE(writer->Drain(30000));
    undo();
    shareAway = true;
    ASSERT_TRUE(flow.EnterNumber("10.003").kept);
    EXPECT_FALSE(writer->Drain(300));
    shareAway = false;
    ASSERT_TRUE(writer->Drain(30000));
    ASSERT_TRUE(healsReach(101));
    EXPECT_EQ(Saved(2), (MeasuredRow{"", "10.002", "合", "-0.002"}));
    EXPECT_EQ(Saved(3).Value, "10.003");

    writer->Stop(1000);
    undo();
    StartWriter(hook);
    ASSERT_TRUE(healsReach(201));
    EXPECT_EQ(Saved(2).Value, "10.002");
}

// Point 1 of machine 0 under fixed limits, with five rising values of the
// days before in another station's journal: today's next rise completes rule
// 3. Point 2 has no fixed limits and behaves as it always did.
TEST_F(EntryFlowTest, AValueThatBreaksFixedLimitsIsSignalledJournalledAndClearedByAReaction) {
    Register(0, MakeProduct("P", 3));
    flow.KeepJournal("st", {});
    ControlData data;
    report::FixedLimit fixed;
    fixed.Point = 1;
    fixed.Version = 1;
    fixed.Limits = {10.005, 10.0103, 9.9997, 0.002, 0.0065, 0};
    data.Limits[{1, 0}] = fixed;
    for (int d = 0; d < 5; ++d) {
        JournalEntry e;
        e.Time.Utc = std::chrono::sys_days(std::chrono::year{2025} / 1 / 1) + std::chrono::days(d);
        e.WorkDate = std::chrono::year{2025} / 1 / (d + 1);
        e.Operator = "検査員2";
        e.Point = 1;
        e.Text = "10.00" + std::to_string(d);
        data.Recent.Add(e);
    }
    flow.UseControlData(std::move(data));

    flow.SelectPoint(0, 1);
    EXPECT_FALSE(flow.EnterNumber("10.0035").signal) << "a fall breaks the rise";
    flow.SelectPoint(0, 1);
    auto signalled = flow.EnterNumber("10.005");  // measured again: the cell's value is this one
    ASSERT_TRUE(signalled.signal);
    EXPECT_EQ(signalled.signal->Text(), "傾向 点1: 6点連続の増加");
    EXPECT_EQ(flow.ChartValues(0, 1), (std::vector<double>{10.0, 10.001, 10.002, 10.003, 10.004, 10.005}));
    flow.SelectPoint(0, 2);
    EXPECT_FALSE(flow.EnterNumber("10.5").signal) << "point 2 has no fixed limits";
    ASSERT_TRUE(flow.RecordReaction(0, 1, "工具交換"));
    EXPECT_FALSE(flow.Watch().Standing(1, 0));

    ASSERT_TRUE(Deliver());
    std::vector<std::pair<EntryWay, std::string>> journal;
    for (const JournalEntry& e : ReadJournal(JournalPath(products, std::chrono::year{2025} / 1 / 5, "st")).entries)
        journal.push_back({e.Way, e.Text});
    EXPECT_EQ(journal, (std::vector<std::pair<EntryWay, std::string>>{{EntryWay::Typed, "10.0035"},
                                                                      {EntryWay::Typed, "10.005"},
                                                                      {EntryWay::Signal, "6点連続の増加"},
                                                                      {EntryWay::Typed, "10.5"},
                                                                      {EntryWay::Reaction, "工具交換"}}));
}

}  // namespace
}  // namespace ziv
