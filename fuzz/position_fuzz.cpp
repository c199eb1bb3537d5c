// libFuzzer target: any bytes as DrawPos.dat / DrawPosMain.dat. The last whole
// triple of lines is the placement (none without one), the state stays a
// 16-bit number, and a placement saves and reads back with a minimised
// window stored as a normal one.
#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "drawing/position_files.h"
#include "fuzz_support.h"

namespace ziv::fuzz::position {

bool Near(double read, double written) {
    return std::fabs(read - written) <= 1e-6 * std::fabs(written) + std::numeric_limits<float>::denorm_min();
}

void CheckSaved(const WindowPlacement& placement) {
    const std::string path = ScratchPath("DrawPos-saved.dat");
    ZIV_FUZZ_CHECK(SaveWindowPlacement(path, placement));
    auto lines = ReadTextLines(path);
    ZIV_FUZZ_CHECK(lines && lines->size() == 3);
    auto again = LoadWindowPlacement(path);
    ZIV_FUZZ_CHECK(again.has_value());
    ZIV_FUZZ_CHECK(again->State == (placement.State == 1 ? 0 : placement.State));
    // The file keeps single precision: only what fits a float comes back.
    for (auto [read, written] : {std::pair{again->Top, placement.Top}, std::pair{again->Left, placement.Left}})
        if (std::fabs(written) <= FLT_MAX) ZIV_FUZZ_CHECK(Near(read, static_cast<float>(written)));
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    const std::string path = ScratchPath("DrawPos.dat");
    PutFile(path, bytes);
    std::vector<std::string> lines = SplitLines(FromCp932(bytes));

    auto placement = LoadWindowPlacement(path);
    ZIV_FUZZ_CHECK(placement.has_value() == (lines.size() >= 3));
    if (!placement) return 0;
    size_t last = (lines.size() / 3 - 1) * 3;
    ZIV_FUZZ_CHECK(placement->Top == NumberFromText(lines[last]));
    ZIV_FUZZ_CHECK(placement->Left == NumberFromText(lines[last + 1]));
    ZIV_FUZZ_CHECK(placement->State == WholeNumberClamped(lines[last + 2], -32768, 32767));
    CheckSaved(*placement);
    return 0;
}

}  // namespace ziv::fuzz::position

ZIV_FUZZ_ENTRY_POINT(position)
