#include <QComboBox>
#include <QLabel>
#include <QTest>

#include "drawing/drawing_views_qt.h"
#include "editor_fixture.h"
#include "children.h"

using namespace ziv;
using namespace ziv::testing;

TEST_F(EditorTest, OverviewTakesTheDrawingsShape) {
    ShowProduct(1200, 600);
    EXPECT_EQ(Child<OverviewBox>(*form, "overview")->size(), QSize(800, 400));
    EXPECT_EQ(form->OverviewRadius(), 180);
    // The detail view starts where the overview ends.
    EXPECT_EQ(Child<DetailBox>(*form, "detail")->geometry(), QRect(800, 0, 200, 600));

    host.machine = 1;
    ASSERT_TRUE(form->LoadDrawing(1, SaveDrawing(root / "tall.jpg", 600, 900)));
    form->currentPointChanged();
    EXPECT_EQ(Child<OverviewBox>(*form, "overview")->size(), QSize(400, 600));
    EXPECT_EQ(form->OverviewRadius(), 180);
    EXPECT_EQ(Child<DetailBox>(*form, "detail")->geometry(), QRect(400, 0, 600, 600));
    EXPECT_EQ(Child<OverviewBox>(*form, "overview")->Scaled().size(), QSize(400, 600));
}

TEST_F(EditorTest, CurrentPointIsMarkedInBothViews) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    ASSERT_EQ(Child<OverviewBox>(editor, "overview")->Circles().size(), 1u);
    const OverviewCircle& circle = Child<OverviewBox>(editor, "overview")->Circles()[0];
    EXPECT_EQ(circle.CentreTwips, QPointF(6000, 3000));
    EXPECT_EQ(circle.RadiusTwips, 180);
    EXPECT_EQ(circle.Colour, QColor(255, 0, 0));
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), QStringLiteral("F3 マイクロ"));

    // Drawing point (600, 300) px lies in the middle of the 200 x 600 view.
    EXPECT_EQ(editor.View(), (ViewOrigin{9000 - 1500, 4500 - 4500}));
    QImage detail = Child<DetailBox>(editor, "detail")->grab().toImage();
    EXPECT_TRUE(IsReddish(detail.pixelColor(100, 314))) << detail.pixelColor(100, 314).name().toStdString();
    EXPECT_FALSE(IsReddish(detail.pixelColor(100, 340)));
    QImage overview = Child<OverviewBox>(editor, "overview")->grab().toImage();
    EXPECT_TRUE(IsReddish(overview.pixelColor(400 + 12, 200)));
    EXPECT_FALSE(IsReddish(overview.pixelColor(400, 200)));
}

TEST_F(EditorTest, UnplacedOrUnloadedPointsShowNoDisc) {
    WritePoints({{1, 0, 4500, 3}, {2, 6000, 0, 4}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    EXPECT_TRUE(Child<OverviewBox>(editor, "overview")->Circles().empty());
    EXPECT_TRUE(Child<DetailBox>(editor, "detail")->Discs().empty());
    host.rows[0] = 2;
    editor.currentPointChanged();
    EXPECT_TRUE(Child<OverviewBox>(editor, "overview")->Circles().empty());
    EXPECT_TRUE(Child<DetailBox>(editor, "detail")->Discs().empty());
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->text(), QStringLiteral("F4 マイクロ"));
}

TEST_F(EditorTest, CentringOnTheOriginPutsTheCornerInTheMiddle) {
    WritePoints({});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    EXPECT_EQ(editor.View(), (ViewOrigin{-1500, -4500}));
    QImage detail = Child<DetailBox>(editor, "detail")->grab().toImage();
    EXPECT_EQ(detail.pixelColor(50, 200), BlankViewColour());
    EXPECT_EQ(detail.pixelColor(150, 200), BlankViewColour());
    EXPECT_NE(detail.pixelColor(150, 400), BlankViewColour());
}

TEST_F(EditorTest, WithoutATableTheDetailViewStartsAtTheCorner) {
    ShowProduct(1200, 600);
    EXPECT_FALSE(form->PointsLoaded(0));
    EXPECT_EQ(form->View(), (ViewOrigin{0, 0}));
    EXPECT_TRUE(Child<QLabel>(*form, "instrumentLabel")->text().isEmpty());
}

TEST_F(EditorTest, RedDiscStaysOnItsSpotWhateverTheWindowSize) {
    WritePoints({{1, 3000, 1500, 0}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    for (QSize size : {QSize(1500, 800), QSize(1111, 777), QSize(1000, 640)}) {
        editor.resize(size);
        EXPECT_EQ(editor.DetailViewSize().Width, (size.width() - 800) * 15);
        ASSERT_EQ(Child<DetailBox>(editor, "detail")->Discs().size(), 1u);
        QPointF disc = Child<DetailBox>(editor, "detail")->Discs()[0].CentreTwips;
        EXPECT_DOUBLE_EQ(disc.x() + editor.View().ViewX, 300 * 15.0);
        EXPECT_DOUBLE_EQ(disc.y() + editor.View().ViewY, 150 * 15.0);
    }
}

TEST_F(EditorTest, OverviewClickOnlyMovesTheDetailView) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    std::string before = ReadBytes(PointTableFilePath(host.productFolder));
    int focus = host.focusCount;
    QTest::mouseClick(Child<OverviewBox>(editor, "overview"), Qt::LeftButton, {}, QPoint(100, 50));
    // (1500, 750) on the overview is drawing point (2250, 1125) twips.
    EXPECT_EQ(editor.View(), (ViewOrigin{2250 - 1500, 1125 - 4500}));
    ASSERT_EQ(Child<OverviewBox>(editor, "overview")->Circles().size(), 2u);
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles()[1].Colour, QColor(0, 0, 255));
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles()[1].CentreTwips, QPointF(1500, 750));
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
    EXPECT_EQ(ReadBytes(PointTableFilePath(host.productFolder)), before);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV"));
    EXPECT_EQ(host.focusCount, focus + 1);
}

