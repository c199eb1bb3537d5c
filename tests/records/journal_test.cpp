// The measurement journal: whatever the texts hold they come back exactly, a
// spreadsheet's CSV reader sees the same table, a crash in the middle of an
// append costs at most the line being written, and entries that cannot reach
// the share wait in the station's queue and go in, in order and once.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "records/journal.h"
#include "records/save_queue.h"
#include "temp_root.h"

using namespace ziv;
using namespace std::chrono;
namespace fs = std::filesystem;

namespace {

const Day kWorkDate{year{2024}, month{3}, day{7}};

JournalEntry Entry(int n, std::string text = "10.005") {
    JournalEntry e;
    e.Time = {sys_days(kWorkDate) + hours(5) + milliseconds(1000 * n + n), minutes(9 * 60)};
    e.WorkDate = kWorkDate;
    e.Station = "0123456789abcdef0123456789abcdef";
    e.Operator = "検査員1";
    e.Product = "A-100";
    e.Machine = 3;
    e.Point = 1 + n % 100;
    e.Text = std::move(text);
    e.Judgement = "合";
    e.Correction = "-0.005";
    e.Way = EntryWay::Reading;
    e.Key = 1 + n % 10;
    e.Instrument = "マイクロ";
    e.Gauge = "MC-0012";
    e.GaugeDue = Day{year{2025}, month{3}, day{31}};
    e.Reply = "01A+0010.005\r";
    e.Replaced = "";
    return e;
}

std::vector<std::string> RecordsOf(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> records;
    for (const JournalEntry& e : entries) records.push_back(JournalRecord(e));
    return records;
}

// The text of each cell as a CSV reader shows it: control characters as
// their pictures, everything else as entered.
std::string Shown(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F) {
            unsigned code = c == 0x7F ? 0x21 : c;
            out += "\xE2\x90";
            out += static_cast<char>(0x80 + code);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
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

    void SetUp() override { fs::create_directories(products); }
    void TearDown() override {
        SetJournalFaultHook(nullptr);
        SetWriteFaultHook(nullptr);
    }
};

}  // namespace

TEST_F(JournalFile, EveryTextComesBackExactlyAndACsvReaderSeesTheSameTable) {
    EXPECT_EQ(path, products + "/ＺＩＶログ/journal_2024-03-07_station.csv");
    const std::vector<std::string> awkward = {"",        "-0.012",       "=1+2",      "+5",        "@SUM(A1)",
                                              "a,b",     "say \"hi\"",   "\"",        ",",         "tab\there",
                                              "cr\rlf\n", "\x01\x1F\x7F", "寸法　ＯＫ", " padded "};
    std::vector<JournalEntry> entries;
    for (size_t i = 0; i < awkward.size(); ++i) {
        JournalEntry e = Entry(static_cast<int>(i), awkward[i]);
        const std::string& t = awkward[i];
        e.Operator = "検査員" + t;
        e.Product = t;
        e.Judgement = t;
        e.Correction = t;
        e.Instrument = t;
        e.Gauge = t;
        e.Reply = t + "\r";
        e.Replaced = t;
        e.GaugeOverdue = i % 2;
        e.GaugeDue = i % 3 ? std::optional<Day>() : Day{year{2024}, month{2}, day{29}};
        e.Way = std::vector<EntryWay>{EntryWay::Reading, EntryWay::Typed, EntryWay::Fail, EntryWay::Pass,
                                      EntryWay::Emptied}[i % 5];
        if (e.Way != EntryWay::Reading) e.Key = 0;
        entries.push_back(e);
        ASSERT_TRUE(AppendToJournal(path, {JournalRecord(e)})) << i;
    }
    // Another offset, negative and not whole hours, and a key above 9.
    entries.push_back(Entry(99));
    entries.back().Time.Offset = -minutes(3 * 60 + 30);
    entries.back().Key = 10;
    ASSERT_TRUE(AppendToJournal(path, {JournalRecord(entries.back())}));

    const std::string bytes = ReadBytes(path);
    ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF日時,作業日,ステーション,測定者,製品,号機,番号,入力,判定,補正,"
                                  "入力方法,測定器,管理番号,校正期限,校正期限切れ,受信,前の値\r\n"));
    // One line per record: whatever the texts hold, a reader that goes line by line is not misled.
    EXPECT_EQ(SplitLines(bytes).size(), 1 + entries.size());
    EXPECT_NE(bytes.find(",F11,"), std::string::npos);
    EXPECT_NE(bytes.find(",手入力,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n2024-03-07T14:00:00.000+09:00,2024-03-07,"), std::string::npos);

    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.status, ReadStatus::Read);
    EXPECT_EQ(read.damaged, 0u);
    ASSERT_EQ(read.entries.size(), entries.size());
    for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(read.entries[i], entries[i]) << "entry " << i;
    // The one text that does not come back as entered: a control picture
    // typed as such reads as the control character it shows.
    const std::string pictured = root / "pictured.csv";
    ASSERT_TRUE(AppendToJournal(pictured, {JournalRecord(Entry(1, "␍ as typed"))}));
    EXPECT_EQ(ReadJournal(pictured).entries.at(0).Text, "\r as typed");

    // Python's csv module, as spreadsheets and pandas split CSV: each cell as
    // written, numbers untouched, hex-encoded one cell a line.
    const std::string script =
        "import csv,sys\n"
        "rows=list(csv.reader(open(sys.argv[1],encoding='utf-8-sig',newline='')))\n"
        "print(len(rows))\n"
        "for r in rows[1:]:\n"
        "  print(len(r));[print(c.encode().hex()) for c in r]\n"
        "try:\n"
        "  import pandas\n"
        "  f=pandas.read_csv(sys.argv[1],encoding='utf-8-sig',keep_default_na=False)\n"
        "  print('pandas',f.shape[0],f['号機'].dtype,f.iloc[1]['入力'])\n"
        "except ImportError:\n"
        "  print('pandas missing')\n";
    const std::string scriptPath = root / "read.py";
    WriteBytes(scriptPath, script);
    std::vector<std::string> out = SplitLines(Output("/usr/bin/python3 " + scriptPath + " " + path));
    ASSERT_FALSE(out.empty()) << "python3 did not run";
    ASSERT_EQ(out[0], std::to_string(1 + entries.size()));
    size_t at = 1;
    auto cell = [&]() {
        std::string hex = at < out.size() ? out[at++] : "";
        std::string text;
        for (size_t i = 0; i + 1 < hex.size(); i += 2) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        return text;
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        ASSERT_EQ(out[at++], "17") << "entry " << i;
        std::vector<std::string> cells;
        for (int c = 0; c < 17; ++c) cells.push_back(cell());
        const JournalEntry& e = entries[i];
        EXPECT_EQ(cells[3], Shown(e.Operator)) << i;
        EXPECT_EQ(cells[7], Shown(e.Text)) << i;
        EXPECT_EQ(cells[12], Shown(e.Gauge)) << i;
        EXPECT_EQ(cells[15], Shown(e.Reply)) << i;
        EXPECT_EQ(cells[16], Shown(e.Replaced)) << i;
    }
    // pandas is not on every machine; where it is, a value stays a number.
    ASSERT_LT(at, out.size());
    if (out[at] != "pandas missing") {
        EXPECT_EQ(out[at], "pandas " + std::to_string(entries.size()) + " int64 -0.012");
    }
}

