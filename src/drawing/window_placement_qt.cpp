#include "drawing/window_placement_qt.h"

#include <QWidget>
#include <cmath>
#include <limits>

namespace ziv {

namespace {

// A damaged file must not push the window to a coordinate that overflows.
int PixelsFromTwips(double twips) {
    constexpr double kLimit = 1'000'000.0;
    if (!std::isfinite(twips)) return 0;
    double pixels = std::nearbyint(twips / kTwipsPerPixel);
    if (pixels > kLimit) return static_cast<int>(kLimit);
    if (pixels < -kLimit) return static_cast<int>(-kLimit);
    return static_cast<int>(pixels);
}

constexpr Qt::WindowStates kSizeStates = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;

}  // namespace

void ApplyPlacement(QWidget* window, const WindowPlacement& placement) {
    window->setWindowState(window->windowState() & ~kSizeStates);
    window->move(PixelsFromTwips(placement.Left), PixelsFromTwips(placement.Top));
    if (placement.State == 2) window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

WindowPlacement TakePlacement(QWidget* window) {
    WindowPlacement placement;
    placement.State = window->windowState().testFlag(Qt::WindowMaximized) &&
                              !window->windowState().testFlag(Qt::WindowMinimized)
                          ? 2
                          : 0;
    window->setWindowState(window->windowState() & ~kSizeStates);
    QPoint at = window->pos();
    placement.Top = static_cast<double>(at.y()) * kTwipsPerPixel;
    placement.Left = static_cast<double>(at.x()) * kTwipsPerPixel;
    return placement;
}

}  // namespace ziv
