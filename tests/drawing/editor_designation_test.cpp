#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "drawing/drawing_views_qt.h"
#include "editor_fixture.h"
#include "children.h"

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
    DrawingEditor& editor = *form;
    editor.startDesignation();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_FALSE(host.measurementEnabled);
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    EXPECT_TRUE(Child<QPushButton>(editor, "okButton")->isVisibleTo(&editor));
    EXPECT_TRUE(Child<QPushButton>(editor, "cancelButton")->isVisibleTo(&editor));
    EXPECT_TRUE(Child<QPushButton>(editor, "resetButton")->isVisibleTo(&editor));
    EXPECT_TRUE(Child<QComboBox>(editor, "instrumentList")->isVisibleTo(&editor));
    EXPECT_FALSE(Child<DetailBox>(editor, "detail")->isEnabled());
    EXPECT_EQ(editor.Pending().X, 6000);
    EXPECT_EQ(editor.Pending().Y, 3000);
    // The list keeps its own selection; it is not taken from the point.
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->currentIndex(), 0);
}

TEST_F(EditorTest, ClickInDesignationModeMovesThePendingPosition) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    editor.startDesignation();
    QTest::mouseClick(Child<OverviewBox>(editor, "overview"), Qt::LeftButton, {}, QPoint(100, 50));
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV  X=1500 : Y=750"));
    EXPECT_EQ(editor.Pending().X, 1500);
    EXPECT_EQ(editor.Pending().Y, 750);
    ASSERT_FALSE(Child<OverviewBox>(editor, "overview")->Circles().empty());
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles().back().Colour, QColor(255, 0, 255));
    // The detail view shows the stored point in red and the pending one in
    // magenta in its middle.
    ASSERT_EQ(Child<DetailBox>(editor, "detail")->Discs().size(), 2u);
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->Discs()[1].Fill, QColor(255, 0, 255));
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->Discs()[1].CentreTwips, QPointF(1500, 4500));
    QImage detail = Child<DetailBox>(editor, "detail")->grab().toImage();
    EXPECT_TRUE(IsMagentaish(detail.pixelColor(100, 314)));
    // Mouse on the detail view is ignored while designating.
    ViewOrigin view = editor.View();
    editor.detailMouseDown(1, 0, 0, 0);
    moveClock += MoveThrottle::kIntervalMs;
    editor.detailMouseMove(1, 0, 3000, 3000);
    EXPECT_EQ(editor.View(), view);
    EXPECT_FALSE(host.measurementEnabled);
}

TEST_F(EditorTest, OkStoresSavesAndLeavesDesignationMode) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    host.rows[0] = 4;
    editor.currentPointChanged();
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 2000.4, 1000.6);
    editor.overviewMouseUp(1, 0, 2000.4, 1000.6);
    Child<QComboBox>(editor, "instrumentList")->setCurrentIndex(18);
    editor.confirmDesignation();

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
    EXPECT_TRUE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_TRUE(editor.IsZoomButtonEnabled());
    EXPECT_FALSE(Child<QPushButton>(editor, "okButton")->isVisibleTo(&editor));
    EXPECT_FALSE(Child<QComboBox>(editor, "instrumentList")->isVisibleTo(&editor));
    EXPECT_TRUE(Child<DetailBox>(editor, "detail")->isEnabled());
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), QStringLiteral("ノギス"));
    ASSERT_EQ(Child<OverviewBox>(editor, "overview")->Circles().size(), 1u);
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles()[0].CentreTwips, QPointF(2000, 1001));
    ASSERT_EQ(Child<DetailBox>(editor, "detail")->Discs().size(), 1u);
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->Discs()[0].Fill, QColor(255, 0, 0));
    EXPECT_TRUE(messages.empty());
}

// A reading requested before designation may end during it and move the grid on.
TEST_F(EditorTest, TheGridMovingOnDuringDesignationLeavesTheDesignatedPoint) {
    WritePoints({{3, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    host.rows[0] = 3;
    editor.currentPointChanged();
    editor.startDesignation();
    host.rows[0] = 4;
    editor.currentPointChanged();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    editor.overviewMouseDown(1, 0, 2000, 1000);
    editor.overviewMouseUp(1, 0, 2000, 1000);
    editor.confirmDesignation();
    EXPECT_EQ(editor.Table(0).PosX[3], 2000);
    EXPECT_EQ(editor.Table(0).PosY[3], 1000);
    EXPECT_EQ(editor.Table(0).PosX[4], 0);
    EXPECT_TRUE(Child<QPushButton>(editor, "designateButton")->isEnabled());
}

TEST_F(EditorTest, OkWithoutClickingStoresThePreviousPositionAndTheListsInstrument) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.startDesignation();
    Child<QComboBox>(editor, "instrumentList")->setCurrentIndex(22);
    editor.confirmDesignation();
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    EXPECT_EQ(editor.Table(0).PosY[1], 3000);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 22);
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), QStringLiteral("面粗度測定器"));
}

