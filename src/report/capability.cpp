#include "report/capability.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <iterator>
#include <thread>

#include "common/numbers.h"
#include "report/journal_index.h"
#include "station/judgement.h"

namespace ziv::report {

std::optional<double> MeasuredNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    // from_chars would also take "inf" and "nan"; a measured value is digits.
    char first = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(first >= '0' && first <= '9') && first != '.') return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

ToleranceLimits ToleranceLimitsOf(const LimitTexts& limits, PointKind kind) {
    ToleranceLimits t;
    if (limits.Nominal.empty()) return t;
    double base = NumberFromText(limits.Nominal);
    if (!limits.Upper.empty()) t.Upper = base + NumberFromText(limits.Upper);
    if (!limits.Lower.empty()) t.Lower = base + NumberFromText(limits.Lower);
    t.LowerIsNaturalBound = HasNaturalBoundary(kind, base, t.Lower, t.Upper);
    return t;
}

Verdict StoredVerdict(std::string_view judgement) {
    // Asked once per value of a year of books: the station's words made once.
    static const std::string pass = JudgementText(Judgement::Pass), fail = JudgementText(Judgement::Fail);
    if (judgement == pass) return Verdict::Pass;
    if (judgement == fail) return Verdict::Fail;
    return Verdict::None;
}

Date Sample::Day() const { return DateOfDays(DayNumber); }

std::size_t CapabilityRow::RuleSignals() const {
    std::size_t total = 0;
    for (std::size_t count : Rules) total += count;
    return total;
}

std::optional<double> CapabilityRow::FailedShare() const {
    if (Stats.N == 0) return std::nullopt;
    return static_cast<double>(Failed) / static_cast<double>(Stats.N);
}

double IndexAsShown(double index) {
    // The small allowance keeps 1.33 computed as 1.3299999999999998 at 1.33.
    return std::floor(index * 100 + 1e-7) / 100;
}

bool CapabilityRow::NonNormal() const { return Normal && Normal->PValue < kNormalityAlpha && !RoundingOnly; }

CapabilityRow::Standing CapabilityRow::Assess() const {
    if (Outside() > 0 || NgCount > 0 || RuleSignals() > 0) return Standing::WantsALook;
    auto capable = [](std::optional<double> index) { return index && IndexAsShown(*index) >= kCapableCpk; };
    // Pooled rows carry no within-process figure to prove anything with.
    if (!Machine) {
        if (!Index.Ppk) return Standing::Unknown;
        return capable(Index.Ppk) ? Standing::Unknown : Standing::WantsALook;
    }
    if (!Index.Cpk) return Standing::Unknown;
    // Not normal: the normal Cpk means little; the fitted distribution's does.
    std::optional<double> judged = NonNormal() ? (Percentile ? Percentile->Cpk : std::nullopt) : Index.Cpk;
    if (!judged) return capable(Index.Cpk) ? Standing::NotProven : Standing::WantsALook;
    if (!capable(judged)) return Standing::WantsALook;
    // Fewer than 8 values leave normality untested; a coarse gauge leaves the figures its own.
    if (!Normal || CoarseStep) return Standing::NotProven;
    if (!NonNormal() && !capable(Index.CpkLower95)) return Standing::NotProven;
    // Ties of coarse readings reject every curve; the normal stands for them.
    if (RoundingOnly) return Standing::Proven;
    bool fits = Percentile && Percentile->Chosen.Fits;
    return fits && capable(Percentile->CpkLower95) ? Standing::Proven : Standing::NotProven;
}

CapabilityBuilder::CapabilityBuilder() : points_(kLastPoint + 1) {}

