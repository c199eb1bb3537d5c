// Where the measurement window and the drawing editor stand at the first
// start, on a small and a large screen.
#include <QDirIterator>

#include "desktop_fixture.h"
#include "drawing/position_files.h"
#include "report/fixed_limits.h"
#include "drawing/point_table.h"
#include "drawing/view_geometry.h"
#include "drawing/window_layout.h"
#include "records/product_registry.h"

namespace desktop {

class Layout : public Desktop, public ::testing::WithParamInterface<std::pair<int, int>> {};

// Seen at 1366 x 768: the measurement window covered the left of the
// editor's overview, and the circled point with it. Both windows now stand
// side by side, the overview drawn smaller where the screen leaves less room,
// and a click on it still designates the place clicked.
TEST_P(Layout, BothWindowsSideBySideWithTheCircledPointInSightAndClicksDesignatingThePlaceClicked) {
    const auto [width, height] = GetParam();
    if (!StartDesktop(width, height)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    const QString shot = QString("layout-%1x%2").arg(width).arg(height);
    Screenshot(shot);
    const Rect mainOuter = Outer(main_), editorOuter = Outer(editor_), editor = Client(editor_);
    EXPECT_TRUE(mainOuter.Inside(screen_) && editorOuter.Inside(screen_)) << mainOuter << " and " << editorOuter;
    EXPECT_FALSE(mainOuter.Overlaps(editorOuter)) << mainOuter << " and " << editorOuter;

    // Point 1, the current one, is circled in red where Data.dat places it.
    const std::string product = product_.toStdString();
    const QImage drawing(QString::fromStdString(ziv::ProductDrawingPath(product, ziv::GetProductName(product))));
    const ziv::EditorLayout layout = ziv::EditorLayoutFor({editor.w, editor.h});
    const double scale = ziv::OverviewScale(ziv::OverviewSizeFor({drawing.width() * 15.0, drawing.height() * 15.0}),
                                            editor.w - ziv::kDetailMinimumWidth, layout.ViewsHeight);
    auto onScreen = [&](double x, double y) {
        return QPoint(editor.x + int(std::lround(x / 15 * scale)), editor.y + int(std::lround(y / 15 * scale)));
    };
    auto points = [&] {
        ziv::PointTable table;
        ziv::ReadPointTable(ziv::PointTablePath(product), table);
        return table;
    };
    const ziv::PointTable before = points();
    const QPoint circled = onScreen(before.PosX[1], before.PosY[1]);
    const QImage screen(BuildDir() + "/desktop-shots/" + shot + ".png");
    int red = 0;
    for (int y = circled.y() - 12; y <= circled.y() + 12; ++y)
        for (int x = circled.x() - 12; x <= circled.x() + 12; ++x)
            red += screen.pixelColor(x, y).red() > 200 && screen.pixelColor(x, y).green() < 90;
    EXPECT_GT(red, 10) << "no red circle around " << circled.x() << "," << circled.y();

    // Designated by a click on the overview as drawn: the place in designed twips.
    auto click = [&](const ziv::ScreenRect& r) { ClickEditor(r.X + r.Width / 2, r.Y + r.Height / 2); };
    click(layout.Controls[ziv::kDesignate]);
    const QPoint target = onScreen(3000, 2400);
    Click(target.x(), target.y());
    click(layout.Controls[ziv::kOk]);
    ASSERT_TRUE(WaitUntil([&] { return points().PosX[1] != before.PosX[1]; }, 5000)) << "nothing designated";
    // Within one pixel of the overview as drawn.
    EXPECT_NEAR(points().PosX[1], 3000, 15 / scale + 1);
    EXPECT_NEAR(points().PosY[1], 2400, 15 / scale + 1);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}

// Seen: closed at 1920 x 1200, the measurement window opened below a 1366 x
// 768 screen at its old size, over the editor; beside the chart, 「選択」 grew
// it to 921 pixels with 登録 / 登録解除 / キャンセル below the screen's edge.
TEST_P(Layout, PlacesFromALargerScreenAndTheProductChoiceBesideTheChartStayOnTheScreen) {
    const auto [width, height] = GetParam();
    if (!StartDesktop(width, height)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    const ziv::report::FixedLimit fixed{1, ziv::TimestampNow(), {}, {2026, 1, 5}, {2026, 1, 5}, 1, 0, 20,
                                        {120, 120.006, 119.994, 0.002, 0.0065, 0}, {"120", "0.02", "-0.03"}};
    WriteFile(product_ + "/管理限界.txt", ziv::report::FixedLimitsText({fixed}));
    auto twips = [](std::initializer_list<int> pixels) {  // top, left, state, width, height
        std::string text;
        for (int p : pixels) text += " " + std::to_string(p * 15) + "\r\n";
        return text;
    };
    WriteFile(Root("Config/DrawPosMain.dat"), twips({450, 300, 0, 1500, 1100}));
    WriteFile(Root("Config/DrawPos.dat"), twips({100, 900, 0, 1000, 640}));
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    EXPECT_TRUE(WaitUntil([&] {
        const Rect m = Outer(main_), e = Outer(editor_);
        return m.Inside(screen_) && e.Inside(screen_) && !m.Overlaps(e);
    }, 5000)) << Outer(main_) << " and " << Outer(editor_);
    Screenshot(QString("chart-%1x%2").arg(width).arg(height));

    // 登録解除, in the middle of the panel's last row at the window's foot, empties machine 0's line.
    QDirIterator found(Root(""), {"Directory.dat"}, QDir::Files, QDirIterator::Subdirectories);
    ASSERT_TRUE(found.hasNext());
    const QString directory = found.next();
    ClickMain(kChooseProductFromRight, kChooseProductTop);
    Screenshot(QString("product-choice-%1x%2").arg(width).arg(height));
    ClickMain(kUnregisterFromRight, Client(main_).h - kPanelButtonsFromBottom);
    EXPECT_TRUE(WaitUntil([&] { return ReadFile(directory).starts_with("\r\n"); }, 5000)) << "登録解除 is out of reach";
    EXPECT_TRUE(Outer(main_).Inside(screen_)) << Outer(main_);
    const Rect client = Client(main_);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
    const auto kept = ziv::LoadWindowPlacement(Root("Config/DrawPosMain.dat").toStdString());
    EXPECT_EQ(std::pair(kept->Width, kept->Height), std::pair(client.w * 15.0, client.h * 15.0));
}

INSTANTIATE_TEST_SUITE_P(Screens, Layout, ::testing::Values(std::pair{1366, 768}, std::pair{1920, 1200}),
                         [](const auto& screen) {
                             return std::to_string(screen.param.first) + "x" + std::to_string(screen.param.second);
                         });

}  // namespace desktop
