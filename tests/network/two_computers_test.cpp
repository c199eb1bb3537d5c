// Stations on two computers sharing one file server: each computer with its
// own host name, machine id, process ids and sshfs mount of the same folder,
// one perhaps with a clock ahead of the server's or a slow link. The stations
// are this program started again on a computer; they save through the
// station's own save paths and say what they were told was saved, and the
// tests check that every such value is in the file on the server.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <climits>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "computers.h"
#include "drawing/point_table.h"
#include "platform/file_lock.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "platform/station_identity.h"
#include "records/day_book.h"
#include "station_log/entry_writer.h"
#include "records/journal.h"
#include "records/product_registry.h"
#include "station/registrations.h"
#include "records/server_clock.h"
#include "station_log/delivery.h"
#include "share.h"
#include "station/entry_flow.h"
#include "station/operator_record.h"
#include "station/rejection.h"
#include "station/self_heal.h"
#include "temp_root.h"
#include "workbook/workbook.h"

using namespace ziv;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr char kOperator[] = "検査員1";
constexpr char kProduct[] = "A-100";
constexpr int kPoints = 100;
// A fixed working date: a clock moved ahead must not move the book to another day.
const WorkDate kDate{"2024", "5", "17"};

void Say(const std::string& line) { std::cout << line << std::endl; }

// How far this station's clock runs ahead of the server's, from a file it
// has just made on the share (file times are the server's).
void SayClock(const std::string& share) {
    std::string probe = share + "/clock-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand());
    { std::ofstream(probe) << "now"; }
    struct stat st {};
    if (::stat(probe.c_str(), &st) == 0) Say("CLOCK " + std::to_string(std::time(nullptr) - st.st_mtime));
    ::unlink(probe.c_str());
}

void MakeStationRoot() {
    // The station's own installation root, kept across its restarts.
    ASSERT_FALSE(Env("ZIV_ROOT").empty());
    fs::create_directories(Env("ZIV_ROOT") + "/Config");
}

ComputerOptions Named(const std::string& host, int firstPid) {
    ComputerOptions options;
    options.hostName = host;
    options.firstPid = firstPid;
    return options;
}

// A PC installed from the same disk image as every other ClonePc: the same
// host name and machine id; only its process ids start elsewhere.
ComputerOptions ClonePc(int firstPid) {
    ComputerOptions options = Named("pc-clone", firstPid);
    options.machineId = "0123456789abcdef0123456789abcdef";
    return options;
}

bool IsChild() { return !Env("ZIV_TWO_STATION").empty(); }

}  // namespace

// ---- the stations ---------------------------------------------------------------

// A station's day workbooks, with its log of rows not yet written in its
// own installation root.
struct StationBooks {
    StationLog queue{OldQueuePath(Env("ZIV_ROOT"))};
    DayBooks books{StationFiles()};
};

// Types values into its rows of one day workbook, one value at a time: each
// into the station's log, then a delivery of the log's rows as the writer
// makes it; says "SAVED row value" for every value delivered. What a
// delivery could not write waits for the next.
TEST(ComputerStation, Saver) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string book = Env("ZIV_TWO_BOOK");
    const int firstRow = EnvInt("ZIV_TWO_FIRST_ROW", 1), rows = EnvInt("ZIV_TWO_ROWS", 1),
              firstValue = EnvInt("ZIV_TWO_FIRST_VALUE", 1000), count = EnvInt("ZIV_TWO_COUNT", 1),
              seconds = EnvInt("ZIV_TWO_SECONDS", 0), pauseMs = EnvInt("ZIV_TWO_PAUSE_MS", 0),
              flushSeconds = EnvInt("ZIV_TWO_FLUSH_SECONDS", 30);
    SayClock(book.substr(0, book.find_last_of('/')));

    StationBooks station;
    // Started again on its root, it writes what waited with its first save.
    static_cast<void>(station.queue.Load());
    std::map<int, std::string> shown;    // row -> value in the grid
    std::map<int, std::string> waiting;  // rows not yet reported saved
    auto measured = [&](int row, const std::string& input) { return MeasuredRow{input, shown[row], "合", "0"}; };
    auto save = [&](int row) {
        static_cast<void>(station.queue.Put(QueuedRow{book, 0, row, measured(row, "F1")}));
        Delivered d;
        static_cast<void>(DeliverRows(station.queue, station.books, LockWait::Patient, d));
        if (station.queue.ValuesFor<QueuedRow>(book).empty()) {
            for (auto& [r, v] : waiting) Say("SAVED " + std::to_string(r) + " " + v);
            waiting.clear();
        } else {
            FileResult why = d.bookFailures.empty() ? Failed(Failure::Busy, book) : d.bookFailures.front().second;
            Say("NOT SAVED " + std::to_string(static_cast<int>(why.failure)) + " " + FailureText(why));
        }
    };
    std::mt19937 rng(static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> pause(0, std::max(pauseMs, 0));
    auto end = Clock::now() + std::chrono::seconds(seconds);
    int last = firstRow;
    for (int i = 0; seconds > 0 ? Clock::now() < end : i < count; ++i) {
        last = firstRow + i % rows;
        shown[last] = waiting[last] = std::to_string(firstValue + i);
        save(last);
        if (pauseMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(pause(rng)));
    }
    // What is still waiting goes in with the next save that works.
    auto flushEnd = Clock::now() + std::chrono::seconds(flushSeconds);
    while (!waiting.empty() && Clock::now() < flushEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        save(last);
    }
    EXPECT_EQ(waiting.size(), 0u) << "rows never saved";
}

