#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "drawing/drawing_views_qt.h"
#include "editor_fixture.h"

using namespace ziv;
using namespace ziv::testing;

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t at; (at = bytes.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(bytes.substr(start, at - start));
    return lines;
}

}  // namespace

TEST_F(EditorTest, DesignationModeLocksTheMeasurementWindowAndShowsItsControls) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    editor.Command1_Click();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_FALSE(host.measurementEnabled);
    EXPECT_FALSE(editor.Command1->isEnabled());
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    EXPECT_TRUE(editor.Command2->isVisibleTo(&editor));
    EXPECT_TRUE(editor.Command3->isVisibleTo(&editor));
    EXPECT_TRUE(editor.Command5->isVisibleTo(&editor));
    EXPECT_TRUE(editor.Combo1->isVisibleTo(&editor));
    EXPECT_FALSE(editor.Picture3->isEnabled());
    EXPECT_EQ(editor.Pending().X, 6000);
    EXPECT_EQ(editor.Pending().Y, 3000);
    // The list keeps its own selection; it is not taken from the point.
    EXPECT_EQ(editor.Combo1->currentIndex(), 0);
}

TEST_F(EditorTest, ClickInDesignationModeMovesThePendingPosition) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    editor.show();
    editor.Command1_Click();
    QTest::mouseClick(editor.Picture1, Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV  X=1500 : Y=750"));
    EXPECT_EQ(editor.Pending().X, 1500);
    EXPECT_EQ(editor.Pending().Y, 750);
    ASSERT_FALSE(editor.Picture1->Circles().empty());
    EXPECT_EQ(editor.Picture1->Circles().back().Colour, QColor(255, 0, 255));
    // The detail view shows the stored point in red and the pending one in
    // magenta in its middle.
    ASSERT_EQ(editor.Picture3->Discs().size(), 2u);
    EXPECT_EQ(editor.Picture3->Discs()[1].Fill, QColor(255, 0, 255));
    EXPECT_EQ(editor.Picture3->Discs()[1].CentreTwips, QPointF(1500, 4500));
    QImage detail = editor.Picture3->grab().toImage();
    EXPECT_TRUE(IsMagentaish(detail.pixelColor(100, 314)));
    // Mouse on the detail view is ignored while designating.
    ViewOrigin view = editor.View();
    editor.Picture3_MouseDown(1, 0, 0, 0);
    editor.Timer1_Timer();
    editor.Picture3_MouseMove(1, 0, 3000, 3000);
    EXPECT_EQ(editor.View(), view);
    EXPECT_FALSE(host.measurementEnabled);
}

TEST_F(EditorTest, OkStoresSavesAndLeavesDesignationMode) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    host.rows[0] = 4;
    editor.MNChanged();
    editor.Command1_Click();
    editor.Picture1_MouseDown(1, 0, 2000.4, 1000.6);
    editor.Picture1_MouseUp(1, 0, 2000.4, 1000.6);
    editor.Combo1->setCurrentIndex(18);
    editor.Command2_Click();

    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_EQ(editor.Table(0).PosX[4], 2000);
    EXPECT_EQ(editor.Table(0).PosY[4], 1001);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[4], 18);
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    auto lines = Lines(ReadBytes(PointTableFilePath(host.productFolder)));
    ASSERT_EQ(lines.size(), 603u);
    EXPECT_EQ(lines[3], " 6000");
    EXPECT_EQ(lines[12], " 2000");
    EXPECT_EQ(lines[13], " 1001");
    EXPECT_EQ(lines[14], " 18");
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV"));
    EXPECT_TRUE(host.measurementEnabled);
    EXPECT_TRUE(editor.Command1->isEnabled());
    EXPECT_TRUE(editor.IsZoomButtonEnabled());
    EXPECT_FALSE(editor.Command2->isVisibleTo(&editor));
    EXPECT_FALSE(editor.Combo1->isVisibleTo(&editor));
    EXPECT_TRUE(editor.Picture3->isEnabled());
    EXPECT_EQ(editor.Label1->text(), QStringLiteral("ノギス"));
    ASSERT_EQ(editor.Picture1->Circles().size(), 1u);
    EXPECT_EQ(editor.Picture1->Circles()[0].CentreTwips, QPointF(2000, 1001));
    ASSERT_EQ(editor.Picture3->Discs().size(), 1u);
    EXPECT_EQ(editor.Picture3->Discs()[0].Fill, QColor(255, 0, 0));
    EXPECT_TRUE(messages.empty());
}

