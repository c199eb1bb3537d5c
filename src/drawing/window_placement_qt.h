#pragma once
// Moves a window to a remembered place and reads its place back, in the
// twips that DrawPos.dat and DrawPosMain.dat hold.
#include "drawing/position_files.h"

class QWidget;

namespace ziv {

// Top/Left become the window's outer position, brought onto a screen, and a
// kept size its size, made smaller where the screen is; state 2 maximises
// it, any other state leaves it normal. True when the place or the size had
// to be changed to fit the screen (a file from another desktop).
bool ApplyPlacement(QWidget* window, const WindowPlacement& placement);

// Brings a normal window back onto a screen, its size too where it is larger
// than the screen (a window placed before the window manager framed it).
void KeepOnScreen(QWidget* window);

// Puts both windows side by side as at the first start where they overlap:
// for windows brought from another desktop, so that the editor does not stay
// hidden behind the measurement window. Maximised windows are left as the
// operator chose.
void KeepApart(QWidget* measurement, QWidget* editor);

// Remembers the window's state (minimised stored as 0), makes the window
// normal and reads Top/Left and the size of the restored window.
WindowPlacement TakePlacement(QWidget* window);

// Puts the windows that have no remembered place side by side on the screen
// of the measurement window (see window_layout.h); a null window is left
// where it is. Call before the windows are shown.
void PlaceAtFirstStart(QWidget* measurement, QWidget* editor);

}  // namespace ziv