// A crash (or a power loss) while a line is written leaves the start of it;
// wherever it was cut, the reader skips it, and the next append begins a line
// of its own instead of running on from the fragment.
TEST_F(JournalFile, ALineCutAnywhereIsSkippedAndTheNextAppendStartsAFreshLine) {
    JournalEntry cut = Entry(7, "say \"12,5\"");
    const std::string line = JournalRecord(cut) + "\r\n";
    for (size_t keep = 0; keep <= line.size(); ++keep) {
        fs::remove(path);
        ASSERT_TRUE(AppendToJournal(path, RecordsOf({Entry(1), Entry(2)})));
        std::string bytes = ReadBytes(path) + line.substr(0, keep);
        // What a power loss may leave instead: the length grown, the bytes never written.
        if (keep % 7 == 3) bytes += std::string(5, '\0');
        WriteBytes(path, bytes);
        bool lineWhole = keep == line.size(), zeros = keep % 7 == 3;
        size_t damaged = (keep > 0 && !lineWhole) || zeros ? 1 : 0;
        JournalRead before = ReadJournal(path);
        EXPECT_EQ(before.entries.size(), lineWhole ? 3u : 2u) << "cut after " << keep << " bytes";
        EXPECT_EQ(before.damaged, damaged) << "cut after " << keep << " bytes";

        ASSERT_TRUE(AppendToJournal(path, {JournalRecord(Entry(3))}));
        JournalRead after = ReadJournal(path);
        ASSERT_EQ(after.entries.size(), lineWhole ? 4u : 3u) << "cut after " << keep << " bytes";
        EXPECT_EQ(after.entries.back(), Entry(3)) << "cut after " << keep << " bytes";
        EXPECT_EQ(after.damaged, before.damaged) << "cut after " << keep << " bytes";
    }
}

