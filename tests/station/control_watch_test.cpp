// The station's warning against fixed control limits: raised at the value
// that completes a rule and not before, cleared by a value in control or a
// reaction, and never for a point without fixed limits.
#include <gtest/gtest.h>

#include "station/control_watch.h"

namespace {

using namespace ziv;

// Centre 10, MR̄ 0.01: control limits 10 ± 0.0266.
ControlWatch WatchPoint5OnMachine1() {
    report::FixedLimit fixed;
    fixed.Point = 5;
    fixed.Machine = 1;
    fixed.Version = 1;
    fixed.Limits = {10, 10.0266, 9.9734, 0.01, 0.03267, 0};
    ControlWatch watch;
    watch.SetLimits({{{5, 1}, fixed}});
    return watch;
}

struct Step {
    double Value;
    std::optional<std::string> Shown;  // the label after the value
};

TEST(ControlWatch, ASignalComesAtTheValueThatCompletesTheRuleAndStaysUntilAValueInControl) {
    const std::vector<std::vector<Step>> runs{
        // A drift: five rises after 9.995 complete rule 3 at the sixth value.
        {{10.002, {}}, {9.995, {}}, {9.998, {}}, {10.001, {}}, {10.004, {}}, {10.007, {}},
         {10.010, "傾向 点5: 6点連続の増加"}, {10.005, {}}},
        // Beyond the upper limit at once; back inside clears it.
        {{10.001, {}}, {10.03, "管理外れ 点5: 管理限界外"}, {10.02, {}}},
        // Nine on one side of the centre, not rising steadily.
        {{10.004, {}}, {10.002, {}}, {10.005, {}}, {10.001, {}}, {10.006, {}}, {10.003, {}}, {10.002, {}},
         {10.004, {}}, {10.003, "傾向 点5: 片側に9点"}},
        // A jump of 0.045 between two values inside the limits: beyond the
        // moving range's 0.03267.
        {{9.975, {}}, {10.02, "管理外れ 点5: 移動範囲の管理限界外"}, {10.01, {}}},
        // A fall of six.
        {{10.0, {}}, {9.999, {}}, {9.996, {}}, {9.992, {}}, {9.991, {}}, {9.985, "傾向 点5: 6点連続の減少"}},
    };
    for (const auto& run : runs) {
        ControlWatch watch = WatchPoint5OnMachine1();
        std::vector<double> recent;
        for (const Step& step : run) {
            auto signal = watch.Check(5, 1, recent, step.Value);
            recent.push_back(step.Value);
            EXPECT_EQ(signal ? std::optional(signal->Text()) : std::nullopt, step.Shown) << step.Value;
            auto standing = watch.Standing(5, 1);
            EXPECT_EQ(standing ? std::optional(standing->Text()) : std::nullopt, step.Shown) << step.Value;
        }
    }
}

TEST(ControlWatch, AReactionClearsTheSignalAndUnwatchedPointsAreLeftAlone) {
    ControlWatch watch = WatchPoint5OnMachine1();
    ASSERT_TRUE(watch.Check(5, 1, {10.0}, 10.05));
    watch.Reacted(5, 1);
    EXPECT_FALSE(watch.Standing(5, 1));
    // Another point, the same point on another machine: no limits, no signal.
    EXPECT_FALSE(watch.Check(6, 1, {10.0}, 99));
    EXPECT_FALSE(watch.Check(5, 2, {10.0}, 99));
    EXPECT_FALSE(watch.Standing(5, 2));
}

JournalEntry Entry(int day, const std::string& op, int ms, const std::string& text) {
    JournalEntry e;
    e.Time.Utc = std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(ms));
    e.WorkDate = std::chrono::year{2026} / 3 / day;
    e.Operator = op;
    e.Machine = 1;
    e.Point = 5;
    e.Text = text;
    return e;
}

TEST(RecentValues, OneValuePerCellInTheOrderTakenWithoutTheCellBeingWritten) {
    RecentValues recent;
    // Entries from two stations' journals, read in any order.
    for (const JournalEntry& e : {Entry(2, "b", 400, "10.04"), Entry(1, "a", 100, "10.01"),
                                  Entry(1, "a", 300, "10.03"),  // measured again: replaces 10.01
                                  Entry(1, "b", 200, "10.02"), Entry(2, "a", 500, "OK"), Entry(3, "a", 600, "10.06")})
        recent.Add(e);
    EXPECT_EQ(recent.Before(5, 1, std::chrono::year{2026} / 3 / 3, "a"), (std::vector<double>{10.02, 10.03, 10.04}));
    EXPECT_EQ(recent.Before(5, 1, std::chrono::year{2026} / 3 / 9, "a", 2), (std::vector<double>{10.04, 10.06}));
    EXPECT_TRUE(recent.Before(6, 1, std::chrono::year{2026} / 3 / 3, "a").empty());
}

}  // namespace
