#include <gtest/gtest.h>

#include "drawing/view_geometry.h"

using namespace ziv;

namespace {
DrawingSize Pixels(int w, int h) { return {w * 15.0, h * 15.0}; }
}  // namespace

TEST(Overview, LandscapeIsTwelveThousandWide) {
    DrawingSize d = Pixels(2400, 1200);
    EXPECT_EQ(OverviewSizeFor(d), (OverviewSize{12000, 6000}));
    EXPECT_EQ(OverviewMarkRadius(d), 90);
}

TEST(Overview, SquareTakesThePortraitRule) {
    DrawingSize d = Pixels(1000, 1000);
    EXPECT_FALSE(IsLandscape(d));
    EXPECT_EQ(OverviewSizeFor(d), (OverviewSize{9000, 9000}));
    EXPECT_EQ(OverviewMarkRadius(d), 162);
}

TEST(Overview, PortraitIsNineThousandHigh) {
    DrawingSize d = Pixels(1200, 1800);
    EXPECT_EQ(OverviewSizeFor(d), (OverviewSize{6000, 9000}));
    // The 18-pixel disc on a drawing shown at a third of its size.
    EXPECT_EQ(OverviewMarkRadius(d), 90);
    EXPECT_EQ(OverviewMarkRadius(Pixels(600, 900)), 180);
}

