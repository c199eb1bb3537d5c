#include "drawing/window_placement_qt.h"

#include "common/twips.h"
#include "drawing/window_layout.h"

#include <QApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace ziv {

namespace {

// A damaged file must not push the window to a coordinate that overflows.
int ScreenPixelsFromTwips(double twips) {
    constexpr double kLimit = 1'000'000.0;
    if (!std::isfinite(twips)) return 0;
    double pixels = std::nearbyint(PixelsFromTwips(twips));
    if (pixels > kLimit) return static_cast<int>(kLimit);
    if (pixels < -kLimit) return static_cast<int>(-kLimit);
    return static_cast<int>(pixels);
}

// Without any framed window yet, a generous guess keeps the windows apart.
constexpr FrameExtents kGuessedFrame{4, 32, 4, 4};

constexpr Qt::WindowStates kSizeStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

// A window's frame is known only once the window manager has framed it; any
// window of the program framed before (the operator window) tells its size;
// nothing when no window has a frame. A maximised window has a thinner frame (no borders) than a normal one, so
// only windows in the normal state count.
std::optional<FrameExtents> NormalFrameExtents() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->testAttribute(Qt::WA_WState_Created)) continue;
        if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) continue;
        QRect outer = window->frameGeometry();
        QRect inner = window->geometry();
        if (outer == inner) continue;  // not framed yet
        // Just made normal, the window manager has not restored it yet.
        if (window->screen() && outer.contains(window->screen()->availableGeometry())) continue;
        return FrameExtents{inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                            outer.bottom() - inner.bottom()};
    }
    return std::nullopt;
}

// The smallest frame the window can have: its controls decide, not the screen.
ClientSize MinimumOuter(const QWidget* window, const FrameExtents& frame) {
    QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    return {least.width() + frame.Left + frame.Right, least.height() + frame.Top + frame.Bottom};
}

QRect ToQRect(const ScreenRect& r) { return QRect(r.X, r.Y, r.Width, r.Height); }
ScreenRect FromQRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

static std::vector<ScreenRect> AvailableScreens() {
    std::vector<ScreenRect> areas;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary) areas.push_back(FromQRect(primary->availableGeometry()));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) areas.push_back(FromQRect(screen->availableGeometry()));
    return areas;
}

bool ApplyPlacement(QWidget* window, const WindowPlacement& placement) {
    window->setWindowState(window->windowState() & ~kSizeStates);
    if (!window->testAttribute(Qt::WA_WState_Created) && !window->testAttribute(Qt::WA_Resized)) window->adjustSize();
    QSize size = window->size();
    if (placement.Width > 0 && placement.Height > 0)
        size = QSize(ScreenPixelsFromTwips(placement.Width), ScreenPixelsFromTwips(placement.Height))
                   .expandedTo(window->minimumSize())
                   .boundedTo(window->maximumSize());
    // Top/Left are the frame's corner, brought onto a screen: a file written
    // on a larger desktop, or while the window was out of reach, must not
    // keep it there.
    auto known = NormalFrameExtents();
    FrameExtents frame = known.value_or(kGuessedFrame);
    const ScreenRect kept{ScreenPixelsFromTwips(placement.Left), ScreenPixelsFromTwips(placement.Top),
                          size.width() + frame.Left + frame.Right, size.height() + frame.Top + frame.Bottom};
    const ScreenRect outer = OnAScreen(kept, AvailableScreens(), MinimumOuter(window, frame));
    size = QSize(outer.Width - frame.Left - frame.Right, outer.Height - frame.Top - frame.Bottom);
    QPoint corner(outer.X, outer.Y);
    // A window not yet shown has no frame, and on X Qt would put its client
    // area at the corner, hiding the title bar above the screen; where another
    // window's frame is known, the client area goes that frame's extent further in.
    if (window->testAttribute(Qt::WA_WState_Created) || !known) {
        window->resize(size);
        window->move(corner);
    } else {
        window->setGeometry(QRect(corner + QPoint(frame.Left, frame.Top), size));
    }
    if (placement.State == 2) window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return !(outer == kept);
}

