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

}  // namespace ziv
