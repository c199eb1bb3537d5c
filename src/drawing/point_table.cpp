#include "drawing/point_table.h"

#include <cmath>
#include <limits>

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// A position that does not fit a single-precision value (or is not a number)
// counts as a damaged line and reads 0, like any other unreadable line.
float PositionFromLine(const std::string& line) {
    double value = NumberFromText(line);
    if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) return 0.0f;
    return static_cast<float>(value);
}

std::int16_t IndexFromLine(const std::string& line) {
    return static_cast<std::int16_t>(WholeNumberClamped(line, std::numeric_limits<std::int16_t>::min(),
                                                        std::numeric_limits<std::int16_t>::max()));
}

}  // namespace

bool PointTable::IsPlaced(int entry) const {
    if (entry < 0 || entry >= kPointEntries) return false;
    return PosX[entry] != 0.0f && PosY[entry] != 0.0f;
}

void PointTable::Clear() { *this = PointTable{}; }

bool IsPointNumber(int row) { return row >= kFirstPoint && row <= kLastPoint; }

bool IsMachineSlot(int machine) { return machine >= 0 && machine < kMachineSlots; }

ReadStatus ReadPointTableFile(const std::string& path, PointTable& table, std::string* error) {
    TextRead text = ReadTextFile(path);
    if (text.unreadable() && error) *error = UnreadableFileMessage(path, text.error);
    if (!text.read()) return text.status;
    const auto& lines = text.lines;
    size_t records = std::min<size_t>(lines.size() / 3, kPointEntries);
    for (size_t i = 0; i < records; ++i) {
        table.PosX[i] = PositionFromLine(lines[3 * i]);
        table.PosY[i] = PositionFromLine(lines[3 * i + 1]);
        table.InstrumentIndex[i] = IndexFromLine(lines[3 * i + 2]);
    }
    return ReadStatus::Read;
}

bool ReadPointTable(const std::string& path, PointTable& table) {
    return ReadPointTableFile(path, table) == ReadStatus::Read;
}

std::string PointTableText(const PointTable& table) {
    std::string text;
    text.reserve(kPointTableLines * 6);
    for (int i = 0; i < kPointEntries; ++i) {
        text += SignColumnText(table.PosX[i]) + "\r\n";
        text += SignColumnText(table.PosY[i]) + "\r\n";
        text += SignColumnText(table.InstrumentIndex[i]) + "\r\n";
    }
    return text;
}

WriteResult SavePointTable(const std::string& path, const PointTable& table) {
    if (TextRead current = ReadTextFile(path); current.unreadable())
        return {false, UnreadableFileMessage(path, current.error)};
    return WriteTextFile(path, PointTableText(table));
}

std::string PointTableFilePath(const std::string& productFolder) { return JoinPath(productFolder, "Data.dat"); }

std::string ExportFilePath(const std::string& productFolder) { return JoinPath(productFolder, "Data.jpg"); }

}  // namespace ziv
