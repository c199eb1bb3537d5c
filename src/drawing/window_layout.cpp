#include "drawing/window_layout.h"

#include <algorithm>

namespace ziv {

FirstStartPlaces FirstStartPlacesFor(const ScreenRect& available, const FrameExtents& frame, ClientSize editor,
                                     ClientSize editorMinimum, ClientSize measurementMinimum) {
    const int horizontal = frame.Left + frame.Right;
    const int vertical = frame.Top + frame.Bottom;
    FirstStartPlaces places;

    // The editor gives up width, down to its minimum, before it covers the
    // measurement window.
    const int room = available.Width - (measurementMinimum.Width + horizontal) - horizontal;
    editor.Width = std::clamp(room, std::min(editorMinimum.Width, editor.Width), editor.Width);
    // The editor's outer left edge: flush with the right of the free area, but
    // never left of it (a screen narrower than the editor shows its left part,
    // where the drawing and the first buttons are).
    const int editorOuterWidth = editor.Width + horizontal;
    const int editorOuterLeft = std::max(available.X, available.X + available.Width - editorOuterWidth);
    places.Editor = {editorOuterLeft + frame.Left, available.Y + frame.Top, editor.Width, editor.Height};

    const int measurementOuterWidth =
        std::min(std::max(measurementMinimum.Width + horizontal, editorOuterLeft - available.X),
                 std::max(available.Width, measurementMinimum.Width + horizontal));
    const int measurementOuterHeight = std::max(available.Height, measurementMinimum.Height + vertical);
    places.Measurement = {available.X + frame.Left, available.Y + frame.Top, measurementOuterWidth - horizontal,
                          measurementOuterHeight - vertical};
    return places;
}

EditorLayout EditorLayoutFor(ClientSize client) {
    // Designed widths and the spacing of the one row at 1000 pixels.
    constexpr std::array<int, kEditorControls> kWidths{161, 249, 89, 89, 129, 73, 73, 73};
    constexpr int kMargin = 8, kGap = 7, kRightMargin = 7, kRowStep = 32, kButtonHeight = 25, kListHeight = 20;
    constexpr int kViewsAboveRow = 8;
    int oneRow = kMargin - kGap;
    for (int width : kWidths) oneRow += kGap + width;
    // Where one row is too narrow, the instrument's name keeps the first row
    // and the buttons start the next, together as they are used.
    const bool wraps = oneRow > client.Width - kRightMargin;
    std::array<int, kEditorControls> row{};
    std::array<int, kEditorControls> x{};
    int rows = 1;
    for (int c = 0, at = kMargin; c < kEditorControls; ++c) {
        if (at != kMargin && ((wraps && c == kZoom) || at + kWidths[c] > client.Width - kRightMargin))
            at = kMargin, ++rows;
        row[c] = rows - 1;
        x[c] = at;
        at += kWidths[c] + kGap;
    }
    EditorLayout layout;
    const int firstRowTop = client.Height - kRowStep * rows;
    for (int c = 0; c < kEditorControls; ++c)
        layout.Controls[c] = {x[c], firstRowTop + kRowStep * row[c], kWidths[c],
                              c == kInstrumentList ? kListHeight : kButtonHeight};
    layout.ViewsHeight = std::max(0, firstRowTop - kViewsAboveRow);
    return layout;
}

namespace {

long long OverlapArea(const ScreenRect& a, const ScreenRect& b) {
    long long w = std::min<long long>(a.X + a.Width, b.X + b.Width) - std::max(a.X, b.X);
    long long h = std::min<long long>(a.Y + a.Height, b.Y + b.Height) - std::max(a.Y, b.Y);
    return w > 0 && h > 0 ? w * h : 0;
}

// Along one direction: whole when it fits; else from the area's start, where
// the title bar and the first controls are.
int Along(int at, int length, int areaAt, int areaLength) {
    if (length <= areaLength) return std::clamp(at, areaAt, areaAt + areaLength - length);
    return areaAt;
}

}  // namespace

bool Overlapping(const ScreenRect& a, const ScreenRect& b) { return OverlapArea(a, b) > 0; }

ScreenRect OnAScreen(const ScreenRect& outer, const std::vector<ScreenRect>& available, ClientSize minimum) {
    if (available.empty()) return outer;
    const ScreenRect* home = &available.front();
    long long best = 0;
    for (const ScreenRect& area : available) {
        if (long long a = OverlapArea(outer, area); a > best) best = a, home = &area;
    }
    // A size kept on a larger desktop comes back to this one: a window taller
    // than its screen hides the controls at its foot.
    ScreenRect placed = outer;
    placed.Width = std::max(std::min(outer.Width, home->Width), minimum.Width);
    placed.Height = std::max(std::min(outer.Height, home->Height), minimum.Height);
    placed.X = Along(outer.X, placed.Width, home->X, home->Width);
    placed.Y = Along(outer.Y, placed.Height, home->Y, home->Height);
    return placed;
}

}  // namespace ziv
