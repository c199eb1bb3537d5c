// Where the measurement window and the drawing editor stand at the first
// start, on a small and a large screen.
#include "desktop_fixture.h"
#include "drawing/point_table.h"
#include "drawing/view_geometry.h"
#include "drawing/window_layout.h"
#include "records/product_registry.h"

namespace desktop {

namespace {

struct ScreenSize {
    int width, height;
};

class Layout : public Desktop, public ::testing::WithParamInterface<ScreenSize> {};

ziv::PointTable PointsOf(const QString& product) {
    ziv::PointTable table;
    ziv::ReadPointTable(ziv::PointTablePath(product.toStdString()), table);
    return table;
}

}  // namespace

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
    const QString size = QString("%1x%2").arg(width).arg(height);
    Screenshot("layout-" + size);
    const Rect mainOuter = Outer(main_), editorOuter = Outer(editor_), editor = Client(editor_);
    EXPECT_TRUE(mainOuter.Inside(screen_)) << mainOuter;
    EXPECT_TRUE(editorOuter.Inside(screen_)) << editorOuter;
    EXPECT_FALSE(mainOuter.Overlaps(editorOuter)) << mainOuter << " and " << editorOuter;

    // Point 1, the current one, is circled in red where Data.dat places it.
    const std::string name = ziv::GetProductName(product_.toStdString());
    const QImage drawing(QString::fromStdString(ziv::ProductDrawingPath(product_.toStdString(), name)));
    ASSERT_FALSE(drawing.isNull());
    const ziv::OverviewSize designed =
        ziv::OverviewSizeFor({ziv::TwipsFromPixels(drawing.width()), ziv::TwipsFromPixels(drawing.height())});
    const ziv::EditorLayout layout = ziv::EditorLayoutFor({editor.w, editor.h});
    const double scale = ziv::OverviewScale(designed, editor.w - ziv::kDetailMinimumWidth, layout.ViewsHeight);
    auto onScreen = [&](double x, double y) {
        return QPoint(editor.x + int(std::lround(x / 15 * scale)), editor.y + int(std::lround(y / 15 * scale)));
    };
    const ziv::PointTable before = PointsOf(product_);
    ASSERT_TRUE(before.IsPlaced(1));
    const QPoint circled = onScreen(before.PosX[1], before.PosY[1]);
    EXPECT_FALSE(mainOuter.Contains(circled.x(), circled.y()));
    const QImage shot(BuildDir() + "/desktop-shots/layout-" + size + ".png");
    int red = 0;
    for (int y = circled.y() - 12; y <= circled.y() + 12; ++y)
        for (int x = circled.x() - 12; x <= circled.x() + 12; ++x) {
            QColor c = shot.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 90 && c.blue() < 90;
        }
    EXPECT_GT(red, 10) << "no red circle around " << circled.x() << "," << circled.y();

    // Designated by a click on the overview as drawn: the place in designed twips.
    auto clickControl = [&](ziv::EditorControl c) {
        const ziv::ScreenRect& r = layout.Controls[c];
        ClickEditor(r.X + r.Width / 2, r.Y + r.Height / 2);
    };
    clickControl(ziv::kDesignate);
    const double x = 3000, y = 2400;
    const QPoint target = onScreen(x, y);
    Click(target.x(), target.y());
    Screenshot("layout-designating-" + size);
    clickControl(ziv::kOk);
    ASSERT_TRUE(WaitUntil([&] { return PointsOf(product_).PosX[1] != before.PosX[1]; }, 5000))
        << "the designation was not saved";
    const ziv::PointTable after = PointsOf(product_);
    // Within one pixel of the overview as drawn.
    EXPECT_NEAR(after.PosX[1], x, 15 / scale + 1);
    EXPECT_NEAR(after.PosY[1], y, 15 / scale + 1);
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}

INSTANTIATE_TEST_SUITE_P(Screens, Layout, ::testing::Values(ScreenSize{1366, 768}, ScreenSize{1920, 1200}),
                         [](const auto& screen) {
                             return std::to_string(screen.param.width) + "x" + std::to_string(screen.param.height);
                         });

}  // namespace desktop
