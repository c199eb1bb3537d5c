#include "records/day_book_name.h"

#include <cstdio>

#include "common/station_limits.h"

namespace ziv {

namespace {

// Decimal digits without sign or leading zero ("0" itself allowed), at most
// maxDigits of them.
std::optional<int> PlainNumber(std::string_view text, size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    if (text.size() > 1 && text[0] == '0') return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "2024年3月7日" as the station writes it.
std::optional<Date> StationDate(std::string_view text) {
    constexpr std::string_view kYear = "年", kMonth = "月", kDay = "日";
    if (!EndsWith(text, kDay)) return std::nullopt;
    text.remove_suffix(kDay.size());
    size_t y = text.find(kYear);
    if (y == std::string_view::npos) return std::nullopt;
    size_t m = text.find(kMonth, y + kYear.size());
    if (m == std::string_view::npos) return std::nullopt;
    auto year = PlainNumber(text.substr(0, y), 4);
    auto month = PlainNumber(text.substr(y + kYear.size(), m - y - kYear.size()), 2);
    auto day = PlainNumber(text.substr(m + kMonth.size()), 2);
    if (!year || !month || !day) return std::nullopt;
    Date date{*year, *month, *day};
    if (!IsCalendarDate(date)) return std::nullopt;
    return date;
}

// "2024年3月7日".
std::string DateInName(const WorkDate& date) { return date.Year + "年" + date.Month + "月" + date.Day + "日"; }

// Digits that may carry leading zeros (typed dates "2024-03-07").
std::optional<int> Digits(std::string_view text, size_t minDigits, size_t maxDigits) {
    if (text.size() < minDigits || text.size() > maxDigits) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string DayBookFileName(const std::string& userName, const std::string& productName, int machine,
                            const WorkDate& date) {
    return userName + "_" + productName + "_" + std::to_string(machine) + "号機_" + DateInName(date) + ".xls";
}

bool IsCalendarDate(const Date& date) {
    if (date.Year < kFirstReadableYear || date.Year > kLastReadableYear || date.Month < 1 || date.Month > 12 ||
        date.Day < 1)
        return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int days = kDays[date.Month - 1];
    bool leap = (date.Year % 4 == 0 && date.Year % 100 != 0) || date.Year % 400 == 0;
    if (date.Month == 2 && leap) days = 29;
    return date.Day <= days;
}

WorkDate WorkDateOf(const Date& date) {
    return {std::to_string(date.Year), std::to_string(date.Month), std::to_string(date.Day)};
}

std::optional<Date> RecordableDay(const WorkDate& date) { return StationDate(DateInName(date)); }

std::optional<Date> ParseDate(std::string_view text) {
    if (auto date = StationDate(text)) return date;
    for (char separator : {'-', '/'}) {
        size_t a = text.find(separator);
        if (a == std::string_view::npos) continue;
        size_t b = text.find(separator, a + 1);
        if (b == std::string_view::npos) return std::nullopt;
        auto year = Digits(text.substr(0, a), 4, 4);
        auto month = Digits(text.substr(a + 1, b - a - 1), 1, 2);
        auto day = Digits(text.substr(b + 1), 1, 2);
        if (!year || !month || !day) return std::nullopt;
        Date date{*year, *month, *day};
        if (!IsCalendarDate(date)) return std::nullopt;
        return date;
    }
    return std::nullopt;
}

std::string DateText(const Date& date) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.Year, date.Month, date.Day);
    return buffer;
}

std::optional<DayBookName> ParseDayBookName(std::string_view name, std::optional<std::string_view> productName) {
    constexpr std::string_view kExtension = ".xls", kMachine = "号機";
    if (!EndsWith(name, kExtension)) return std::nullopt;
    name.remove_suffix(kExtension.size());

    size_t cut = name.rfind('_');
    if (cut == std::string_view::npos) return std::nullopt;
    auto date = StationDate(name.substr(cut + 1));
    if (!date) return std::nullopt;
    name = name.substr(0, cut);

    cut = name.rfind('_');
    if (cut == std::string_view::npos) return std::nullopt;
    std::string_view machineText = name.substr(cut + 1);
    if (!EndsWith(machineText, kMachine)) return std::nullopt;
    machineText.remove_suffix(kMachine.size());
    auto machine = PlainNumber(machineText, 2);
    if (!machine || *machine > kLastMachine) return std::nullopt;
    name = name.substr(0, cut);  // "<operator>_<product>"

    DayBookName result;
    result.Machine = *machine;
    result.WorkDate = *date;
    if (productName) {
        if (productName->empty() || name.size() < productName->size() + 2 || !EndsWith(name, *productName))
            return std::nullopt;
        std::string_view rest = name.substr(0, name.size() - productName->size());
        if (rest.back() != '_') return std::nullopt;
        result.Operator = std::string(rest.substr(0, rest.size() - 1));
        result.Product = std::string(*productName);
    } else {
        cut = name.find('_');
        if (cut == std::string_view::npos || cut == 0 || cut + 1 == name.size()) return std::nullopt;
        result.Operator = std::string(name.substr(0, cut));
        result.Product = std::string(name.substr(cut + 1));
    }
    if (result.Operator.empty()) return std::nullopt;
    return result;
}

}  // namespace ziv