std::uint16_t CapabilityBuilder::SetOf(PointState& point, const PointRow& row) {
    auto matches = [&](const LimitTexts& set) {
        return set.Nominal == row.Nominal && set.Upper == row.Upper && set.Lower == row.Lower;
    };
    if (!point.Sets.empty() && matches(point.Sets[point.Current])) return point.Current;
    auto it = std::find_if(point.Sets.begin(), point.Sets.end(), matches);
    if (it == point.Sets.end()) it = point.Sets.insert(it, LimitTexts{row.Nominal, row.Upper, row.Lower});
    point.Current = static_cast<std::uint16_t>(it - point.Sets.begin());
    return point.Current;
}

CapabilityBuilder::MachineState& CapabilityBuilder::MachineFor(PointState& point, int machine) {
    std::int16_t& slot = point.Slot[static_cast<size_t>(machine)];
    if (slot < 0) {
        slot = static_cast<std::int16_t>(point.Machines.size());
        point.Machines.emplace_back().Values.Machine = machine;
    }
    return point.Machines[static_cast<size_t>(slot)];
}

namespace {

void CountText(std::vector<std::pair<std::string, std::size_t>>& texts, const std::string& text, std::size_t n = 1) {
    auto it = std::find_if(texts.begin(), texts.end(), [&](const auto& entry) { return entry.first == text; });
    if (it != texts.end())
        it->second += n;
    else
        texts.emplace_back(text, n);
}

}  // namespace

namespace {

// A value taken earlier on the same day than those before it moves back
// among them: books come in the order of their operators, not of time.
void PlaceByTime(std::vector<Sample>& samples) {
    if (samples.back().TakenMs == Sample::kNoTime) return;
    size_t i = samples.size() - 1;
    const Sample s = samples[i];
    while (i > 0 && samples[i - 1].DayNumber == s.DayNumber && samples[i - 1].TakenMs != Sample::kNoTime &&
           samples[i - 1].TakenMs > s.TakenMs) {
        samples[i] = samples[i - 1];
        --i;
    }
    samples[i] = s;
}

std::int64_t TakenMs(const JournalIndex* journal, const DayBookData& book, const PointRow& row, double value) {
    const JournalEntry* entry = journal ? journal->EntryOf(book.Name, row.Point, row.Value, value) : nullptr;
    return entry ? entry->Time.Utc.time_since_epoch().count() : Sample::kNoTime;
}

}  // namespace

void CapabilityBuilder::Add(const DayBookData& book, const JournalIndex* journal) {
    if (book.Name.Machine < 0 || book.Name.Machine > kLastMachine) return;
    const std::int32_t dayNumber = DaysOf(book.Name.WorkDate);
    for (const PointRow& row : book.Rows) {
        if (row.Point < kFirstPoint || row.Point > kLastPoint) continue;
        PointState& point = points_[static_cast<size_t>(row.Point)];
        std::uint16_t set = SetOf(point, row);
        MachineState& machine = MachineFor(point, book.Name.Machine);
        if (machine.BySet.size() <= set) machine.BySet.resize(set + 1u);
        TextCounts& texts = machine.BySet[set];
        texts.Seen = true;
        if (row.Value.empty() && !row.Measured) continue;
        if (auto value = row.Measured ? row.Measured : MeasuredNumber(row.Value)) {
            machine.Values.Samples.push_back(
                {*value, TakenMs(journal, book, row, *value), dayNumber, StoredVerdict(row.Judgement), set});
            PlaceByTime(machine.Values.Samples);
        } else if (row.Value == "OK") {
            ++texts.Ok;
        } else if (row.Value == "NG") {
            ++texts.Ng;
        } else {
            CountText(texts.Other, row.Value);
        }
    }
}

SetControl ControlOfSet(const Series& series, std::uint16_t set) {
    SetControl control;
    std::vector<double> values;
    for (std::size_t i = 0; i < series.Samples.size(); ++i)
        if (series.Samples[i].LimitSet == set) {
            control.At.push_back(i);
            values.push_back(series.Samples[i].Value);
        }
    control.Limits = IndividualsLimits(SpreadOf(values));
    if (control.Limits) control.Signals = RunRules(values, *control.Limits);
    return control;
}