TEST_F(JournalFile, LinesThatAreNoRecordsAreCountedAndTheOthersRead) {
    const std::string good = JournalRecord(Entry(1));
    std::string wrongMachine = good;
    wrongMachine.replace(wrongMachine.find(",3,"), 3, ",48,");
    std::string noDay = good;
    noDay.replace(noDay.find("2024-03-07,"), 11, "2024-02-30,");
    std::string unclosed = good;
    unclosed.insert(unclosed.find("MC-0012"), "\"");
    const std::vector<std::string> lines = {good + ",extra", good.substr(0, good.rfind(',')), wrongMachine, noDay, unclosed,
                                            "", "F1,F2"};
    std::string bytes = JournalStart() + good + "\r\n";
    for (const std::string& l : lines) bytes += l + "\r\n";
    bytes += JournalRecord(Entry(2)) + "\n";  // a line end written by another tool
    WriteBytes(path, bytes);
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, lines.size());
    EXPECT_EQ(read.entries, (std::vector<JournalEntry>{Entry(1), Entry(2)}));

    // The column names missing: the records still read, the first line is counted.
    WriteBytes(path, good + "\r\n");
    read = ReadJournal(path);
    EXPECT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.damaged, 0u);
    WriteBytes(path, "\xEF\xBB\xBF日時,作業\r\n" + good + "\r\n");
    read = ReadJournal(path);
    EXPECT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.damaged, 1u);
    EXPECT_EQ(ReadJournal(root / "none.csv").status, ReadStatus::Missing);
}

// The log folder is made with the first journal of a station, but a product
// folder that is gone (a share not mounted) is not made on the local disk.
TEST_F(JournalFile, ANewJournalStartsWholeButAGoneShareIsNotMadeAnew) {
    ASSERT_FALSE(fs::exists(products + "/ＺＩＶログ"));
    // The first write makes the file with its names and record at once: the
    // step that could cut it is an atomic write's.
    SetWriteFaultHook([](WriteStep step, const std::string&) { return step == WriteStep::Rename ? EIO : 0; });
    EXPECT_FALSE(AppendToJournal(path, {JournalRecord(Entry(1))}));
    EXPECT_FALSE(fs::exists(path));
    SetWriteFaultHook(nullptr);
    ASSERT_TRUE(AppendToJournal(path, {JournalRecord(Entry(1))}));
    EXPECT_EQ(ReadBytes(path), JournalStart() + JournalRecord(Entry(1)) + "\r\n");

    const std::string gone = JournalPath(root / "unmounted", kWorkDate, "station");
    FileResult result = AppendToJournal(gone, {JournalRecord(Entry(1))});
    EXPECT_EQ(result.failure, Failure::FolderNotMade);
    EXPECT_FALSE(fs::exists(root / "unmounted"));
}

namespace {

class JournalQueue : public JournalFile {
protected:
    std::string queuePath = SaveQueuePath(root.path());
    void SetUp() override {
        JournalFile::SetUp();
        fs::create_directories(root / "Config");
    }
    SaveQueue Restarted() {
        SaveQueue queue(queuePath);
        SaveQueue::Loaded loaded = queue.Load();
        EXPECT_FALSE(loaded.damaged);
        return queue;
    }
};

}  // namespace

// The share goes away between entries and comes back, with a restart of the
// station in the middle: every entry ends in the journal once, in the order made.
TEST_F(JournalQueue, EntriesMadeWhileTheShareIsGoneGoInLaterInOrder) {
    SaveQueue queue(queuePath);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(1)).Written());
    const std::string away = root / "away";
    fs::rename(products, away);
    for (int n = 2; n <= 4; ++n) {
        JournalWrite w = KeepInJournal(queue, path, Entry(n));
        EXPECT_FALSE(w.Written()) << n;
        EXPECT_TRUE(w.queueProblem) << n;
    }
    EXPECT_EQ(queue.JournalLineCount(), 3u);
    EXPECT_FALSE(fs::exists(products)) << "the share is not made anew on the local disk";

    SaveQueue again = Restarted();
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({Entry(2), Entry(3), Entry(4)}));
    EXPECT_TRUE(SaveWaitingJournalLines(again));
    EXPECT_EQ(again.JournalLineCount(), 3u) << "still gone";
    EXPECT_FALSE(KeepInJournal(again, path, Entry(5)).Written()) << "behind those that wait";

    fs::rename(away, products);
    ASSERT_TRUE(KeepInJournal(again, path, Entry(6)).Written());
    EXPECT_EQ(again.Count(), 0u);
    EXPECT_EQ(Restarted().Count(), 0u);
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, 0u);
    EXPECT_EQ(read.entries, (std::vector<JournalEntry>{Entry(1), Entry(2), Entry(3), Entry(4), Entry(5), Entry(6)}));
}

