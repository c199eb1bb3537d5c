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

}  // namespace ziv::report
