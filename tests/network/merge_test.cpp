// Another station changed a shared file since this one read it: the save keeps
// both. The other station is played by writing the file directly.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "common/text_file.h"
#include "drawing/point_table.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "records/product_registry.h"
#include "temp_root.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {

std::string DirectoryText(const ProductPathList& paths) {
    std::string text;
    for (auto& p : paths) text += p + "\r\n";
    return *ToCp932(text);
}

std::string TableLines(const PointTable& t) {
    std::string text;
    for (int i = 0; i < kPointEntries; ++i) {
        auto line = [&](double v) {
            char b[32];
            std::snprintf(b, sizeof b, "%s%g\r\n", v < 0 ? "" : " ", v);
            text += b;
        };
        line(t.PosX[i]);
        line(t.PosY[i]);
        line(t.InstrumentIndex[i]);
    }
    return text;
}

std::vector<std::string> TemporariesIn(const std::string& folder) {
    std::vector<std::string> found;
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().find(".ziv-tmp-") != std::string::npos) found.push_back(e.path().filename());
    return found;
}

}  // namespace

TEST(SharedFileMerge, DirectoryLinesOfAnotherStationSurviveARegistrationHere) {
    TempRoot root;
    std::string path = root / "Directory.dat";
    ProductPathList start{};
    start[0] = "/製品/A";
    WriteBytes(path, DirectoryText(start));
    DirectoryRead read = ReadDirectoryFile(path);
    ASSERT_EQ(read.status, ReadStatus::Read);
    // The operator registers machine 5 on the other station ...
    ProductPathList other = start;
    other[5] = "/製品/B";
    WriteBytes(path, DirectoryText(other));
    // ... and machine 3 here.
    ProductPathList here = read.paths;
    here[3] = "/製品/C";
    ProductPathList saved{};
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, here, &saved));
    ProductPathList expected = start;
    expected[3] = "/製品/C";
    expected[5] = "/製品/B";
    EXPECT_EQ(ReadBytes(path), DirectoryText(expected));
    EXPECT_EQ(saved, expected);
    // Unregistering machine 0 here later still keeps machine 5.
    saved[0].clear();
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, saved));
    expected[0].clear();
    EXPECT_EQ(ReadBytes(path), DirectoryText(expected));
}

TEST(SharedFileMerge, PointsDesignatedOnAnotherStationSurviveAnOkHere) {
    TempRoot root;
    std::string path = root / "Data.dat";
    PointTable start;
    start.PosX[1] = 100;
    start.PosY[1] = 200;
    start.InstrumentIndex[1] = 1;
    WriteBytes(path, TableLines(start));
    PointTable table;
    ASSERT_EQ(ReadPointTableFile(path, table), ReadStatus::Read);
    ASSERT_EQ(table.PosX[1], 100.0f);
    // Point 7 designated and point 1 moved on the other station ...
    PointTable other = start;
    other.PosX[7] = 700;
    other.PosY[7] = 770;
    other.InstrumentIndex[7] = 3;
    other.PosX[1] = 150;
    WriteBytes(path, TableLines(other));
    // ... point 2 here.
    table.PosX[2] = 20;
    table.PosY[2] = 22;
    table.InstrumentIndex[2] = 2;
    PointTable saved;
    ASSERT_TRUE(SavePointTable(StationFiles(), path, table, &saved));
    PointTable onDisk;
    ASSERT_TRUE(ReadPointTable(path, onDisk));
    for (const PointTable* t : {&onDisk, &saved}) {
        EXPECT_EQ(t->PosX[1], 150.0f);
        EXPECT_EQ(t->PosX[2], 20.0f);
        EXPECT_EQ(t->InstrumentIndex[2], 2);
        EXPECT_EQ(t->PosX[7], 700.0f);
        EXPECT_EQ(t->PosY[7], 770.0f);
        EXPECT_EQ(t->InstrumentIndex[7], 3);
    }
}

