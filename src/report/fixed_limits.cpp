#include "report/fixed_limits.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

#include "common/whole_in_range.h"
#include "common/numbers.h"
#include "platform/paths.h"
#include "platform/shared_file.h"

namespace ziv::report {

namespace {

// Version 1 ends at 下限; version 2 adds what the base period showed.
constexpr std::string_view kTitle1 = "ZIV 管理限界 1", kTitle = "ZIV 管理限界 2";
constexpr std::string_view kColumns1 =
    "版\t確定日時\t確定者\t基準開始\t基準終了\t番号\t号機\tn\t中心線\t上方管理限界\t下方管理限界\t移動範囲中心\t"
    "移動範囲上限\t寸法\t上限\t下限";
constexpr std::string_view kBaseColumns = "\t少数で確定\t残した信号\t読み取りの刻み\t刻みが粗い\t除外";
constexpr size_t kFields1 = 16, kFields = 21;

// A tab or a line break in a name would split the line: a blank stands for it.
std::string OneField(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    for (size_t start = 0;;) {
        size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) return out;
        start = tab + 1;
    }
}

// Written by ExactText: from_chars reads it back exactly, whatever the locale.
std::optional<double> Number(std::string_view text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> Flag(std::string_view text) {
    if (text.empty()) return false;
    if (text == "1") return true;
    return std::nullopt;
}

// "\;" and "\\" in a reason, so that the reasons of one field split apart.
std::string Escaped(std::string_view reason) {
    std::string out;
    for (char c : reason) {
        if (c == ';' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string ExcludedText(const std::vector<ExcludedValue>& excluded) {
    std::string out;
    for (const ExcludedValue& e : excluded)
        out += (out.empty() ? "" : "; ") + DateText(e.Day) + "#" + std::to_string(e.Order) + " " + ExactText(e.Value) +
               " " + Escaped(OneField(e.Reason));
    return out;
}

// "2026-03-05#2 10.085 刃先欠け"; the reason already unescaped.
std::optional<ExcludedValue> ExcludedFrom(std::string_view text, std::string reason) {
    size_t hash = text.find('#'), blank = text.find(' ');
    if (hash == std::string_view::npos || blank == std::string_view::npos || blank < hash) return std::nullopt;
    auto day = ParseDate(text.substr(0, hash));
    auto order = WholeInRange(text.substr(hash + 1, blank - hash - 1), 1, 1 << 20);
    auto value = Number(text.substr(blank + 1));
    if (!day || !order || !value) return std::nullopt;
    return ExcludedValue{*day, *order, *value, std::move(reason)};
}

std::optional<std::vector<ExcludedValue>> ExcludedList(std::string_view field) {
    constexpr auto kNone = std::string_view::npos;
    std::vector<ExcludedValue> out;
    for (size_t i = 0; i < field.size();) {
        size_t blank = field.find(' ', i);
        size_t second = blank == kNone ? kNone : field.find(' ', blank + 1);
        if (second == kNone) return std::nullopt;
        std::string reason;
        size_t j = second + 1;
        for (; j < field.size() && field[j] != ';'; ++j) {
            if (field[j] == '\\' && j + 1 < field.size()) ++j;
            reason += field[j];
        }
        auto e = ExcludedFrom(field.substr(i, second - i), std::move(reason));
        if (!e) return std::nullopt;
        out.push_back(std::move(*e));
        if (j == field.size()) break;
        if (field.substr(j, 2) != "; " || j + 2 == field.size()) return std::nullopt;
        i = j + 2;
    }
    return out;
}

std::optional<BaseFindings> BaseFrom(const std::vector<std::string_view>& f) {
    if (f.size() == kFields1) return BaseFindings{};
    auto few = Flag(f[16]), coarse = Flag(f[19]);
    auto kept = WholeInRange(f[17], 0, 1 << 30);
    auto step = Number(f[18]);
    auto excluded = ExcludedList(f[20]);
    if (!few || !coarse || !kept || !step || !(*step >= 0) || !excluded) return std::nullopt;
    return BaseFindings{*few, static_cast<size_t>(*kept), *step, *coarse, std::move(*excluded)};
}

std::optional<FixedLimit> LimitFrom(const std::vector<std::string_view>& f, size_t fields) {
    if (f.size() != fields) return std::nullopt;
    FixedLimit l;
    auto version = WholeInRange(f[0], 1, 1 << 30);
    auto at = ParseTimestamp(f[1]);
    auto from = ParseDate(f[3]), to = ParseDate(f[4]);
    auto point = WholeInRange(f[5], kFirstPoint, kLastPoint), machine = WholeInRange(f[6], 0, kLastMachine);
    auto n = WholeInRange(f[7], 2, 1 << 30);
    auto centre = Number(f[8]), upper = Number(f[9]), lower = Number(f[10]);
    auto rangeCentre = Number(f[11]), rangeUpper = Number(f[12]);
    auto base = BaseFrom(f);
    if (!version || !at || !from || !to || !point || !machine || !n || !centre || !upper || !lower || !rangeCentre ||
        !rangeUpper || !base)
        return std::nullopt;
    l.Version = *version;
    l.FixedAt = *at;
    l.FixedBy = std::string(f[2]);
    l.From = *from;
    l.To = *to;
    l.Point = *point;
    l.Machine = *machine;
    l.N = static_cast<size_t>(*n);
    l.Limits = {*centre, *upper, *lower, *rangeCentre, *rangeUpper, 0};
    l.Tolerance = {std::string(f[13]), std::string(f[14]), std::string(f[15])};
    l.Base = std::move(*base);
    return l;
}

FileResult Damaged(const std::string& path, size_t line) {
    return Refused(Failure::ContentDamaged, path, std::to_string(line));
}

}  // namespace

std::string FixedLimitsPath(const std::string& productDir) { return JoinPath(productDir, "管理限界.txt"); }

FixedLimitsRead ParseFixedLimits(std::string_view bytes, const std::string& path) {
    FixedLimitsRead read;
    read.status = ReadStatus::Read;
    std::vector<std::string> lines = SplitLines(bytes);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    const bool first = !lines.empty() && lines[0] == kTitle1;
    const std::string columns = std::string(kColumns1) + (first ? "" : std::string(kBaseColumns));
    if (lines.size() < 2 || !(first || lines[0] == kTitle) || lines[1] != columns) {
        read.problem = Damaged(path, lines.empty() || !(first || lines[0] == kTitle) ? 1 : 2);
        return read;
    }
    for (size_t i = 2; i < lines.size(); ++i) {
        auto limit = LimitFrom(Fields(lines[i]), first ? kFields1 : kFields);
        if (!limit) {
            read.problem = Damaged(path, i + 1);
            read.limits.clear();
            return read;
        }
        read.limits.push_back(std::move(*limit));
    }
    return read;
}

FixedLimitsRead ReadFixedLimits(const std::string& path, Disk& disk) {
    StampedRead file = ReadStamped(path, disk);
    if (file.missing()) return {};
    if (file.err) return {ReadStatus::Unreadable, Failed(Failure::Unreadable, path, file.err), {}};
    return ParseFixedLimits(file.bytes, path);
}

std::string FixedLimitsText(const std::vector<FixedLimit>& limits) {
    std::string out = std::string(kTitle) + "\r\n" + std::string(kColumns1) + std::string(kBaseColumns) + "\r\n";
    for (const FixedLimit& l : limits) {
        std::vector<std::string> f{std::to_string(l.Version), TimestampText(l.FixedAt), OneField(l.FixedBy),
                                   DateText(l.From), DateText(l.To), std::to_string(l.Point),
                                   std::to_string(l.Machine), std::to_string(l.N), ExactText(l.Limits.Centre),
                                   ExactText(l.Limits.Upper), ExactText(l.Limits.Lower),
                                   ExactText(l.Limits.RangeCentre), ExactText(l.Limits.RangeUpper),
                                   OneField(l.Tolerance.Nominal), OneField(l.Tolerance.Upper),
                                   OneField(l.Tolerance.Lower), l.Base.FewAllowed ? "1" : "",
                                   std::to_string(l.Base.SignalsKept), ExactText(l.Base.Step),
                                   l.Base.CoarseStep ? "1" : "", ExcludedText(l.Base.Excluded)};
        for (size_t i = 0; i < f.size(); ++i) out += (i ? "\t" : "") + f[i];
        out += "\r\n";
    }
    return out;
}

CurrentLimits CurrentFixedLimits(const std::vector<FixedLimit>& limits) {
    CurrentLimits current;
    for (const FixedLimit& l : limits) {
        auto [it, fresh] = current.try_emplace({l.Point, l.Machine}, l);
        if (!fresh && it->second.Version <= l.Version) it->second = l;
    }
    return current;
}

std::vector<const CapabilityRow*> BaseRows(const std::vector<CapabilityRow>& rows) {
    std::map<std::pair<int, int>, const CapabilityRow*> latest;
    for (const CapabilityRow& row : rows) {
        if (!row.Machine || !row.Last) continue;
        const CapabilityRow*& kept = latest[{row.Point, *row.Machine}];
        if (!kept || *kept->Last < *row.Last) kept = &row;
    }
    std::vector<const CapabilityRow*> out;
    for (const auto& [key, row] : latest) out.push_back(row);
    return out;
}

FileResult AddFixing(Files files, const std::string& path, std::vector<FixedLimit> fresh, const std::string& fixedBy,
                     const Timestamp& when, int* version) {
    return SaveUnderLock(files, path, LockWait::Patient, [&](const StampedRead& file, const FileLockHold& lock) {
        FixedLimitsRead read;
        if (!file.missing()) {
            read = ParseFixedLimits(file.bytes, path);
            if (!read.problem) return read.problem;
        }
        int next = 1;
        for (const FixedLimit& l : read.limits) next = std::max(next, l.Version + 1);
        for (FixedLimit& l : fresh) {
            l.Version = next;
            l.FixedBy = fixedBy;
            l.FixedAt = when;
        }
        read.limits.insert(read.limits.end(), fresh.begin(), fresh.end());
        FileResult result =
            WriteFileAtomic(path, FixedLimitsText(read.limits), nullptr, [&] { return lock.StillHeld(); }, files.disk);
        if (result && version) *version = next;
        return result;
    });
}

}  // namespace ziv::report
