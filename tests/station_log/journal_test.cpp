// The measurement journal: whatever the texts hold they come back exactly and
// a CSV reader sees the same cells, a line cut by a crash costs that line
// only, and entries that cannot reach the share wait in the station's queue
// and go in later, in order and once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "records/journal.h"
#include "station_log/delivery.h"
#include "temp_root.h"

using namespace ziv;
using namespace std::chrono;
namespace fs = std::filesystem;

namespace ziv {
// A failed comparison shows the entries as the journal holds them.
void PrintTo(const JournalEntry& e, std::ostream* os) { *os << JournalRecord(e); }
}  // namespace ziv

namespace {

const Day kWorkDate{year{2024}, month{3}, day{7}};

JournalEntry Entry(int n, std::string text = "10.005") {
    JournalEntry e;
    e.Time = {sys_days(kWorkDate) + hours(5) + milliseconds(1001 * n), minutes(9 * 60)};
    e.WorkDate = kWorkDate;
    e.Station = "station";
    e.Machine = 3;
    e.Point = 1 + n % 100;
    e.Text = std::move(text);
    e.Way = EntryWay::Reading;
    e.Key = 1 + n % 10;
    e.Gauge = "MC-0012";
    e.GaugeDue = Day{year{2025}, month{3}, day{31}};
    e.Reply = "01A+0010.005\r";
    return e;
}

std::vector<std::string> RecordsOf(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> records;
    for (const JournalEntry& e : entries) records.push_back(JournalRecord(e));
    return records;
}

// A text as a CSV reader shows it, hex-encoded: control characters as their pictures.
std::string ShownHex(const std::string& text) {
    std::string hex;
    char two[3];
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) hex += "e290", c = static_cast<unsigned char>(0x80 + (c == 0x7F ? 0x21 : c));
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

class JournalFile : public ::testing::Test {
protected:
    TempRoot root;
    std::string products = root / "製品";
    std::string path = JournalPath(products, kWorkDate, "station");
    std::string queuePath = OldQueuePath(root.path());

    void SetUp() override {
        fs::create_directories(products);
        fs::create_directories(root / "Config");
    }
    StationLog Restarted() {
        StationLog queue(queuePath);
        EXPECT_FALSE(queue.Load().damaged);
        return queue;
    }
    // As the writer does: kept in the station's log, then appended to the journal.
    static JournalWrite KeepInJournal(StationLog& q, const std::string& journal, const JournalEntry& e,
                                      Disk& disk = RealDisk()) {
        FileResult kept = q.Put(QueuedJournalLine{journal, JournalRecord(e)});
        JournalWrite w;
        w.problem = DeliverJournalLines(q, disk);
        if (!kept) w.queueProblem = kept;
        return w;
    }
};

}  // namespace

TEST_F(JournalFile, EveryTextComesBackExactlyAndACsvReaderSeesTheSameCells) {
    EXPECT_EQ(path, products + "/ＺＩＶログ/journal_2024-03-07_station.csv");
    const std::vector<std::string> awkward = {"",    "-0.012",    "=1+2",       "@SUM(A1)",        "a,b",       "say \"hi\"",
                                              "\"",  "tab\there", "cr\rlf\n", "\x01\x1F\x7F", "寸法　ＯＫ", " padded "};
    const EntryWay ways[] = {EntryWay::Reading, EntryWay::Typed, EntryWay::Fail, EntryWay::Pass, EntryWay::Emptied};
    std::vector<JournalEntry> entries;
    for (size_t i = 0; i < awkward.size(); ++i) {
        const std::string& t = awkward[i];
        JournalEntry e = Entry(static_cast<int>(i), t);
        e.Operator = e.Product = e.Judgement = e.Correction = e.Instrument = e.Gauge = e.Replaced = t;
        e.Reply = t + "\r";
        e.GaugeOverdue = i % 2;
        if (i % 3) e.GaugeDue.reset();
        e.Way = ways[i % 5];
        if (e.Way != EntryWay::Reading) e.Key = 0;
        entries.push_back(e);
    }
    entries.back().Time.Offset = -minutes(3 * 60 + 30);
    entries.back().Way = EntryWay::Reading;
    entries.back().Key = 10;
    for (const JournalEntry& e : entries) ASSERT_TRUE(AppendToJournal(path, {JournalRecord(e)}));

    const std::string bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBF日時,作業日,ステーション,測定者,製品,号機,番号,入力,判定,補正,"
                                  "入力方法,測定器,管理番号,校正期限,校正期限切れ,受信,前の値\r\n"));
    EXPECT_NE(bytes.find("\r\n2024-03-07T14:00:00.000+09:00,2024-03-07,station,,,3,1,,,,F1,,,2025-03-31,0,␍,\r\n"),
              std::string::npos);
    EXPECT_EQ(SplitLines(bytes).size(), 1 + entries.size()) << "one line per entry, whatever the texts hold";
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, 0u);
    EXPECT_EQ(read.entries, entries);

    // Python's csv module splits CSV as spreadsheets and pandas do.
    const std::string script = root / "read.py";
    WriteBytes(script,
               "import csv,sys\n"
               "for r in list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))[1:]:\n"
               "  print(len(r), r[7].encode().hex(), r[15].encode().hex())\n");
    std::string expected;
    for (const JournalEntry& e : entries) expected += "17 " + ShownHex(e.Text) + " " + ShownHex(e.Reply) + "\n";
    EXPECT_EQ(Output("/usr/bin/python3 " + script + " " + path), expected);

    // The one text that does not come back as entered: a control picture
    // typed as such reads as the control character it shows.
    ASSERT_TRUE(AppendToJournal(path, {JournalRecord(Entry(50, "␍ as typed"))}));
    EXPECT_EQ(ReadJournal(path).entries.back().Text, "\r as typed");
}

