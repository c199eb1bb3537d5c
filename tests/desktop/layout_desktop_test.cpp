// Where the measurement window and the drawing editor stand at the first
// start, on a small and a large screen.
#include "desktop_fixture.h"
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

INSTANTIATE_TEST_SUITE_P(Screens, Layout, ::testing::Values(std::pair{1366, 768}, std::pair{1920, 1200}),
                         [](const auto& screen) {
                             return std::to_string(screen.param.first) + "x" + std::to_string(screen.param.second);
                         });

}  // namespace desktop