namespace {

CapabilityRow RowOf(int p, const LimitTexts& limits, bool changed, PointKind kind) {
    CapabilityRow row;
    row.Point = p;
    row.Limits = limits;
    row.Tolerance = ToleranceLimitsOf(limits, kind);
    row.LimitsChanged = changed;
    row.Decimals = DisplayDecimals({limits.Nominal, limits.Upper, limits.Lower});
    return row;
}

// Whether the test rejects only because the gauge rounded: with each run of
// equal readings spread over its step it would not. A step finer than a
// tenth of sigma (the gauge's ten-to-one rule) cannot be the cause, and
// values piled against a natural boundary are skewed, not rounded: spread
// over their step, readings of 0 would go below it.
bool RejectedForRoundingOnly(const std::vector<double>& values, double resolution, double sigma,
                             const ToleranceLimits& tolerance) {
    if (tolerance.LowerIsNaturalBound || !(resolution > 0) || resolution * 10 <= sigma) return false;
    auto spread = AndersonDarling(SpreadOverSteps(values, resolution));
    return spread && spread->PValue >= kNormalityAlpha;
}

// A step above a tenth of the tolerance (AIAG's ten-to-one rule for the
// gauge) or a sigma under two steps.
bool TooCoarse(double step, const ToleranceLimits& tolerance, std::optional<double> sigma) {
    if (!(step > 0)) return false;
    if (tolerance.Upper && tolerance.Lower && step * 10 > *tolerance.Upper - *tolerance.Lower) return true;
    return sigma && *sigma < 2 * step;
}

// The index the row is judged by reaches 1.33 with nothing against it: only
// then can the shape's bound change the row's colour, and only then is its
// bootstrap worth its time.
bool WorthABound(const CapabilityRow& row) {
    if (!row.Percentile || !row.Percentile->Chosen.Fits || row.Outside() > 0 || row.CoarseStep) return false;
    auto capable = [](std::optional<double> index) { return index && IndexAsShown(*index) >= kCapableCpk; };
    if (row.NonNormal()) return capable(row.Percentile->Cpk);
    return capable(row.Index.Cpk) && capable(row.Index.CpkLower95);
}

// Spread and indices of the values in the order given, and for a machine's
// row their normality, which tells how far its Cpk may be trusted, and the
// percentile method on the distribution that fits them best.
void Figure(CapabilityRow& row, const std::vector<double>& values) {
    row.Stats = SpreadOf(values);
    row.Index = CapabilityOf(row.Stats, row.Tolerance);
    row.Resolution = ResolutionOf(values);
    row.CoarseStep = TooCoarse(row.Resolution, row.Tolerance, row.Stats.OverallSigma);
    if (!row.Machine) return;
    row.Normal = AndersonDarling(values);
    if (row.Normal && row.Normal->PValue < kNormalityAlpha)
        row.RoundingOnly =
            RejectedForRoundingOnly(values, row.Resolution, row.Stats.OverallSigma.value_or(0), row.Tolerance);
    row.Percentile = PercentileCapability(values, row.Tolerance);
    if (WorthABound(row)) row.Percentile->CpkLower95 = ShapeAwareLowerBound(*row.Percentile, values.size(), row.Tolerance);
    if (row.NonNormal()) {
        if (row.Percentile && std::isfinite(row.Percentile->Ppm)) row.Ppm = row.Percentile->Ppm;
    } else if (row.Stats.Mean && row.Stats.OverallSigma && *row.Stats.OverallSigma > 0 &&
               row.Index.Counted != Sides::None) {
        row.Ppm = NormalPpm(*row.Stats.Mean, *row.Stats.OverallSigma, row.Tolerance);
    }
}

// A value the station left without a verdict (a book of an earlier version)
// that its own rule fails: the shortest text of the number reads back as the
// same decimal, so a value exactly on a limit is judged as the station would.
bool BeyondALimit(double value, const LimitTexts& limits) {
    return JudgeMeasuredValue(limits.Nominal, limits.Upper, limits.Lower, ExactText(value)) == Judgement::Fail;
}

// The values of a row as its samples are taken, and the days they span.
struct Taken {
    std::vector<double>& values;
    std::int32_t first = INT32_MAX, last = INT32_MIN;
    void Add(CapabilityRow& row, const Sample& s) {
        values.push_back(s.Value);
        first = std::min(first, s.DayNumber);
        last = std::max(last, s.DayNumber);
        if (s.Judged == Verdict::Fail) ++row.Failed;
        if (s.Judged == Verdict::None) {
            ++row.Unjudged;
            if (BeyondALimit(s.Value, row.Limits)) ++row.UnjudgedOutside;
        }
    }
    void Span(CapabilityRow& row) const {
        if (values.empty()) return;
        row.First = DateOfDays(first);
        row.Last = DateOfDays(last);
    }
};

}  // namespace