// A crash (or a power loss) while a line is written leaves the start of it;
// wherever it was cut, even inside a value that still reads as a number, the
// reader skips it and the next append begins a line of its own.
TEST_F(JournalFile, ALineCutAnywhereIsSkippedAndTheNextAppendStartsAFreshLine) {
    JournalEntry cut = Entry(7, "say \"12,5\"");
    cut.Replaced = "10.005";
    const std::string line = JournalRecord(cut) + "\r\n";
    for (size_t keep = 0; keep <= line.size(); ++keep) {
        fs::remove(path);
        ASSERT_TRUE(AppendToJournal(path, RecordsOf({Entry(1), Entry(2)})));
        // What a power loss may leave instead: the length grown, the bytes never written.
        bool zeros = keep % 7 == 3, lineWhole = keep == line.size();
        WriteBytes(path, ReadBytes(path) + line.substr(0, keep) + std::string(zeros ? 5 : 0, '\0'));
        size_t damaged = (keep > 0 && !lineWhole) || zeros ? 1 : 0;
        JournalRead before = ReadJournal(path);
        EXPECT_EQ(before.entries.size(), lineWhole ? 3u : 2u) << "cut after " << keep << " bytes";
        EXPECT_EQ(before.damaged, damaged) << "cut after " << keep << " bytes";

        ASSERT_TRUE(AppendToJournal(path, {JournalRecord(Entry(3))}));
        JournalRead after = ReadJournal(path);
        ASSERT_EQ(after.entries.size(), lineWhole ? 4u : 3u) << "cut after " << keep << " bytes";
        EXPECT_EQ(after.entries.back(), Entry(3)) << "cut after " << keep << " bytes";
        EXPECT_EQ(after.damaged, damaged) << "cut after " << keep << " bytes";
    }
}

TEST_F(JournalFile, LinesThatAreNoEntriesAreCountedAndTheOthersRead) {
    const std::string good = JournalRecord(Entry(1));
    std::string wrongMachine = good, noDay = good, noTime = good, unclosed = good;
    wrongMachine.replace(wrongMachine.find(",3,"), 3, ",48,");
    noDay.replace(noDay.find("2024-03-07,"), 11, "2024-02-30,");
    noTime.replace(0, noTime.find(','), "2024-03-07T14:00:01");  // no offset
    unclosed.insert(unclosed.find("MC-0012"), "\"");
    const std::vector<std::string> bad = {good + ",x", good.substr(0, good.rfind(',')), wrongMachine, noDay, noTime,
                                          unclosed, ""};
    std::string bytes = JournalStart() + good + "\r\n";
    for (const std::string& l : bad) bytes += l + "\r\n";
    WriteBytes(path, bytes + JournalRecord(Entry(2)) + "\n");  // a line end of another tool
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, bad.size());
    EXPECT_EQ(read.entries, (std::vector<JournalEntry>{Entry(1), Entry(2)}));
    EXPECT_EQ(ReadJournal(root / "none.csv").status, ReadStatus::Missing);
}

// The share goes away between entries and comes back, with a restart of the
// station in the middle: every entry ends in the journal once, in the order made.
TEST_F(JournalFile, EntriesMadeWhileTheShareIsGoneGoInLaterInOrder) {
    StationLog queue(queuePath);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(1)).Written());
    fs::rename(products, root / "away");
    for (int n = 2; n <= 4; ++n) {
        JournalWrite w = KeepInJournal(queue, path, Entry(n));
        EXPECT_EQ(w.problem.failure, Failure::FolderNotMade) << n;
        EXPECT_TRUE(w.queueProblem) << n;
    }
    EXPECT_FALSE(fs::exists(products)) << "the share is not made anew on the local disk";

    StationLog again = Restarted();
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({Entry(2), Entry(3), Entry(4)}));
    EXPECT_FALSE(DeliverJournalLines(again)) << "the share is still gone";
    EXPECT_FALSE(KeepInJournal(again, path, Entry(5)).Written()) << "behind those that wait";
    fs::rename(root / "away", products);
    ASSERT_TRUE(KeepInJournal(again, path, Entry(6)).Written());
    EXPECT_EQ(Restarted().Count(), 0u);
    EXPECT_EQ(ReadJournal(path).entries,
              (std::vector<JournalEntry>{Entry(1), Entry(2), Entry(3), Entry(4), Entry(5), Entry(6)}));
}

