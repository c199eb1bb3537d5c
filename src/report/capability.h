#pragma once
// Process capability of every point and machine over the day workbooks of a
// range: each machine's values in date order, capability from the variation
// within the process (moving ranges) beside the overall one, the individuals
// chart's limits and run rules, and the verdicts the station gave.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/station_limits.h"
#include "report/collect.h"
#include "report/distribution_fit.h"
#include "report/part_facts.h"
#include "report/spc.h"

#include <climits>

namespace ziv::report {

class JournalIndex;

// The value of a text that is wholly a decimal number ("10.012", "-0.5",
// "1E-05"); nothing for "OK", "NG", other texts and empty text.
std::optional<double> MeasuredNumber(std::string_view text);

// The tolerances of a point as one book holds them.
struct LimitTexts {
    std::string Nominal, Upper, Lower;
    bool operator==(const LimitTexts&) const = default;
};

// Upper and lower tolerance limits: nominal + upper and nominal + lower,
// each number read as the station reads it; a limit whose tolerance (or the
// nominal size) is empty is absent. A lower limit the point's kind cannot go
// below (HasNaturalBoundary: by default nominal 0 with a lower tolerance of 0)
// is a bound no part can cross, not a limit the process may miss.
ToleranceLimits ToleranceLimitsOf(const LimitTexts& limits, PointKind kind = PointKind::Unnamed);

// What the station decided for a value, as its book keeps it beside the value.
enum class Verdict : std::uint8_t { Pass, Fail, None };
Verdict StoredVerdict(std::string_view judgement);

// Kept small: a year of a shop's books holds a million of them, and their
// writing is most of the time the table takes.
struct Sample {
    static constexpr std::int64_t kNoTime = INT64_MIN;
    double Value = 0;
    // When it was taken (milliseconds since 1970, UTC), where the journal knows.
    std::int64_t TakenMs = kNoTime;
    std::int32_t DayNumber = 0;  // the working date, as days since 1970
    Verdict Judged = Verdict::None;
    std::uint16_t LimitSet = 0;  // index into the point's limit sets
    Date Day() const;
};

// The values of one point on one machine, in date order; values of one day
// in the order they were taken where the journal tells it, otherwise in the
// order of the operators' names.
struct Series {
    int Machine = 0;
    std::vector<Sample> Samples;
};

// Which run rules of the individuals chart a row's values break, by rule 1..4.
using RuleCounts = std::array<std::size_t, 5>;

// One row of the table: a point on one machine under one set of limits. A
// point whose limits changed within the range gets a row per set, so that no
// figure mixes two sets. Pooled rows (Machine empty) put every machine
// together for reference only: with the machines' values interleaved the
// moving ranges mean nothing, so they carry the overall figures alone.
struct CapabilityRow {
    int Point = 0;
    std::optional<int> Machine;
    LimitTexts Limits;
    ToleranceLimits Tolerance;
    bool LimitsChanged = false;  // the point had other limits too within the range
    std::optional<Date> First, Last;
    Spread Stats;
    Indices Index;
    std::optional<Normality> Normal;
    // Machine rows: the individuals chart's limits from the row's own values,
    // which its rule counts and its chart use too.
    std::optional<ControlLimits> Control;
    RuleCounts Rules{};
    // Machine rows from 8 values: the best fitting of the candidate
    // distributions, and the percentile method on it.
    std::optional<PercentileIndices> Percentile;
    // Expected outside per million, by the distribution the row is judged by:
    // the normal (mean, overall sigma), or the fitted one where the values are not normal.
    std::optional<double> Ppm;
    double Resolution = 0;       // the reading step of the values (ResolutionOf)
    // The normality test rejects only because the readings are coarse; never
    // where a natural boundary skews the values.
    bool RoundingOnly = false;
    // The step is more than a tenth of the tolerance, or the overall sigma
    // less than two steps: the figures stand on the gauge's rounding.
    bool CoarseStep = false;
    std::size_t Failed = 0;     // numeric values the station judged 不
    std::size_t Unjudged = 0;   // numeric values the station gave no verdict
    // Of those, the values beyond a limit by the station's own rule (on the
    // upper limit or above it, below the lower one): outside all the same.
    std::size_t UnjudgedOutside = 0;
    std::size_t OkCount = 0, NgCount = 0;
    std::vector<std::pair<std::string, std::size_t>> OtherTexts;  // text and how often
    int Decimals = 2;  // one digit finer than the tightest number of the limits