// A reading requested before designation may end during it and move the grid on.
TEST_F(EditorTest, TheGridMovingOnDuringDesignationLeavesTheDesignatedPoint) {
    WritePoints({{3, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    host.rows[0] = 3;
    editor.MNChanged();
    editor.Command1_Click();
    host.rows[0] = 4;
    editor.MNChanged();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_FALSE(editor.Command1->isEnabled());
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    editor.Picture1_MouseDown(1, 0, 2000, 1000);
    editor.Picture1_MouseUp(1, 0, 2000, 1000);
    editor.Command2_Click();
    EXPECT_EQ(editor.Table(0).PosX[3], 2000);
    EXPECT_EQ(editor.Table(0).PosY[3], 1000);
    EXPECT_EQ(editor.Table(0).PosX[4], 0);
    EXPECT_TRUE(editor.Command1->isEnabled());
}

TEST_F(EditorTest, OkWithoutClickingStoresThePreviousPositionAndTheListsInstrument) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    editor.Command1_Click();
    editor.Combo1->setCurrentIndex(22);
    editor.Command2_Click();
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    EXPECT_EQ(editor.Table(0).PosY[1], 3000);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 22);
    EXPECT_EQ(editor.Label1->text(), QStringLiteral("面粗度測定器"));
}

TEST_F(EditorTest, ResetThenOkUnplacesThePoint) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    editor.Command1_Click();
    editor.Combo1->setCurrentIndex(5);
    editor.Command5_Click();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV  X=0 : Y=0"));
    EXPECT_EQ(editor.Combo1->currentIndex(), 0);
    editor.Command2_Click();
    EXPECT_EQ(editor.Table(0).PosX[1], 0);
    EXPECT_EQ(editor.Table(0).PosY[1], 0);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 0);
    EXPECT_EQ(editor.Label1->text(), QStringLiteral("指定なし"));
    EXPECT_TRUE(editor.Picture1->Circles().empty());
    EXPECT_TRUE(editor.Picture3->Discs().empty());
    auto lines = Lines(ReadBytes(PointTableFilePath(host.productFolder)));
    ASSERT_EQ(lines.size(), 603u);
    EXPECT_EQ(lines[3], " 0");
}

TEST_F(EditorTest, CancelDropsEverything) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    std::string before = ReadBytes(PointTableFilePath(host.productFolder));
    editor.Command1_Click();
    editor.Picture1_MouseDown(1, 0, 100, 200);
    editor.Picture1_MouseUp(1, 0, 100, 200);
    editor.Picture1_MouseDown(1, 0, 900, 800);
    editor.Picture1_MouseUp(1, 0, 900, 800);
    editor.Combo1->setCurrentIndex(9);
    editor.Command3_Click();
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 3);
    EXPECT_TRUE(editor.PointsLoaded(0));
    EXPECT_EQ(ReadBytes(PointTableFilePath(host.productFolder)), before);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV"));
    EXPECT_TRUE(host.measurementEnabled);
    // No pending disc is left behind in the detail view.
    ASSERT_EQ(editor.Picture3->Discs().size(), 1u);
    EXPECT_EQ(editor.Picture3->Discs()[0].Fill, QColor(255, 0, 0));
}