// An append that reached the disk but could not be reported (a sync that
// failed, a station killed before the queue took the lines out) is not made
// a second time; nor are the whole lines of a batch cut in the middle.
TEST_F(JournalFile, AnAppendThatWasDoneButNotReportedIsNotMadeTwice) {
    StationLog queue(queuePath);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(1)).Written());
    FaultyDisk syncFails;
    syncFails.appends = [](WriteStep step, const std::string&) { return step == WriteStep::Sync ? EIO : 0; };
    EXPECT_EQ(KeepInJournal(queue, path, Entry(2), syncFails).problem.step, WriteStep::Sync);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(3)).Written());

    for (int n = 4; n <= 6; ++n) ASSERT_TRUE(queue.Put(QueuedJournalLine{path, JournalRecord(Entry(n))}));
    ASSERT_TRUE(AppendToJournal(path, RecordsOf({Entry(4), Entry(5)})));
    WriteBytes(path, ReadBytes(path) + JournalRecord(Entry(6)).substr(0, 20));
    ASSERT_TRUE(DeliverJournalLines(queue));
    EXPECT_EQ(queue.Count(), 0u);
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, 1u);
    EXPECT_EQ(read.entries, (std::vector<JournalEntry>{Entry(1), Entry(2), Entry(3), Entry(4), Entry(5), Entry(6)}));
}

// A queue file written before journal lines existed reads as it did, and its
// entries wait on beside the journal's.
TEST_F(JournalFile, AQueueFileOfTheEarlierKindReadsAsBeforeBesideJournalLines) {
    const std::string earlier =
        "ZIV save queue 1\n"
        "R\t/p/A-100/data/x.xls\t3\t7\tM\t10.005\t合\t-0.005\n"
        "D\t/u/検査員1/Directory.dat\t2\t/p/A-100\n"
        "P\t/p/A-100/Data.dat\t4\t1.5\t-2.25\t3\n"
        "end\t3\n";
    WriteBytes(queuePath, earlier);
    StationLog queue = Restarted();
    const JournalEntry tabbed = Entry(1, "a\tb\\n");
    for (const JournalEntry& e : {tabbed, Entry(2), Entry(3)}) ASSERT_TRUE(queue.Put(QueuedJournalLine{path, JournalRecord(e)}));
    ASSERT_TRUE(queue.Put(QueuedJournalLine{root / "other.csv", JournalRecord(Entry(4))}));
    EXPECT_FALSE(fs::exists(queuePath)) << "taken into the station's log";

    StationLog again = Restarted();
    EXPECT_EQ(again.ValuesFor<QueuedRow>("/p/A-100/data/x.xls"), (std::map<int, MeasuredRow>{{7, {"M", "10.005", "合", "-0.005"}}}));
    EXPECT_EQ(again.ValuesFor<QueuedRegistration>("/u/検査員1/Directory.dat"), (std::map<int, std::string>{{2, "/p/A-100"}}));
    EXPECT_EQ(again.ValuesFor<QueuedDesignation>("/p/A-100/Data.dat"), (std::map<int, DesignatedPoint>{{4, {1.5f, -2.25f, 3}}}));
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({tabbed, Entry(2), Entry(3)}));
    // Only the first lines that were written go.
    ASSERT_TRUE(again.RemoveJournalLines(path, RecordsOf({tabbed, Entry(3)})));
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({Entry(2), Entry(3)}));
    ASSERT_TRUE(DeliverJournalLines(again));
    EXPECT_EQ(again.Count(), 3u) << "the other kinds wait for their own files";
    EXPECT_EQ(ReadJournal(root / "other.csv").entries, (std::vector<JournalEntry>{Entry(4)}));
}

// Two writers making the same journal at once (two stations of one cloned
// identity, or a retry beside an entry): both find it missing, and neither
// may put its first line in place over the other's. The disk holds each
// writer at its opening and at a rename until the other is there too.
TEST_F(JournalFile, TwoWritersMakingOneJournalKeepEveryLine) {
    struct Meeting {
        std::mutex mutex;
        std::condition_variable met;
        int arrived = 0;
        void Meet() {
            std::unique_lock<std::mutex> lock(mutex);
            ++arrived;
            met.notify_all();
            met.wait_for(lock, milliseconds(300), [&] { return arrived >= 2; });
        }
    } opening, renaming;
    FaultyDisk racing;
    racing.appends = [&](WriteStep step, const std::string&) { return step == WriteStep::Open ? opening.Meet(), 0 : 0; };
    racing.writes = [&](WriteStep step, const std::string&) { return step == WriteStep::Rename ? renaming.Meet(), 0 : 0; };
    fs::create_directories(JournalFolder(products));
    FileResult first, second;
    std::thread other([&] { first = AppendToJournal(path, RecordsOf({Entry(1)}), racing); });
    second = AppendToJournal(path, RecordsOf({Entry(2)}), racing);
    other.join();
    ASSERT_TRUE(first && second);
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, 0u);
    EXPECT_EQ(read.entries.size(), 2u) << ReadBytes(path);
    EXPECT_TRUE(ReadBytes(path).starts_with(JournalStart()));
}
