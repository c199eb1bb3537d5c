#pragma once
// Control limits that quality staff fix from a base period, for each point and
// machine, so that the station can warn at the machine when a process leaves
// the state it was in then. Kept per product in its folder:
//
//   <product>/管理限界.txt
//
// UTF-8, CR LF, tab-separated (a spreadsheet opens it as a table). The first
// line is "ZIV 管理限界 2", the second names the columns, then one line per
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
//   少数で確定    "1" where fewer than 20 values were allowed, else empty
//   残した信号    signals left in the base period by a forced fixing, else 0
//   読み取りの刻み  the step the base period's values were read to (0: finer
//                 than 1e-8)
//   刻みが粗い    "1" where that step was too coarse for the variation
//   除外          the values left out, "2026-03-05#2 10.085 刃先欠け" each (the
//                 second value of that working date), joined by "; "; a ";"
//                 or "\" of a reason is escaped with "\"
//
// Files of version 1 ("ZIV 管理限界 1", the first sixteen columns) still
// read: their lines tell nothing of the base period's checks.
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

// A value of a base period left out of the limits, and why.
struct ExcludedValue {
    Date Day;
    int Order = 1;  // the Order-th value of that working date on the point and machine
    double Value = 0;
    std::string Reason;
    bool operator==(const ExcludedValue&) const = default;
};

// What the base period showed when limits were fixed from it, and what the
// person fixing let pass: a quality engineer reading the file later sees
// how far the limits can be trusted.
struct BaseFindings {
    bool FewAllowed = false;  // fewer values than a base period asks for, fixed all the same
    size_t SignalsKept = 0;   // points with a signal left in the values, fixed all the same
    double Step = 0;          // the reading step of the values; 0 unknown or finer than 1e-8
    bool CoarseStep = false;  // the step too coarse for the variation (BaseReview::CoarseStep)
    std::vector<ExcludedValue> Excluded;
    bool operator==(const BaseFindings&) const = default;
};

struct FixedLimit {
    int Version = 0;
    Timestamp FixedAt;
    std::string FixedBy;
    Date From, To;
    int Point = 0, Machine = 0;
    size_t N = 0;
    ControlLimits Limits;
    LimitTexts Tolerance;
    BaseFindings Base = {};  // initialized, so that fixings listed field by field without it stay warning-free
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

// The capability rows of a base period that limits are fixed from: one per
// point and machine (the last set of limits where they changed within the
// period, since that is what the machine makes to now). Pooled rows give none.
std::vector<const CapabilityRow*> BaseRows(const std::vector<CapabilityRow>& rows);

// Adds `fresh` to the file as a new fixing, numbered one above the newest,
// with who and when stamped on every line, under the file's lock. Refused,
// with nothing written, when the file cannot be read or is damaged.
FileResult AddFixing(Files files, const std::string& path, std::vector<FixedLimit> fresh, const std::string& fixedBy,
                     const Timestamp& when, int* version = nullptr);

}  // namespace ziv::report