namespace {

// The window's frame, guessed while the window manager has not framed it.
QRect OuterOf(const QWidget* window, FrameExtents* frame) {
    QRect outer = window->frameGeometry(), inner = window->geometry();
    if (outer == inner) outer.adjust(-kGuessedFrame.Left, -kGuessedFrame.Top, kGuessedFrame.Right, kGuessedFrame.Bottom);
    *frame = {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
              outer.bottom() - inner.bottom()};
    return outer;
}

}  // namespace

void KeepOnScreen(QWidget* window) {
    if (window->windowState() & kSizeStates) return;
    FrameExtents frame;
    QRect outer = OuterOf(window, &frame);
    ScreenRect placed = OnAScreen(FromQRect(outer), AvailableScreens(), MinimumOuter(window, frame));
    if (placed.Width != outer.width() || placed.Height != outer.height())
        window->resize(placed.Width - frame.Left - frame.Right, placed.Height - frame.Top - frame.Bottom);
    if (placed.X != outer.x() || placed.Y != outer.y())
        window->move(window->pos() + QPoint(placed.X - outer.x(), placed.Y - outer.y()));
}

void KeepApart(QWidget* measurement, QWidget* editor) {
    for (QWidget* window : {measurement, editor})
        if (window->windowState() & kSizeStates) return;
    FrameExtents frame;
    QRect a = OuterOf(measurement, &frame), b = OuterOf(editor, &frame);
    if (Overlapping(FromQRect(a), FromQRect(b))) PlaceAtFirstStart(measurement, editor);
}

WindowPlacement TakePlacement(QWidget* window) {
    WindowPlacement placement;
    placement.State = window->windowState().testFlag(Qt::WindowMaximized) &&
                              !window->windowState().testFlag(Qt::WindowMinimized)
                          ? 2
                          : 0;
    // The window manager restores a maximised window after a round trip, so
    // the place read right after making it normal would still be the
    // maximised one. Qt keeps the normal client area; the frame's corner lies
    // a normal window's frame extent above and left of it.
    QPoint at = window->pos();
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        QRect normal = window->normalGeometry();
        if (normal.isValid()) {
            QPoint now = window->geometry().topLeft() - window->frameGeometry().topLeft();
            auto frame = NormalFrameExtents();
            at = normal.topLeft() - (frame ? QPoint(frame->Left, frame->Top) : now);
        }
    }
    QSize size = window->size();
    if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen) && window->normalGeometry().isValid())
        size = window->normalGeometry().size();
    // A size larger than the screen is never kept: the next start would open
    // with the controls at its foot out of reach.
    if (QScreen* screen = window->screen()) {
        FrameExtents frame;
        OuterOf(window, &frame);
        size = size.boundedTo(screen->availableGeometry().size() -
                              QSize(frame.Left + frame.Right, frame.Top + frame.Bottom));
    }
    window->setWindowState(window->windowState() & ~kSizeStates);
    placement.Width = static_cast<double>(size.width()) * kTwipsPerPixel;
    placement.Height = static_cast<double>(size.height()) * kTwipsPerPixel;
    placement.Top = static_cast<double>(at.y()) * kTwipsPerPixel;
    placement.Left = static_cast<double>(at.x()) * kTwipsPerPixel;
    return placement;
}

void PlaceAtFirstStart(QWidget* measurement, QWidget* editor) {
    if (!measurement && !editor) return;
    QWidget* any = measurement ? measurement : editor;
    QScreen* screen = any->screen() ? any->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect free = screen->availableGeometry();
    QSize editorSize = editor ? editor->size().expandedTo(editor->minimumSize()) : QSize();
    QSize editorMinimum = editor ? editor->minimumSize() : QSize();
    QSize measurementMinimum = measurement ? measurement->minimumSizeHint().expandedTo(measurement->minimumSize()) : QSize();
    FirstStartPlaces places = FirstStartPlacesFor(
        {free.x(), free.y(), free.width(), free.height()}, NormalFrameExtents().value_or(kGuessedFrame),
        {editorSize.width(), editorSize.height()}, {editorMinimum.width(), editorMinimum.height()},
        {measurementMinimum.width(), measurementMinimum.height()});
    if (editor) editor->setGeometry(ToQRect(places.Editor));
    if (measurement) measurement->setGeometry(ToQRect(places.Measurement));
}

}  // namespace ziv
