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
    bool NameRead = false;           // the file name is a day workbook's
    std::string ProductDir;          // <product> of <product>/data/<book>
    std::optional<int> MasterPoints; // points with a nominal size in data.xls
    int Measured = 0, Passed = 0, Failed = 0;
    // <product>/<product name>.jpg and the positions of <product>/Data.dat;
    // empty path or no table when either is missing: the report is the table alone.
    std::string DrawingPath;
    std::optional<PointTable> Points;
};

// Reads the book and what lies beside it; nothing, and the reason, when the
// book itself cannot be read.
std::optional<DayReport> LoadDayReport(const std::string& bookPath, std::string* error);

// The row of a point, or nothing.
const PointRow* FindRow(const DayBookData& book, int point);

}  // namespace ziv::report
