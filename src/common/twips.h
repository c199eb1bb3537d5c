#pragma once
// Twips, the unit of every stored position and layout: window places in
// DrawPos.dat and DrawPosMain.dat, point positions in Data.dat, the grid's
// column widths and the editor's view sizes. Files written by earlier
// stations hold twips, so the system keeps them and turns them into pixels
// only where a window or an image is drawn, at the one ratio here.

namespace ziv {

constexpr int kTwipsPerPixel = 15;

constexpr double PixelsFromTwips(double twips) { return twips / kTwipsPerPixel; }
constexpr double TwipsFromPixels(double pixels) { return pixels * kTwipsPerPixel; }

}  // namespace ziv