void CapabilityBuilder::AddMachineRows(int p, const PointState& point, std::vector<CapabilityRow>& rows) const {
    std::vector<const MachineState*> machines;
    for (std::int16_t slot : point.Slot)
        if (slot >= 0) machines.push_back(&point.Machines[static_cast<size_t>(slot)]);
    const bool changed = point.Sets.size() > 1;
    std::vector<double> values;
    for (const MachineState* machine : machines) {
        for (std::uint16_t set = 0; set < machine->BySet.size(); ++set) {
            const TextCounts& texts = machine->BySet[set];
            if (!texts.Seen) continue;
            CapabilityRow row = RowOf(p, point.Sets[set], changed, facts_.KindOf(p));
            row.Machine = machine->Values.Machine;
            values.clear();
            Taken taken{values};
            const auto& samples = machine->Values.Samples;
            for (const Sample& s : samples)
                if (s.LimitSet == set) taken.Add(row, s);
            taken.Span(row);
            Figure(row, values);
            SetControl control = ControlOfSet(machine->Values, set);
            row.Control = control.Limits;
            for (const RuleSignal& signal : control.Signals) ++row.Rules[static_cast<size_t>(signal.Rule)];
            row.OkCount = texts.Ok;
            row.NgCount = texts.Ng;
            row.OtherTexts = texts.Other;
            rows.push_back(std::move(row));
        }
    }
}

std::vector<Sample> CapabilityBuilder::Merged(const PointState& point, std::uint16_t set,
                                              int* machinesWithValues) const {
    std::vector<Sample> merged;
    for (std::int16_t slot : point.Slot) {
        if (slot < 0) continue;
        size_t before = merged.size();
        for (const Sample& s : point.Machines[static_cast<size_t>(slot)].Values.Samples)
            if (s.LimitSet == set) merged.push_back(s);
        if (machinesWithValues && merged.size() > before) ++*machinesWithValues;
    }
    std::stable_sort(merged.begin(), merged.end(),
                     [](const Sample& a, const Sample& b) { return a.DayNumber < b.DayNumber; });
    return merged;
}

void CapabilityBuilder::AddPooledRows(int p, const PointState& point, std::vector<CapabilityRow>& rows) const {
    const bool changed = point.Sets.size() > 1;
    for (std::uint16_t set = 0; set < point.Sets.size(); ++set) {
        int machinesWithValues = 0;
        std::vector<Sample> merged = Merged(point, set, &machinesWithValues);
        if (machinesWithValues < 2) continue;
        CapabilityRow row = RowOf(p, point.Sets[set], changed, facts_.KindOf(p));
        for (const MachineState& machine : point.Machines) {
            if (set >= machine.BySet.size()) continue;
            const TextCounts& texts = machine.BySet[set];
            row.OkCount += texts.Ok;
            row.NgCount += texts.Ng;
            for (const auto& [text, n] : texts.Other) CountText(row.OtherTexts, text, n);
        }
        std::vector<double> values;
        values.reserve(merged.size());
        Taken taken{values};
        for (const Sample& s : merged) taken.Add(row, s);
        taken.Span(row);
        Figure(row, values);
        // Interleaved machines make moving ranges meaningless: overall figures only.
        row.Stats.MeanMovingRange.reset();
        row.Stats.WithinSigma.reset();
        row.Index.Cp.reset();
        row.Index.Cpk.reset();
        row.Index.CpkLower95.reset();
        rows.push_back(std::move(row));
    }
}

