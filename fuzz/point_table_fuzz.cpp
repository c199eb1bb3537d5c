// libFuzzer target: any bytes as a product's Data.dat. Whole three-line
// records fill the table from entry 0, anything past them keeps what the
// table held, unreadable or oversized positions read 0, and the table read
// must save as 603 lines that read back to the same points.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "drawing/point_table.h"
#include "fuzz_support.h"

namespace ziv::fuzz::point_table {

PointTable Marked(float shift) {
    PointTable table;
    for (int i = 0; i < kPointEntries; ++i) {
        table.PosX[i] = static_cast<float>(i) + shift;
        table.PosY[i] = -static_cast<float>(i) - shift;
        table.InstrumentIndex[i] = static_cast<std::int16_t>(i);
    }
    return table;
}

float ExpectedPosition(const std::string& line) {
    double value = NumberFromText(line);
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return 0.0f;
    return static_cast<float>(value);
}

bool Near(float read, float written) {
    return std::fabs(read - written) <= 1e-6f * std::fabs(written) + std::numeric_limits<float>::denorm_min();
}

void CheckSaved(const PointTable& table) {
    const std::string path = ScratchPath("Data-saved.dat");
    // The fuzzer's scratch file is its own: no other station shares it.
    ZIV_FUZZ_CHECK(SavePointTable({RealDisk(), NoFileLocks()}, path, table));
    auto lines = ReadTextLines(path);
    ZIV_FUZZ_CHECK(lines && lines->size() == static_cast<size_t>(kPointTableLines));
    PointTable again = Marked(0.75f);
    ZIV_FUZZ_CHECK(ReadPointTable(path, again));
    for (int i = 0; i < kPointEntries; ++i) {
        ZIV_FUZZ_CHECK(Near(again.PosX[i], table.PosX[i]) && Near(again.PosY[i], table.PosY[i]));
        ZIV_FUZZ_CHECK(again.InstrumentIndex[i] == table.InstrumentIndex[i]);
        ZIV_FUZZ_CHECK(again.IsPlaced(i) == table.IsPlaced(i));
    }
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    const std::string path = ScratchPath("Data.dat");
    PutFile(path, bytes);
    std::vector<std::string> lines = SplitLines(FromCp932(bytes));

    const PointTable before = Marked(0.5f);
    PointTable table = before;
    ZIV_FUZZ_CHECK(ReadPointTable(path, table));
    size_t records = std::min<size_t>(lines.size() / 3, kPointEntries);
    for (size_t i = 0; i < kPointEntries; ++i) {
        if (i >= records) {
            ZIV_FUZZ_CHECK(table.PosX[i] == before.PosX[i] && table.PosY[i] == before.PosY[i] &&
                           table.InstrumentIndex[i] == before.InstrumentIndex[i]);
            continue;
        }
        ZIV_FUZZ_CHECK(table.PosX[i] == ExpectedPosition(lines[3 * i]));
        ZIV_FUZZ_CHECK(table.PosY[i] == ExpectedPosition(lines[3 * i + 1]));
        ZIV_FUZZ_CHECK(table.InstrumentIndex[i] == WholeNumberClamped(lines[3 * i + 2], -32768, 32767));
    }
    CheckSaved(table);
    return 0;
}

}  // namespace ziv::fuzz::point_table

ZIV_FUZZ_ENTRY_POINT(point_table)
