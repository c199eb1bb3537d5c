#pragma once
// A machine's control chart against the control limits quality staff fixed
// (管理限界.txt) instead of those of the range, and what the stations'
// journals say happened on it: the signals a station raised and what the
// operator did about them, each placed where it happened among the values.
#include <cstdint>
#include <string>
#include <vector>

#include "common/timestamp.h"
#include "records/journal.h"
#include "report/capability.h"
#include "report/fixed_limits.h"

namespace ziv::report {

// Which fixing each value is charted against: the newest one fixed at or
// before the value was taken, the one a station checked it against; a value
// taken before the first fixing, the first one, so that a range from before
// the fixing shows what those limits say of it (as a quality engineer tries
// limits on the weeks they came from). A value without a time counts as
// taken at the end of its working date.
struct FixedControl {
    std::vector<FixedLimit> Fixings;  // of the point and machine, oldest version first
    std::vector<std::int16_t> At;     // per sample: index into Fixings; empty without fixings
    // The run rules and the moving-range limit (kRangeRule) against the
    // limits of each run of values under one fixing; Index: into the series'
    // samples.
    std::vector<RuleSignal> Signals;
    bool Any() const { return !At.empty(); }
};
FixedControl FixedControlOf(const Series& series, const std::vector<FixedLimit>& file, int point);

// A signal or a reaction of the journal on the chart's axis of values.
struct ChartEvent {
    enum class Kind : std::uint8_t { Signal, Reaction };
    Kind What = Kind::Signal;
    // A signal stands on the value taken last before it (the value that
    // raised it); a reaction halfway between the values it came between
    // (-0.5 before the first value).
    double At = 0;
    std::string Text;  // the rule ("管理限界外"), or what was done ("その他: 刃先欠け")
    Timestamp Time;
    bool operator==(const ChartEvent&) const = default;
};
// The signals and reactions among a point's entries (JournalIndex::History),
// in time order; a signal before the series' first value has no value to
// stand on and is left out.
std::vector<ChartEvent> EventsOnSeries(const Series& series, const std::vector<const JournalEntry*>& history);

// "工具交換" of "工具交換", "その他" of "その他: 刃先欠け": what the legend names.
std::string ReactionKind(const std::string& text);

}  // namespace ziv::report
