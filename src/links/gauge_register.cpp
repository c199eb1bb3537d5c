#include "links/gauge_register.h"

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {

namespace {

constexpr std::string_view kNumberKey = "管理番号";
constexpr std::string_view kDueKey = "校正期限";

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// "F3管理番号" -> 2 and the rest of the key; nothing for another key.
std::optional<size_t> KeyIndex(std::string_view key, std::string_view* rest) {
    if (!key.starts_with('F')) return std::nullopt;
    size_t digits = 1;
    while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9') ++digits;
    if (digits == 1 || digits > 3 || key[1] == '0') return std::nullopt;
    int n = 0;
    for (size_t i = 1; i < digits; ++i) n = n * 10 + (key[i] - '0');
    if (n < 1 || n > 10) return std::nullopt;
    *rest = key.substr(digits);
    return static_cast<size_t>(n - 1);
}

// Takes one line; false when it does not read.
bool TakeLine(std::string_view line, Gauges& gauges) {
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view rest;
    auto index = KeyIndex(TrimBlanks(line.substr(0, equals)), &rest);
    if (!index) return false;
    std::string_view value = line.substr(equals + 1);
    Gauge& gauge = gauges[*index];
    if (rest == kNumberKey) {
        gauge.ControlNumber = std::string(value);
        return true;
    }
    if (rest != kDueKey) return false;
    value = TrimBlanks(value);
    if (value.empty()) {
        gauge.Due.reset();
        return true;
    }
    auto due = ParseDay(value);
    if (due) gauge.Due = due;
    return due.has_value();
}

}  // namespace

std::string GaugesFilePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "Gauges.dat");
}

GaugesRead ReadGauges(const std::string& path, Disk& disk) {
    TextRead text = ReadTextFile(path, disk);
    GaugesRead result;
    result.status = text.status;
    if (text.unreadable()) result.problem = Failed(Failure::Unreadable, path, text.err);
    for (const std::string& line : text.lines)
        if (!TrimBlanks(line).empty() && !TakeLine(line, result.gauges)) ++result.damaged;
    return result;
}

FileResult SaveGauges(const std::string& path, const Gauges& gauges, Disk& disk) {
    std::string text;
    for (size_t i = 0; i < gauges.size(); ++i) {
        std::string key = "F" + DecimalText(static_cast<long long>(i + 1));
        if (!FitsOneLine(gauges[i].ControlNumber)) return Refused(Failure::KeySettingLineBreak, path, key);
        text += key + std::string(kNumberKey) + "=" + gauges[i].ControlNumber + "\r\n";
        text += key + std::string(kDueKey) + "=" + (gauges[i].Due ? DayText(*gauges[i].Due) : "") + "\r\n";
    }
    if (TextRead current = ReadTextFile(path, disk); current.unreadable())
        return Failed(Failure::Unreadable, path, current.err);
    return WriteTextFile(path, text, disk);
}

bool IsOverdue(const Gauge& gauge, const Day& today) { return gauge.Due && today > *gauge.Due; }

}  // namespace ziv
