#include "report/aqdef.h"

#include <charconv>
#include <cstdio>

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

std::string AqdefText(const AqdefInput& input) {
    std::string out;
    const size_t count = input.Characteristics.size();
    out += "K0100 " + std::to_string(count) + "\r\n";
    for (auto [key, text] : {std::pair{1001, &input.PartNumber}, {1002, &input.PartName}, {1032, &input.Material},
                             {1062, &input.Customer}, {1071, &input.SupplierCode}, {1072, &input.Supplier},
                             {1110, &input.OrderNumber}, {1203, &input.Reason}, {1900, &input.Remark}})
        Field(out, key, std::nullopt, *text);
    for (size_t n = 0; n < count; ++n) {
        const AqdefCharacteristic& c = input.Characteristics[n];
        int i = static_cast<int>(n) + 1;
        Field(out, 2001, i, c.Number);
        Field(out, 2002, i, c.Name);
        Field(out, 2004, i, c.Attributive ? "1" : "0");
        if (c.Decimals) Field(out, 2022, i, std::to_string(*c.Decimals));
        Field(out, 2101, i, c.Nominal);
        Field(out, 2110, i, c.Lower);
        Field(out, 2111, i, c.Upper);
        if (c.LowerNatural) Field(out, 2120, i, "2");
        if (c.UpperNatural) Field(out, 2121, i, "2");
        Field(out, 2142, i, c.Unit);
    }
    for (const AqdefValue& v : input.Values) {
        if (v.Characteristic >= count) continue;
        int i = static_cast<int>(v.Characteristic) + 1;
        Field(out, 1, i, v.Value);
        if (v.Time) Field(out, 4, i, AqdefTimeText(*v.Time));
        Field(out, 6, i, v.Lot);
        Field(out, 9, i, v.Text);
        Field(out, 14, i, v.PartId);
        if (input.Characteristics[v.Characteristic].Attributive) Field(out, 20, i, "1");
    }
    return out;
}

FileResult WriteAqdefFile(const std::string& path, const AqdefInput& input, AqdefEncoding encoding) {
    std::string text = AqdefText(input);
    if (encoding == AqdefEncoding::Utf8) return WriteFileAtomic(path, text);
    if (encoding == AqdefEncoding::Utf8Bom) return WriteFileAtomic(path, std::string(kBom) + text);
    // The micro sign of "µm" has no CP932 form; the Greek mu it stands for has.
    for (size_t at; (at = text.find("\xC2\xB5")) != std::string::npos;) text.replace(at, 2, "\xCE\xBC");
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
    return ParseAqdef(encoding == AqdefEncoding::Cp932 ? FromCp932(*bytes) : *bytes);
}

}  // namespace ziv::report
