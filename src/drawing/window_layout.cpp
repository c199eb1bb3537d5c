#include "drawing/window_layout.h"

#include <algorithm>

namespace ziv {

FirstStartPlaces FirstStartPlacesFor(const ScreenRect& available, const FrameExtents& frame,
                                     ClientSize editor, ClientSize measurementMinimum) {
    const int horizontal = frame.Left + frame.Right;
    const int vertical = frame.Top + frame.Bottom;
    FirstStartPlaces places;

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

namespace {

long long OverlapArea(const ScreenRect& a, const ScreenRect& b) {
    long long w = std::min<long long>(a.X + a.Width, b.X + b.Width) - std::max(a.X, b.X);
    long long h = std::min<long long>(a.Y + a.Height, b.Y + b.Height) - std::max(a.Y, b.Y);
    return w > 0 && h > 0 ? w * h : 0;
}

// Along one direction: whole when it fits; else its start edge (the title
// bar, the first controls) no further out than `keep` pixels before the
// area's end.
int Along(int at, int length, int areaAt, int areaLength, int keep) {
    if (length <= areaLength) return std::clamp(at, areaAt, areaAt + areaLength - length);
    return std::clamp(at, areaAt, areaAt + std::max(areaLength - keep, 0));
}

}  // namespace

ScreenRect OnAScreen(const ScreenRect& outer, const std::vector<ScreenRect>& available, int titleHeight) {
    if (available.empty()) return outer;
    const ScreenRect* home = &available.front();
    long long best = 0;
    for (const ScreenRect& area : available) {
        if (long long a = OverlapArea(outer, area); a > best) best = a, home = &area;
    }
    // Enough of the title bar to take hold of it.
    constexpr int kTitleBarHold = 160;
    ScreenRect placed = outer;
    placed.X = Along(outer.X, outer.Width, home->X, home->Width, kTitleBarHold);
    placed.Y = Along(outer.Y, outer.Height, home->Y, home->Height, std::max(titleHeight, 1));
    return placed;
}

}  // namespace ziv