// Types numbers into points of machine 0 through the station's own entry
// flow, as the measurement window does: each entry goes into the station's
// log at once, and a writer thread delivers it to the journal and the day
// workbook and heals what a late write undid. Says "KEPT point value ns ms"
// for every entry the log took: ns its measurement time on the server's
// clock, ms the steady clock's then, by which the test tells that time right.
TEST(ComputerStation, Operator) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string root = Env("ZIV_ROOT"), products = Env("ZIV_TWO_PRODUCTS");
    const int firstRow = EnvInt("ZIV_TWO_FIRST_ROW", 1), rows = EnvInt("ZIV_TWO_ROWS", 1),
              firstValue = EnvInt("ZIV_TWO_FIRST_VALUE", 1000), seconds = EnvInt("ZIV_TWO_SECONDS", 10),
              pauseMs = EnvInt("ZIV_TWO_PAUSE_MS", 500), flushSeconds = EnvInt("ZIV_TWO_FLUSH_SECONDS", 30);
    auto queue = std::make_shared<StationLog>(OldQueuePath(root));
    ASSERT_NE(queue->Load().status, ReadStatus::Unreadable);
    struct : EntryFlow::View {
        void RowChanged(int, int) override {}
        void SheetChanged(int) override {}
        void PointMoved(int, int, int) override {}
        void PointReset(int) override {}
    } view;
    EntryFlow flow(kOperator, *queue, StationFiles(), view);
    const std::string station = StationIdentity(root);
    flow.KeepJournal(station, {});
    flow.SetProductFolder(products);
    flow.SetWorkDate(kDate);
    flow.SetProduct(0, products + "/" + kProduct);
    SelfHeal heal(station, StationFiles());
    heal.Watch(flow.ProductPaths(), *ParseDay("2024/5/17"));
    // As in the window: the writer starts, reading the server's clock and
    // delivering what an earlier run left, and is given a moment before the day loads.
    EntryWriter writer(queue, StationFiles(), StationServerClock());
    writer.ClockBeside(products);
    writer.HealAfterOutage([&heal] { heal.Heal(TimestampNow().LocalDay()); });
    writer.Start();
    flow.WakeWriterWith([&writer] { writer.Wake(); });
    writer.Drain(1000);
    ASSERT_TRUE(flow.Load(0).empty());
    std::mt19937 rng(static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> pause(0, std::max(pauseMs, 0));
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int i = 0; Clock::now() < end; ++i) {
        int point = firstRow + i % rows;
        flow.SelectPoint(0, point);
        EntryFlow::Entry entry = flow.EnterNumber(std::to_string(firstValue + i));
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
        if (entry && entry.kept)
            Say("KEPT " + std::to_string(point) + " " + entry.after.Value + " " + std::to_string(entry.at.Ns) + " " +
                std::to_string(ms));
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(rng)));
    }
    // As the window does at closing, the operator record goes the entries' way.
    if (!Env("ZIV_TWO_RECORD").empty()) {
        OperatorRecord record = FinishOperatorRecord(OperatorLogStart("2024/5/17", 9, 0, {{0, kProduct}}),
                                                     ChargeText(1), flow.SavedCount(), 1, 9, 0, {2024, 5, 17, 9, 1});
        for (const auto& [path, content] : OperatorRecordFiles(products, kOperator, record)) {
            ASSERT_TRUE(queue->Put(QueuedFile{path, content}));
            Say("RECORD " + path);
        }
        writer.Wake();
    }
    EXPECT_TRUE(writer.Drain(flushSeconds * 1000)) << "entries never delivered";
    writer.Stop(1000);
    Say("LATE " + std::to_string(LateReplacesSoFar()));
}

// Designates points of one product, as the drawing editor does: each
// designation goes into the station's log with its time and is written into
// the product's Data.dat as the file is then. Says "DESIGNATED point x" for
// every designation once it is in the file.
TEST(ComputerStation, Designator) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string points = Env("ZIV_TWO_POINTS");
    const int firstPoint = EnvInt("ZIV_TWO_FIRST_POINT", 1), count = EnvInt("ZIV_TWO_ROWS", 1),
              firstX = EnvInt("ZIV_TWO_FIRST_VALUE", 1000), seconds = EnvInt("ZIV_TWO_SECONDS", 10),
              pauseMs = EnvInt("ZIV_TWO_PAUSE_MS", 500), flushSeconds = EnvInt("ZIV_TWO_FLUSH_SECONDS", 30);
    StationLog queue(OldQueuePath(Env("ZIV_ROOT")));
    static_cast<void>(queue.Load());
    // What waited and is gone from the queue now is in the file.
    auto writeWaiting = [&] {
        std::map<int, DesignatedPoint> before = queue.ValuesFor<QueuedDesignation>(points);
        static_cast<void>(DeliverDesignations(queue, StationFiles()));
        std::map<int, DesignatedPoint> after = queue.ValuesFor<QueuedDesignation>(points);
        for (auto& [p, d] : before)
            if (!after.count(p)) Say("DESIGNATED " + std::to_string(p) + " " + std::to_string(static_cast<int>(d.X)));
    };
    std::mt19937 rng(static_cast<unsigned>(::getpid()));
    std::uniform_int_distribution<int> pause(0, std::max(pauseMs, 0));
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int i = 0; Clock::now() < end; ++i) {
        int point = firstPoint + i % count;
        DesignatedPoint d{static_cast<float>(firstX + i), static_cast<float>(point), static_cast<std::int16_t>(i % 2)};
        ASSERT_TRUE(queue.Put(QueuedDesignation{points, point, d, {OwnClockNs(), Env("ZIV_TWO_STATION")}}));
        writeWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(rng)));
    }
    auto flushEnd = Clock::now() + std::chrono::seconds(flushSeconds);
    while (!queue.Empty() && Clock::now() < flushEnd) {
        writeWaiting();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    EXPECT_TRUE(queue.Empty()) << "designations never written";
}

