// The station's queue of what could not be written yet: it must come back
// whole after the program ends, keep any text exactly, and never let a
// damaged file crash the station or vanish.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "platform/share_lock.h"
#include "station_log/delivery.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

class LogFile : public ::testing::Test {
protected:
    TempRoot root;
    std::string path = OldQueuePath(root.path());
    FaultyDisk disk;
    Files files{disk, StationFileLocks()};

    void SetUp() override { fs::create_directories(root / "Config"); }
    // The queue as a station started anew on the same root finds it.
    StationLog Restarted(StationLog::Loaded* loaded = nullptr) {
        StationLog queue(path, disk);
        StationLog::Loaded l = queue.Load();
        if (loaded) *loaded = l;
        return queue;
    }
    std::vector<std::string> ValuesOf(const StationLog& queue, const std::string& book) {
        std::vector<std::string> values;
        for (auto& [r, row] : queue.ValuesFor<QueuedRow>(book)) values.push_back(row.Value);
        return values;
    }
};

}  // namespace

TEST_F(LogFile, EveryChangeIsInTheFileAtOnceAndAnyTextComesBackExactly) {
    const std::vector<std::string> awkward = {"",          "a\tb",   "line\nbreak", "cr\rlf\r\n", "back\\slash\\",
                                              "\\t as typed", "\x01\x1F\x7F", "検査員\t１", "end\t3",  "ZIV save queue 1"};
    StationLog queue(path);
    for (size_t i = 0; i < awkward.size(); ++i) {
        const std::string& t = awkward[i];
        int n = static_cast<int>(i) + 1;
        ASSERT_TRUE(queue.Put(QueuedRow{"/p/" + t + "/data/x.xls", 7, n, {t, "old", t, "-" + t}}));
        ASSERT_TRUE(queue.Put(QueuedRegistration{"/u/" + t + "/Directory.dat", n, "/p/" + t}));
        ASSERT_TRUE(queue.Put(QueuedDesignation{"/p/" + t + "/Data.dat", n, {0.1f * n, -12345.678f / n, 3}}));
        // Measured again: the newer value takes the waiting one's place.
        ASSERT_TRUE(queue.Put(QueuedRow{"/p/" + t + "/data/x.xls", 7, n, {t, t + "1", t, "-" + t}}));
    }
    // One line per entry and one per entry replaced, whatever the texts hold.
    EXPECT_EQ(SplitLines(ReadBytes(queue.LogPath())).size(), 1 + 5 * awkward.size());

    StationLog::Loaded loaded;
    StationLog again = Restarted(&loaded);
    EXPECT_FALSE(loaded.damaged);
    ASSERT_EQ(again.Count(), 3 * awkward.size());
    for (size_t i = 0; i < awkward.size(); ++i) {
        const std::string& t = awkward[i];
        int n = static_cast<int>(i) + 1;
        EXPECT_EQ(again.ValuesFor<QueuedRow>("/p/" + t + "/data/x.xls"), (std::map<int, MeasuredRow>{{n, {t, t + "1", t, "-" + t}}}))
            << i;
        EXPECT_EQ(again.ValuesFor<QueuedRegistration>("/u/" + t + "/Directory.dat"), (std::map<int, std::string>{{n, "/p/" + t}})) << i;
        // Coordinates come back to the last bit, whatever the locale.
        EXPECT_EQ(again.ValuesFor<QueuedDesignation>("/p/" + t + "/Data.dat"),
                  (std::map<int, DesignatedPoint>{{n, {0.1f * n, -12345.678f / n, 3}}}))
            << i;
    }
    // Taken out only while it still holds what was written, not when measured again meanwhile.
    const std::string t = awkward[1];
    const std::string book = "/p/" + t + "/data/x.xls";
    ASSERT_TRUE(again.Remove<QueuedRow>(book, {{2, {t, "older", t, "-" + t}}}));
    EXPECT_EQ(again.ValuesFor<QueuedRow>(book).size(), 1u);
    ASSERT_TRUE(again.Remove<QueuedRow>(book, again.ValuesFor<QueuedRow>(book)));
    ASSERT_TRUE(again.Remove<QueuedRegistration>("/u/" + t + "/Directory.dat", {{2, "/p/" + t}}));
    EXPECT_EQ(Restarted().Count(), 3 * awkward.size() - 2);
}

