#include "report/fixed_chart.h"

#include <algorithm>

#include "report/journal_index.h"

namespace ziv::report {

namespace {

std::int64_t Ms(const Timestamp& time) { return time.Utc.time_since_epoch().count(); }

// Whether the sample was taken by `ms` (a time of the station's clock) on
// working date `day`; one without a time was taken at the end of its date.
bool TakenBy(const Sample& sample, std::int64_t ms, int day) {
    return sample.TakenMs != Sample::kNoTime ? sample.TakenMs <= ms : sample.DayNumber < day;
}

bool FixedBefore(const FixedLimit& fixing, const Sample& sample) {
    if (sample.TakenMs != Sample::kNoTime) return Ms(fixing.FixedAt) <= sample.TakenMs;
    return DaysOf(fixing.FixedAt.LocalDay()) <= sample.DayNumber;
}

}  // namespace

FixedControl FixedControlOf(const Series& series, const std::vector<FixedLimit>& file, int point) {
    FixedControl control;
    for (const FixedLimit& l : file)
        if (l.Point == point && l.Machine == series.Machine) control.Fixings.push_back(l);
    if (control.Fixings.empty()) return control;
    std::stable_sort(control.Fixings.begin(), control.Fixings.end(),
                     [](const FixedLimit& a, const FixedLimit& b) { return a.Version < b.Version; });
    const std::vector<Sample>& samples = series.Samples;
    control.At.assign(samples.size(), 0);
    for (size_t i = 0; i < samples.size(); ++i)
        for (size_t f = 1; f < control.Fixings.size(); ++f)
            if (FixedBefore(control.Fixings[f], samples[i])) control.At[i] = static_cast<std::int16_t>(f);
    // The rules over each run of values under one fixing; the first value of
    // a run has no moving range under that fixing.
    for (size_t first = 0; first < samples.size();) {
        size_t end = first;
        std::vector<double> values;
        while (end < samples.size() && control.At[end] == control.At[first]) values.push_back(samples[end++].Value);
        for (RuleSignal s : ControlSignals(values, control.Fixings[static_cast<size_t>(control.At[first])].Limits)) {
            s.Index += first;
            control.Signals.push_back(s);
        }
        first = end;
    }
    return control;
}

std::vector<ChartEvent> EventsOnSeries(const Series& series, const std::vector<const JournalEntry*>& history) {
    std::vector<ChartEvent> events;
    for (const JournalEntry* entry : history) {
        if (entry->Way != EntryWay::Signal && entry->Way != EntryWay::Reaction) continue;
        if (entry->Machine != series.Machine) continue;
        const std::int64_t ms = Ms(entry->Time);
        const int day = DaysOf(entry->WorkDate);
        // How many values were taken before it.
        double before = 0;
        for (size_t i = 0; i < series.Samples.size(); ++i)
            if (TakenBy(series.Samples[i], ms, day)) before = static_cast<double>(i + 1);
        ChartEvent event{ChartEvent::Kind::Reaction, before - 0.5, entry->Text, entry->Time};
        if (entry->Way == EntryWay::Signal) {
            if (before == 0) continue;
            event.What = ChartEvent::Kind::Signal;
            event.At = before - 1;
        }
        events.push_back(std::move(event));
    }
    return events;
}

std::string ReactionKind(const std::string& text) {
    size_t colon = text.find(':');
    std::string kind = text.substr(0, colon);
    while (!kind.empty() && kind.back() == ' ') kind.pop_back();
    return kind;
}

}  // namespace ziv::report
