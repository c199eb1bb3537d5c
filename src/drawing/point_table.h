#pragma once
// Where each measurement point lies on the product's drawing (overview twips)
// and which instrument measures it, one table per machine slot, and the
// product's Data.dat that keeps it.
#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "common/station_limits.h"
#include "common/text_file.h"
#include "platform/file_lock.h"
#include "records/line_times.h"

namespace ziv {

constexpr int kPointEntries = 201;  // entries 0..200; points 1..100 are used
constexpr int kMachineSlots = 101;  // slots 0..100
constexpr int kPointTableLines = kPointEntries * 3;

struct PointTable {
    std::array<float, kPointEntries> PosX{};
    std::array<float, kPointEntries> PosY{};
    std::array<std::int16_t, kPointEntries> InstrumentIndex{};

    // A point with X or Y at 0 is unplaced and never drawn.
    bool IsPlaced(int entry) const;
    void Clear();
    bool operator==(const PointTable&) const = default;
};

using PointTables = std::array<PointTable, kMachineSlots>;
// 1 when the slot's table came from a file or was created by a save.
using PointsLoadedFlags = std::array<std::int16_t, kPointEntries>;

bool IsPointNumber(int row);
bool IsMachineSlot(int machine);

// Reads Data.dat into table. False when the file is missing or unreadable;
// the table is then left as it was. Records are read in order until the
// lines run out or the table is full; a trailing record with fewer than three
// lines is not read, and entries beyond the records read keep their values.
// slot is the machine whose table it is: each table merges from the version
// it was read as. Readers that keep no table of their own share kNoSlot.
constexpr int kNoSlot = -1;
bool ReadPointTable(const std::string& path, PointTable& table, int slot = kNoSlot, Disk& disk = RealDisk());
// The same, telling a missing file from one that exists but cannot be read
// (error then holds the message naming it); the table changes only when read.
ReadStatus ReadPointTableFile(const std::string& path, PointTable& table, FileResult* problem = nullptr,
                              int slot = kNoSlot, Disk& disk = RealDisk());

// 603 lines in the sign-column form, CR LF after each, nothing more.
std::string PointTableText(const PointTable& table);
// Refused, with nothing written, when the file exists but cannot be read: the
// points it holds would be lost.
// Stations share Data.dat: under the lock beside it, a point of table that
// differs from the version the slot's table was read or written as was designated
// here and wins; every other point comes from the file as it is now. Refused
// when the lock cannot be had in a few seconds (the table stays in memory).
// *saved, when given, receives the table as written.
FileResult SavePointTable(Files files, const std::string& path, const PointTable& table, PointTable* saved = nullptr,
                          int slot = kNoSlot);

// One point's place and instrument, as designated.
struct DesignatedPoint {
    float X = 0, Y = 0;
    std::int16_t Instrument = 0;
    bool operator==(const DesignatedPoint&) const = default;
};
DesignatedPoint PointOf(const PointTable& table, int point);
struct TimedDesignation {
    DesignatedPoint Designated;
    MeasuredAt At;
};
// <product>/Data.times: when each point of Data.dat was designated
// (records/line_times.h), lines numbered by point.
inline constexpr std::string_view kPointTimesFirstLine = "ZIV point times 1";
std::string PointTimesPath(const std::string& pointFile);
// Writes points (point number -> designation) into the Data.dat at path as it
// is now, under its lock: a point the file's times say was designated later
// stays, and so does every point not given. Refused, with nothing written,
// when the file exists but cannot be read. *written receives the file's
// points as written.
FileResult SaveDesignatedPoints(Files files, const std::string& path, const std::map<int, TimedDesignation>& points,
                                PointTable* written = nullptr);

std::string PointTableFilePath(const std::string& productFolder);  // <folder>/Data.dat
std::string ExportFilePath(const std::string& productFolder);      // <folder>/Data.jpg

}  // namespace ziv