// Drawn smaller only where the room is smaller than the designed overview.
TEST(Overview, ScaleFollowsTheRoomLeft) {
    struct Case {
        OverviewSize designed;
        double roomWidth, roomHeight, scale;
    } cases[] = {
        {{12000, 6000}, 800, 600, 1},      {{12000, 6000}, 1720, 1000, 1}, {{12000, 6000}, 380, 568, 0.475},
        {{6000, 9000}, 380, 568, 568.0 / 600}, {{12000, 9000}, 800, 300, 0.5}, {{12000, 6000}, 0, 0, 0.1},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(OverviewScale(c.designed, c.roomWidth, c.roomHeight), c.scale) << c.roomWidth;
}

TEST(Overview, RadiusIsRoundedToAWholeTwip) {
    // 18 * 800 / 21000 * 225 = 154.28...
    EXPECT_EQ(OverviewMarkRadius(Pixels(1400, 700)), 154);
    // 18 * 600 / 10500 * 225 = 231.43...
    EXPECT_EQ(OverviewMarkRadius(Pixels(500, 700)), 231);
}

TEST(Overview, EmptyDrawingHasNoSize) {
    EXPECT_EQ(OverviewSizeFor({0, 0}), (OverviewSize{0, 0}));
    EXPECT_EQ(OverviewMarkRadius({0, 100}), 0);
}

TEST(StoredPosition, MeansTheSameSpotOfTheDrawing) {
    DrawingSize wide = Pixels(2400, 1200);
    TwipPoint centre = DrawingTwipsFor(wide, OverviewSizeFor(wide), 6000, 3000);
    EXPECT_DOUBLE_EQ(centre.X, 18000);
    EXPECT_DOUBLE_EQ(centre.Y, 9000);
    TwipPoint corner = DrawingTwipsFor(wide, OverviewSizeFor(wide), 12000, 6000);
    EXPECT_DOUBLE_EQ(corner.X, 36000);
    EXPECT_DOUBLE_EQ(corner.Y, 18000);

    DrawingSize tall = Pixels(1200, 1800);
    TwipPoint third = DrawingTwipsFor(tall, OverviewSizeFor(tall), 2000, 3000);
    EXPECT_DOUBLE_EQ(third.X, 6000);
    EXPECT_DOUBLE_EQ(third.Y, 9000);
}

TEST(CenterDetailView, PositionLandsInTheMiddle) {
    DrawingSize d = Pixels(2400, 1200);
    ViewSize view{3000, 9000};
    ViewOrigin o = CenterDetail(d, OverviewSizeFor(d), view, 6000, 3000);
    EXPECT_EQ(o.ViewX + 1500, 18000);
    EXPECT_EQ(o.ViewY + 4500, 9000);
}

TEST(CenterDetailView, OriginPutsTheTopLeftCornerInTheMiddle) {
    DrawingSize d = Pixels(2400, 1200);
    ViewSize view{3000, 9000};
    EXPECT_EQ(CenterDetail(d, OverviewSizeFor(d), view, 0, 0), (ViewOrigin{-1500, -4500}));
}

TEST(CenterDetailView, ClampsBindOnlyFarOutside) {
    DrawingSize d = Pixels(2400, 1200);
    ViewSize view{3000, 9000};
    OverviewSize ov = OverviewSizeFor(d);
    EXPECT_EQ(CenterDetail(d, ov, view, -100000, -100000), (ViewOrigin{-3000, -9000}));
    EXPECT_EQ(CenterDetail(d, ov, view, 1e9, 1e9), (ViewOrigin{3000 + 36000 - 1, 9000 + 18000 - 1}));
    EXPECT_EQ(CenterDetail(d, ov, view, 3.4e38, -3.4e38), (ViewOrigin{3000 + 36000 - 1, -9000}));
}

TEST(PanningDetail, DrawingFollowsTheMouse) {
    DrawingSize d = Pixels(2400, 1200);
    ViewSize view{3000, 9000};
    PanState start{{1000, 2000}, 600, 600};
    PanState moved = PanDetail(start, 750, 450, view, d);
    EXPECT_EQ(moved.Origin, (ViewOrigin{850, 2150}));
    EXPECT_EQ(moved.DragLastX, 750);
    EXPECT_EQ(moved.DragLastY, 450);
}

TEST(PanningDetail, StopsOneViewBeyondEachEdge) {
    DrawingSize d = Pixels(2400, 1200);
    ViewSize view{3000, 9000};
    PanState s{{0, 0}, 0, 0};
    for (int i = 0; i < 100; ++i) s = PanDetail(s, s.DragLastX + 3000, 0, view, d);
    EXPECT_EQ(s.Origin.ViewX, -3000);
    for (int i = 0; i < 100; ++i) s = PanDetail(s, s.DragLastX - 3000, 0, view, d);
    EXPECT_EQ(s.Origin.ViewX, 3000 + 36000 - 1);
}

TEST(InstrumentList, KeysThenFixedKinds) {
    InstrumentLinks links;
    links[0].DisplayName = "マイクロA";
    links[9].DisplayName = "";
    auto list = InstrumentListTexts(links);
    EXPECT_EQ(list.size(), 27u);
    EXPECT_EQ(list[0], "指定なし");
    EXPECT_EQ(list[1], "F1 マイクロA");
    EXPECT_EQ(list[10], "F10 ");
    EXPECT_EQ(list[11], "ピンゲージ");
    EXPECT_EQ(list[19], "投影機");
    EXPECT_EQ(list[25], "3次元測定器");
    EXPECT_EQ(list[26], "その他");
    EXPECT_EQ(InstrumentText(list, 26), "その他");
    EXPECT_EQ(InstrumentText(list, 27), "");
    EXPECT_EQ(InstrumentText(list, -1), "");
}

TEST(MoveThrottle, TakesOneMovePerIntervalFromTheLastMoveTaken) {
    std::int64_t now = 1000;
    MoveThrottle throttle([&] { return now; });
    EXPECT_FALSE(throttle.Take());  // the interval starts with the throttle
    now += MoveThrottle::kIntervalMs - 1;
    EXPECT_FALSE(throttle.Take());
    now += 1;
    EXPECT_TRUE(throttle.Take());
    EXPECT_FALSE(throttle.Take());  // a second move in the same instant is dropped
    // Dropped moves do not push the next one back; a long pause lets one through at once.
    now += 30;
    EXPECT_FALSE(throttle.Take());
    now += 30;
    EXPECT_TRUE(throttle.Take());
    now += 10 * MoveThrottle::kIntervalMs;
    EXPECT_TRUE(throttle.Take());
    EXPECT_FALSE(throttle.Take());
}
