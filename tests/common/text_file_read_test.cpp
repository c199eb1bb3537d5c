#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "temp_root.h"

using namespace ziv;

// Whatever stands where a file is expected, the reader says whether it is
// missing (the caller may create it) or there but unreadable (the caller must
// leave it alone), and only a read file yields lines.
TEST(TextFileRead, MissingIsToldApartFromEveryKindOfUnreadable) {
    TempRoot root;
    EXPECT_EQ(ReadTextFile(root / "none.dat").status, ReadStatus::Missing);
    EXPECT_EQ(ReadTextFile(root / "none/below.dat").status, ReadStatus::Missing);
    WriteBytes(root / "plain", "x");
    EXPECT_EQ(ReadTextFile(root / "plain/below.dat").status, ReadStatus::Missing);  // a file stands for the folder

    std::filesystem::create_directories(root / "folder.dat");
    TextRead folder = ReadTextFile(root / "folder.dat");
    EXPECT_EQ(folder.status, ReadStatus::Unreadable);
    EXPECT_TRUE(folder.lines.empty());
    EXPECT_EQ(folder.err, EISDIR);

    WriteBytes(root / "huge.dat", "1\r\n");
    std::filesystem::resize_file(root / "huge.dat", (256u << 20) + 1);  // sparse: no disk used
    EXPECT_EQ(ReadTextFile(root / "huge.dat").status, ReadStatus::Unreadable);

    WriteBytes(root / "locked.dat", "a\r\nb\r\n");
    FaultyDisk disk;
    disk.reads = [&](const std::string& path) { return path == root / "locked.dat" ? EACCES : 0; };
    TextRead locked = ReadTextFile(root / "locked.dat", disk);
    std::optional<std::vector<std::string>> lockedLines = ReadTextLines(root / "locked.dat", disk);
    EXPECT_EQ(locked.status, ReadStatus::Unreadable);
    EXPECT_TRUE(locked.lines.empty());
    EXPECT_EQ(locked.err, EACCES);
    EXPECT_EQ(lockedLines, std::nullopt);

    TextRead read = ReadTextFile(root / "locked.dat");
    EXPECT_EQ(read.status, ReadStatus::Read);
    EXPECT_EQ(read.lines, (std::vector<std::string>{"a", "b"}));
}

// A file another computer replaced on the file server while this one read it
// leaves a stale handle: the file is opened again by its path, a few times.
TEST(TextFileRead, AStaleHandleIsOpenedAgainAndOnlyLastingStalenessFails) {
    TempRoot root;
    WriteBytes(root / "Data.dat", "a\r\n");
    FaultyDisk disk;
    int stale = 2;
    disk.reads = [&](const std::string&) { return stale-- > 0 ? ESTALE : 0; };
    StampedRead replaced = ReadStamped(root / "Data.dat", disk);
    EXPECT_EQ(replaced.err, 0);
    EXPECT_EQ(replaced.bytes, "a\r\n");

    stale = 3;
    StampedRead gone = ReadStamped(root / "Data.dat", disk);
    EXPECT_EQ(gone.err, ESTALE);
    EXPECT_TRUE(gone.bytes.empty());
}
