#pragma once
// Moves a window to a remembered place and reads its place back, in the
// twips that DrawPos.dat and DrawPosMain.dat hold.
#include "drawing/position_files.h"

class QWidget;

namespace ziv {

// Top/Left become the window's outer position, brought onto a screen, and a
// kept size its size; state 2 maximises it, any other state leaves it normal.
void ApplyPlacement(QWidget* window, const WindowPlacement& placement);

// Moves a normal window whose title bar lies off every screen back onto one
// (a window placed before the window manager framed it).
void KeepTitleBarOnScreen(QWidget* window);

// Remembers the window's state (minimised stored as 0), makes the window
// normal and reads Top/Left and the size of the restored window.
WindowPlacement TakePlacement(QWidget* window);

// Puts the windows that have no remembered place side by side on the screen
// of the measurement window (see window_layout.h); a null window is left
// where it is. Call before the windows are shown.
void PlaceAtFirstStart(QWidget* measurement, QWidget* editor);

}  // namespace ziv
