#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/text_file.h"
#include "drawing/point_table.h"
#include "editor_fixture.h"
#include "temp_root.h"

using namespace ziv;
using ziv::testing::EditorTest;

namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

PointTable EveryEntryDifferent() {
    PointTable table;
    for (int i = 0; i < kPointEntries; ++i) {
        table.PosX[i] = static_cast<float>(i * 37 - 3000);
        table.PosY[i] = static_cast<float>(i % 7 == 0 ? 0 : i * 11 + 0.5);
        table.InstrumentIndex[i] = static_cast<std::int16_t>(i % 30 - 2);
    }
    return table;
}

}  // namespace

TEST(PointTableFile, UntouchedTableSavesSixHundredThreeZeroLines) {
    TempRoot root;
    PointTable table;
    ASSERT_TRUE(SavePointTable(StationFiles(), root / "Data.dat", table));
    EXPECT_EQ(ReadBytes(root / "Data.dat"), Repeat(" 0\r\n", 603));
}

TEST(PointTableFile, NumbersUseTheSignColumnForm) {
    PointTable table;
    table.PosX[1] = 615;
    table.PosY[1] = -350;
    table.InstrumentIndex[1] = 12;
    table.PosX[2] = 0.25f;
    std::string text = PointTableText(table);
    EXPECT_EQ(text.substr(0, 3 * 4), " 0\r\n 0\r\n 0\r\n");
    EXPECT_EQ(text.substr(12, 6 + 6 + 5), " 615\r\n-350\r\n 12\r\n");
    EXPECT_EQ(text.substr(29, 5), " .25\r");
}

TEST(PointTableFile, SaveAndLoadGiveBackAllEntries) {
    TempRoot root;
    PointTable saved = EveryEntryDifferent();
    ASSERT_TRUE(SavePointTable(StationFiles(), root / "Data.dat", saved));
    PointTable loaded;
    loaded.PosX.fill(9);
    ASSERT_TRUE(ReadPointTable(root / "Data.dat", loaded));
    EXPECT_EQ(loaded, saved);
    EXPECT_EQ(loaded.PosX[0], -3000);
    EXPECT_EQ(loaded.PosY[150], 1650.5f);
    EXPECT_EQ(loaded.InstrumentIndex[200], 18);
}

TEST(PointTableFile, ShortFileLoadsItsRecordsAndKeepsTheRest) {
    TempRoot root;
    WriteBytes(root / "Data.dat", " 100\r\n 200\r\n 3\r\n-5\r\n 6\r\n 7\r\n");
    PointTable table = EveryEntryDifferent();
    PointTable before = table;
    ASSERT_TRUE(ReadPointTable(root / "Data.dat", table));
    EXPECT_EQ(table.PosX[0], 100);
    EXPECT_EQ(table.PosY[0], 200);
    EXPECT_EQ(table.InstrumentIndex[0], 3);
    EXPECT_EQ(table.PosX[1], -5);
    EXPECT_EQ(table.InstrumentIndex[1], 7);
    for (int i = 2; i < kPointEntries; ++i) {
        EXPECT_EQ(table.PosX[i], before.PosX[i]) << i;
        EXPECT_EQ(table.PosY[i], before.PosY[i]) << i;
        EXPECT_EQ(table.InstrumentIndex[i], before.InstrumentIndex[i]) << i;
    }
}

TEST(PointTableFile, OddFilesReadWhatFitsAndNoMore) {
    TempRoot root;
    // 250 records: only the table's 201 are taken.
    std::string longFile;
    for (int i = 0; i < 250; ++i) longFile += " " + std::to_string(i + 1) + "\r\n 1\r\n 1\r\n";
    WriteBytes(root / "long.dat", longFile);
    PointTable table;
    ASSERT_TRUE(ReadPointTable(root / "long.dat", table));
    EXPECT_EQ(table.PosX[200], 201);

    // Two full records and two lines of a third: the broken record is left alone.
    WriteBytes(root / "odd.dat", " 1\n 2\n 3\n 4\n 5\n 6\n 70\n 80\n");
    PointTable odd;
    odd.PosX[2] = 11;
    odd.PosY[2] = 12;
    ASSERT_TRUE(ReadPointTable(root / "odd.dat", odd));
    EXPECT_EQ(odd.PosX[1], 4);
    EXPECT_EQ(odd.InstrumentIndex[1], 6);
    EXPECT_EQ(odd.PosX[2], 11);
    EXPECT_EQ(odd.PosY[2], 12);
}

