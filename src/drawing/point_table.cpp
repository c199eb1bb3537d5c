#include "drawing/point_table.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "common/numbers.h"
#include "platform/paths.h"
#include "platform/shared_file.h"

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

void TableFromLines(const std::vector<std::string>& lines, PointTable& table) {
    size_t records = std::min<size_t>(lines.size() / 3, kPointEntries);
    for (size_t i = 0; i < records; ++i) {
        table.PosX[i] = PositionFromLine(lines[3 * i]);
        table.PosY[i] = PositionFromLine(lines[3 * i + 1]);
        table.InstrumentIndex[i] = IndexFromLine(lines[3 * i + 2]);
    }
}

// The version of Data.dat each machine's table of this process last read or
// wrote: a point that differs from it was designated here since, every other
// point is whatever the file holds now (designated on another machine of this
// station, or by another station). One product may be shown on several
// machines, each with a table read at another time.
SharedFileVersions<PointTable>& KnownTables() {
    static SharedFileVersions<PointTable> known;
    return known;
}

std::string TableKey(const std::string& path, int slot) { return path + '\n' + std::to_string(slot); }

bool SamePoint(const PointTable& a, const PointTable& b, int i) {
    return a.PosX[i] == b.PosX[i] && a.PosY[i] == b.PosY[i] && a.InstrumentIndex[i] == b.InstrumentIndex[i];
}

void CopyPoint(const PointTable& from, PointTable& to, int i) {
    to.PosX[i] = from.PosX[i];
    to.PosY[i] = from.PosY[i];
    to.InstrumentIndex[i] = from.InstrumentIndex[i];
}

}  // namespace

bool PointTable::IsPlaced(int entry) const {
    if (entry < 0 || entry >= kPointEntries) return false;
    return PosX[entry] != 0.0f && PosY[entry] != 0.0f;
}

void PointTable::Clear() { *this = PointTable{}; }

bool IsPointNumber(int row) { return row >= kFirstPoint && row <= kLastPoint; }

bool IsMachineSlot(int machine) { return machine >= 0 && machine < kMachineSlots; }

ReadStatus ReadPointTableFile(const std::string& path, PointTable& table, FileResult* problem, int slot, Disk& disk) {
    StampedRead file = ReadStamped(path, disk);
    if (file.missing()) {
        KnownTables().Remember(TableKey(path, slot), {}, PointTable{});
        return ReadStatus::Missing;
    }
    if (file.err) {
        if (problem) *problem = Failed(Failure::Unreadable, path, file.err);
        return ReadStatus::Unreadable;
    }
    auto lines = SplitLines(FromCp932(file.bytes));
    TableFromLines(lines, table);
    PointTable read;
    TableFromLines(lines, read);
    KnownTables().Remember(TableKey(path, slot), file.stamp, read);
    return ReadStatus::Read;
}

bool ReadPointTable(const std::string& path, PointTable& table, int slot, Disk& disk) {
    return ReadPointTableFile(path, table, nullptr, slot, disk) == ReadStatus::Read;
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

FileResult SavePointTable(Files files, const std::string& path, const PointTable& table, PointTable* saved, int slot) {
    auto parse = [](const std::string& bytes) {
        PointTable disk;
        TableFromLines(SplitLines(FromCp932(bytes)), disk);
        return disk;
    };
    auto merge = [](const PointTable& mine, const PointTable& known, const PointTable& disk) {
        PointTable merged = mine;
        for (int i = 0; i < kPointEntries; ++i)
            if (SamePoint(mine, known, i)) CopyPoint(disk, merged, i);
        return merged;
    };
    return KnownTables().Save(files, path, TableKey(path, slot), table, parse, merge, PointTableText, saved);
}

DesignatedPoint PointOf(const PointTable& table, int point) {
    return {table.PosX[point], table.PosY[point], table.InstrumentIndex[point]};
}

std::string PointTimesPath(const std::string& pointFile) {
    return JoinPath(pointFile.substr(0, pointFile.find_last_of('/')), "Data.times");
}

FileResult SaveDesignatedPoints(Files files, const std::string& path, const std::map<int, TimedDesignation>& points,
                                PointTable* written) {
    std::string timesPath = PointTimesPath(path);
    return SaveUnderLock(files, path, LockWait::Patient, [&](const StampedRead& file, const FileLockHold& lock) {
        PointTable table;
        if (!file.missing()) TableFromLines(SplitLines(FromCp932(file.bytes)), table);
        LineTimes times = ReadLineTimes(timesPath, kPointTimesFirstLine, kFirstPoint, kLastPoint, files.disk);
        for (const auto& [point, p] : points) {
            if (!IsPointNumber(point) || !GoesIn(times, point, p.At)) continue;
            table.PosX[point] = p.Designated.X;
            table.PosY[point] = p.Designated.Y;
            table.InstrumentIndex[point] = p.Designated.Instrument;
            if (p.At.Ns != 0) times[point] = p.At;
        }
        FileResult result = WriteFileAtomic(path, PointTableText(table), nullptr, [&] { return lock.StillHeld(); },
                                            files.disk);
        if (!result) return result;
        // Without the times a later designation elsewhere only counts these points as old.
        if (!times.empty()) static_cast<void>(WriteLineTimes(timesPath, kPointTimesFirstLine, times, files.disk));
        if (written) *written = table;
        return result;
    });
}

std::string PointTableFilePath(const std::string& productFolder) { return JoinPath(productFolder, "Data.dat"); }

std::string ExportFilePath(const std::string& productFolder) { return JoinPath(productFolder, "Data.jpg"); }

}  // namespace ziv
