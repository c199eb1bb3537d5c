#pragma once
// The gauges behind the function keys: for each of F1..F10 the instrument's
// control number (管理番号) and the last day its calibration allows it to be
// used (校正期限), so that every reading names the gauge that took it and a
// gauge past its date is noticed.
//
// Kept in a file of its own beside RS232C.dat, whose 130 lines stay as they
// are: <root>/Config/Gauges.dat, Shift_JIS with CR LF like the other settings
// files, one "key=value" a line, two keys for each function key:
//
//   F1管理番号=MC-0012
//   F1校正期限=2025-03-31
//   F2管理番号=
//   F2校正期限=
//   …
//
// An empty or missing value means none is set. The date is written
// yyyy-mm-dd; yyyy/m/d is read too. A missing file names no gauge; a line
// that does not read (no "=", an unknown key, a date that does not exist) is
// skipped and counted, and the rest of the file still counts.
#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "common/text_file.h"
#include "common/timestamp.h"

namespace ziv {

struct Gauge {
    std::string ControlNumber;  // empty: none set
    std::optional<Day> Due;     // the last day it may be used
    bool operator==(const Gauge&) const = default;
};

// Index 0 = F1 … 9 = F10, as the instrument links.
using Gauges = std::array<Gauge, 10>;

// <root>/Config/Gauges.dat
std::string GaugesFilePath(const std::string& savePath);

struct GaugesRead {
    ReadStatus status = ReadStatus::Missing;
    Gauges gauges{};
    size_t damaged = 0;  // lines skipped
    FileResult problem;  // Unreadable, naming the file, when it cannot be read
};
GaugesRead ReadGauges(const std::string& path, Disk& disk = RealDisk());

// The whole file, written at once. Refused, with nothing written, when a
// control number holds a line break (KeySettingLineBreak, naming the key) or
// when the file exists but cannot be read (what it holds is not written over).
FileResult SaveGauges(const std::string& path, const Gauges& gauges, Disk& disk = RealDisk());

// The due date is the last day the gauge may be used: it is overdue from the
// day after. A gauge without a due date is never overdue.
bool IsOverdue(const Gauge& gauge, const Day& today);

}  // namespace ziv