// An append that reached the disk but could not be reported (a sync that
// failed, a station killed before the queue took the lines out) is not made
// a second time; nor are the whole lines of a batch cut in the middle.
TEST_F(JournalQueue, AnAppendThatWasDoneButNotReportedIsNotMadeTwice) {
    SaveQueue queue(queuePath);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(1)).Written());
    SetJournalFaultHook([](WriteStep step, const std::string&) { return step == WriteStep::Sync ? EIO : 0; });
    JournalWrite failedSync = KeepInJournal(queue, path, Entry(2));
    EXPECT_FALSE(failedSync.Written());
    EXPECT_EQ(failedSync.problem.step, WriteStep::Sync);
    SetJournalFaultHook(nullptr);
    ASSERT_TRUE(KeepInJournal(queue, path, Entry(3)).Written());
    EXPECT_EQ(ReadJournal(path).entries, (std::vector<JournalEntry>{Entry(1), Entry(2), Entry(3)}));

    // Lines that went in while the queue could not take them out yet.
    for (int n = 4; n <= 6; ++n) ASSERT_TRUE(queue.PutJournalLine({path, JournalRecord(Entry(n))}));
    ASSERT_TRUE(AppendToJournal(path, RecordsOf({Entry(4), Entry(5)})));
    // ... and of the next, only a part.
    WriteBytes(path, ReadBytes(path) + JournalRecord(Entry(6)).substr(0, 20));
    EXPECT_EQ(RecordsAlreadyInJournal(path, queue.JournalRecordsOf(path)), 2u);
    ASSERT_TRUE(SaveWaitingJournalLines(queue));
    EXPECT_EQ(queue.Count(), 0u);
    JournalRead read = ReadJournal(path);
    EXPECT_EQ(read.damaged, 1u);
    EXPECT_EQ(read.entries, (std::vector<JournalEntry>{Entry(1), Entry(2), Entry(3), Entry(4), Entry(5), Entry(6)}));
    // Nothing of them found at the end: all of them still to go in.
    EXPECT_EQ(RecordsAlreadyInJournal(path, RecordsOf({Entry(7), Entry(8)})), 0u);
    EXPECT_EQ(RecordsAlreadyInJournal(root / "none.csv", RecordsOf({Entry(7)})), 0u);
}

// A queue file written before journal lines existed reads as it did, its
// entries stay beside the journal's, and a line of each kind comes back.
TEST_F(JournalQueue, AQueueFileOfTheEarlierKindReadsAsBeforeBesideJournalLines) {
    const std::string earlier =
        "ZIV save queue 1\n"
        "R\t/p/A-100/data/x.xls\t3\t7\tM\t10.005\t合\t-0.005\n"
        "D\t/u/検査員1/Directory.dat\t2\t/p/A-100\n"
        "P\t/p/A-100/Data.dat\t4\t1.5\t-2.25\t3\n"
        "end\t3\n";
    WriteBytes(queuePath, earlier);
    SaveQueue queue = Restarted();
    EXPECT_EQ(queue.Count(), 3u);
    EXPECT_EQ(queue.JournalLineCount(), 0u);
    const JournalEntry tabbed = Entry(1, "a\tb\\n");
    ASSERT_TRUE(queue.PutJournalLine({path, JournalRecord(tabbed)}));
    ASSERT_TRUE(queue.PutJournalLine({path, JournalRecord(Entry(2))}));
    ASSERT_TRUE(queue.PutJournalLine({root / "other.csv", JournalRecord(Entry(3))}));

    const std::string now = ReadBytes(queuePath);
    EXPECT_TRUE(now.starts_with(earlier.substr(0, earlier.find("end\t")))) << now;
    EXPECT_NE(now.find("end\t6\n"), std::string::npos);
    SaveQueue again = Restarted();
    EXPECT_EQ(again.RowsOf("/p/A-100/data/x.xls"), (std::map<int, MeasuredRow>{{7, {"M", "10.005", "合", "-0.005"}}}));
    EXPECT_EQ(again.RegistrationsOf("/u/検査員1/Directory.dat"), (std::map<int, std::string>{{2, "/p/A-100"}}));
    EXPECT_EQ(again.DesignationsOf("/p/A-100/Data.dat").size(), 1u);
    EXPECT_EQ(again.Journals(), (std::vector<std::string>{path, root / "other.csv"}));
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({tabbed, Entry(2)}));

    // Only the first lines that were written go; a line put meanwhile stays.
    ASSERT_TRUE(again.PutJournalLine({path, JournalRecord(Entry(4))}));
    ASSERT_TRUE(again.RemoveJournalLines(path, RecordsOf({tabbed, Entry(4)})));
    EXPECT_EQ(again.JournalRecordsOf(path), RecordsOf({Entry(2), Entry(4)}));
    ASSERT_TRUE(SaveWaitingJournalLines(again));
    EXPECT_EQ(again.Count(), 3u) << "the other kinds wait for their own files";
    EXPECT_EQ(ReadJournal(path).entries, (std::vector<JournalEntry>{Entry(2), Entry(4)}));
    EXPECT_EQ(ReadJournal(root / "other.csv").entries, (std::vector<JournalEntry>{Entry(3)}));
}