// Takes the lock of one shared file again and again, and while inside makes a
// marker on the share that only one holder at a time may make.
TEST(ComputerStation, LockHolder) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string file = Env("ZIV_TWO_LOCKED"), marker = Env("ZIV_TWO_MARKER");
    const int entries = EnvInt("ZIV_TWO_ENTRIES", 1), insideMs = EnvInt("ZIV_TWO_INSIDE_MS", 1000),
              pauseMs = EnvInt("ZIV_TWO_PAUSE_MS", 200), seconds = EnvInt("ZIV_TWO_SECONDS", 40);
    auto end = Clock::now() + std::chrono::seconds(seconds);
    int entered = 0;
    while (entered < entries && Clock::now() < end) {
        auto hold = StationFileLocks().Lock(file, LockWait::Patient);
        if (!hold) continue;  // busy: try again
        int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            Say("OVERLAP: another holder is inside");
            ADD_FAILURE() << "two holders of one lock at once";
            return;
        }
        ::close(fd);
        Say("ENTERED");
        ++entered;
        std::this_thread::sleep_for(std::chrono::milliseconds(insideMs));
        ::unlink(marker.c_str());
        hold.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    EXPECT_EQ(entered, entries) << "the lock was not had in " << seconds << " s";
}

// Holds a lock on the share and one on its own disk until told to end.
TEST(ComputerStation, TwoShareHolder) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    auto onShare = StationFileLocks().Lock(Env("ZIV_TWO_LOCKED"), LockWait::Patient);
    auto local = StationFileLocks().Lock(Env("ZIV_ROOT") + "/local.dat", LockWait::Patient);
    ASSERT_TRUE(onShare && local);
    Say("HELD");
    std::this_thread::sleep_for(std::chrono::seconds(EnvInt("ZIV_TWO_SECONDS", 20)));
}

// Writes one file of the share whole, as a record or an export is written
// (no lock: every station writes its own content); over a slow link its
// temporary lives a while.
TEST(ComputerStation, Writer) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string target = Env("ZIV_TWO_TARGET");
    std::string bytes(static_cast<size_t>(EnvInt("ZIV_TWO_BYTES", 1000)), 'x');
    Say("WRITING");
    FileResult r = WriteFileAtomic(target, bytes);
    EXPECT_TRUE(r) << FailureText(r);
    if (r) Say("WROTE");
}

// Journals one entry after another into its journal in a product folder on
// the share, as the entry flow does (straight in, or waiting in the station's
// queue behind the earlier ones), and says "KEPT n" for every entry the
// journal or the queue's file took, "WAITS n" for one that went to the queue. At the end it writes what waits, for as
// long as ZIV_TWO_FLUSH_SECONDS allows.
TEST(ComputerStation, Journaler) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string journal = Env("ZIV_TWO_JOURNAL");
    const int seconds = EnvInt("ZIV_TWO_SECONDS", 1), pauseMs = EnvInt("ZIV_TWO_PAUSE_MS", 100),
              flushSeconds = EnvInt("ZIV_TWO_FLUSH_SECONDS", 30);
    StationLog queue(OldQueuePath(Env("ZIV_ROOT")));
    ASSERT_NE(queue.Load().status, ReadStatus::Unreadable);
    JournalEntry entry;
    entry.WorkDate = std::chrono::year_month_day{std::chrono::year{2024}, std::chrono::month{5}, std::chrono::day{17}};
    entry.Station = Env("ZIV_TWO_STATION");
    entry.Operator = kOperator;
    entry.Product = kProduct;
    entry.Point = 1;
    auto end = Clock::now() + std::chrono::seconds(seconds);
    for (int n = 0; Clock::now() < end; ++n) {
        entry.Time = TimestampNow();
        entry.Text = std::to_string(n);
        if (queue.Put(QueuedJournalLine{journal, JournalRecord(entry)})) Say("KEPT " + entry.Text);
        if (!DeliverJournalLines(queue) || queue.JournalLineCount() > 0) Say("WAITS " + entry.Text);
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    auto flushEnd = Clock::now() + std::chrono::seconds(flushSeconds);
    while (queue.JournalLineCount() > 0 && Clock::now() < flushEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        static_cast<void>(DeliverJournalLines(queue));
    }
    EXPECT_EQ(queue.JournalLineCount(), 0u) << "journal lines never written";
}


// Registers products for machines of one operator's Directory.dat as the
// measurement window does, one step of ZIV_TWO_STEPS ("machine=folder" or
// "retry", separated by ";") each time the test lets it (a file "go-<n>" in
// its root), and says "DONE n" after each.
TEST(ComputerStation, Registrar) {
    if (!IsChild()) GTEST_SKIP() << "runs only as a station started by the TwoComputers tests";
    MakeStationRoot();
    const std::string file = Env("ZIV_TWO_DIRECTORY"), root = Env("ZIV_ROOT");
    StationLog queue(OldQueuePath(root));
    static_cast<void>(queue.Load());
    Registrations registrations(queue, StationFiles(), file);
    ASSERT_FALSE(registrations.ReadAtStart().timedOut);
    std::istringstream steps(Env("ZIV_TWO_STEPS"));
    std::string step;
    for (int n = 0; std::getline(steps, step, ';'); ++n) {
        while (!fs::exists(root + "/go-" + std::to_string(n))) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        size_t eq = step.find('=');
        if (eq != std::string::npos) {
            int m = std::stoi(step.substr(0, eq));
            ASSERT_TRUE(registrations.Register(m, step.substr(eq + 1), {OwnClockNs(), Env("ZIV_TWO_STATION")}));
        }
        static_cast<void>(DeliverRegistrations(queue, StationFiles()));
        Say("DONE " + std::to_string(n));
    }
}

// ---- the tests -------------------------------------------------------------------

namespace {

class TwoComputers : public ::testing::Test {
protected:
    TempRoot root;
    std::unique_ptr<SshfsShare> share;
    std::vector<std::unique_ptr<Computer>> computers;

    void SetUp() override {
        if (IsChild()) GTEST_SKIP() << "a station runs no tests of its own";
        if (std::string why = SshfsShare::Unavailable(); !why.empty())
            GTEST_SKIP() << "no network file system for this test: " << why;
        share = std::make_unique<SshfsShare>(root / "net");
        ASSERT_TRUE(share->mounted()) << share->error();
        fs::create_directories(share->served() + "/製品/" + kProduct + "/data");
    }
    void TearDown() override {
        computers.clear();
        share.reset();
    }

