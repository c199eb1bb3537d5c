#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "drawing/drawing_views_qt.h"
#include "drawing/position_files.h"
#include "editor_fixture.h"
#include "children.h"

using namespace ziv;
using namespace ziv::testing;

TEST_F(EditorTest, LoadRefusesWithoutCommunicationSettings) {
    RemoveFile(LinksFilePath(root.path()));
    DrawingEditor editor(&host, root.path(), dialogs, files);
    EXPECT_FALSE(editor.Load());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("通信設定が行われていません。"));
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
}

TEST_F(EditorTest, LoadListsTheInstrumentsWithTheKeysNames) {
    DrawingEditor& editor = Editor();
    ASSERT_EQ(Child<QComboBox>(editor, "instrumentList")->count(), 27);
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->currentIndex(), 0);
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->itemText(0), QStringLiteral("指定なし"));
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->itemText(1), QStringLiteral("F1 デジマチック"));
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->itemText(10), QStringLiteral("F10 マイクロ"));
    EXPECT_EQ(Child<QComboBox>(editor, "instrumentList")->itemText(26), QStringLiteral("その他"));
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("ZIV"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(EditorTest, ControlsCarryTheirCaptionsAndStartForNoDrawing) {
    DrawingEditor& editor = Editor();
    EXPECT_EQ(Child<QPushButton>(editor, "designateButton")->text(), QStringLiteral("測定箇所指定"));
    EXPECT_EQ(Child<QPushButton>(editor, "okButton")->text(), QStringLiteral("OK"));
    EXPECT_EQ(Child<QPushButton>(editor, "cancelButton")->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(Child<QPushButton>(editor, "zoomButton")->text(), QStringLiteral("拡大"));
    EXPECT_EQ(Child<QPushButton>(editor, "resetButton")->text(), QStringLiteral("Reset"));
    EXPECT_EQ(Child<QLabel>(editor, "instrumentCaption")->text(), QStringLiteral("指定測定器名："));
    EXPECT_TRUE(editor.font().families().contains(QStringLiteral("IPAGothic")));
    editor.currentPointChanged();
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_FALSE(editor.IsZoomButtonEnabled());
    EXPECT_FALSE(Child<QPushButton>(editor, "okButton")->isVisibleTo(&editor));
    EXPECT_FALSE(Child<QComboBox>(editor, "instrumentList")->isVisibleTo(&editor));
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->geometry(), QRect(0, 0, 800, editor.height() - 40));
    EXPECT_EQ(Child<QPushButton>(editor, "designateButton")->y(), editor.height() - 32);
}

TEST_F(EditorTest, DrawPosPlacementIsApplied) {
    ASSERT_TRUE(SaveWindowPlacement(EditorPlacementPath(root.path()), {1200, 360, 0}));
    DrawingEditor& editor = Editor();
    EXPECT_EQ(editor.pos(), QPoint(24, 80));
    EXPECT_FALSE(editor.isMaximized());
}

TEST_F(EditorTest, LastCompleteTripleOfDrawPosWins) {
    WriteBytes(EditorPlacementPath(root.path()), " 150\r\n 300\r\n 0\r\n 600\r\n 900\r\n 2\r\n 15\r\n");
    DrawingEditor& editor = Editor();
    EXPECT_EQ(editor.pos(), QPoint(60, 40));
    EXPECT_TRUE(editor.windowState().testFlag(Qt::WindowMaximized));
}

TEST_F(EditorTest, WithoutDrawPosTheWindowKeepsItsDesignedPlace) {
    form = std::make_unique<DrawingEditor>(&host, root.path(), dialogs, files);
    QPoint designed = form->pos();
    ASSERT_TRUE(form->Load());
    EXPECT_EQ(form->pos(), designed);
}

TEST_F(EditorTest, MinimisedEditorIsRememberedNormal) {
    DrawingEditor& editor = Editor();
    editor.move(30, 20);
    editor.show();
    editor.setWindowState(Qt::WindowMinimized);
    WindowPlacement taken = editor.TakePlacementForShutdown();
    EXPECT_EQ(taken, (WindowPlacement{300, 450, 0, editor.width() * 15.0, editor.height() * 15.0}));
    EXPECT_FALSE(editor.isMinimized());
}

TEST_F(EditorTest, RefusesToCloseBeforeTheProgramEnds) {
    DrawingEditor& editor = Editor();
    editor.show();
    EXPECT_FALSE(editor.close());
    EXPECT_TRUE(editor.isVisible());
    host.appEnd = true;
    EXPECT_TRUE(editor.close());
    EXPECT_FALSE(editor.isVisible());
}

TEST_F(EditorTest, ShrinkingSnapsBackAndTheBottomRowFollowsTheHeight) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    // Narrower than designed, down to 480 pixels, the overview is drawn smaller.
    editor.resize(300, 300);
    EXPECT_GE(editor.width(), 480);
    EXPECT_GE(editor.height(), 640);
    editor.resize(1300, 900);
    EXPECT_EQ(Child<QPushButton>(editor, "resetButton")->y(), 900 - 32);
    EXPECT_EQ(Child<QLabel>(editor, "instrumentLabel")->y(), 900 - 32);
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->geometry(), QRect(800, 0, 500, 860));
    EXPECT_EQ(editor.DetailViewSize().Width, 500 * 15);
    EXPECT_EQ(editor.DetailViewSize().Height, 860 * 15);
}

TEST_F(EditorTest, ResizingAMinimisedWindowChangesNothing) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    editor.show();
    ViewSize before = editor.DetailViewSize();
    editor.setWindowState(Qt::WindowMinimized);
    editor.resize(1400, 900);
    EXPECT_EQ(editor.DetailViewSize().Width, before.Width);
    EXPECT_EQ(Child<QPushButton>(editor, "designateButton")->y(), 640 - 32);
}

