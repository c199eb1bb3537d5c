// The control watch's read of the journals every few minutes: only what the
// journals gained since the last read (kept on the station's disk), every
// value once whatever becomes of a journal, and of older working dates only
// as many as the watched points' last values need, however old.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/numbers.h"
#include "report/fixed_limits.h"
#include "report/journal_index.h"
#include "station/control_cache.h"
#include "station/control_watch.h"
#include "temp_root.h"

namespace {

using namespace ziv;
namespace fs = std::filesystem;

const Day kToday = std::chrono::year{2026} / 3 / 20;

Day DaysBack(int n) { return Day{std::chrono::sys_days(kToday) - std::chrono::days(n)}; }

// Machine 0 with product P, fixed limits on point 1.
struct Shop {
    TempRoot root;
    std::string products = root / "products";
    ProductPathList paths{};
    Shop() {
        paths[0] = products + "/P";
        fs::create_directories(paths[0]);
        fs::create_directories(JournalFolder(products));
        fs::create_directories(root / "Config");
        report::FixedLimit l;
        l.Version = 1;
        l.FixedAt = TimestampNow();
        l.FixedBy = "品証";
        l.From = {2026, 1, 1};
        l.To = {2026, 1, 31};
        l.Point = 1;
        l.N = 30;
        l.Limits = {10, 10.03, 9.97, 0.01, 0.03, 0};
        l.Tolerance = {"10", "0.05", "-0.05"};
        WriteBytes(report::FixedLimitsPath(paths[0]), report::FixedLimitsText({l}));
    }
    ControlData Pass() { return ReadControlData(paths, kToday, ControlCachePath(root.path())); }
    std::vector<double> Values() { return Pass().Recent.Before(1, 0, kToday, "nobody"); }
    std::string Journal(int daysBack, const std::string& station = "s1") {
        return JournalPath(products, DaysBack(daysBack), station);
    }
};

// A value on point 1 of machine 0, one cell of its own (operator op).
std::string Record(int daysBack, double value, int minute, const std::string& op = "op") {
    JournalEntry e;
    e.WorkDate = DaysBack(daysBack);
    e.Time.Utc = std::chrono::sys_days(e.WorkDate) + std::chrono::hours(8) + std::chrono::minutes(minute);
    e.Operator = op;
    e.Product = "P";
    e.Point = 1;
    e.Text = GeneralDecimalText(value);
    return JournalRecord(e) + "\r\n";
}

void Append(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

// Changes bytes in place, the journal's size and time as they were: what a
// station that reads everything again would see and one that remembers not.
void Overwrite(const std::string& path, const std::string& from, const std::string& to) {
    const auto time = fs::last_write_time(path);
    std::string bytes = ReadBytes(path);
    bytes.replace(bytes.find(from), from.size(), to);
    std::fstream(path, std::ios::binary | std::ios::in | std::ios::out) << bytes;
    fs::last_write_time(path, time);
}

TEST(ControlReading, EachPassTakesWhatTheJournalGainedAndEveryValueOnce) {
    Shop shop;
    const std::string journal = shop.Journal(0);
    const std::string half = Record(0, 10.005, 5, "e");
    std::uintmax_t before = 0;
    struct Step {
        const char* what;
        std::function<void()> change;
        std::vector<double> values;
        std::function<std::uint64_t()> bytesRead;
    };
    const std::vector<Step> steps{
        {"first read", [&] { WriteBytes(journal, JournalStart() + Record(0, 10.001, 1, "a") + Record(0, 10.002, 2, "b")); },
         {10.001, 10.002}, [&] { return fs::file_size(journal); }},
        {"nothing new: the journal is not read again",
         [&] { Overwrite(journal, "10.001", "10.009"); }, {10.001, 10.002}, [] { return 0; }},
        {"a record and half of the next appended: the whole one only",
         [&] { Append(journal, Record(0, 10.004, 4, "d") + half.substr(0, 40)); }, {10.001, 10.002, 10.004},
         [&] { return Record(0, 10.004, 4, "d").size() + 40 + Record(0, 10.002, 2, "b").size(); }},
        {"the half record completed", [&] { Append(journal, half.substr(40)); },
         {10.001, 10.002, 10.004, 10.005}, [&] { return half.size() + Record(0, 10.004, 4, "d").size(); }},
        {"shrunk and written anew: read whole",
         [&] { WriteBytes(journal, JournalStart() + Record(0, 10.006, 6, "f")); },
         {10.001, 10.002, 10.004, 10.005, 10.006}, [&] { return fs::file_size(journal); }},
        {"replaced by other bytes of the same size: read whole",
         [&] {
             std::string bytes = ReadBytes(journal);
             bytes.replace(bytes.find("10.006"), 6, "10.007");
             WriteBytes(journal + ".new", bytes);
             fs::rename(journal + ".new", journal);
         },
         {10.001, 10.002, 10.004, 10.005, 10.007}, [&] { return fs::file_size(journal); }},
        {"rewritten in place, longer, other bytes where the last read ended: read whole",
         [&] {
             before = fs::file_size(journal);
             WriteBytes(journal, JournalStart() + Record(0, 10.011, 11, "g") + Record(0, 10.012, 12, "h") +
                                     Record(0, 10.013, 13, "i"));
         },
         {10.001, 10.002, 10.004, 10.005, 10.007, 10.011, 10.012, 10.013},
         [&] { return fs::file_size(journal) - before + Record(0, 10.007, 6, "f").size() + fs::file_size(journal); }},
        {"the kept reading damaged: what the journal holds now, read whole",
         [&] { WriteBytes(ControlCachePath(shop.root.path()), "ZIV-ControlWatch\t1\njournal\tx\n"); },
         {10.011, 10.012, 10.013}, [&] { return fs::file_size(journal); }},
    };
    for (const Step& step : steps) {
        step.change();
        ControlData data = shop.Pass();
        EXPECT_EQ(data.Recent.Before(1, 0, kToday, "nobody"), step.values) << step.what;
        EXPECT_EQ(data.JournalBytesRead, step.bytesRead()) << step.what;
    }
}

TEST(ControlReading, OlderWorkingDatesAreReadAsFarAsTheWatchedPointsNeedHoweverOld) {
    struct Case {
        const char* what;
        int firstDay, lastDay;  // days back holding one value each, of 12 operators
        std::vector<int> notNeeded;  // days back whose journals hold older values
        size_t values;
    };
    const std::vector<Case> cases{
        {"recent dates hold enough: older journals stay unread", 0, 4, {5, 40}, kRecentValues},
        {"values only beyond a month: still found", 45, 48, {}, 48},
    };
    for (const Case& c : cases) {
        Shop shop;
        std::uint64_t needed = 0;
        for (int d = c.firstDay; d <= c.lastDay; ++d) {
            std::string bytes = JournalStart();
            for (int op = 0; op < 12; ++op) bytes += Record(d, 10 + op / 1000.0, op, "op" + std::to_string(op));
            WriteBytes(shop.Journal(d), bytes);
            needed += bytes.size();
        }
        for (int d : c.notNeeded) WriteBytes(shop.Journal(d), JournalStart() + Record(d, 10.02, 0));
        ControlData first = shop.Pass();
        EXPECT_EQ(first.Recent.Before(1, 0, kToday, "nobody").size(), c.values) << c.what;
        EXPECT_EQ(first.JournalBytesRead, needed) << c.what;
        // A restart: what was read stays on the station's disk.
        EXPECT_EQ(shop.Pass().Recent.Before(1, 0, kToday, "nobody").size(), c.values) << c.what;
    }
}

}  // namespace