    // A computer on the share; nothing (and a failure) when it did not start.
    Computer* AddComputer(const ComputerOptions& options) {
        computers.push_back(std::make_unique<Computer>(*share, root / "z", options, root / "computers"));
        if (!computers.back()->up()) {
            ADD_FAILURE() << computers.back()->error();
            return nullptr;
        }
        return computers.back().get();
    }
    // Skips when a computer with these options cannot be made here.
    bool Available(const std::vector<ComputerOptions>& options) {
        for (auto& o : options)
            if (std::string why = Computer::Unavailable(o); !why.empty()) {
                skipReason = why;
                return false;
            }
        return true;
    }
    std::string skipReason;

    // The share as every computer sees it, and the same folder on the server.
    std::string OnShare(const std::string& relative) { return root / ("z/" + relative); }
    std::string OnServer(const std::string& relative) { return share->served() + "/" + relative; }

    std::string BookRelative(const std::string& product = kProduct) {
        std::string full = DayBookPath("/" + std::string("製品/") + product, kOperator, product, 0, kDate);
        return full.substr(1);
    }

    std::string Log(const std::string& name) { return root / (name + ".log"); }

    // The product's master for points 1..points, each within ±limit of 0,
    // and the log folder above the product.
    void MakeMaster(int points, const std::string& limit) {
        Workbook master = Workbook::New();
        for (int r = 1; r <= points; ++r)
            for (int c = 1; c <= 4; ++c) master.SetCell(1, r, c, c == 2 ? limit : c == 3 ? "-" + limit : "0");
        ASSERT_TRUE(master.SaveAs(MasterBookPath(OnServer(std::string("製品/") + kProduct))));
        fs::create_directories(OnServer(std::string("製品/") + kLogFolderName));
    }
    // An operator station typing into points first..first+rows-1 of machine 0.
    pid_t Operator(Computer& pc, const std::string& name, int first, int rows, int firstValue, int seconds,
                   std::vector<std::string> more = {}, const std::string& own = {}) {
        std::vector<std::string> env = {"ZIV_TWO_PRODUCTS=" + OnShare("製品"), "ZIV_TWO_FIRST_ROW=" + std::to_string(first),
                                        "ZIV_TWO_ROWS=" + std::to_string(rows),
                                        "ZIV_TWO_FIRST_VALUE=" + std::to_string(firstValue),
                                        "ZIV_TWO_SECONDS=" + std::to_string(seconds)};
        env.insert(env.end(), more.begin(), more.end());
        return Station(pc, "ComputerStation.Operator", name, env, own);
    }

    // Starts a station on a computer: its own installation root, stations'
    // sanitizer leak check off (it is made in the single-process tests).
    // A station started again keeps its installation root: give the same root.
    pid_t Station(Computer& pc, const std::string& filter, const std::string& name,
                  const std::vector<std::string>& env, const std::string& rootName = {}) {
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        std::string own = rootName.empty() ? name : rootName;
        std::vector<std::string> all = {"ZIV_TWO_STATION=" + name, "ZIV_ROOT=" + root / ("stations/" + own),
                                        std::string("ASAN_OPTIONS=") + (sanitizer ? sanitizer : "") +
                                            ":detect_leaks=0"};
        all.insert(all.end(), env.begin(), env.end());
        return pc.StartSelf(filter, all, Log(name));
    }

