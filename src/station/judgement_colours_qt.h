#pragma once
// How a judged row reads from a step away: a failed value and its 「不」 in
// bold white on strong red, a 「合」 in white on bluish green. The two colours
// differ in lightness and in blue, so they stay apart for colour-blind eyes
// too. Only the grid shows them; no file holds them.
#include <QColor>

namespace ziv {

class FlexGrid;

inline const QColor kFailColour{0xCC, 0x00, 0x00};
inline const QColor kPassColour{0x00, 0x79, 0x6B};

// The row styler of the measurement grids.
void ColourJudgedRow(FlexGrid& grid, int row);

}  // namespace ziv