    std::size_t RuleSignals() const;
    std::optional<double> FailedShare() const;
    // The normality test rejects, and not only for coarse readings: the
    // percentile method's Cpk then judges the row.
    bool NonNormal() const;
    // Values outside whether the station judged them or not.
    std::size_t Outside() const { return Failed + UnjudgedOutside; }
    enum class Standing {
        Unknown,     // no index to judge by (n < 2, no spread, no limit)
        WantsALook,  // a value outside, NG, a run rule broken, or Cpk (pooled: Ppk) below 1.33
        NotProven,   // Cpk reaches 1.33, but a lower bound does not, no distribution fits,
                     // normality is unknown or the reading step is too coarse
        Proven,      // a distribution fits; the 95 % lower bound of the Cpk judged by (Bissell's for
                     // the normal Cpk) and the bound over every shape that fits reach 1.33; in
                     // control, nothing outside
    };
    Standing Assess() const;
};

inline constexpr double kCapableCpk = 1.33;
// Fewer values than this give figures to be read with care (AIAG asks for
// 25 subgroups); below 8 there is no normality test at all.
inline constexpr std::size_t kFewValues = 25;
// An index as the table shows it: cut, not rounded, to two decimals, so that
// one shown as 1.33 reaches 1.33 and is judged as shown.
double IndexAsShown(double index);

// Takes the books in date order (as ReadDayBooks hands them over) and keeps
// one sample per value: a year of a shop's books fits in a few megabytes.
class CapabilityBuilder {
public:
    CapabilityBuilder();
    // The part facts name what each point is: where a lower limit is a natural boundary.
    void UsePartFacts(const PartFacts& facts) { facts_ = facts; }
    PointKind KindOf(int point) const { return facts_.KindOf(point); }
    // With the journals of the range, when there are any: the times of the values.
    void Add(const DayBookData& book, const JournalIndex* journal = nullptr);
    // Points with anything measured or a nominal size, in point order; each
    // machine's rows, then the pooled rows when `pooled` and more than one
    // machine measured the point.
    std::vector<CapabilityRow> Result(bool pooled = true) const;
    // The values of a point on a machine, or nothing.
    const Series* SeriesOf(int point, int machine) const;
    const std::vector<LimitTexts>& LimitSets(int point) const;
    // The values a row's figures were taken from, in date order (a pooled
    // row: every machine's, merged by date).
    std::vector<Sample> RowSamples(const CapabilityRow& row) const;

private:
    struct TextCounts {
        bool Seen = false;
        std::size_t Ok = 0, Ng = 0;
        std::vector<std::pair<std::string, std::size_t>> Other;
    };
    struct MachineState {
        Series Values;
        std::vector<TextCounts> BySet;  // index = limit set
    };
    struct PointState {
        std::vector<LimitTexts> Sets;
        std::uint16_t Current = 0;  // the set of the last book, which most books match
        std::array<std::int16_t, kMachineCount> Slot;  // machine -> index into Machines, -1 none
        std::vector<MachineState> Machines;
        PointState() { Slot.fill(-1); }
    };
    std::uint16_t SetOf(PointState& point, const PointRow& row);
    MachineState& MachineFor(PointState& point, int machine);
    void AddMachineRows(int p, const PointState& point, std::vector<CapabilityRow>& rows) const;
    void AddPooledRows(int p, const PointState& point, std::vector<CapabilityRow>& rows) const;
    std::vector<Sample> Merged(const PointState& point, std::uint16_t set, int* machinesWithValues) const;

    std::vector<PointState> points_;  // index = point number
    PartFacts facts_;
};

// The control chart of the values of one limit set in a machine's series:
// the same limits and signals as that set's row, so that the printed limits,
// the rule counts and the chart agree. Signals index into At.
struct SetControl {
    std::vector<std::size_t> At;  // indices into the series' samples
    std::optional<ControlLimits> Limits;
    std::vector<RuleSignal> Signals;
};
SetControl ControlOfSet(const Series& series, std::uint16_t set);

// "—" for none; otherwise fixed decimals, "." whatever the locale.
std::string FixedText(std::optional<double> value, int decimals, std::string_view none = "—");
// The shortest text that reads back as the same double: for files other
// programs compute with.
std::string ExactText(double value);
// "両側", "上側のみ", "下側のみ", "上側(自然限界)", "規格なし".
std::string SidesText(const CapabilityRow& row);

}  // namespace ziv::report
