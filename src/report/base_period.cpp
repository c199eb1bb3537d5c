#include "report/base_period.h"

#include <algorithm>
#include <variant>

#include "common/station_limits.h"
#include "common/whole_in_range.h"
#include "report/journal_index.h"

namespace ziv::report {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Parts(std::string_view text) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        size_t comma = text.find(',', start);
        parts.push_back(Trimmed(text.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

// Where the exclusion's value stands among the values, or why it names none.
std::variant<size_t, Miss> Locate(const std::vector<Sample>& values, const Exclusion& e) {
    const int day = DaysOf(e.Day);
    std::vector<size_t> ofDay;
    for (size_t i = 0; i < values.size(); ++i)
        if (values[i].DayNumber == day) ofDay.push_back(i);
    if (!e.Order) {
        if (ofDay.size() > 1) return Miss::Ambiguous;
        if (ofDay.empty()) return Miss::NoValue;
        return ofDay[0];
    }
    if (static_cast<size_t>(*e.Order) > ofDay.size()) return Miss::NoValue;
    return ofDay[static_cast<size_t>(*e.Order) - 1];
}

// Fills in the limits, their signals and the step from the values kept.
void Judge(const CapabilityRow& row, BaseReview& review, std::vector<ExcludedValue> excluded) {
    std::vector<double> kept;
    std::vector<size_t> at;  // into Values
    for (size_t i = 0; i < review.Values.size(); ++i)
        if (!std::binary_search(review.Excluded.begin(), review.Excluded.end(), i)) {
            kept.push_back(review.Values[i].Value);
            at.push_back(i);
        }
    for (size_t i = 1; i < kept.size(); ++i, ++review.Ranges) review.ZeroRanges += kept[i] == kept[i - 1];
    Spread spread = SpreadOf(kept);
    auto limits = IndividualsLimits(spread);
    if (!limits || !(*spread.MeanMovingRange > 0)) return;
    for (RuleSignal s : ControlSignals(kept, *limits)) review.Signals.push_back({s.Rule, at[s.Index]});
    FixedLimit l;
    l.From = *row.First;
    l.To = *row.Last;
    l.Point = review.Point;
    l.Machine = review.Machine;
    l.N = kept.size();
    l.Limits = *limits;
    l.Tolerance = row.Limits;
    l.Base.FewAllowed = review.TooFew();
    l.Base.SignalsKept = review.SignalPoints();
    l.Base.Step = ResolutionOf(kept);
    l.Base.CoarseStep = CoarseStep(l.Base.Step, review.ZeroRanges, review.Ranges, *spread.MeanMovingRange);
    l.Base.Excluded = std::move(excluded);
    review.Limit = std::move(l);
}

}  // namespace

std::optional<Exclusion> ParseExclusion(std::string_view text) {
    size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::vector<std::string_view> parts = Parts(text.substr(0, equals));
    Exclusion e;
    e.Reason = std::string(Trimmed(text.substr(equals + 1)));
    if (parts.size() < 3 || parts.size() > 4 || e.Reason.empty()) return std::nullopt;
    auto point = WholeInRange(parts[0], kFirstPoint, kLastPoint);
    auto machine = WholeInRange(parts[1], 0, kLastMachine);
    auto day = ParseDate(parts[2]);
    if (!point || !machine || !day) return std::nullopt;
    if (parts.size() == 4 && !(e.Order = WholeInRange(parts[3], 1, 1 << 20))) return std::nullopt;
    e.Point = *point;
    e.Machine = *machine;
    e.Day = *day;
    return e;
}

int OrderInDay(const std::vector<Sample>& values, std::size_t at) {
    int order = 1;
    for (size_t i = 0; i < at; ++i) order += values[i].DayNumber == values[at].DayNumber;
    return order;
}

std::size_t BaseReview::SignalPoints() const {
    std::vector<size_t> points;
    for (const RuleSignal& s : Signals) points.push_back(s.Index);
    return static_cast<size_t>(std::unique(points.begin(), points.end()) - points.begin());
}

BaseReview ReviewBase(const CapabilityRow& row, const std::vector<Sample>& values,
                      const std::vector<Exclusion>& exclusions) {
    BaseReview review;
    review.Point = row.Point;
    review.Machine = row.Machine.value_or(0);
    review.Values = values;
    std::vector<std::pair<size_t, std::string>> named;
    for (const Exclusion& e : exclusions) {
        if (e.Point != review.Point || e.Machine != review.Machine) continue;
        auto found = Locate(values, e);
        if (const Miss* miss = std::get_if<Miss>(&found))
            review.Misses.emplace_back(e, *miss);
        else
            named.emplace_back(std::get<size_t>(found), e.Reason);
    }
    std::stable_sort(named.begin(), named.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ExcludedValue> excluded;
    for (const auto& [at, reason] : named) {
        if (!review.Excluded.empty() && review.Excluded.back() == at) continue;  // named twice: the first reason
        review.Excluded.push_back(at);
        excluded.push_back({values[at].Day(), OrderInDay(values, at), values[at].Value, reason});
    }
    if (row.First && row.Last) Judge(row, review, std::move(excluded));
    return review;
}

bool CoarseStep(double step, std::size_t zeroRanges, std::size_t ranges, double meanMovingRange) {
    return 2 * zeroRanges > ranges || step > meanMovingRange;
}

bool Acceptable(const BaseReview& review, const Allowance& allowed) {
    return review.Limit && review.Misses.empty() && (allowed.Few || !review.TooFew()) &&
           (allowed.Signals || review.Signals.empty());
}

}  // namespace ziv::report
