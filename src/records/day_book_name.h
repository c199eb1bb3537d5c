#pragma once
// The name of a day workbook, "<operator>_<product>_<m>号機_<y>年<m>月<d>日.xls":
// made here for the station and read back here for the report.
#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace ziv {

struct Date {
    int Year = 0, Month = 0, Day = 0;
    auto operator<=>(const Date&) const = default;
};

// The years whose day workbooks a report reads back by their names.
inline constexpr int kFirstReadableYear = 1000, kLastReadableYear = 9999;

// A real calendar day of those years.
bool IsCalendarDate(const Date& date);
// "2024-03-07", "2024/3/7" or "2024年3月7日"; nothing for anything else or a
// day that does not exist.
std::optional<Date> ParseDate(std::string_view text);
// "2024-03-07": sorts as text and is read by spreadsheets as a date.
std::string DateText(const Date& date);

struct DayBookName {
    std::string Operator;
    std::string Product;
    int Machine = 0;
    Date WorkDate;
};

// The working date as the station keeps it: "2024", "3", "7".
struct WorkDate {
    std::string Year, Month, Day;
    bool operator==(const WorkDate&) const = default;
};

// A day as the working date: "2024", "3", "7".
WorkDate WorkDateOf(const Date& date);
// The day of a working date, when it is one values may be recorded under:
// written as the station writes it, of a year a report reads back from the
// day workbook's name and the journal takes. Nothing otherwise.
std::optional<Date> RecordableDay(const WorkDate& date);

// The file name the station gives the day workbook.
std::string DayBookFileName(const std::string& userName, const std::string& productName, int machine,
                            const WorkDate& date);

// Reads a file name (no folder) from the right, so that operator and product
// names may hold "_". When the product name is known (the folder the book
// lies in) it must be the one in the name, and everything before it is the
// operator; otherwise the operator ends at the first "_". Nothing for a name
// the station does not write: another extension, a machine outside 0..47, a
// day that does not exist, leading zeros, an empty operator or product.
std::optional<DayBookName> ParseDayBookName(std::string_view fileName,
                                            std::optional<std::string_view> productName = std::nullopt);

}  // namespace ziv
