#pragma once
#include <vector>

// Where the measurement window and the drawing editor appear when neither
// place has been remembered yet: side by side on the screen's free area, the
// editor at its designed size on the right, the measurement window filling
// the rest on the left.
namespace ziv {

struct ScreenRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool operator==(const ScreenRect&) const = default;
};

// What the window manager's frame adds on each side of a window's client area.
struct FrameExtents {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct ClientSize {
    int Width = 0;
    int Height = 0;
};

// Client areas (what the program draws in) of both windows.
struct FirstStartPlaces {
    ScreenRect Measurement;
    ScreenRect Editor;
};

// available: the part of the screen not taken by panels. When the screen is
// too narrow for both, the measurement window keeps its minimum width and
// lies partly under the editor's overview; the editor's bottom row of buttons
// starts further right than that minimum, so every button stays reachable.
FirstStartPlaces FirstStartPlacesFor(const ScreenRect& available, const FrameExtents& frame,
                                     ClientSize editor, ClientSize measurementMinimum);

// Where a window whose frame was remembered at `outer` goes so that the
// operator can reach it: on the free area it overlaps most (the first when
// it overlaps none), wholly along each direction it fits in, and otherwise
// with its left and top edges on that area, so that the title bar and the
// close button are always on a screen. titleHeight: the frame's top.
ScreenRect OnAScreen(const ScreenRect& outer, const std::vector<ScreenRect>& available, int titleHeight);

}  // namespace ziv
