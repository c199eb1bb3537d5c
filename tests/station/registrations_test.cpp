// Registrations and designations: the newest wins a Directory.dat line and a
// Data.dat point, whichever station writes last; a registration is in the
// station's log at once and reaches the share through the writer; the
// start-up read of Directory.dat does not wait for a share that never answers.
#include <gtest/gtest.h>

#include <cerrno>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "common/text_file.h"
#include "drawing/point_table.h"
#include "faulty_disk.h"
#include "platform/share_lock.h"
#include "station_log/entry_writer.h"
#include "station/registrations.h"
#include "station_log/delivery.h"
#include "records/server_clock.h"
#include "temp_root.h"

using namespace ziv;

namespace {

struct NewestCase {
    const char* what;
    MeasuredAt file, mine;
    bool mineWins;
};

const NewestCase kNewest[] = {
    {"the file's newer", {200, "a"}, {100, "b"}, false},
    {"this station's newer", {200, "a"}, {300, "a"}, true},
    {"a tie, this station's identity higher", {200, "a"}, {200, "b"}, true},
    {"a tie, the file's identity higher", {200, "b"}, {200, "a"}, false},
    {"the file's written before times were kept", {0, ""}, {100, "a"}, true},
};

}  // namespace

TEST(NewestWins, ADirectoryLineAndADataPointKeepTheNewerEntry) {
    TempRoot root;
    const std::string directory = root / "op/Directory.dat", points = root / "p/Data.dat";
    std::filesystem::create_directories(root / "op");
    std::filesystem::create_directories(root / "p");
    for (const NewestCase& c : kNewest) {
        std::filesystem::remove(RegistrationTimesPath(directory));
        std::filesystem::remove(PointTimesPath(points));
        ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {{3, {"/theirs", c.file}}, {4, {"/other", c.file}}}));
        ASSERT_TRUE(SaveDesignatedPoints(StationFiles(), points, {{3, {{10, 10, 1}, c.file}}, {4, {{9, 9, 1}, c.file}}}));
        ProductPathList lines{};
        ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {{3, {"/mine", c.mine}}}, &lines));
        EXPECT_EQ(lines[3], c.mineWins ? "/mine" : "/theirs") << c.what;
        EXPECT_EQ(LoadDirectoryFile(directory)->at(3), lines[3]) << c.what;
        EXPECT_EQ(LoadDirectoryFile(directory)->at(4), "/other") << c.what;
        ASSERT_TRUE(SaveDesignatedPoints(StationFiles(), points, {{3, {{20, 20, 2}, c.mine}}}));
        PointTable table;
        ASSERT_TRUE(ReadPointTable(points, table));
        EXPECT_EQ(table.PosX[3], c.mineWins ? 20 : 10) << c.what;
        EXPECT_EQ(table.PosX[4], 9) << c.what;
    }
    // Directory.dat stays the 48 lines every reader knows; the times live beside it.
    EXPECT_EQ(SplitLines(ReadBytes(directory)).size(), 48u);
    EXPECT_TRUE(ReadBytes(RegistrationTimesPath(directory)).starts_with(kRegistrationTimesFirstLine));
}

