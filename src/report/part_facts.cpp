#include "report/part_facts.h"

#include <array>

#include "common/station_limits.h"
#include "platform/paths.h"

namespace ziv::report {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kPointPrefix = "番号";

constexpr std::array<std::pair<std::string_view, PointKind>, 4> kKinds = {{{"寸法", PointKind::Dimension},
                                                                           {"幾何公差", PointKind::Geometric},
                                                                           {"粗さ", PointKind::Roughness},
                                                                           {"振れ", PointKind::Runout}}};

std::string_view TrimBlanks(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A value as it reads back: one line, without blanks around it.
std::string ValueText(std::string_view text) {
    std::string value(text);
    for (char& c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return std::string(TrimBlanks(value));
}

std::string OneLine(std::string line) {
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

// "番号12.単位" -> 12 and the key 単位; nothing for another key.
bool SetPointFact(PartFacts& facts, std::string_view key, std::string_view value) {
    if (!key.starts_with(kPointPrefix)) return false;
    key.remove_prefix(kPointPrefix.size());
    size_t dot = key.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot > 3) return false;
    int point = 0;
    for (char c : key.substr(0, dot)) {
        if (c < '0' || c > '9') return false;
        point = point * 10 + (c - '0');
    }
    if (point < kFirstPoint || point > kLastPoint) return false;
    std::string_view sub = key.substr(dot + 1);
    for (const PointFactKey& k : kPointFactKeys) {
        if (sub != k.Name) continue;
        PointFacts& p = facts.Points[point];
        if (k.Field) p.*(k.Field) = std::string(value);
        else if (value == "1" || value == "0" || value.empty()) p.Key = value == "1";
        else return false;
        if (p == PointFacts{}) facts.Points.erase(point);
        return true;
    }
    return false;
}

bool SetField(PartFacts& facts, std::string_view key, std::string_view value) {
    for (const PartFactKey& k : kPartFactKeys)
        if (key == k.Name) {
            facts.*(k.Field) = std::string(value);
            return true;
        }
    return SetPointFact(facts, key, value);
}

}  // namespace

PointKind PointKindOf(std::string_view text) {
    text = TrimBlanks(text);
    for (const auto& [name, kind] : kKinds)
        if (text == name) return kind;
    return PointKind::Unnamed;
}

bool HasNaturalBoundary(PointKind kind, double nominal, const std::optional<double>& lower,
                        const std::optional<double>& upper) {
    if (!lower || !upper || *lower != 0 || *upper <= 0) return false;
    switch (kind) {
        case PointKind::Geometric:
        case PointKind::Roughness:
        case PointKind::Runout: return true;
        case PointKind::Dimension: return false;
        case PointKind::Unnamed: break;
    }
    return nominal == 0;
}

std::optional<int> PointFacts::Places() const {
    if (Decimals.size() != 1 && Decimals != "10") return std::nullopt;
    if (Decimals == "10") return 10;
    if (Decimals[0] < '0' || Decimals[0] > '9') return std::nullopt;
    return Decimals[0] - '0';
}

const PointFacts& PartFacts::Of(int point) const {
    static const PointFacts none;
    auto at = Points.find(point);
    return at == Points.end() ? none : at->second;
}

std::string PartFactsPath(const std::string& productDir) { return JoinPath(productDir, "部品情報.txt"); }

bool SetPartFact(PartFacts& facts, std::string_view keyAndValue) {
    size_t equals = keyAndValue.find('=');
    if (equals == std::string_view::npos) return false;
    return SetField(facts, TrimBlanks(keyAndValue.substr(0, equals)), ValueText(keyAndValue.substr(equals + 1)));
}

PartFacts ParsePartFacts(std::string_view bytes) {
    if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
    PartFacts facts;
    for (const std::string& line : SplitLines(bytes)) {
        size_t equals = line.find('=');
        bool known = equals != std::string::npos &&
                     SetField(facts, TrimBlanks(std::string_view(line).substr(0, equals)),
                              TrimBlanks(std::string_view(line).substr(equals + 1)));
        if (!known) facts.OtherLines.push_back(line);
    }
    // Blank lines at the end are the file's end, not something to keep.
    while (!facts.OtherLines.empty() && TrimBlanks(facts.OtherLines.back()).empty()) facts.OtherLines.pop_back();
    return facts;
}

PartFactsRead ReadPartFacts(const std::string& path, Disk& disk) {
    PartFactsRead read;
    StampedRead file = ReadStamped(path, disk, 1u << 20);
    if (file.missing()) return read;
    if (file.err) {
        read.status = ReadStatus::Unreadable;
        read.err = file.err;
        return read;
    }
    read.status = ReadStatus::Read;
    read.facts = ParsePartFacts(file.bytes);
    return read;
}

std::string PartFactsText(const PartFacts& facts) {
    std::string text;
    // The first five keys always, as files made before the others were written;
    // the others only when they say something.
    for (size_t i = 0; i < kPartFactKeys.size(); ++i) {
        std::string value = ValueText(facts.*(kPartFactKeys[i].Field));
        if (i < 5 || !value.empty()) text += std::string(kPartFactKeys[i].Name) + "=" + value + "\r\n";
    }
    for (const auto& [point, p] : facts.Points)
        for (const PointFactKey& k : kPointFactKeys) {
            std::string value = k.Field ? ValueText(p.*(k.Field)) : (p.Key ? "1" : "");
            if (!value.empty())
                text += std::string(kPointPrefix) + std::to_string(point) + "." + std::string(k.Name) + "=" + value + "\r\n";
        }
    for (const std::string& line : facts.OtherLines) text += OneLine(line) + "\r\n";
    return text;
}

FileResult SavePartFacts(const std::string& path, const PartFacts& facts, Disk& disk) {
    StampedRead current = ReadStamped(path, disk, 1u << 20);
    if (current.err && !current.missing()) return Failed(Failure::Unreadable, path, current.err);
    return WriteFileAtomic(path, PartFactsText(facts), nullptr, {}, disk);
}

}  // namespace ziv::report
