#include "report/aqdef.h"

#include <charconv>
#include <cstdio>
#include <map>

#include "common/text_file.h"

namespace ziv::report {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return line;
}

std::string NumberText(double value) {
    char text[512];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::string Key(int key, std::optional<int> index) {
    char text[32];
    if (index) std::snprintf(text, sizeof text, "K%04d/%d", key, *index);
    else std::snprintf(text, sizeof text, "K%04d", key);
    return text;
}

void Field(std::string& out, int key, std::optional<int> index, std::string_view content) {
    if (content.empty()) return;
    out += Key(key, index) + " " + OneLine(content) + "\r\n";
}

void NumberField(std::string& out, int key, int index, const std::optional<double>& value) {
    if (value) Field(out, key, index, NumberText(*value));
}

}  // namespace

std::string AqdefTimeText(const Timestamp& time) {
    Day day = time.LocalDay();
    auto clock = time.LocalTimeOfDay();
    char text[64];
    std::snprintf(text, sizeof text, "%02u.%02u.%04d/%02d:%02d:%02d", static_cast<unsigned>(day.day()),
                  static_cast<unsigned>(day.month()), static_cast<int>(day.year()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return text;
}

std::string AqdefText(const AqdefInput& input, size_t* leftOut) {
    std::string out;
    out += "K0100 " + std::to_string(input.Characteristics.size()) + "\r\n";
    Field(out, 1001, std::nullopt, input.PartNumber);
    Field(out, 1002, std::nullopt, input.PartName);
    std::map<int, int> indexOf;
    for (size_t n = 0; n < input.Characteristics.size(); ++n) {
        const AqdefCharacteristic& c = input.Characteristics[n];
        int i = static_cast<int>(n) + 1;
        indexOf.emplace(c.Point, i);
        Field(out, 2001, i, c.Number);
        Field(out, 2002, i, c.Name);
        NumberField(out, 2101, i, c.Nominal);
        NumberField(out, 2110, i, c.Lower);
        NumberField(out, 2111, i, c.Upper);
    }
    size_t skipped = 0;
    for (const AqdefValue& v : input.Values) {
        auto at = indexOf.find(v.Point);
        if (at == indexOf.end()) {
            ++skipped;
            continue;
        }
        int i = at->second;
        Field(out, 1, i, NumberText(v.Value));
        if (v.Time) Field(out, 4, i, AqdefTimeText(*v.Time));
        Field(out, 6, i, v.Lot);
        Field(out, 8, i, v.Operator);
        Field(out, 10, i, v.Machine);
        Field(out, 12, i, v.Gauge);
    }
    if (leftOut) *leftOut = skipped;
    return out;
}

FileResult WriteAqdefFile(const std::string& path, const AqdefInput& input, AqdefEncoding encoding, size_t* leftOut) {
    std::string text = AqdefText(input, leftOut);
    if (encoding == AqdefEncoding::Utf8) return WriteFileAtomic(path, std::string(kBom) + text);
    auto bytes = ToCp932(text);
    if (!bytes) return Failed(Failure::NotShiftJis, path);
    return WriteFileAtomic(path, *bytes);
}

AqdefRead ParseAqdef(std::string_view text) {
    if (text.starts_with(kBom)) text.remove_prefix(kBom.size());
    AqdefRead read;
    for (const std::string& line : SplitLines(text)) {
        if (line.empty()) continue;
        AqdefField field;
        const char* p = line.data();
        const char* end = p + line.size();
        bool ok = line.size() >= 6 && line[0] == 'K';
        if (ok) {
            auto [after, ec] = std::from_chars(p + 1, p + 5, field.Key);
            ok = ec == std::errc() && after == p + 5 && line[1] != '-' && line[1] != '+';
            p += 5;
        }
        if (ok && p < end && *p == '/') {
            int index = 0;
            auto [after, ec] = std::from_chars(p + 1, end, index);
            ok = ec == std::errc() && after != p + 1 && index >= 0;
            field.Index = index;
            p = after;
        }
        ok = ok && p < end && *p == ' ';
        if (!ok) {
            ++read.Damaged;
            continue;
        }
        field.Content.assign(p + 1, end);
        read.Fields.push_back(std::move(field));
    }
    return read;
}

std::optional<AqdefRead> ReadAqdefFile(const std::string& path, AqdefEncoding encoding) {
    auto bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return ParseAqdef(encoding == AqdefEncoding::Utf8 ? *bytes : FromCp932(*bytes));
}

}  // namespace ziv::report