// On sshfs (and SMB) a lock on a temporary is seen only on the computer that
// holds it, so a temporary of another computer's writer looks free: it may
// only go once it has been untouched for long.
TEST(SharedFileMerge, TemporaryOfAnotherComputerGoesOnlyWhenLongUntouched) {
    TempRoot root;
    std::string folder = root / "d";
    ASSERT_TRUE(MakeFolders(folder));
    std::string busy = folder + "/.Data.dat.ziv-tmp-0badf00d-00001234-Ab12Cd";
    std::string dead = folder + "/.Data.dat.ziv-tmp-0badf00d-00004321-Xy98Zw";
    WriteBytes(busy, "being written elsewhere");
    WriteBytes(dead, "left by a crash elsewhere");
    auto old = fs::last_write_time(dead) - std::chrono::minutes(11);
    fs::last_write_time(dead, old);
    ASSERT_TRUE(WriteTextFile(folder + "/Data.dat", "x\r\n"));
    EXPECT_TRUE(FileExists(busy));
    EXPECT_FALSE(FileExists(dead));
    EXPECT_EQ(TemporariesIn(folder), std::vector<std::string>{".Data.dat.ziv-tmp-0badf00d-00001234-Ab12Cd"});
}

// The operator registers again, here, the product this station last read on
// machine 2, while another station has registered another product there: the
// operator's choice here is what the window shows, so it is what the file
// must hold.
TEST(SharedFileMerge, ARegistrationHereWinsAlsoWhenItRestoresTheLineLastRead) {
    TempRoot root;
    std::string path = root / "Directory.dat";
    ProductPathList start{};
    start[2] = "/製品/A";
    WriteBytes(path, DirectoryText(start));
    ProductPathList here = ReadDirectoryFile(path).paths;
    ProductPathList other = start;
    other[2] = "/製品/B";
    other[4] = "/製品/D";
    WriteBytes(path, DirectoryText(other));
    here[2] = "/製品/A";
    ProductPathList saved{};
    ASSERT_TRUE(SaveDirectoryFile(StationFiles(), path, here, &saved, {2}));
    EXPECT_EQ(saved[2], "/製品/A");
    EXPECT_EQ(saved[4], "/製品/D");
    EXPECT_EQ(ReadBytes(path), DirectoryText(saved));
}

// One product shown on two machines of this station: each machine's table was
// read at its own time, so saving the older one merges from the version it
// was read as, and keeps what the other machine (or station) designated since.
TEST(SharedFileMerge, OneProductOnTwoMachinesKeepsThePointsOfBoth) {
    TempRoot root;
    std::string path = root / "Data.dat";
    WriteBytes(path, TableLines(PointTable{}));
    PointTable machine0, machine1;
    ASSERT_EQ(ReadPointTableFile(path, machine0, nullptr, 0), ReadStatus::Read);
    // Another station designates point 9; then machine 1 is shown and point 3
    // designated there.
    PointTable other;
    other.PosX[9] = 90;
    other.PosY[9] = 99;
    WriteBytes(path, TableLines(other));
    ASSERT_EQ(ReadPointTableFile(path, machine1, nullptr, 1), ReadStatus::Read);
    machine1.PosX[3] = 30;
    machine1.PosY[3] = 33;
    ASSERT_TRUE(SavePointTable(StationFiles(), path, machine1, nullptr, 1));
    // Machine 0, with the table read before both, designates point 5.
    machine0.PosX[5] = 50;
    machine0.PosY[5] = 55;
    PointTable saved;
    ASSERT_TRUE(SavePointTable(StationFiles(), path, machine0, &saved, 0));
    PointTable onDisk;
    ASSERT_TRUE(ReadPointTable(path, onDisk));
    EXPECT_EQ(onDisk, saved);
    EXPECT_EQ(onDisk.PosX[3], 30.0f);
    EXPECT_EQ(onDisk.PosX[5], 50.0f);
    EXPECT_EQ(onDisk.PosX[9], 90.0f);
}
