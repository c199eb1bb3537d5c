#pragma once
// What the inspection report of one day workbook shows: the header figures,
// the rows and, when the product has them, its drawing and point positions.
#include <optional>
#include <string>

#include "drawing/point_table.h"
#include "report/collect.h"

namespace ziv::report {

enum class PointVerdict { NotMeasured, Pass, Fail, Unjudged };
// "合" or OK passes, "不" or NG fails; a value without either is unjudged.
PointVerdict VerdictOf(const PointRow& row);

struct DayReport {
    DayBookData Book;
    std::string ProductDir;          // <product> of <product>/data/<book>; empty for a book elsewhere
    std::optional<int> MasterPoints; // points with a nominal size in data.xls
    int Measured = 0, Passed = 0, Failed = 0;
    // <product>/<product name>.jpg and the positions of <product>/Data.dat;
    // empty path or no table when either is missing: the report is the table alone.
    std::string DrawingPath;
    std::optional<PointTable> Points;
};

// Why there is no report of a file.
struct DayReportRefusal {
    enum class Kind { Missing, NotADayBook, Unreadable } Why = Kind::Missing;
    std::string EngineReason;  // Unreadable: the workbook engine's reason
};

// Reads the book and what lies beside it. Operator, product, machine and date
// come from the book's place: in <product>/data its name must be a day
// workbook's of that product; elsewhere (a copy) only a name that splits one
// way into operator and product is taken. Anything else, the product master
// included, is refused rather than reported under the wrong names.
std::optional<DayReport> LoadDayReport(const std::string& bookPath, DayReportRefusal* refusal);
// The refusal in the words the window and the command line show.
std::string RefusalText(const DayReportRefusal& refusal, const std::string& bookPath);

// The row of a point, or nothing.
const PointRow* FindRow(const DayBookData& book, int point);

// The verdict on a whole inspection record: 合格 only when every point of the
// master holds a value and none failed; 不合格 with the number of points that
// failed, whether or not others are missing; otherwise 未完了 with the number
// of master points without a value. The master's points are the rows of the
// book with a nominal size (the book was made from the master, and keeps the
// limits it was measured against); when the master now names more points
// than that (masterPoints), the ones the book lacks are not measured either.
// A record with no point to measure is never 合格.
enum class RecordVerdictKind { Pass, Fail, Incomplete };
struct RecordVerdict {
    RecordVerdictKind Kind = RecordVerdictKind::Incomplete;
    int Count = 0;  // points failed (Fail) or not measured (Incomplete)
    bool operator==(const RecordVerdict&) const = default;
};
RecordVerdict VerdictOfRecord(const DayBookData& book, std::optional<int> masterPoints);
RecordVerdict VerdictOfRecord(const DayReport& report);
// "合格", "不合格（2点）", "未完了（未測定 3点）"
std::string RecordVerdictText(const RecordVerdict& verdict);

}  // namespace ziv::report
