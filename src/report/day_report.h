#pragma once
// What the inspection report of one day workbook shows: the header figures,
// the rows and, when the product has them, its drawing and point positions.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/timestamp.h"
#include "drawing/point_table.h"
#include "report/collect.h"
#include "report/part_facts.h"

namespace ziv::report {

enum class PointVerdict { NotMeasured, Pass, Fail, Unjudged };
// "合" or OK passes, "不" or NG fails; a value without either is unjudged.
PointVerdict VerdictOf(const PointRow& row);

// Where a value of the book came from, as the measurement journal tells it.
struct ValueSource {
    std::string Gauge;  // the gauge's control number; empty for a typed value or a gauge without one
    std::string Time;   // ValueTimeText
    bool GaugeOverdue = false;  // taken with a gauge past its calibration due date
    bool operator==(const ValueSource&) const = default;
};

struct DayReport {
    DayBookData Book;
    std::string ProductDir;          // <product> of <product>/data/<book>; empty for a book elsewhere
    std::optional<int> MasterPoints; // points with a nominal size in data.xls
    int Measured = 0, Passed = 0, Failed = 0;
    // <product>/<product name>.jpg and the positions of <product>/Data.dat;
    // empty path or no table when either is missing: the report is the table alone.
    std::string DrawingPath;
    std::optional<PointTable> Points;
    // What a customer's record names the part by: the product folder's part
    // facts, all empty when it has none.
    PartFacts Facts;
    // By point, the values whose entry the journals of the book's working
    // date, operator and machine hold; a value the journal does not know has
    // no source rather than a guessed one.
    std::map<int, ValueSource> Sources;
    // What lies beside the book but could not be read (the part facts, a
    // journal), in the words the window and the command line show: the report
    // is made without it, and they say so.
    std::vector<std::string> Unread;
};

// The lot an inspection record is made for, given when it is made.
struct LotFacts {
    std::string Number;
    std::optional<long long> Quantity;
};

// A quantity as typed: a whole number from 0, in ASCII or full-width digits
// (what a Japanese input method leaves), blanks around it ignored; nothing for
// anything else, a sign or a separator included, or more than 12 digits.
std::optional<long long> ParseQuantity(std::string_view text);

// The time of a value in the report's table: "14:05:09" on the book's
// working date; a value taken after midnight under the same working date
// carries its day, "3/8 00:12:03".
std::string ValueTimeText(const Timestamp& time, const Date& workDate);

// Why there is no report of a file.
struct DayReportRefusal {
    enum class Kind { Missing, NotADayBook, Unreadable } Why = Kind::Missing;
    FileResult Problem;  // Unreadable: what went wrong
};

// Reads the book and what lies beside it. Operator, product, machine and date
// come from the book's place: in <product>/data its name must be a day
// workbook's of that product; elsewhere (a copy) only a name that splits one
// way into operator and product is taken. Anything else, the product master
// included, is refused rather than reported under the wrong names. A book in
// its product folder also gets the part facts and the sources of its values;
// a copy has neither, since nothing ties it to a product folder's files.
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