TEST_F(EditorTest, ResetThenOkUnplacesThePoint) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.startDesignation();
    Child<QComboBox>(editor, "instrumentList")->setCurrentIndex(5);
    editor.resetDesignation();
    EXPECT_TRUE(editor.InDesignMode());
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV  X=0 : Y=0"));
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->currentIndex(), 0);
    editor.confirmDesignation();
    EXPECT_EQ(editor.Table(0).PosX[1], 0);
    EXPECT_EQ(editor.Table(0).PosY[1], 0);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 0);
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), QStringLiteral("指定なし"));
    EXPECT_TRUE(Child<OverviewBox>(editor, "overview")->Circles().empty());
    EXPECT_TRUE(Child<DetailBox>(editor, "detail")->Discs().empty());
    auto lines = Lines(ReadBytes(PointTableFilePath(host.productFolder)));
    ASSERT_EQ(lines.size(), 603u);
    EXPECT_EQ(lines[3], " 0");
}

TEST_F(EditorTest, CancelDropsEverything) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    std::string before = ReadBytes(PointTableFilePath(host.productFolder));
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 100, 200);
    editor.overviewMouseUp(1, 0, 100, 200);
    editor.overviewMouseDown(1, 0, 900, 800);
    editor.overviewMouseUp(1, 0, 900, 800);
    Child<QComboBox>(editor, "instrumentList")->setCurrentIndex(9);
    editor.cancelDesignation();
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    EXPECT_EQ(editor.Table(0).InstrumentIndex[1], 3);
    EXPECT_TRUE(editor.PointsLoaded(0));
    EXPECT_EQ(ReadBytes(PointTableFilePath(host.productFolder)), before);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV"));
    EXPECT_TRUE(host.measurementEnabled);
    // No pending disc is left behind in the detail view.
    ASSERT_EQ(Child<DetailBox>(editor, "detail")->Discs().size(), 1u);
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->Discs()[0].Fill, QColor(255, 0, 0));
}

TEST_F(EditorTest, FirstOkCreatesDataDat) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    ASSERT_FALSE(editor.PointsLoaded(0));
    std::string path = PointTableFilePath(host.productFolder);
    ASSERT_FALSE(FileExists(path));
    editor.startDesignation();
    EXPECT_EQ(editor.Pending().X, 0);
    editor.overviewMouseDown(1, 0, 450, 600);
    editor.overviewMouseUp(1, 0, 450, 600);
    editor.confirmDesignation();
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
    DrawingEditor& editor = *form;
    std::string path = PointTableFilePath(host.productFolder);
    std::string before = ReadBytes(path);
    disk.writes = [](WriteStep step, const std::string&) { return step == WriteStep::Rename ? 28 : 0; };
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 300, 300);
    editor.overviewMouseUp(1, 0, 300, 300);
    editor.confirmDesignation();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(path)));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(editor.Table(0).PosX[1], 300);
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_TRUE(host.measurementEnabled);

    // Once the disk takes it again, the next "OK" saves the designation.
    disk.writes = nullptr;
    editor.startDesignation();
    editor.confirmDesignation();
    EXPECT_EQ(Lines(ReadBytes(path))[3], " 300");
}

TEST_F(EditorTest, OkWithoutAProductFolderWritesNothing) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    host.productFolder.clear();
    editor.startDesignation();
    editor.overviewMouseDown(1, 0, 300, 300);
    editor.overviewMouseUp(1, 0, 300, 300);
    editor.confirmDesignation();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Data.dat")));
    EXPECT_FALSE(FileExists("/Data.dat"));
    EXPECT_EQ(editor.Table(0).PosX[1], 300);
}

TEST_F(EditorTest, OkIntoAMissingFolderWarnsNamingTheFile) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    host.productFolder = root / "消えた製品";
    editor.startDesignation();
    editor.confirmDesignation();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(root / "消えた製品/Data.dat")));
}

TEST_F(EditorTest, KeysAreIgnoredWhileDesignating) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.startDesignation();
    QTest::keyRelease(&editor, Qt::Key_Space);
    QTest::keyRelease(&editor, Qt::Key_Shift);
    QTest::keyRelease(&editor, Qt::Key_Control);
    editor.toggleZoom();
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(FileExists(ExportFilePath(host.productFolder)));
    EXPECT_FALSE(editor.IsZoomed());
    EXPECT_EQ(host.exportFileAsked, 0);
    EXPECT_TRUE(editor.InDesignMode());
}

TEST_F(EditorTest, DesignationNeedsADrawingAndAPoint) {
    DrawingEditor& editor = Editor();
    editor.currentPointChanged();
    editor.startDesignation();
    EXPECT_FALSE(editor.InDesignMode());
    EXPECT_TRUE(host.measurementEnabled);

    ShowProduct(1200, 600);
    host.rows[0] = 0;  // the grid's header row is no point
    editor.startDesignation();
    EXPECT_FALSE(editor.InDesignMode());
    host.rows[0] = 101;
    editor.startDesignation();
    EXPECT_FALSE(editor.InDesignMode());
    // Outside designation mode the designation buttons do nothing.
    editor.confirmDesignation();
    EXPECT_FALSE(FileExists(PointTableFilePath(host.productFolder)));
}

TEST_F(EditorTest, DamagedInstrumentIndexShowsNoText) {
    WritePoints({{1, 6000, 3000, 400}});
    ShowProduct(1200, 600);
    EXPECT_TRUE(Child<QLabel>(*form, "instrumentLabel")->text().isEmpty());
    host.rows[0] = 2;
    WritePoints({{2, 6000, 3000, -4}});
    form->LoadPosDat(PointTableFilePath(host.productFolder));
    form->currentPointChanged();
    EXPECT_TRUE(Child<QLabel>(*form, "instrumentLabel")->text().isEmpty());
}
