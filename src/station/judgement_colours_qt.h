#pragma once
// How a judged row reads from a step away: a failed value and its 「不」 in
// bold white on strong red, a 「合」 in white on bluish green. The two colours
// differ in lightness and in blue, so they stay apart for colour-blind eyes
// too. Only the grid shows them; no file holds them.
#include <QColor>
#include <QVariant>

#include "station/machine_sheet.h"

namespace ziv {

inline const QColor kFailColour{0xCC, 0x00, 0x00};
inline const QColor kPassColour{0x00, 0x79, 0x6B};

// The background, text colour or font (by role) of a cell in the given
// column of a row; nothing where the row's judgement asks for none.
QVariant JudgementLook(const SheetRow& row, int column, int role);

}  // namespace ziv
