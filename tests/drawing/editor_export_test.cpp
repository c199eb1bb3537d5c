#include <QBuffer>
#include <QImageReader>
#include <QTest>

#include "drawing/drawing_export_qt.h"
#include "drawing/drawing_views_qt.h"
#include "editor_fixture.h"
#include "children.h"

using namespace ziv;
using namespace ziv::testing;

namespace {

QImage ReadJpeg(const std::string& path) {
    QImageReader reader(QString::fromStdString(path), "jpeg");
    return reader.read();
}

int CountReddish(const QImage& image, QRect area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.rect().contains(x, y) && IsReddish(image.pixelColor(x, y))) ++count;
    return count;
}

}  // namespace

TEST_F(EditorTest, ExportWritesTheMarkedDrawingAtItsOwnSize) {
    // Landscape 1200 x 600: overview 12000 x 6000 twips, so pixel = twips / 10.
    WritePoints({{1, 6000, 3000, 3}, {37, 1000, 500, 0}, {100, 11000, 5500, 1}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    QTest::keyRelease(&editor, Qt::Key_Space);

    std::string path = ExportFilePath(host.productFolder);
    QImage exported = ReadJpeg(path);
    ASSERT_EQ(exported.size(), QSize(1200, 600));
    // Disc fill 13 pixels below each centre, clear of the white number.
    EXPECT_TRUE(IsReddish(exported.pixelColor(600, 313)));
    EXPECT_TRUE(IsReddish(exported.pixelColor(100, 63)));
    EXPECT_TRUE(IsReddish(exported.pixelColor(1100, 563)));
    // Discs have a radius of 18 pixels: nothing red 22 pixels away.
    EXPECT_FALSE(IsReddish(exported.pixelColor(600 + 22, 300)));
    EXPECT_FALSE(IsReddish(exported.pixelColor(600, 300 - 22)));
    // The number is written in white on the disc.
    int white = 0;
    for (int y = 290; y <= 310; ++y)
        for (int x = 590; x <= 610; ++x)
            if (exported.pixelColor(x, y).lightness() > 200) ++white;
    EXPECT_GT(white, 10);

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("検査成績表用図面を保存しました。"));
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 情報"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Information);
}

TEST_F(EditorTest, ExportShowsTheExportedPointsOnTheOverviewMeanwhile) {
    WritePoints({{1, 6000, 3000, 3}, {2, 1000, 500, 0}, {3, 0, 500, 0}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    std::vector<OverviewCircle> duringMessage;
    dialogs.onShow = [&](const ShownMessage&) { duringMessage = Child<OverviewBox>(editor, "overview")->Circles(); };
    editor.ExportInspectionDrawing();
    ASSERT_EQ(messages.size(), 1u);
    int blue = 0;
    for (const auto& c : duringMessage)
        if (c.Colour == QColor(0, 0, 255)) ++blue;
    EXPECT_EQ(blue, 2);
    // Afterwards only the current point's red circle is left.
    ASSERT_EQ(Child<OverviewBox>(editor, "overview")->Circles().size(), 1u);
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles()[0].Colour, QColor(255, 0, 0));
}

TEST_F(EditorTest, ExportLeavesOutEntryZeroAndEntriesAboveOneHundred) {
    PointTable table;
    table.PosX[0] = 6000;
    table.PosY[0] = 3000;
    table.PosX[150] = 3000;
    table.PosY[150] = 1500;
    ASSERT_TRUE(SavePointTable(StationFiles(), PointTableFilePath(host.productFolder), table));
    ShowProduct(1200, 600);
    form->ExportInspectionDrawing();
    QImage exported = ReadJpeg(ExportFilePath(host.productFolder));
    ASSERT_EQ(exported.size(), QSize(1200, 600));
    EXPECT_EQ(CountReddish(exported, exported.rect()), 0);
}

TEST_F(EditorTest, PortraitExportPlacesByTheOverviewWidth) {
    // 600 x 900: overview 6000 x 9000 twips, pixel = twips / 10 again.
    WritePoints({{5, 3000, 4500, 0}, {6, 5900, 8900, 0}});
    ShowProduct(600, 900);
    form->ExportInspectionDrawing();
    QImage exported = ReadJpeg(ExportFilePath(host.productFolder));
    ASSERT_EQ(exported.size(), QSize(600, 900));
    EXPECT_TRUE(IsReddish(exported.pixelColor(300, 463)));
    // A disc at the edge is clipped, not lost.
    EXPECT_TRUE(IsReddish(exported.pixelColor(580, 899)));
}

TEST_F(EditorTest, ExportSurvivesPointsOutsideTheDrawing) {
    WritePoints({{1, -500, -700, 0}, {2, -3.0e38f, 3.0e38f, 0}, {3, 1e9f, 1e9f, 0}, {4, 50, 50, 0}});
    ShowProduct(1200, 600);
    form->ExportInspectionDrawing();
    QImage exported = ReadJpeg(ExportFilePath(host.productFolder));
    ASSERT_EQ(exported.size(), QSize(1200, 600));
    // Point 4 sits at pixel (5, 5): a quarter of its disc shows in the corner.
    EXPECT_GT(CountReddish(exported, QRect(0, 0, 24, 24)), 50);
    EXPECT_EQ(messages.back().text, QStringLiteral("検査成績表用図面を保存しました。"));
}

TEST_F(EditorTest, ExportWithNoPlacedPointsGivesTheBareDrawing) {
    WritePoints({});
    ShowProduct(1200, 600);
    form->ExportInspectionDrawing();
    QImage exported = ReadJpeg(ExportFilePath(host.productFolder));
    ASSERT_EQ(exported.size(), QSize(1200, 600));
    EXPECT_EQ(CountReddish(exported, exported.rect()), 0);
}

TEST_F(EditorTest, ExportAndShowAllNeedADrawingAndATable) {
    DrawingEditor& editor = Editor();
    editor.currentPointChanged();
    editor.ExportInspectionDrawing();
    editor.ShowAllPoints();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.text, QStringLiteral("画像が保存読み込まれていません。"));
        EXPECT_EQ(m.title, QStringLiteral("ZIV - 警告"));
        EXPECT_EQ(m.icon, MessageIcon::Critical);
    }
    messages.clear();
    ShowProduct(1200, 600);  // no Data.dat
    int focus = host.focusCount;
    QTest::keyRelease(&editor, Qt::Key_Space);
    QTest::keyRelease(&editor, Qt::Key_Shift);
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) EXPECT_EQ(m.text, QStringLiteral("測定指定箇所データが作成されていません。"));
    EXPECT_EQ(host.focusCount, focus + 2);
    EXPECT_FALSE(FileExists(ExportFilePath(host.productFolder)));
    EXPECT_TRUE(Child<OverviewBox>(editor, "overview")->Circles().empty());
}

