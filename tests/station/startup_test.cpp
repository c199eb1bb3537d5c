#include <QGroupBox>
#include <QLineEdit>
#include <filesystem>
#include <regex>

#include "common/text_file.h"
#include "drawing/drawing_editor_ui.h"
#include "links/instrument_link.h"
#include "platform/paths.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "children.h"

using namespace ziv;
namespace fs = std::filesystem;

namespace {
int FileCount(const std::string& folder) {
    int n = 0;
    std::error_code ec;
    for (auto& e : fs::recursive_directory_iterator(folder, ec)) n += e.is_regular_file();
    return n;
}
}  // namespace

using Startup = StationFixture;

TEST_F(Startup, MissingSettingsFilesEndTheRunWithTheirMessage) {
    fs::remove(LinksFilePath(root.path()));
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"通信設定が行われていません。"});
    ASSERT_TRUE(WriteDefaultLinks(LinksFilePath(root.path())));
    fs::remove(ProductFolderFilePath(root.path()));
    messages.clear();
    EXPECT_EQ(Open(), nullptr);
    EXPECT_EQ(Messages(), std::vector<std::string>{"製品フォルダの設定が行われていません。"});
}

TEST_F(Startup, FirstRunCreatesDirectoryFileAndLogFoldersAndWritesNoRecordWithoutValues) {
    auto form = Open();
    ASSERT_TRUE(form);
    std::string empty48;
    for (int i = 0; i < 48; ++i) empty48 += "\r\n";
    EXPECT_EQ(ReadBytes(userDir + "/Directory.dat"), empty48);
    EXPECT_NE(form->OperatorLog().find("\r\n0台担当\r\n\r\n"), std::string::npos);
    // Made beside the window, which does not wait for the share.
    for (const char* f : {"/ＺＩＶログ", "/ＺＩＶログ/不合格記録", "/ＺＩＶログ/測定者記録"})
        EXPECT_TRUE(WaitUntil([&] { return fs::is_directory(productRoot + f); })) << f;
    // The grids: 100 points, 8 columns with their titles and the point numbers.
    SheetGrid* grid = form->Grid(47);
    EXPECT_EQ(grid->model()->rowCount(), 100);
    EXPECT_EQ(grid->model()->columnCount(), 8);
    EXPECT_EQ(grid->model()->headerData(7, Qt::Horizontal).toString().toStdString(), "補正");
    EXPECT_EQ(Cell(*form, 100, 0, 47), "100");
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().toStdString(), "1");
    EXPECT_EQ(Child<QLineEdit>(*form, "instrumentBox")->text().toStdString(), "マイクロ");
    QDate today = QDate::currentDate();
    EXPECT_EQ(Child<QLineEdit>(*form, "dateBox")->text(), QString("%1/%2/%3").arg(today.year()).arg(today.month()).arg(today.day()));
    form->close();
    EXPECT_TRUE(form->HasEnded());
    EXPECT_EQ(FileCount(productRoot + "/ＺＩＶログ/測定者記録"), 0);
    EXPECT_TRUE(FileExists(root / "Config/DrawPos.dat"));
    EXPECT_TRUE(FileExists(root / "Config/DrawPosMain.dat"));
}

TEST_F(Startup, ProductsOnMachinesZeroAndFiveAreListedInOrder) {
    std::string a = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}, {"20", "0.1", "-0.1", ""}});
    std::string b = MakeProduct("B-200", {{"5", "0.05", "0", "5"}});
    Register({{5, b}, {0, a}});
    auto form = Open();
    ASSERT_TRUE(form);
    const std::string& log = form->OperatorLog();
    EXPECT_NE(log.find("分開始\r\n\r\n0号機 A-100\r\n5号機 B-200\r\n\r\n2台担当\r\n\r\n"), std::string::npos) << log;
    EXPECT_EQ(form->ShownMachine(), 0);
    EXPECT_EQ(Child<QLineEdit>(*form, "productNameBox")->text().toStdString(), "A-100");
    EXPECT_EQ(form->ShownProductFolder(), a);
    EXPECT_EQ(Cell(*form, 1, 3), "10");
    EXPECT_EQ(Cell(*form, 2, 5), "-0.1");
    EXPECT_EQ(form->LoadedPointCount(), 3);
    EXPECT_EQ(Cell(*form, 1, 6, 5), "5");
}

TEST_F(Startup, OperatorRecordIsWrittenOnlyAfterAValueWasSaved) {
    std::string a = MakeProduct("A-100", {{"10", "0.02", "-0.01", "10"}});
    Register({{0, a}});
    auto form = Open();
    ASSERT_TRUE(form);
    Child<QLineEdit>(*form, "numberEntryBox")->setText("10");
    form->enterNumber();
    ASSERT_EQ(form->SavedCount(), 1);
    form->close();
    std::string folder = productRoot + "/ＺＩＶログ/測定者記録";
    std::string latest = ReadBytes(folder + "/検査員1.txt");
    ASSERT_FALSE(latest.empty());
    std::string text = FromCp932(latest);
    EXPECT_NE(text.find("1台担当\r\n\r\n1／1箇所測定\r\n\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("分終了\r\n\r\n測定時間"), std::string::npos);
    ASSERT_EQ(FileCount(folder + "/検査員1"), 1);
    std::string name = fs::directory_iterator(folder + "/検査員1")->path().filename().string();
    EXPECT_TRUE(std::regex_match(name, std::regex(R"(\d{4}年\d{1,2}月\d{1,2}日\d{1,2}時\d{1,2}分　1台担当　1／1箇所測定　測定時間\d+分　.*\.txt)")))
        << name;
    EXPECT_EQ(ReadBytes(folder + "/検査員1/" + name), latest);
}

TEST_F(Startup, WindowPlacementIsRestoredAndAllPointsFilledGoToRowOne) {
    WriteBytes(root / "Config/DrawPosMain.dat", " 1200\r\n 360\r\n 2\r\n");
    std::string a = MakeProduct("A-100", {});
    Register({{0, a}});
    auto form = Open();
    ASSERT_TRUE(form);
    EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
    // Fill every row by hand: without a master to end at, auto-advance then
    // wraps to the first row.
    for (int r = 1; r <= 100; ++r) {
        Child<QLineEdit>(*form, "numberEntryBox")->setText(QString::number(r));
        form->enterNumber();
    }
    EXPECT_EQ(form->Grid(0)->Row(), 1);
    EXPECT_EQ(Child<QLineEdit>(*form, "inputPositionBox")->text().toStdString(), " 1");
}
