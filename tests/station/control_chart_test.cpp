// The small control chart beside the grid: every limit line, and names of
// close lines that never print over each other.
#include <gtest/gtest.h>

#include "station/control_chart.h"

using namespace ziv;

// Seen: point 1 (120 +0.02/-0.03) under limits 120 ± 0.006: the lower
// tolerance line 119.97 was never drawn. A bound no part can cross (0
// +0.05/0) is no line.
TEST(ControlChart, BothToleranceLinesAreDrawnWithinTheScale) {
    report::FixedLimit fixed;
    fixed.Limits = {120, 120.006, 119.994, 0.002, 0.0065, 0};
    for (auto [tolerance, lines] : {std::pair{report::LimitTexts{"120", "0.02", "-0.03"}, 5u}, {{"0", "0.05", "0"}, 4u}}) {
        fixed.Tolerance = tolerance;
        const std::vector<ChartLine> drawn = ChartLinesOf(fixed);
        EXPECT_EQ(drawn.size(), lines);
        const ChartRange range = ChartRangeOf(drawn, {});
        for (const ChartLine& l : drawn) EXPECT_TRUE(range.Low < l.Value && l.Value < range.High) << l.Name;
    }
}

// Seen: 上限 90.05 printed over UCL 90.046653.
TEST(ControlChart, NamesOfCloseLinesStandApartWithinTheChart) {
    const std::vector<std::vector<double>> wanted_placed[] = {
        {{20, 60, 100}, {20, 60, 100}},   // apart already
        {{50, 44}, {58, 44}},             // close: the lower goes below
        {{100, 98, 99}, {100, 72, 86}},   // at the foot: pushed up, in order
        {{-5}, {7}},                      // above the top: brought in
    };
    for (const auto& c : wanted_placed) EXPECT_EQ(SpreadLabels(c[0], 14, 0, 107), c[1]);
}
