#pragma once
#include <array>
#include <vector>

// Where the measurement window and the drawing editor appear when neither
// place has been remembered yet: side by side on the screen's free area, the
// editor on the right at its designed size, or narrower down to its minimum
// where the screen leaves less room, the measurement window filling the rest
// on the left. And how the editor lays out its controls at any width.
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

// available: the part of the screen not taken by panels. Only when the screen
// is too narrow for both windows at their minimum widths does the measurement
// window lie partly under the editor.
FirstStartPlaces FirstStartPlacesFor(const ScreenRect& available, const FrameExtents& frame, ClientSize editor,
                                     ClientSize editorMinimum, ClientSize measurementMinimum);

// The editor's client area as designed, and the narrowest it is made: there
// the overview is drawn smaller and the controls take two rows.
constexpr ClientSize kEditorDesigned{1000, 640};
constexpr ClientSize kEditorMinimum{480, 640};
// The detail view beside the overview is never narrower than at the designed size.
constexpr int kDetailMinimumWidth = 200;

// The controls under the editor's views, left to right.
enum EditorControl { kCaption, kInstrumentLabel, kZoom, kDesignate, kInstrumentList, kReset, kCancel, kOk,
                     kEditorControls };
struct EditorLayout {
    std::array<ScreenRect, kEditorControls> Controls;  // in the client area
    int ViewsHeight = 0;  // the overview and the detail view, from the top
};
// At the designed width the controls stand in one row as designed; in a
// narrower window those that no longer fit go on in a second row below.
EditorLayout EditorLayoutFor(ClientSize client);

// Where a window whose frame was remembered at `outer` goes so that the
// operator can reach it: on the free area it overlaps most (the first when
// it overlaps none), no larger than that area but never smaller than
// `minimum` (the frame around the smallest client area the window can show),
// wholly on it, and where even its minimum is larger, from the area's top
// left corner, so that the title bar and the first controls are on a screen.
ScreenRect OnAScreen(const ScreenRect& outer, const std::vector<ScreenRect>& available, ClientSize minimum = {});

// Two windows whose frames overlap: one hides part of the other.
bool Overlapping(const ScreenRect& a, const ScreenRect& b);

}  // namespace ziv
