#pragma once
// What the inspection report of one day workbook shows: the header figures,
// the rows and, when the product has them, its drawing and point positions.
#include <array>
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
// The station's verdict: "合" or OK passes, "不" or NG fails. A number the
// station left without one is judged here against the book's limits as the
// station judges (a value beyond a limit must never read as done); a text
// without either, or a number with no limit to judge it by (a reference
// dimension), is unjudged.
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
    // The master's texts by point, as drawn ("0.010" where the book keeps 0.01).
    std::map<int, std::array<std::string, 3>> MasterTexts;
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

// The verdict on a whole inspection record, from its characteristics: the
// rows of the book with a nominal size (the book was made from the master,
// and keeps the limits it was measured against), any the master has gained
// since (masterPoints; not measured either), and values outside the master.
// 不合格 with the number of characteristics that failed, whether or not others
// are missing; otherwise 未完了 with the number not measured; otherwise 合格.
// The verdict counts judged characteristics only: any with a value but no
// verdict is named beside it ("判定なし 1点（番号 3）"), and 合格 then says how
// many it covers. A record with no point to measure is never 合格.
// Passed + Failed + Unjudged + NotMeasured is every characteristic.
enum class RecordVerdictKind { Pass, Fail, Incomplete };
struct RecordVerdict {
    RecordVerdictKind Kind = RecordVerdictKind::Incomplete;
    int Passed = 0, Failed = 0, NotMeasured = 0;
    std::vector<int> Unjudged;  // point numbers
    int Measured() const { return Passed + Failed + static_cast<int>(Unjudged.size()); }
    int Characteristics() const { return Measured() + NotMeasured; }
    bool operator==(const RecordVerdict&) const = default;
};
RecordVerdict VerdictOfRecord(const DayBookData& book, std::optional<int> masterPoints);
RecordVerdict VerdictOfRecord(const DayReport& report);
// "合格", "合格（判定 2点）　判定なし 1点（番号 3）", "不合格（2点）", "未完了（未測定 3点）"
std::string RecordVerdictText(const RecordVerdict& verdict);

// One line of the record's table as it is printed: the nominal size and the
// tolerances as drawn (the master's text where it is the book's number, so
// "0.010" keeps its places; the part facts' 桁数 where given; "+" before a
// tolerance above 0), the verdict the record counts ("—" for none), and what
// the part facts say of the point (unit "mm" unless named; quantity 1 for a
// measured point unless named). The shop's correction is no part of it.
struct RecordLine {
    std::string Point, Name, Symbol, Nominal, Upper, Lower, Unit, Quantity, InputName, Value, Verdict, Gauge, Time;
    bool Key = false, Failed = false, GaugeOverdue = false;
};
std::vector<RecordLine> RecordLines(const DayReport& report);

// The values of a report taken with a gauge past its calibration due date.
int OverdueValues(const DayReport& report);

}  // namespace ziv::report