TEST_F(EditorTest, FirstOkCreatesDataDat) {
    ShowProduct(1200, 600);
    Form4& editor = *form;
    ASSERT_FALSE(editor.PointsLoaded(0));
    std::string path = PointTableFilePath(host.productFolder);
    ASSERT_FALSE(FileExists(path));
    editor.Command1_Click();
    EXPECT_EQ(editor.Pending().X, 0);
    editor.Picture1_MouseDown(1, 0, 450, 600);
    editor.Picture1_MouseUp(1, 0, 450, 600);
    editor.Command2_Click();
    EXPECT_TRUE(editor.PointsLoaded(0));
    auto lines = Lines(ReadBytes(path));
    ASSERT_EQ(lines.size(), 603u);
    EXPECT_EQ(lines[3], " 450");
    EXPECT_EQ(lines[4], " 600");
    EXPECT_EQ(lines[0], " 0");
    EXPECT_EQ(lines[602], " 0");
}

TEST_F(EditorTest, OkThatCannotWriteWarnsAndKeepsTheDesignation) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    std::string path = PointTableFilePath(host.productFolder);
    std::string before = ReadBytes(path);
    SetWriteFaultHook([](WriteStep step, const std::string&) { return step == WriteStep::Rename ? 28 : 0; });
    editor.Command1_Click();
    editor.Picture1_MouseDown(1, 0, 300, 300);
    editor.Picture1_MouseUp(1, 0, 300, 300);
    editor.Command2_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(path)));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(editor.Table(0).PosX[1], 300);
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_TRUE(host.measurementEnabled);

    // Once the disk takes it again, the next "OK" saves the designation.
    SetWriteFaultHook(nullptr);
    editor.Command1_Click();
    editor.Command2_Click();
    EXPECT_EQ(Lines(ReadBytes(path))[3], " 300");
}

TEST_F(EditorTest, OkWithoutAProductFolderWritesNothing) {
    ShowProduct(1200, 600);
    Form4& editor = *form;
    host.productFolder.clear();
    editor.Command1_Click();
    editor.Picture1_MouseDown(1, 0, 300, 300);
    editor.Picture1_MouseUp(1, 0, 300, 300);
    editor.Command2_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Data.dat")));
    EXPECT_FALSE(FileExists("/Data.dat"));
    EXPECT_EQ(editor.Table(0).PosX[1], 300);
}

TEST_F(EditorTest, OkIntoAMissingFolderWarnsNamingTheFile) {
    ShowProduct(1200, 600);
    Form4& editor = *form;
    host.productFolder = root / "消えた製品";
    editor.Command1_Click();
    editor.Command2_Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(root / "消えた製品/Data.dat")));
}

TEST_F(EditorTest, KeysAreIgnoredWhileDesignating) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    Form4& editor = *form;
    editor.Command1_Click();
    QTest::keyRelease(&editor, Qt::Key_Space);
    QTest::keyRelease(&editor, Qt::Key_Shift);
    QTest::keyRelease(&editor, Qt::Key_Control);
    editor.Command4_Click();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(FileExists(ExportFilePath(host.productFolder)));
    EXPECT_FALSE(editor.IsZoomed());
    EXPECT_EQ(host.returenNameCount, 0);
    EXPECT_TRUE(editor.InDesignMode());
}

TEST_F(EditorTest, DesignationNeedsADrawingAndAPoint) {
    Form4& editor = Editor();
    editor.MNChanged();
    editor.Command1_Click();
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_TRUE(host.measurementEnabled);

    ShowProduct(1200, 600);
    host.rows[0] = 0;  // the grid's header row is no point
    editor.Command1_Click();
    EXPECT_FALSE(editor.InDesignMode());
    host.rows[0] = 101;
    editor.Command1_Click();
    EXPECT_FALSE(editor.InDesignMode());
    // Outside designation mode the designation buttons do nothing.
    editor.Command2_Click();
    EXPECT_FALSE(FileExists(PointTableFilePath(host.productFolder)));
}

TEST_F(EditorTest, DamagedInstrumentIndexShowsNoText) {
    WritePoints({{1, 6000, 3000, 400}});
    ShowProduct(1200, 600);
    EXPECT_TRUE(form->Label1->text().isEmpty());
    host.rows[0] = 2;
    WritePoints({{2, 6000, 3000, -4}});
    form->LoadPosDat(PointTableFilePath(host.productFolder));
    form->MNChanged();
    EXPECT_TRUE(form->Label1->text().isEmpty());
}
