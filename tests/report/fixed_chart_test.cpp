// The report's control chart against fixed limits: each value under the
// fixing in force when it was taken, the rules against those limits, and the
// stations' signals and reactions where they happened among the values.
#include <gtest/gtest.h>

#include "report/fixed_chart.h"
#include "report/journal_index.h"

namespace {

using namespace ziv;
using namespace ziv::report;

constexpr std::int64_t kDayMs = 86'400'000, kHourMs = 3'600'000;

Timestamp At(int day, std::int64_t hourMs) {
    return {std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(day * kDayMs + hourMs)), {}};
}

FixedLimit Fixing(int version, Timestamp when, double centre, int machine = 2) {
    FixedLimit l;
    l.Version = version;
    l.FixedAt = when;
    l.Point = 4;
    l.Machine = machine;
    l.Limits = {centre, centre + 0.03, centre - 0.03, 0.01, 0.0327, 0};
    return l;
}

JournalEntry Event(EntryWay way, Timestamp time, const std::string& text, int machine = 2) {
    JournalEntry e;
    e.Time = time;
    e.WorkDate = Day{std::chrono::floor<std::chrono::days>(time.Utc)};
    e.Machine = machine;
    e.Point = 4;
    e.Way = way;
    e.Text = text;
    return e;
}

// Machine 2's point 4 on days 100..106 at 09:00; the second value of day 105
// has no time (a book the journal does not know).
Series EightValues() {
    Series series{2, {}};
    const std::vector<std::pair<int, double>> days{{100, 10.0}, {101, 10.01}, {102, 9.99}, {103, 10.05},
                                                   {104, 10.0}, {105, 10.01}, {105, 10.1}, {106, 10.2}};
    for (size_t i = 0; i < days.size(); ++i)
        series.Samples.push_back({days[i].second, i == 6 ? Sample::kNoTime : days[i].first * kDayMs + 9 * kHourMs,
                                  days[i].first, Verdict::None, 0});
    return series;
}

TEST(FixedChart, EachValueIsChartedAgainstTheFixingInForceWhenItWasTaken) {
    // Version 2 fixed at noon on day 105; version 1 on day 103, after three
    // values it still covers. Another machine's fixing is not this chart's.
    const std::vector<FixedLimit> file{Fixing(2, At(105, 12 * kHourMs), 10.1), Fixing(1, At(103, 8 * kHourMs), 10.0),
                                       Fixing(3, At(101, 0), 11.0, 3)};
    FixedControl fixed = FixedControlOf(EightValues(), file, 4);
    ASSERT_EQ(fixed.Fixings.size(), 2u);
    EXPECT_EQ(fixed.Fixings[0].Version, 1);
    // The timeless value of day 105 counts from the end of its day.
    EXPECT_EQ(fixed.At, (std::vector<std::int16_t>{0, 0, 0, 0, 0, 0, 1, 1}));
    // 10.1 is outside version 1's limits but inside version 2's. The jumps
    // into and out of 10.05 and up to 10.2 pass the moving-range limit
    // 0.0327; the step from 10.01 to 10.1 crosses into another fixing.
    std::vector<std::pair<size_t, int>> signals;
    for (const RuleSignal& s : fixed.Signals) signals.emplace_back(s.Index, s.Rule);
    EXPECT_EQ(signals, (std::vector<std::pair<size_t, int>>{{3, 1}, {3, kRangeRule}, {4, kRangeRule}, {7, 1},
                                                            {7, kRangeRule}}));
    EXPECT_FALSE(FixedControlOf(EightValues(), file, 5).Any());
}

TEST(FixedChart, SignalsStandOnTheirValueAndReactionsBetweenTheValuesTheyCameBetween) {
    const std::vector<JournalEntry> entries{
        Event(EntryWay::Signal, At(99, 10 * kHourMs), "管理限界外"),  // no value of the series before it
        Event(EntryWay::Reaction, At(99, 11 * kHourMs), "その他: 刃先欠け"),
        Event(EntryWay::Typed, At(103, 9 * kHourMs), "10.05"),
        Event(EntryWay::Signal, At(103, 9 * kHourMs + 1), "管理限界外"),
        Event(EntryWay::Reaction, At(103, 10 * kHourMs), "工具交換"),
        Event(EntryWay::Signal, At(103, 10 * kHourMs), "6点連続の増加", 3),  // another machine
        Event(EntryWay::Signal, At(105, 13 * kHourMs), "片側に9点"),
    };
    std::vector<const JournalEntry*> history;
    for (const JournalEntry& e : entries) history.push_back(&e);
    std::vector<ChartEvent> events = EventsOnSeries(EightValues(), history);
    using K = ChartEvent::Kind;
    const std::vector<ChartEvent> expected{{K::Reaction, -0.5, "その他: 刃先欠け", entries[1].Time},
                                           {K::Signal, 3, "管理限界外", entries[3].Time},
                                           {K::Reaction, 3.5, "工具交換", entries[4].Time},
                                           {K::Signal, 5, "片側に9点", entries[6].Time}};
    EXPECT_EQ(events, expected);
    EXPECT_EQ(ReactionKind("その他: 刃先欠け"), "その他");
    EXPECT_EQ(ReactionKind("工具交換"), "工具交換");
}

}  // namespace
