#include "station/control_watch.h"

#include <algorithm>

#include "report/capability.h"
#include "report/journal_index.h"
#include "report/spc.h"

namespace ziv {

std::string ControlSignal::RuleText() const {
    switch (Rule) {
        case 1: return "管理限界外";
        case 2: return "片側に9点";
        case 3: return Rising ? "6点連続の増加" : "6点連続の減少";
        case 4: return "14点交互の増減";
        case report::kRangeRule: return "移動範囲の管理限界外";
    }
    return {};
}

std::string ControlSignal::Text() const {
    // A point beyond the limits is out of control now; the runs tell of a
    // trend that has not yet left them.
    const bool now = Rule == 1 || Rule == report::kRangeRule;
    return std::string(now ? "管理外れ" : "傾向") + " 点" + std::to_string(Point) + ": " + RuleText();
}

void ControlWatch::SetLimits(report::CurrentLimits limits) {
    limits_ = std::move(limits);
    std::erase_if(standing_, [&](const auto& s) { return !limits_.count(s.first); });
}

const report::FixedLimit* ControlWatch::LimitsOf(int point, int machine) const {
    auto it = limits_.find({point, machine});
    return it == limits_.end() ? nullptr : &it->second;
}

std::optional<ControlSignal> ControlWatch::Check(int point, int machine, const std::vector<double>& recent,
                                                 double value) {
    const report::FixedLimit* fixed = LimitsOf(point, machine);
    if (!fixed) return std::nullopt;
    std::vector<double> series(recent.end() - std::min(recent.size(), kRecentValues - 1), recent.end());
    series.push_back(value);
    std::optional<ControlSignal> signal;
    // What is out of control now (beyond a limit, a jump beyond the moving
    // range's) before a run that only tells of a trend.
    auto weight = [](int rule) { return rule == 1 ? 0 : rule == report::kRangeRule ? 1 : rule; };
    for (const report::RuleSignal& s : report::ControlSignals(series, fixed->Limits)) {
        if (s.Index + 1 != series.size() || (signal && weight(signal->Rule) <= weight(s.Rule))) continue;
        bool rising = series.size() > 1 && value > series[series.size() - 2];
        signal = ControlSignal{s.Rule, point, machine, rising};
    }
    if (signal)
        standing_[{point, machine}] = *signal;
    else
        standing_.erase({point, machine});
    return signal;
}

void ControlWatch::Reacted(int point, int machine) { standing_.erase({point, machine}); }

std::optional<ControlSignal> ControlWatch::Standing(int point, int machine) const {
    auto it = standing_.find({point, machine});
    if (it == standing_.end()) return std::nullopt;
    return it->second;
}

void RecentValues::Add(const JournalEntry& entry) {
    if (!WritesCell(entry)) return;
    Add(RecentCell{entry.Point, entry.Machine, report::DaysOf(entry.WorkDate), entry.Operator,
                   entry.Time.Utc.time_since_epoch().count(), report::MeasuredNumber(entry.Text)});
}

void RecentValues::Add(const RecentCell& c) {
    auto& cells = cells_[{c.Point, c.Machine}];
    Cell cell{c.TakenMs, c.Value};
    auto [it, fresh] = cells.try_emplace({c.Days, c.Operator}, cell);
    if (!fresh && it->second.TakenMs <= cell.TakenMs) it->second = cell;
}

void RecentValues::Add(const RecentValues& other) {
    for (const RecentCell& c : other.Cells()) Add(c);
}

std::vector<double> RecentValues::Before(int point, int machine, const Day& date, const std::string& op,
                                         size_t most) const {
    auto found = cells_.find({point, machine});
    if (found == cells_.end()) return {};
    CellKey skipped{report::DaysOf(date), op};
    std::vector<Cell> taken;
    for (const auto& [key, cell] : found->second)
        if (cell.Value && key != skipped) taken.push_back(cell);
    std::sort(taken.begin(), taken.end(), [](const Cell& a, const Cell& b) { return a.TakenMs < b.TakenMs; });
    std::vector<double> values;
    for (size_t i = taken.size() - std::min(taken.size(), most); i < taken.size(); ++i)
        values.push_back(*taken[i].Value);
    return values;
}

void RecentValues::KeepNewest(size_t most) {
    for (auto& [pointAndMachine, cells] : cells_) {
        std::vector<std::int64_t> times;
        for (const auto& [key, cell] : cells)
            if (cell.Value) times.push_back(cell.TakenMs);
        if (times.size() <= most) continue;
        std::nth_element(times.begin(), times.end() - most, times.end());
        const std::int64_t oldest = *(times.end() - most);
        std::erase_if(cells, [&](const auto& c) { return c.second.TakenMs < oldest; });
    }
}

size_t RecentValues::Valued(int point, int machine) const {
    auto found = cells_.find({point, machine});
    if (found == cells_.end()) return 0;
    return std::count_if(found->second.begin(), found->second.end(), [](const auto& c) { return c.second.Value.has_value(); });
}

std::vector<RecentCell> RecentValues::Cells() const {
    std::vector<RecentCell> all;
    for (const auto& [pointAndMachine, cells] : cells_)
        for (const auto& [key, cell] : cells)
            all.push_back({pointAndMachine.first, pointAndMachine.second, std::get<0>(key), std::get<1>(key),
                           cell.TakenMs, cell.Value});
    return all;
}

}  // namespace ziv