std::vector<Sample> CapabilityBuilder::RowSamples(const CapabilityRow& row) const {
    if (row.Point < kFirstPoint || row.Point > kLastPoint) return {};
    const PointState& point = points_[static_cast<size_t>(row.Point)];
    auto it = std::find(point.Sets.begin(), point.Sets.end(), row.Limits);
    if (it == point.Sets.end()) return {};
    auto set = static_cast<std::uint16_t>(it - point.Sets.begin());
    if (!row.Machine) return Merged(point, set, nullptr);
    std::vector<Sample> samples;
    if (const Series* series = SeriesOf(row.Point, *row.Machine))
        for (const Sample& s : series->Samples)
            if (s.LimitSet == set) samples.push_back(s);
    return samples;
}

std::vector<CapabilityRow> CapabilityBuilder::Result(bool pooled) const {
    // Points are independent, and their figures (normality, percentile
    // method) are most of the time after the reading: one thread per processor.
    std::vector<std::vector<CapabilityRow>> byPoint(kLastPoint + 1);
    std::atomic<int> next{kFirstPoint};
    auto work = [&] {
        for (int p = next++; p <= kLastPoint; p = next++) {
            const PointState& point = points_[static_cast<size_t>(p)];
            if (point.Machines.empty()) continue;
            AddMachineRows(p, point, byPoint[static_cast<size_t>(p)]);
            if (pooled) AddPooledRows(p, point, byPoint[static_cast<size_t>(p)]);
        }
    };
    const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u) - 1;
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < helpers; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
    std::vector<CapabilityRow> rows;
    for (auto& point : byPoint) std::move(point.begin(), point.end(), std::back_inserter(rows));
    // A point seen only with no nominal size and nothing measured says nothing.
    std::erase_if(rows, [](const CapabilityRow& row) {
        return row.Stats.N == 0 && row.OkCount == 0 && row.NgCount == 0 && row.OtherTexts.empty() &&
               row.Limits.Nominal.empty();
    });
    return rows;
}

const Series* CapabilityBuilder::SeriesOf(int point, int machine) const {
    if (point < kFirstPoint || point > kLastPoint || machine < 0 || machine > kLastMachine) return nullptr;
    const PointState& state = points_[static_cast<size_t>(point)];
    std::int16_t slot = state.Slot[static_cast<size_t>(machine)];
    return slot < 0 ? nullptr : &state.Machines[static_cast<size_t>(slot)].Values;
}

const std::vector<LimitTexts>& CapabilityBuilder::LimitSets(int point) const {
    static const std::vector<LimitTexts> kNone;
    if (point < kFirstPoint || point > kLastPoint) return kNone;
    return points_[static_cast<size_t>(point)].Sets;
}

std::string FixedText(std::optional<double> value, int decimals, std::string_view none) {
    if (!value || !std::isfinite(*value)) return std::string(none);
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return std::string(none);
    std::string text(buffer, end);
    if (text.starts_with("-") && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

std::string ExactText(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string();
}

std::string SidesText(const CapabilityRow& row) {
    if (row.Tolerance.LowerIsNaturalBound) return "上側(自然限界)";
    if (row.Tolerance.Upper && row.Tolerance.Lower) return "両側";
    if (row.Tolerance.Upper) return "上側のみ";
    if (row.Tolerance.Lower) return "下側のみ";
    return "規格なし";
}

}  // namespace ziv::report