TEST(PointTableFile, DamagedLinesReadZero) {
    TempRoot root;
    WriteBytes(root / "Data.dat", "abc\r\n 1e40\r\n\xff\xfe\r\n 12x\r\n -7.5\r\n 2.5\r\n 1\r\n 1\r\n 3.5\r\n 1\r\n 1\r\n 99999\r\n");
    PointTable table;
    table.PosX.fill(5);
    table.PosY.fill(5);
    table.InstrumentIndex.fill(5);
    ASSERT_TRUE(ReadPointTable(root / "Data.dat", table));
    EXPECT_EQ(table.PosX[0], 0);
    EXPECT_EQ(table.PosY[0], 0);  // beyond single precision
    EXPECT_EQ(table.InstrumentIndex[0], 0);
    EXPECT_EQ(table.PosX[1], 12);
    EXPECT_EQ(table.PosY[1], -7.5f);
    EXPECT_EQ(table.InstrumentIndex[1], 2);  // halves go to the even neighbour
    EXPECT_EQ(table.InstrumentIndex[2], 4);
    EXPECT_EQ(table.InstrumentIndex[3], 32767);
}

TEST(PointTableFile, MissingFileLeavesTheTableAlone) {
    TempRoot root;
    PointTable table = EveryEntryDifferent();
    EXPECT_FALSE(ReadPointTable(root / "nothing.dat", table));
    EXPECT_EQ(table, EveryEntryDifferent());
}

TEST(PointTableFile, UnwritableFolderIsReportedAndLeavesNoFile) {
    TempRoot root;
    FileResult result = SavePointTable(StationFiles(), root / "no-such-folder/Data.dat", PointTable{});
    EXPECT_EQ(result.failure, Failure::WriteFailed);
    EXPECT_EQ(result.step, WriteStep::Open);
    EXPECT_EQ(result.err, ENOENT);
    EXPECT_FALSE(FileExists(root / "no-such-folder/Data.dat"));
}

TEST(PointTable, PlacedNeedsBothCoordinates) {
    PointTable table;
    table.PosX[1] = 0;
    table.PosY[1] = 4500;
    table.PosX[2] = 6000;
    table.PosY[2] = 0;
    table.PosX[3] = -15;
    table.PosY[3] = 30;
    EXPECT_FALSE(table.IsPlaced(1));
    EXPECT_FALSE(table.IsPlaced(2));
    EXPECT_TRUE(table.IsPlaced(3));
    EXPECT_FALSE(table.IsPlaced(-1));
    EXPECT_FALSE(table.IsPlaced(kPointEntries));
    table.Clear();
    EXPECT_FALSE(table.IsPlaced(3));
    EXPECT_EQ(table, PointTable{});
}

TEST(PointTable, PathsEndInTheProductFolder) {
    EXPECT_EQ(PointTableFilePath("/p/製品A"), "/p/製品A/Data.dat");
    EXPECT_EQ(ExportFilePath("/p/製品A"), "/p/製品A/Data.jpg");
}

// A Data.dat that exists but cannot be read holds the product's designated
// points: the editor says so, and "OK" after a new designation keeps the
// designation in memory instead of writing a table of one point over it.
TEST_F(EditorTest, UnreadablePointTableIsReportedAndNeverWrittenOver) {
    std::string path = PointTableFilePath(host.productFolder);
    WritePoints({{1, 6000, 3000, 3}, {2, 7000, 2000, 4}});
    const auto size = (std::uintmax_t(256) << 20) + 1;  // beyond what is read; sparse
    std::filesystem::resize_file(path, size);

    ShowProduct(1200, 600);
    ASSERT_FALSE(Texts().empty());
    EXPECT_NE(Texts().back().toStdString().find(path), std::string::npos);
    EXPECT_EQ(messages.back().title, "ZIV - 警告");
    EXPECT_EQ(std::filesystem::file_size(path), size);

    messages.clear();
    DrawingEditor& editor = *form;
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 2000, 1000);
    editor.overviewMouseUp(1, 0, 2000, 1000);
    editor.confirmDesignation();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "ZIV - 警告");
    EXPECT_NE(messages[0].text.toStdString().find(path), std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    EXPECT_EQ(editor.Table(host.machine).PosX[1], 2000);  // the designation is kept

    // The writer itself refuses too.
    EXPECT_FALSE(SavePointTable(StationFiles(), path, editor.Table(host.machine)));
    EXPECT_EQ(std::filesystem::file_size(path), size);
}
