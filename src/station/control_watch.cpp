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
    Cell cell{entry.Time.Utc.time_since_epoch().count(), report::MeasuredNumber(entry.Text)};
    auto& cells = cells_[{entry.Point, entry.Machine}];
    auto [it, fresh] = cells.try_emplace({report::DaysOf(entry.WorkDate), entry.Operator}, cell);
    if (!fresh && it->second.TakenMs <= cell.TakenMs) it->second = cell;
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

ControlData ReadControlData(const ProductPathList& products, const Day& today, int days) {
    ControlData data;
    report::Filter range;
    range.From = report::DateOfDays(report::DaysOf(today) - days);
    range.To = report::DateOfDays(report::DaysOf(today));
    std::map<std::string, std::vector<int>> machinesOf;
    for (int m = 0; m < static_cast<int>(products.size()); ++m)
        if (!products[m].empty()) machinesOf[products[m]].push_back(m);
    // Only machines with fixed limits need their recent values; the journals
    // of one folder hold every product measured there, and are read once.
    std::map<std::string, std::map<std::string, std::vector<int>>> watched;  // journal folder -> product name -> machines
    for (const auto& [product, machines] : machinesOf) {
        report::FixedLimitsRead read = report::ReadFixedLimits(report::FixedLimitsPath(product));
        if (!read.problem) data.Problems.push_back(read.problem);
        std::vector<int> limited;
        for (const auto& [key, limit] : report::CurrentFixedLimits(read.limits)) {
            if (!std::count(machines.begin(), machines.end(), key.second)) continue;
            data.Limits.emplace(key, limit);
            if (!std::count(limited.begin(), limited.end(), key.second)) limited.push_back(key.second);
        }
        if (limited.empty()) continue;
        if (auto folder = report::JournalFolderAbove(product))
            watched[*folder][report::ProductNameOf(product)] = limited;
    }
    for (const auto& [folder, machinesByName] : watched)
        report::ReadJournalsOfRange(folder, range, [&](JournalEntry&& e) {
            auto it = machinesByName.find(e.Product);
            if (it != machinesByName.end() && std::count(it->second.begin(), it->second.end(), e.Machine))
                data.Recent.Add(e);
        });
    return data;
}

}  // namespace ziv