TEST_F(EditorTest, FailedExportWarnsNamingTheFileAndKeepsTheOldOne) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    std::string path = ExportFilePath(host.productFolder);
    WriteBytes(path, "previous export");
    disk.writes = [](WriteStep step, const std::string&) { return step == WriteStep::Write ? 28 : 0; };
    form->ExportInspectionDrawing();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 警告"));
    EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(path)));
    EXPECT_EQ(ReadBytes(path), "previous export");
    // Blue circles are gone again.
    EXPECT_EQ(Child<OverviewBox>(*form, "overview")->Circles().size(), 1u);
}

TEST_F(EditorTest, ExportReplacesAnEarlierFile) {
    WritePoints({{1, 6000, 3000, 3}});
    ShowProduct(1200, 600);
    std::string path = ExportFilePath(host.productFolder);
    WriteBytes(path, "previous export");
    form->ExportInspectionDrawing();
    EXPECT_EQ(ReadJpeg(path).size(), QSize(1200, 600));
}

TEST_F(EditorTest, ShowAllPointsMarksEveryPlacedPointWhileTheMessageIsOpen) {
    WritePoints({{1, 6000, 3000, 3}, {2, 1500, 750, 0}, {3, 2000, 0, 0}, {99, 7000, 100, 0}});
    ShowProduct(1200, 600);
    DrawingEditor& editor = *form;
    QImage duringMessage;
    std::vector<OverviewCircle> circles;
    dialogs.onShow = [&](const ShownMessage&) {
        circles = Child<OverviewBox>(editor, "overview")->Circles();
        duringMessage = Child<OverviewBox>(editor, "overview")->grab().toImage();
    };
    QTest::keyRelease(&editor, Qt::Key_Shift);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("全測定指定箇所を表示しました。"));
    EXPECT_EQ(messages[0].title, QStringLiteral("ZIV - 情報"));
    int blue = 0;
    for (const auto& c : circles)
        if (c.Colour == QColor(0, 0, 255)) ++blue;
    EXPECT_EQ(blue, 3);
    // Point 2 at overview pixel (100, 50), radius 12 pixels.
    EXPECT_TRUE(IsBluish(duringMessage.pixelColor(112, 50)));
    EXPECT_EQ(Child<OverviewBox>(editor, "overview")->Circles().size(), 1u);
    EXPECT_FALSE(FileExists(ExportFilePath(host.productFolder)));
}

TEST(SavePictureJpegTest, WhatWentWrongIsTold) {
    TempRoot root;
    FileResult empty = SavePictureJpeg(QImage(), root / "a.jpg", 100);
    EXPECT_EQ(empty.failure, Failure::EmptyPicture);
    EXPECT_EQ(empty.path, root / "a.jpg");
    EXPECT_FALSE(FileExists(root / "a.jpg"));
    QImage picture = MakeDrawing(300, 200);
    EXPECT_TRUE(SavePictureJpeg(picture, root / "a.jpg", 100));
    EXPECT_EQ(ReadJpeg(root / "a.jpg").size(), QSize(300, 200));
    FileResult failed = SavePictureJpeg(picture, root / "missing/a.jpg", 100);
    EXPECT_EQ(failed.failure, Failure::WriteFailed);
    EXPECT_EQ(failed.err, ENOENT);
}

TEST(SavePictureJpegTest, TheQualityReachesTheEncoder) {
    TempRoot root;
    QImage picture = MakeDrawing(400, 300);
    ASSERT_TRUE(SavePictureJpeg(picture, root / "100.jpg", 100));
    ASSERT_TRUE(SavePictureJpeg(picture, root / "30.jpg", 30));
    EXPECT_LT(ReadBytes(root / "30.jpg").size(), ReadBytes(root / "100.jpg").size());
}