// A file the station did not write whole: whatever reads whole is kept, the
// file itself is moved aside for someone to look at, never written over.
TEST_F(LogFile, DamagedOrUnreadableFileIsKeptAsideAndWhatReadsWholeStaysQueued) {
    const std::string book = "/p/data/a.xls";
    // As an earlier version left it.
    const std::string whole =
        "ZIV save queue 1\n"
        "R\t/p/data/a.xls\t0\t1\tM\t10.02\t\t\n"
        "R\t/p/data/a.xls\t0\t2\tM\t10.04\t\t\n"
        "R\t/p/data/a.xls\t0\t3\tM\t10.06\t\t\n"
        "end\t3\n";
    std::string badLine = whole;
    badLine.insert(badLine.find("R\t/p/data/a.xls\t0\t2"), "X");
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::string> values;
    };
    const std::vector<Case> cases = {
        // "10.0" still reads as a number, but is not the value.
        {"cut inside the last value", whole.substr(0, whole.find("10.06") + 4), {"10.02", "10.04"}},
        {"an entry that does not read", badLine, {"10.02", "10.06"}},
        {"another format", "something else\n" + whole.substr(whole.find('\n') + 1), {}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        WriteBytes(path, c.bytes);
        StationLog::Loaded loaded;
        StationLog again = Restarted(&loaded);
        EXPECT_TRUE(loaded.damaged) << c.what;
        EXPECT_EQ(ValuesOf(again, book), c.values) << c.what;
        // Under a name of its own, beside those kept before.
        EXPECT_EQ(loaded.keptAside, root / ("Config/StationLog-damaged-" + std::to_string(i + 1) + ".dat")) << c.what;
        EXPECT_EQ(ReadBytes(loaded.keptAside), c.bytes) << c.what;
        EXPECT_EQ(ValuesOf(Restarted(), book), c.values) << c.what << ": taken into the log at once";
        fs::remove_all(StationLogFolder(path));
    }

    WriteBytes(path, whole);
    disk.reads = [&](const std::string& p) { return p == path ? EIO : 0; };
    StationLog::Loaded loaded;
    StationLog unread = Restarted(&loaded);
    EXPECT_EQ(loaded.problem.failure, Failure::Unreadable);
    EXPECT_EQ(loaded.problem.err, EIO);
    ASSERT_TRUE(unread.Put(QueuedRow{book, 0, 9, {"M", "1", "", ""}}));
    EXPECT_EQ(ReadBytes(loaded.keptAside), whole);
}

// A designation the editor could not write goes into Data.dat once it can be
// read and written, over what it holds now, keeping what others designated.
TEST_F(LogFile, WaitingDesignationsGoIntoTheFileAsItIsThen) {
    std::string points = root / "製品/Data.dat";
    fs::create_directories(root / "製品");
    PointTable other;
    other.PosX[4] = 40;
    other.PosY[4] = 44;
    ASSERT_TRUE(SavePointTable(StationFiles(), points, other));
    StationLog queue(path);
    ASSERT_TRUE(queue.Put(QueuedDesignation{points, 7, {70.5f, 77.25f, 2}}));
    disk.reads = [&](const std::string& p) { return p == points ? ENOTCONN : 0; };
    EXPECT_EQ(DeliverDesignations(queue, files).err, ENOTCONN);
    EXPECT_EQ(queue.Count(), 1u) << "the share is gone: it keeps waiting";
    disk.reads = nullptr;
    EXPECT_TRUE(DeliverDesignations(queue, files));
    EXPECT_EQ(queue.Count(), 0u);
    PointTable onDisk;
    ASSERT_TRUE(ReadPointTable(points, onDisk));
    EXPECT_EQ(PointOf(onDisk, 7), (DesignatedPoint{70.5f, 77.25f, 2}));
    EXPECT_EQ(PointOf(onDisk, 4), (DesignatedPoint{40, 44, 0}));
    EXPECT_EQ(Restarted().Count(), 0u);
}