    // Waits until a temporary of a file being written appears in the folder
    // on the server: its writer holds the file's lock by then.
    bool WaitForTemporary(const std::string& folderRelative, int seconds) {
        auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            std::error_code error;
            for (auto& e : fs::directory_iterator(OnServer(folderRelative), error))
                if (e.path().filename().string().find(".ziv-tmp-") != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // A save on the holder's computer that takes long (its replace of the
    // workbook is slow), and while it holds the lock, one on the other's.
    void SaveWhileAnotherSaves(Computer& holderPc, Computer& otherPc, const std::string& bookRelative) {
        std::string book = OnShare(bookRelative);
        pid_t holder = Station(holderPc, "ComputerStation.Saver", "holder",
                               {"ZIV_TWO_BOOK=" + book, "ZIV_TWO_FIRST_ROW=1", "ZIV_TWO_FIRST_VALUE=1001"});
        std::string folder = bookRelative.substr(0, bookRelative.find_last_of('/'));
        bool holding = WaitForTemporary(folder, 20);
        pid_t other = holding ? Station(otherPc, "ComputerStation.Saver", "other",
                                        {"ZIV_TWO_BOOK=" + book, "ZIV_TWO_FIRST_ROW=2", "ZIV_TWO_FIRST_VALUE=2001"})
                              : -1;
        ExpectExit(holder, "holder");
        ASSERT_TRUE(holding) << "the holder never wrote";
        ExpectExit(other, "other");
        ExpectEveryReportedValueIn(bookRelative, {"holder", "other"});
    }

    // Waits until the station's log holds a line starting with what.
    bool WaitForLine(const std::string& name, const std::string& what, int seconds) {
        auto end = Clock::now() + std::chrono::seconds(seconds);
        while (Clock::now() < end) {
            if (!LinesStartingWith(Log(name), what).empty()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    // The values a station was told were saved, per row, the last for each row.
    std::map<int, int> Saved(const std::string& name) {
        std::map<int, int> saved;
        for (auto& line : LinesStartingWith(Log(name), "SAVED ")) {
            std::istringstream in(line);
            int row = 0, value = 0;
            if (in >> row >> value) saved[row] = value;
        }
        return saved;
    }

    // What an operator station said it kept: "KEPT point value ns ms".
    struct KeptValue {
        int point = 0;
        std::string value;
        long long ns = 0, steadyMs = 0;
    };
    std::vector<KeptValue> Kept(const std::string& name) {
        std::vector<KeptValue> kept;
        for (auto& line : LinesStartingWith(Log(name), "KEPT ")) {
            std::istringstream in(line);
            KeptValue k;
            if (in >> k.point >> k.value >> k.ns >> k.steadyMs) kept.push_back(k);
        }
        return kept;
    }

    // Each point holds the newest value (by the time it carries) that any of
    // the stations was told was kept; a station killed may also have kept
    // the value it was entering as it died, without saying so.
    void ExpectNewestKeptValueOfEveryPointIn(const std::string& bookRelative, const std::vector<std::string>& names,
                                             const std::set<std::string>& killed) {
        std::map<int, std::pair<KeptValue, std::string>> newest;
        std::set<std::string> unsaid;
        for (auto& name : names) {
            auto kept = Kept(name);
            EXPECT_FALSE(kept.empty()) << "station " << name << " kept nothing";
            if (killed.count(name) && !kept.empty()) unsaid.insert(std::to_string(std::stoll(kept.back().value) + 1));
            for (const KeptValue& k : kept) {
                auto& slot = newest[k.point];
                if (slot.second.empty() || k.ns > slot.first.ns) slot = {k, name};
            }
        }
        FileResult problem;
        auto book = Workbook::Open(OnServer(bookRelative), &problem);
        ASSERT_TRUE(book) << BookOpenText(problem);
        for (auto& [point, k] : newest) {
            std::string cell = ReadDayBookRow(*book, point).Value;
            if (cell != k.first.value && unsaid.count(cell)) continue;
            EXPECT_EQ(cell, k.first.value) << "point " << point << ": the newest was kept by " << k.second;
        }
    }

    int ClockAhead(const std::string& name) {
        auto lines = LinesStartingWith(Log(name), "CLOCK ");
        return lines.empty() ? -1000 : std::atoi(lines.front().c_str());
    }

    // Every value the stations were told was saved is in the book on the
    // server: the last of each row.
    void ExpectEveryReportedValueIn(const std::string& bookRelative, const std::vector<std::string>& names) {
        FileResult problem;
        auto book = Workbook::Open(OnServer(bookRelative), &problem);
        ASSERT_TRUE(book) << BookOpenText(problem);
        for (auto& name : names)
            for (auto& [row, value] : Saved(name))
                EXPECT_EQ(ReadDayBookRow(*book, row).Value, std::to_string(value))
                    << "station " << name << ", row " << row << " was saved";
    }

    void ExpectExit(pid_t pid, const std::string& name) {
        EXPECT_EQ(WaitChild(pid), 0) << "station " << name << ":\n" << LogTail(Log(name));
    }
};

}  // namespace

#define SKIP_UNLESS_AVAILABLE(...)                                           \
    do {                                                                     \
        if (!Available({__VA_ARGS__})) GTEST_SKIP() << skipReason;           \
    } while (0)

// A station whose clock runs 45 s ahead of the server sees a lock made a
// moment ago as 45 s old. It must still wait for the holder: a lock's age is
// the server's to tell. Both values end in the book.
TEST_F(TwoComputers, StationWithClockAheadWaitsForALiveLock) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    a.slowShareMs = 6000;
    a.slowCalls = "rename";
    b.clockAheadSeconds = 45;
    SKIP_UNLESS_AVAILABLE(a, b);
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    SaveWhileAnotherSaves(*pcA, *pcB, BookRelative());
    EXPECT_NEAR(ClockAhead("other"), 45, 3) << "the station's clock was not moved";
    EXPECT_NEAR(ClockAhead("holder"), 0, 3);
}

// A holder whose write of its lock's details is slow (a busy link) is not a
// dead station: nobody else may come in while it holds the lock.
TEST_F(TwoComputers, SlowLockWriteKeepsTheLock) {
    ComputerOptions slow = Named("pc-slow", 1000), fast = Named("pc-fast", 2000);
    slow.slowShareMs = 2500;
    slow.slowCalls = "write";
    SKIP_UNLESS_AVAILABLE(slow, fast);
    Computer* pcSlow = AddComputer(slow);
    Computer* pcFast = AddComputer(fast);
    ASSERT_TRUE(pcSlow && pcFast);
    std::string file = OnShare(std::string("製品/") + kProduct + "/Data.dat"),
                marker = OnShare(std::string("製品/") + kProduct + "/inside");
    pid_t s = Station(*pcSlow, "ComputerStation.LockHolder", "slow",
                      {"ZIV_TWO_LOCKED=" + file, "ZIV_TWO_MARKER=" + marker, "ZIV_TWO_ENTRIES=2",
                       "ZIV_TWO_INSIDE_MS=2000"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    pid_t f = Station(*pcFast, "ComputerStation.LockHolder", "fast",
                      {"ZIV_TWO_LOCKED=" + file, "ZIV_TWO_MARKER=" + marker, "ZIV_TWO_ENTRIES=5",
                       "ZIV_TWO_INSIDE_MS=1000"});
    ExpectExit(s, "slow");
    ExpectExit(f, "fast");
    EXPECT_EQ(LinesStartingWith(Log("slow"), "OVERLAP"), std::vector<std::string>{});
    EXPECT_EQ(LinesStartingWith(Log("fast"), "OVERLAP"), std::vector<std::string>{});
}

// A day workbook whose name is 251 to 255 bytes long (a long product name)
// is locked like any other: a save on another computer waits for the holder.
TEST_F(TwoComputers, LongFileNameIsLockedToo) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    a.slowShareMs = 6000;
    a.slowCalls = "rename";
    SKIP_UNLESS_AVAILABLE(a, b);
    // The longest product name whose workbook name still fits the file system.
    std::string product = "L";
    while (LastPathComponent(DayBookPath("/p", kOperator, product + "L", 0, kDate)).size() <= NAME_MAX)
        product += "L";
    std::string relative = BookRelative(product);
    size_t name = LastPathComponent(relative).size();
    ASSERT_GE(name, 251u);
    ASSERT_LE(name, 255u);
    fs::create_directories(OnServer(std::string("製品/") + product + "/data"));
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    SaveWhileAnotherSaves(*pcA, *pcB, relative);
}

// PCs installed from one disk image share host name and machine id. One must
// not take the other's live lock as its own dead station's.
TEST_F(TwoComputers, ClonedComputerWaitsForTheOthersLiveLock) {
    ComputerOptions a = ClonePc(1000), b = ClonePc(2000);
    a.slowShareMs = 6000;
    a.slowCalls = "rename";
    SKIP_UNLESS_AVAILABLE(a, b);
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    SaveWhileAnotherSaves(*pcA, *pcB, BookRelative());
}

// Nor may it take the other's temporary, still being written over a slow
// link, for one left by a dead writer of its own.
TEST_F(TwoComputers, ClonedComputerLeavesTheOthersLiveTemporary) {
    ComputerOptions a = ClonePc(1000), b = ClonePc(2000);
    a.slowShareMs = 3000;
    a.slowCalls = "write";
    SKIP_UNLESS_AVAILABLE(a, b);
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    std::string target = OnShare(std::string("製品/") + kProduct + "/record.txt");
    pid_t slow = Station(*pcA, "ComputerStation.Writer", "slow", {"ZIV_TWO_TARGET=" + target});
    ASSERT_TRUE(WaitForLine("slow", "WRITING", 20)) << LogTail(Log("slow"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // its temporary is made by now
    pid_t other = Station(*pcB, "ComputerStation.Writer", "other", {"ZIV_TWO_TARGET=" + target});
    ExpectExit(other, "other");
    ExpectExit(slow, "slow");
}

// The soak: four operators on two computers, one computer's clock 45 s ahead
// of the server and the other's link slow, type into the same points of one
// day workbook, each through its own entry flow and writer; two designators
// designate points of one Data.dat. One computer's share hangs for 30 s while
// its stations keep entering, the other's drops once, and a station of each
// is killed and started again on its root. At the end each point holds the
// newest value any station was told was kept, every value carries the
// server's time, and the report tool's check finds no difference between the
// journals and the workbook.
TEST_F(TwoComputers, SoakWithHungAndDroppedSharesAndKillsKeepsTheNewestValueOfEveryPoint) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    a.clockAheadSeconds = 45;
    b.slowShareMs = 200;
    b.slowCalls = "write,rename";
    SKIP_UNLESS_AVAILABLE(a, b);
    constexpr int kSeconds = 45, kPointsTyped = 12;
    const std::string product = std::string("製品/") + kProduct, pointsRelative = product + "/Data.dat";
    MakeMaster(kPointsTyped, "90000");
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    // Each run of a station types values of its own, all into the same points.
    auto start = [&](Computer& pc, const std::string& name, int instance, int seconds, const std::string& own = {}) {
        return Operator(pc, name, 1, kPointsTyped, 10000 * (instance + 1), seconds,
                        {"ZIV_TWO_PAUSE_MS=800", "ZIV_TWO_FLUSH_SECONDS=40"}, own);
    };
    auto designer = [&](Computer& pc, const std::string& name, int instance) {
        return Station(pc, "ComputerStation.Designator", name,
                       {"ZIV_TWO_POINTS=" + OnShare(pointsRelative),
                        "ZIV_TWO_FIRST_POINT=" + std::to_string(1 + instance * 10), "ZIV_TWO_ROWS=10",
                        "ZIV_TWO_FIRST_VALUE=" + std::to_string(1000 * (instance + 1)),
                        "ZIV_TWO_SECONDS=" + std::to_string(kSeconds), "ZIV_TWO_PAUSE_MS=1200",
                        "ZIV_TWO_FLUSH_SECONDS=40"});
    };
    auto t0 = Clock::now();
    auto at = [&](int seconds) { std::this_thread::sleep_until(t0 + std::chrono::seconds(seconds)); };
    std::map<std::string, pid_t> stations = {{"a0", start(*pcA, "a0", 0, kSeconds)},
                                             {"a1", start(*pcA, "a1", 1, kSeconds)},
                                             {"b0", start(*pcB, "b0", 2, kSeconds)},
                                             {"b1", start(*pcB, "b1", 3, kSeconds)},
                                             {"pa", designer(*pcA, "pa", 0)},
                                             {"pb", designer(*pcB, "pb", 1)}};
    auto kill = [&](const std::string& name) {
        Kill(stations[name]);
        stations.erase(name);
    };
    at(5);
    pcA->HangShare(true);
    at(10);
    kill("b1");
    at(12);
    stations["b1-again"] = start(*pcB, "b1-again", 4, kSeconds - 12, "b1");
    at(18);
    pcB->DropShare();
    at(22);
    ASSERT_TRUE(pcB->RestoreShare()) << LogTail(pcB->log());
    at(25);
    kill("a1");  // with entries in its log that its hung share never saw
    at(35);
    pcA->HangShare(false);
    at(36);
    stations["a1-again"] = start(*pcA, "a1-again", 5, kSeconds - 36, "a1");
    for (auto& [name, pid] : stations) ExpectExit(pid, name);

    const std::vector<std::string> names = {"a0", "a1", "a1-again", "b0", "b1", "b1-again"};
    ExpectNewestKeptValueOfEveryPointIn(BookRelative(), names, {"a1", "b1"});
    const auto msToNs = std::chrono::system_clock::now().time_since_epoch() - Clock::now().time_since_epoch();
    int keptWhileHung = 0;
    for (auto& name : names)
        for (const KeptValue& k : Kept(name)) {
            auto serverNow = std::chrono::milliseconds(k.steadyMs) + msToNs;
            EXPECT_NEAR(static_cast<double>(k.ns), static_cast<double>(std::chrono::nanoseconds(serverNow).count()),
                        3e9)
                << "station " << name << ", value " << k.value << ": its time is not the server's";
            auto sinceStart = std::chrono::milliseconds(k.steadyMs) - t0.time_since_epoch();
            if (name[0] == 'a' && sinceStart > std::chrono::seconds(6) && sinceStart < std::chrono::seconds(34))
                ++keptWhileHung;
        }
    EXPECT_GT(keptWhileHung, 20) << "the stations of the hung computer did not go on entering";
    std::string check = root / "check.log";
    EXPECT_EQ(RunProgram({ZIV_BINARY_DIR "/tools/ziv-report/ziv-report", "check", OnServer(product), "--from",
                          "2024-05-17", "--to", "2024-05-17"},
                         check),
              0)
        << LogTail(check);
    PointTable onServer;
    ASSERT_TRUE(ReadPointTable(OnServer(pointsRelative), onServer));
    for (auto& name : {"pa", "pb"}) {
        std::map<int, int> designated;
        for (auto& line : LinesStartingWith(Log(name), "DESIGNATED ")) {
            std::istringstream in(line);
            int point = 0, x = 0;
            if (in >> point >> x) designated[point] = x;
        }
        EXPECT_GT(designated.size(), 0u) << "station " << name << " designated nothing";
        for (auto& [point, x] : designated)
            EXPECT_EQ(onServer.PosX[point], static_cast<float>(x)) << "station " << name << ", point " << point;
    }
}

// The share goes away under a station that keeps journalling, and comes back:
// the journal on the server then holds every entry the station was told was
// kept, each once and in the order it was made.
TEST_F(TwoComputers, JournalOfAStationWhoseShareWentAwayIsCompleteOnceItIsBack) {
    ComputerOptions a = Named("pc-a", 1000);
    SKIP_UNLESS_AVAILABLE(a);
    Computer* pc = AddComputer(a);
    ASSERT_TRUE(pc);
    const std::string folder = std::string("製品/") + kProduct + "/ＺＩＶログ/journal.csv";
    auto t0 = Clock::now();
    pid_t station = Station(*pc, "ComputerStation.Journaler", "j0",
                            {"ZIV_TWO_JOURNAL=" + OnShare(folder), "ZIV_TWO_SECONDS=8", "ZIV_TWO_PAUSE_MS=100"});
    std::this_thread::sleep_until(t0 + std::chrono::seconds(2));
    pc->DropShare();
    std::this_thread::sleep_until(t0 + std::chrono::seconds(5));
    ASSERT_TRUE(pc->RestoreShare()) << LogTail(pc->log());
    ExpectExit(station, "j0");
    std::vector<std::string> kept;
    for (auto& line : LinesStartingWith(Log("j0"), "KEPT ")) kept.push_back(line);
    ASSERT_GT(kept.size(), 40u) << "the station kept too few entries to tell";
    EXPECT_FALSE(LinesStartingWith(Log("j0"), "WAITS ").empty()) << "the share never went away under the station";
    JournalRead read = ReadJournal(OnServer(folder));
    ASSERT_EQ(read.status, ReadStatus::Read);
    EXPECT_EQ(read.damaged, 0u);
    std::vector<std::string> journalled;
    for (const JournalEntry& e : read.entries) journalled.push_back(e.Text);
    EXPECT_EQ(journalled, kept);
}

// A share hangs (a hard mount whose server went away) while a station holds
// a lock there and one on its own disk: the lock on its disk is still kept
// fresh, or another station would take it over as left by a dead one.
TEST_F(TwoComputers, HungShareHoldsUpNoRefreshOfALockElsewhere) {
    ComputerOptions a = Named("pc-a", 1000);
    SKIP_UNLESS_AVAILABLE(a);
    Computer* pcA = AddComputer(a);
    ASSERT_TRUE(pcA);
    fs::create_directories(OnServer("shared"));
    pid_t holder = Station(*pcA, "ComputerStation.TwoShareHolder", "holder",
                           {"ZIV_TWO_LOCKED=" + OnShare("shared/Data.dat"), "ZIV_TWO_SECONDS=16"});
    ASSERT_TRUE(WaitForLine("holder", "HELD", 20)) << LogTail(Log("holder"));
    std::string localLock = LockFilePath(root / "stations/holder/local.dat");
    pcA->HangShare(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(kLockRefreshMs + 500));
    struct timespec old[2];
    clock_gettime(CLOCK_REALTIME, &old[0]);
    old[0].tv_sec -= 20;
    old[1] = old[0];
    ASSERT_EQ(utimensat(AT_FDCWD, localLock.c_str(), old, 0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(2 * kLockRefreshMs + 500));
    struct stat st {};
    EXPECT_EQ(::stat(localLock.c_str(), &st), 0);
    pcA->HangShare(false);
    EXPECT_LE(std::time(nullptr) - st.st_mtime, 4) << "the lock on the station's own disk waited for the hung share";
    ExpectExit(holder, "holder");
}

// Fault 3: station A's registration waits while its share is away; station B
// registers another machine meanwhile; A's retry writes its line, and A's
// next registration must keep B's line, whatever A's own copy of the lines
// still says.
TEST_F(TwoComputers, RegistrationOnAnotherComputerSurvivesARetryAndTheNextRegistrationHere) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    SKIP_UNLESS_AVAILABLE(a, b);
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    fs::create_directories(OnServer("users/op"));
    const std::string file = OnShare("users/op/Directory.dat");
    const std::string p0 = OnShare("製品/P0"), p1 = OnShare("製品/P1"), p5 = OnShare("製品/P5");
    auto go = [&](const std::string& name, int step) {
        std::ofstream(root / ("stations/" + name + "/go-" + std::to_string(step))) << "go";
        return WaitForLine(name, "DONE " + std::to_string(step), 30);
    };
    pid_t stationA = Station(*pcA, "ComputerStation.Registrar", "a",
                             {"ZIV_TWO_DIRECTORY=" + file, "ZIV_TWO_STEPS=0=" + p0 + ";retry;1=" + p1});
    pid_t stationB = Station(*pcB, "ComputerStation.Registrar", "b",
                             {"ZIV_TWO_DIRECTORY=" + file, "ZIV_TWO_STEPS=5=" + p5});
    std::this_thread::sleep_for(std::chrono::seconds(2));  // both have read the file
    pcA->DropShare();
    ASSERT_TRUE(go("a", 0)) << LogTail(Log("a"));
    ASSERT_TRUE(go("b", 0)) << LogTail(Log("b"));
    ASSERT_TRUE(pcA->RestoreShare()) << LogTail(pcA->log());
    ASSERT_TRUE(go("a", 1)) << LogTail(Log("a"));
    ASSERT_TRUE(go("a", 2)) << LogTail(Log("a"));
    ExpectExit(stationA, "a");
    ExpectExit(stationB, "b");
    auto lines = LoadDirectoryFile(OnServer("users/op/Directory.dat"));
    ASSERT_TRUE(lines);
    EXPECT_EQ((*lines)[0], p0);
    EXPECT_EQ((*lines)[1], p1);
    EXPECT_EQ((*lines)[5], p5) << "the line registered on the other computer was emptied";
}

// Fault 4: A's replace of the day workbook is on its way when A's link stops
// (its rename paused, then its share hung). B waits out A's lock, takes it
// and saves point 2. A's link comes back and its rename lands over B's save.
// A finds its lock gone after the rename and writes back what the journals
// say its late workbook undid.
TEST_F(TwoComputers, LateRenameOverAnotherComputersSaveIsWrittenBackByTheStationThatMadeIt) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    a.slowShareMs = 1500;
    a.slowCalls = "rename";
    SKIP_UNLESS_AVAILABLE(a, b);
    MakeMaster(2, "90000");
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    const std::string paused = root / "rename-paused";
    pid_t stationA = Operator(*pcA, "a", 1, 1, 10000, 1,
                              {"ZIV_TWO_FLUSH_SECONDS=120", "ZIV_SLOW_SHARE_ONLY=.xls", "ZIV_SLOW_SHARE_ONCE=1",
                               "ZIV_SLOW_SHARE_MARKER=" + paused});
    auto until = Clock::now() + std::chrono::seconds(20);
    while (!fs::exists(paused) && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(fs::exists(paused)) << LogTail(Log("a"));
    pcA->HangShare(true);
    pid_t stationB = Operator(*pcB, "b", 2, 1, 20000, 2, {"ZIV_TWO_FLUSH_SECONDS=60"});
    ExpectExit(stationB, "b");
    pcA->HangShare(false);
    ExpectExit(stationA, "a");
    auto late = LinesStartingWith(Log("a"), "LATE ");
    ASSERT_FALSE(late.empty());
    EXPECT_GE(std::stoi(late.back()), 1) << "A's rename did not land late";
    ExpectNewestKeptValueOfEveryPointIn(BookRelative(), {"a", "b"}, {});
}

// Fault 8: the share goes away while a station records failing values and
// closes. Every rejection record and the operator record reach the server
// once it is back.
TEST_F(TwoComputers, RejectionsAndTheOperatorRecordMadeWhileTheShareIsAwayReachIt) {
    ComputerOptions a = Named("pc-a", 1000);
    SKIP_UNLESS_AVAILABLE(a);
    MakeMaster(3, "1");  // every value typed fails
    Computer* pc = AddComputer(a);
    ASSERT_TRUE(pc);
    pid_t station = Operator(*pc, "a", 1, 3, 10000, 4, {"ZIV_TWO_PAUSE_MS=300", "ZIV_TWO_RECORD=1"});
    ASSERT_TRUE(WaitForLine("a", "KEPT ", 20)) << LogTail(Log("a"));  // started, with the day read
    pc->DropShare();
    ASSERT_TRUE(WaitForLine("a", "RECORD ", 30)) << LogTail(Log("a"));
    ASSERT_TRUE(pc->RestoreShare()) << LogTail(pc->log());
    ExpectExit(station, "a");
    std::set<std::string> onServer;
    std::error_code error;
    for (auto& e : fs::directory_iterator(OnServer(std::string("製品/") + kLogFolderName + "/不合格記録"), error))
        onServer.insert(e.path().filename().string());
    auto kept = Kept("a");
    ASSERT_GT(kept.size(), 5u);
    EXPECT_EQ(onServer.size(), kept.size());
    for (const KeptValue& k : kept) {
        bool found = false;
        for (const std::string& name : onServer) found = found || name.find(k.value) != std::string::npos;
        EXPECT_TRUE(found) << "no rejection record of " << k.value;
    }
    const std::string mounted = root / "z/";
    for (const std::string& path : LinesStartingWith(Log("a"), "RECORD ")) {
        std::string relative = path.substr(mounted.size());
        EXPECT_TRUE(fs::exists(OnServer(relative))) << relative;
    }
}

// Fault 1: A's values of point 1 wait while A's share is away. B measures the
// point afterwards and saves. When A's share is back, A's waiting values,
// measured earlier, must not go over B's newer one.
TEST_F(TwoComputers, AnOlderValueWaitingOnOneComputerNeverOverwritesANewerOneSavedOnTheOther) {
    ComputerOptions a = Named("pc-a", 1000), b = Named("pc-b", 2000);
    SKIP_UNLESS_AVAILABLE(a, b);
    MakeMaster(1, "90000");
    Computer* pcA = AddComputer(a);
    Computer* pcB = AddComputer(b);
    ASSERT_TRUE(pcA && pcB);
    auto t0 = Clock::now();
    pid_t stationA = Operator(*pcA, "a", 1, 1, 10000, 4, {"ZIV_TWO_PAUSE_MS=300", "ZIV_TWO_FLUSH_SECONDS=60"});
    ASSERT_TRUE(WaitForLine("a", "KEPT ", 20)) << LogTail(Log("a"));
    pcA->DropShare();
    std::this_thread::sleep_until(t0 + std::chrono::seconds(6));  // A has stopped typing
    pid_t stationB = Operator(*pcB, "b", 1, 1, 20000, 2, {"ZIV_TWO_PAUSE_MS=300"});
    ExpectExit(stationB, "b");
    ASSERT_TRUE(pcA->RestoreShare()) << LogTail(pcA->log());
    ExpectExit(stationA, "a");
    ExpectNewestKeptValueOfEveryPointIn(BookRelative(), {"a", "b"}, {});
}
