#pragma once
// Control limits that quality staff fix from a base period, for each point and
// machine, so that the station can warn at the machine when a process leaves
// the state it was in then. Kept per product in its folder:
//
//   <product>/管理限界.txt
//
// UTF-8, CR LF, tab-separated (a spreadsheet opens it as a table). The first
// line is "ZIV 管理限界 1", the second names the columns, then one line per
// point and machine of each fixing:
//
//   版            the fixing's number, 1 for the first; a new fixing adds lines
//                 with the next number and keeps every older line
//   確定日時      when it was fixed, 2026-03-16T08:30:00.000+09:00
//   確定者        who fixed it
//   基準開始, 基準終了   the base period, 2026-03-01
//   番号, 号機    the point and the machine
//   n             how many values of the base period the limits come from
//   中心線, 上方管理限界, 下方管理限界   the individuals chart: x̄ and x̄ ± 2.66 MR̄
//   移動範囲中心, 移動範囲上限           the moving-range chart: MR̄ and 3.267 MR̄
//   寸法, 上限, 下限     the tolerances the limits were made under, as the
//                        day workbooks hold them
//
// Numbers are the shortest text that reads back as the same double. A point
// and machine is under the lines of the newest fixing that names it. A file
// with any line that does not read is damaged: it is reported and never
// written over, so that nothing a quality engineer fixed is lost by a save.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/disk.h"
#include "common/failure.h"
#include "common/text_file.h"
#include "common/timestamp.h"
#include "platform/file_lock.h"
#include "records/day_book_name.h"
#include "report/capability.h"
#include "report/spc.h"

namespace ziv::report {

struct FixedLimit {
    int Version = 0;
    Timestamp FixedAt;
    std::string FixedBy;
    Date From, To;
    int Point = 0, Machine = 0;
    size_t N = 0;
    ControlLimits Limits;
    LimitTexts Tolerance;
    bool operator==(const FixedLimit&) const = default;
};

// <product>/管理限界.txt
std::string FixedLimitsPath(const std::string& productDir);

struct FixedLimitsRead {
    ReadStatus status = ReadStatus::Missing;
    // Why it cannot be used: Unreadable (err), or ContentDamaged (subject: the line).
    FileResult problem;
    std::vector<FixedLimit> limits;  // every line of every fixing, in file order
};
FixedLimitsRead ReadFixedLimits(const std::string& path, Disk& disk = RealDisk());
FixedLimitsRead ParseFixedLimits(std::string_view bytes, const std::string& path = {});
std::string FixedLimitsText(const std::vector<FixedLimit>& limits);

// (point, machine) -> the newest fixing's limits for it.
using CurrentLimits = std::map<std::pair<int, int>, FixedLimit>;
CurrentLimits CurrentFixedLimits(const std::vector<FixedLimit>& limits);

// Limits from the capability rows of a base period, each row's own chart
// limits: one per point and machine with at least two values (the last set of
// limits where they changed within the period, since that is what the machine
// makes to now). Pooled rows and rows without spread give none.
std::vector<FixedLimit> LimitsFromRows(const std::vector<CapabilityRow>& rows);

// Adds `fresh` to the file as a new fixing, numbered one above the newest,
// with who and when stamped on every line, under the file's lock. Refused,
// with nothing written, when the file cannot be read or is damaged.
FileResult AddFixing(Files files, const std::string& path, std::vector<FixedLimit> fresh, const std::string& fixedBy,
                     const Timestamp& when, int* version = nullptr);

}  // namespace ziv::report