TEST_F(EditorTest, OverviewDragRepaintsOncePerTick) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.overviewMouseDown(1, 0, 1500, 750);
    ViewOrigin first = editor.View();
    editor.overviewMouseMove(1, 0, 3000, 750);
    EXPECT_EQ(editor.View(), first);
    moveClock += MoveThrottle::kIntervalMs;
    editor.overviewMouseMove(1, 0, 3000, 750);
    ViewOrigin second = editor.View();
    EXPECT_EQ(second.ViewX, first.ViewX + 2250);
    editor.overviewMouseMove(1, 0, 4500, 750);
    EXPECT_EQ(editor.View(), second);
    editor.overviewMouseUp(1, 0, 4500, 750);
    // Moves after the button is up do nothing, tick or not.
    moveClock += MoveThrottle::kIntervalMs;
    ViewOrigin released = editor.View();
    editor.overviewMouseMove(0, 0, 100, 100);
    EXPECT_EQ(editor.View(), released);
}

TEST_F(EditorTest, DetailViewPansWithTheMouseOncePerTick) {
    WritePoints({{1, 6000, 3000, 0}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    ViewOrigin start = editor.View();
    editor.detailMouseDown(1, 0, 1500, 4500);
    editor.detailMouseMove(1, 0, 1800, 4500);
    EXPECT_EQ(editor.View(), start);
    moveClock += MoveThrottle::kIntervalMs;
    editor.detailMouseMove(1, 0, 1800, 4200);
    EXPECT_EQ(editor.View(), (ViewOrigin{start.ViewX - 300, start.ViewY + 300}));
    // Far to the left the drawing's left edge stops at the view's right edge.
    for (int i = 0; i < 50; ++i) {
        moveClock += MoveThrottle::kIntervalMs;
        editor.detailMouseMove(1, 0, 1800 + 3000.0 * (i + 1), 4200);
    }
    EXPECT_EQ(editor.View().ViewX, -3000);
    for (int i = 0; i < 80; ++i) {
        moveClock += MoveThrottle::kIntervalMs;
        editor.detailMouseMove(1, 0, -3000.0 * (i + 1), 4200);
    }
    EXPECT_EQ(editor.View().ViewX, 3000 + 18000 - 1);
    int focus = host.focusCount;
    editor.detailMouseUp(1, 0, 0, 0);
    EXPECT_EQ(host.focusCount, focus + 1);
    moveClock += MoveThrottle::kIntervalMs;
    ViewOrigin released = editor.View();
    editor.detailMouseMove(1, 0, 9999, 9999);
    EXPECT_EQ(editor.View(), released);
}

TEST_F(EditorTest, MouseOnTheViewsNeedsADrawing) {
    DrawingEditor& editor = Editor();
    editor.currentPointChanged();
    editor.overviewMouseDown(1, 0, 1500, 750);
    editor.detailMouseDown(1, 0, 1500, 750);
    moveClock += MoveThrottle::kIntervalMs;
    editor.detailMouseMove(1, 0, 0, 0);
    EXPECT_EQ(editor.View(), (ViewOrigin{0, 0}));
    EXPECT_TRUE(Child<OverviewBox>(editor, "overview")->Circles().empty());
}

TEST_F(EditorTest, PressingOnTheDetailViewGoesThroughTheMouse) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    int focus = host.focusCount;
    QTest::mouseClick(Child<DetailBox>(editor, "detail"), Qt::LeftButton, {}, QPoint(20, 30));
    EXPECT_EQ(host.focusCount, focus + 1);
}
