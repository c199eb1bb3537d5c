#pragma once
// DrawPos.dat and DrawPosMain.dat: a window's Top, Left (twips) and state
// (0 normal, 2 maximised) as three sign-column lines, then the width and
// height of its normal client area (twips) as two more. Files written before
// sizes were kept end after the three lines; a reader of three-line groups
// still finds the place in the first three.
#include <optional>
#include <string>

#include "common/text_file.h"

namespace ziv {

struct WindowPlacement {
    double Top = 0;
    double Left = 0;
    int State = 0;
    // 0 when the file kept no size.
    double Width = 0;
    double Height = 0;
    bool operator==(const WindowPlacement&) const = default;
};

// The last complete triple of the file, with the size in the two lines after
// it when exactly two follow; nothing when the file is missing or holds no
// complete triple.
std::optional<WindowPlacement> LoadWindowPlacement(const std::string& path, Disk& disk = RealDisk());
// Writes the three lines, and the size when there is one; a minimised state
// (1) is stored as 0.
FileResult SaveWindowPlacement(const std::string& path, const WindowPlacement& placement, Disk& disk = RealDisk());

std::string EditorPlacementPath(const std::string& savePath);      // Config/DrawPos.dat
std::string MeasurementPlacementPath(const std::string& savePath); // Config/DrawPosMain.dat

}  // namespace ziv
