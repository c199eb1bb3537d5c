#include <QCoreApplication>
#include <QWidget>
#include <gtest/gtest.h>

#include "drawing/window_placement_qt.h"
#include "temp_root.h"

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

// The maximised window's place comes from its normal client area less the
// frame: the file must hold the frame's corner it was placed at.
TEST(WindowPlacement, MaximisedWindowIsSavedAtItsNormalFrameCorner) {
    TempRoot root;
    QWidget framed;  // a window the platform has framed, as the operator window is
    framed.show();
    QWidget window;
    window.resize(300, 200);
    ApplyPlacement(&window, {1200, 360, 0});
    window.show();
    window.setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    const std::string path = root / "DrawPos.dat";
    ASSERT_TRUE(SaveWindowPlacement(path, TakePlacement(&window)));
    EXPECT_EQ(ReadBytes(path), " 1200\r\n 360\r\n 2\r\n 4500\r\n 3000\r\n");
}

TEST(WindowPlacement, DamagedTwipsDoNotOverflow) {
    QWidget window;
    ApplyPlacement(&window, {1e300, -1e300, 0});
    EXPECT_LE(window.pos().y(), 1'000'000);
    EXPECT_GE(window.pos().x(), -1'000'000);
}

// ---- first start: both windows side by side -------------------------------

#include "drawing/window_layout.h"

namespace {
constexpr FrameExtents kFrame{1, 23, 1, 1};
constexpr ClientSize kEditor{1000, 640};
constexpr ClientSize kMeasurementMinimum{700, 650};

bool Overlap(const ScreenRect& a, const ScreenRect& b) {
    return a.X < b.X + b.Width && b.X < a.X + a.Width && a.Y < b.Y + b.Height && b.Y < a.Y + a.Height;
}
ScreenRect Outer(const ScreenRect& client) {
    return {client.X - kFrame.Left, client.Y - kFrame.Top, client.Width + kFrame.Left + kFrame.Right,
            client.Height + kFrame.Top + kFrame.Bottom};
}
bool Inside(const ScreenRect& r, const ScreenRect& area) {
    return r.X >= area.X && r.Y >= area.Y && r.X + r.Width <= area.X + area.Width &&
           r.Y + r.Height <= area.Y + area.Height;
}
}  // namespace

TEST(FirstStartPlaces, FullHdScreenShowsBothWindowsWholeSideBySide) {
    const ScreenRect screen{0, 0, 1920, 1080};
    FirstStartPlaces places = FirstStartPlacesFor(screen, kFrame, kEditor, kEditorMinimum, kMeasurementMinimum);
    ScreenRect editor = Outer(places.Editor), measurement = Outer(places.Measurement);
    EXPECT_TRUE(Inside(editor, screen));
    EXPECT_TRUE(Inside(measurement, screen));
    EXPECT_FALSE(Overlap(editor, measurement));
    // The editor keeps its designed size; the measurement window takes the rest.
    EXPECT_EQ(places.Editor, (ScreenRect{1920 - 1 - 1000, 23, 1000, 640}));
    EXPECT_EQ(places.Measurement, (ScreenRect{1, 23, 1920 - 1002 - 2, 1080 - 24}));
}

TEST(FirstStartPlaces, PanelsOfTheDesktopAreLeftFree) {
    // A panel 40 pixels high at the top and one 60 wide on the left.
    const ScreenRect free{60, 40, 1860, 1040};
    FirstStartPlaces places = FirstStartPlacesFor(free, kFrame, kEditor, kEditorMinimum, kMeasurementMinimum);
    EXPECT_TRUE(Inside(Outer(places.Editor), free));
    EXPECT_TRUE(Inside(Outer(places.Measurement), free));
    EXPECT_FALSE(Overlap(Outer(places.Editor), Outer(places.Measurement)));
    EXPECT_EQ(places.Measurement.X, 61);
    EXPECT_EQ(places.Editor.Y, 63);
}