TEST_F(EditorTest, ZoomToggleCoversTheOverviewAndBack) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    int focus = host.focusCount;
    QTest::keyRelease(&editor, Qt::Key_Control);
    EXPECT_TRUE(editor.IsZoomed());
    EXPECT_EQ(Child<QPushButton>(editor, "zoomButton")->text(), QStringLiteral("縮小"));
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->geometry(), QRect(0, 0, 1000, 600));
    EXPECT_EQ(editor.DetailViewSize().Width, 15000);
    EXPECT_EQ(host.focusCount, focus + 1);
    // A click on the button toggles back, as the measurement window's Ctrl does.
    editor.toggleZoom();
    EXPECT_FALSE(editor.IsZoomed());
    EXPECT_EQ(Child<QPushButton>(editor, "zoomButton")->text(), QStringLiteral("拡大"));
    EXPECT_TRUE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_EQ(Child<DetailBox>(editor, "detail")->geometry(), QRect(800, 0, 200, 600));
}

TEST_F(EditorTest, ZoomNeedsADrawing) {
    DrawingEditor& editor = Editor();
    editor.currentPointChanged();
    editor.toggleZoom();
    QTest::keyRelease(&editor, Qt::Key_Control);
    EXPECT_FALSE(editor.IsZoomed());
    EXPECT_EQ(Child<QPushButton>(editor, "zoomButton")->text(), QStringLiteral("拡大"));
}

TEST_F(EditorTest, KeysReleasedOverAControlAreSeenOnceByTheWindow) {
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    QTest::keyRelease(Child<QPushButton>(editor, "designateButton"), Qt::Key_Control);
    EXPECT_TRUE(editor.IsZoomed());
    QTest::keyRelease(Child<DetailBox>(editor, "detail"), Qt::Key_Control);
    EXPECT_FALSE(editor.IsZoomed());
    // Holding the key repeats releases that must not toggle again and again.
    QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(&editor, &repeat);
    EXPECT_FALSE(editor.IsZoomed());
    // Ctrl that came with another key or a click is not a zoom.
    QTest::keyPress(Child<DetailBox>(editor, "detail"), Qt::Key_C, Qt::ControlModifier);
    QTest::keyRelease(Child<DetailBox>(editor, "detail"), Qt::Key_Control);
    QTest::mouseClick(Child<DetailBox>(editor, "detail"), Qt::LeftButton, Qt::ControlModifier);
    QTest::keyRelease(&editor, Qt::Key_Control);
    EXPECT_FALSE(editor.IsZoomed());
}

TEST_F(EditorTest, DelCurForgetsTheDrawingAndThePoints) {
    WritePoints({{1, 6000, 3000, 2}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    ASSERT_TRUE(editor.PointsLoaded(0));
    editor.forgetDrawing(0);
    editor.currentPointChanged();
    EXPECT_FALSE(editor.HasDrawing(0));
    EXPECT_FALSE(editor.PointsLoaded(0));
    EXPECT_EQ(editor.Table(0), PointTable{});
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_FALSE(Child<OverviewBox>(editor, "overview")->ShowsDrawing());
    EXPECT_FALSE(Child<DetailBox>(editor, "detail")->ShowsDrawing());
    EXPECT_TRUE(Child<QLabel>(editor, "instrumentLabel")->text().isEmpty());
}

TEST_F(EditorTest, ProductWithoutDataDatStartsEmpty) {
    WritePoints({{1, 6000, 3000, 2}, {7, 100, 200, 5}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    // Another product comes to the same machine; it has no Data.dat yet.
    host.productFolder = root / "製品B";
    MakeFolders(host.productFolder);
    editor.LoadPosDat(PointTableFilePath(host.productFolder));
    EXPECT_FALSE(editor.PointsLoaded(0));
    EXPECT_EQ(editor.Table(0), PointTable{});
}

TEST_F(EditorTest, DrawingThatIsNotAnImageLeavesTheSlotEmpty) {
    DrawingEditor& editor = Editor();
    ASSERT_TRUE(editor.LoadDrawing(3, SaveDrawing(root / "a.jpg", 300, 200)));
    WriteBytes(root / "b.jpg", "not a picture");
    EXPECT_FALSE(editor.LoadDrawing(3, root / "b.jpg"));
    EXPECT_FALSE(editor.HasDrawing(3));
    EXPECT_FALSE(editor.LoadDrawing(3, root / "missing.jpg"));
    EXPECT_FALSE(editor.LoadDrawing(100, root / "a.jpg"));
    EXPECT_FALSE(editor.LoadDrawing(-1, root / "a.jpg"));
}

TEST_F(EditorTest, MachinesKeepTheirOwnDrawingsAndTables) {
    WritePoints({{1, 6000, 3000, 2}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    host.machine = 5;
    editor.currentPointChanged();
    EXPECT_FALSE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_FALSE(editor.PointsLoaded(5));
    host.machine = 0;
    editor.currentPointChanged();
    EXPECT_TRUE(Child<QPushButton>(editor, "designateButton")->isEnabled());
    EXPECT_EQ(editor.Table(0).PosX[1], 6000);
}

TEST_F(EditorTest, LargeScannedDrawingLoads) {
    // 7000 x 5000 pixels decode to 140 MB, above Qt's default reading limit.
    QImage big(7000, 5000, QImage::Format_Grayscale8);
    big.fill(255);
    ASSERT_TRUE(big.save(QString::fromStdString(root / "big.jpg"), "JPEG", 50));
    big = QImage();
    DrawingEditor& editor = Editor();
    ASSERT_TRUE(editor.LoadDrawing(0, root / "big.jpg"));
    EXPECT_EQ(editor.Drawing(0).size(), QSize(7000, 5000));
}
