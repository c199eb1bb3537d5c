#include <QWidget>
#include <gtest/gtest.h>

#include "drawing/window_placement_qt.h"

using namespace ziv;

TEST(WindowPlacement, TwipsBecomePixelsAndBack) {
    QWidget window;
    window.resize(300, 200);
    ApplyPlacement(&window, {1200, 360, 0});
    EXPECT_EQ(window.pos(), QPoint(24, 80));
    window.show();
    WindowPlacement taken = TakePlacement(&window);
    EXPECT_EQ(taken.Top, 1200);
    EXPECT_EQ(taken.Left, 360);
    EXPECT_EQ(taken.State, 0);
}

TEST(WindowPlacement, StateTwoMaximisesOtherStatesStayNormal) {
    QWidget window;
    ApplyPlacement(&window, {0, 0, 2});
    EXPECT_TRUE(window.windowState().testFlag(Qt::WindowMaximized));
    ApplyPlacement(&window, {0, 0, 1});
    EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMaximized));
    EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMinimized));
}

TEST(WindowPlacement, MinimisedIsRememberedAsNormalAndRestored) {
    QWidget window;
    window.resize(300, 200);
    window.move(40, 30);
    window.show();
    window.setWindowState(Qt::WindowMinimized);
    WindowPlacement taken = TakePlacement(&window);
    EXPECT_EQ(taken.State, 0);
    EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMinimized));
    EXPECT_EQ(taken.Top, 30 * 15);
    EXPECT_EQ(taken.Left, 40 * 15);
}

TEST(WindowPlacement, MaximisedIsRememberedAndMadeNormal) {
    QWidget window;
    window.resize(300, 200);
    window.show();
    window.setWindowState(Qt::WindowMaximized);
    WindowPlacement taken = TakePlacement(&window);
    EXPECT_EQ(taken.State, 2);
    EXPECT_FALSE(window.windowState().testFlag(Qt::WindowMaximized));
}

TEST(WindowPlacement, DamagedTwipsDoNotOverflow) {
    QWidget window;
    ApplyPlacement(&window, {1e300, -1e300, 0});
    EXPECT_LE(window.pos().y(), 1'000'000);
    EXPECT_GE(window.pos().x(), -1'000'000);
}