// Seen: at 1366 x 768 the measurement window covered the left of the
// editor's overview, where the circled point may be.
TEST(FirstStartPlaces, SmallScreenNarrowsTheEditorSoThatNeitherCoversTheOther) {
    const ScreenRect screen{0, 0, 1366, 768};
    FirstStartPlaces places = FirstStartPlacesFor(screen, kFrame, kEditor, kEditorMinimum, kMeasurementMinimum);
    ScreenRect editor = Outer(places.Editor), measurement = Outer(places.Measurement);
    EXPECT_TRUE(Inside(editor, screen));
    EXPECT_TRUE(Inside(measurement, screen));
    EXPECT_FALSE(Overlap(editor, measurement));
    EXPECT_EQ(places.Measurement.Width, kMeasurementMinimum.Width);
    EXPECT_EQ(places.Editor.Width, 1366 - 702 - 2);
    // Too narrow even for the editor's minimum: it keeps that and lies over the other.
    places = FirstStartPlacesFor({0, 0, 1024, 768}, kFrame, kEditor, kEditorMinimum, kMeasurementMinimum);
    EXPECT_EQ(places.Editor.Width, kEditorMinimum.Width);
    EXPECT_TRUE(Inside(Outer(places.Editor), {0, 0, 1024, 768}));
}

// Seen: DrawPosMain.dat kept -300 / -15 (the title bar above the screen) and
// every later start put the window there again; a window closed at 1920 x
// 1200 opened below a 1366 x 768 screen at its old size.
TEST(WindowOnAScreen, TheWindowComesWhollyOntoAScreenDownToItsMinimum) {
    const std::vector<ScreenRect> screens{{0, 0, 1366, 768}, {1366, 0, 1920, 1200}};
    struct Case {
        const char* name;
        ScreenRect outer;
        ClientSize minimum;
        ScreenRect placed;
    };
    const Case cases[] = {
        {"inside stays", {100, 50, 800, 600}, {}, {100, 50, 800, 600}},
        {"title bar above the screen", {-1, -20, 800, 600}, {}, {0, 0, 800, 600}},
        {"past the right of the second screen", {3000, 100, 800, 600}, {}, {2486, 100, 800, 600}},
        {"on no screen goes to the first", {-5000, 5000, 800, 600}, {}, {0, 168, 800, 600}},
        {"closed on a larger screen comes back whole", {300, 450, 1200, 1100}, {790, 650}, {166, 0, 1200, 768}},
        {"taller than its screen", {200, 300, 600, 900}, {}, {200, 0, 600, 768}},
        {"taller than the screen at its minimum shows its top", {200, 300, 600, 900}, {500, 800}, {200, 0, 600, 800}},
        {"wider at its minimum keeps its left", {-50, 10, 1500, 400}, {1400, 300}, {0, 10, 1400, 400}},
    };
    for (const Case& c : cases) EXPECT_EQ(OnAScreen(c.outer, screens, c.minimum), c.placed) << c.name;
}

// The size is kept in two more lines; a file of the three lines alone still reads.
TEST(WindowPlacementFile, SizeIsKeptAndOldFilesStillRead) {
    TempRoot root;
    const std::string path = root / "DrawPosMain.dat";
    ASSERT_TRUE(SaveWindowPlacement(path, {1200, 360, 0, 13500, 9000}));
    EXPECT_EQ(ReadBytes(path), " 1200\r\n 360\r\n 0\r\n 13500\r\n 9000\r\n");
    EXPECT_EQ(LoadWindowPlacement(path), (WindowPlacement{1200, 360, 0, 13500, 9000}));
    WriteBytes(path, " 1200\r\n 360\r\n 2\r\n");
    EXPECT_EQ(LoadWindowPlacement(path), (WindowPlacement{1200, 360, 2}));

    QWidget window;
    window.setMinimumSize(200, 100);
    ApplyPlacement(&window, {1200, 360, 0, 300 * 15, 250 * 15});
    EXPECT_EQ(window.size(), QSize(300, 250));
    window.show();
    WindowPlacement taken = TakePlacement(&window);
    EXPECT_EQ(taken.Width, 300 * 15);
    EXPECT_EQ(taken.Height, 250 * 15);
}