// Station A registers machine 1 while station B's registration of machine 5
// is already in the file: A's entry is durable in its log before the share
// sees it, the writer puts it over the file as it is then, and A takes over
// B's line. A designation takes the same way.
TEST(Registrations, AreLoggedAtOnceAndTheWriterDeliversThemOverTheFileAsItIsNow) {
    TempRoot root;
    std::filesystem::create_directories(root / "op");
    std::filesystem::create_directories(root / "p");
    const std::string directory = root / "op/Directory.dat", points = root / "p/Data.dat";
    auto queue = std::make_shared<StationLog>(OldQueuePath(root.path()));
    Registrations registrations(*queue, StationFiles(), directory);
    EXPECT_EQ(registrations.ReadAtStart().status, ReadStatus::Missing);
    std::string empty48;
    for (int k = 0; k < 48; ++k) empty48 += "\r\n";
    EXPECT_EQ(ReadBytes(directory), empty48) << "a missing file is made with empty lines";
    ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {{5, {"/p/B", {OwnClockNs(), "b"}}}}));

    ASSERT_TRUE(registrations.Register(1, "/p/A", {OwnClockNs(), "a"}));
    ASSERT_TRUE(queue->Put(QueuedDesignation{points, 7, {100, 200, 3}, {OwnClockNs(), "a"}}));
    EXPECT_NE(ReadBytes(queue->LogPath()).find("/p/A"), std::string::npos) << "durable before the share saw it";
    EXPECT_EQ(LoadDirectoryFile(directory)->at(1), "");

    EntryWriter writer(queue, StationFiles(), StationServerClock());
    writer.Start();
    ASSERT_TRUE(writer.Drain(10000));
    EntryWriter::Progress progress = writer.Take();
    writer.Stop(1000);
    ASSERT_EQ(progress.directories.size(), 1u);
    EXPECT_EQ(registrations.TakeOver(progress.directories[0].second), std::vector<int>{5});
    EXPECT_EQ(registrations.Paths()[5], "/p/B");
    EXPECT_EQ(LoadDirectoryFile(directory)->at(1), "/p/A");
    EXPECT_EQ(LoadDirectoryFile(directory)->at(5), "/p/B");
    PointTable table;
    ASSERT_TRUE(ReadPointTable(points, table));
    EXPECT_EQ(table.PosX[7], 100);
    ASSERT_EQ(progress.pointFiles.size(), 1u);
    EXPECT_EQ(progress.pointFiles[0].second, table);
}

// A share that never answers: the start goes on with what the log holds, and
// the file's lines come once the read ends.
TEST(Registrations, AStartUpReadOfAHungShareGoesOnWithTheLogAndTakesTheFileLater) {
    TempRoot root;
    std::filesystem::create_directories(root / "op");
    const std::string directory = root / "op/Directory.dat";
    ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {{2, {"/p/B", {}}}}));
    StationLog queue(OldQueuePath(root.path()));
    ASSERT_TRUE(queue.Put(QueuedRegistration{directory, 1, "/p/A", {OwnClockNs(), "a"}}));
    std::mutex gate;
    std::condition_variable opened;
    bool hung = true;
    FaultyDisk disk;
    disk.reads = [&](const std::string& path) {
        std::unique_lock lock(gate);
        if (path == directory) opened.wait(lock, [&] { return !hung; });
        return 0;
    };
    Registrations registrations(queue, Files{disk, StationFileLocks()}, directory);
    Registrations::Started started = registrations.ReadAtStart(200);
    EXPECT_TRUE(started.timedOut);
    EXPECT_EQ(registrations.Paths()[1], "/p/A");
    EXPECT_EQ(registrations.Paths()[2], "");
    EXPECT_EQ(registrations.TakeLateRead(), std::nullopt);
    {
        std::lock_guard lock(gate);
        hung = false;
    }
    opened.notify_all();
    std::optional<std::vector<int>> late;
    while (!(late = registrations.TakeLateRead()) && registrations.LateReadPending()) std::this_thread::yield();
    EXPECT_EQ(late, std::vector<int>{2});
    EXPECT_EQ(registrations.Paths()[1], "/p/A") << "the registration still waiting stands";
}

// A Directory.dat this station may not read is set aside after a bounded
// number of tries, as a day workbook is; a share that is away is not.
TEST(Registrations, ADirectoryThatWillNotBeReadIsSetAsideAfterItsTries) {
    const struct {
        int err;
        size_t aside;
    } cases[] = {{EACCES, 1}, {ENOTCONN, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        TempRoot root;
        std::filesystem::create_directories(root / "op");
        const std::string directory = root / "op/Directory.dat";
        ASSERT_TRUE(WriteRegistrations(StationFiles(), directory, {}));
        StationLog queue(OldQueuePath(root.path()));
        ASSERT_TRUE(queue.Put(QueuedRegistration{directory, 1, "/p/A", {OwnClockNs(), "a"}}));
        FaultyDisk disk;
        disk.reads = [&](const std::string& path) { return path == directory ? c.err : 0; };
        for (int k = 0; k < kTriesBeforeAside; ++k)
            static_cast<void>(DeliverRegistrations(queue, Files{disk, StationFileLocks()}));
        EXPECT_EQ(queue.SetAsideEntries().size(), c.aside);
    }
}
