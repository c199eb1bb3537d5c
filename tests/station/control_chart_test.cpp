// What the small control chart beside the grid shows: the point the label
// tells of, every limit line, and names that never print over each other.
#include <gtest/gtest.h>

#include <algorithm>

#include "station/control_chart.h"

namespace {

using namespace ziv;

// Seen: with 「自動」 the position moved on after a value, so 「傾向 点1」 stood
// beside the chart of point 2; on another machine the reaction stayed offered.
TEST(ControlChart, TheChartAndTheReactionFollowTheSignalTheLabelTells) {
    const ControlSignal onPoint1Machine0{3, 1, 0, true};
    struct Case {
        const char* name;
        int shownMachine, inputPoint;
        std::optional<ControlSignal> told;
        int point;
        bool reaction;
    };
    const Case cases[] = {
        {"no signal: the input position", 0, 2, {}, 2, false},
        {"the position moved on: the signalled point", 0, 2, onPoint1Machine0, 1, true},
        {"another machine shown: its input position, no reaction", 1, 4, onPoint1Machine0, 4, false},
    };
    for (const Case& c : cases) {
        ChartSubject subject = ChartSubjectOf(c.shownMachine, c.inputPoint, c.told);
        EXPECT_EQ(subject.Point, c.point) << c.name;
        EXPECT_EQ(subject.Signal.has_value(), c.reaction) << c.name;
    }
}

// Seen: the flange's point 1 (120 +0.02/-0.03) under limits 120 ± 0.006: the
// lower tolerance line 119.97 was never drawn. A lower bound no part can
// cross (0 +0.05/0) is no line.
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
    struct Case {
        const char* name;
        std::vector<double> wanted, placed;
    };
    const Case cases[] = {
        {"apart already: unmoved", {20, 60, 100}, {20, 60, 100}},
        {"close: the lower goes below", {50, 44}, {58, 44}},
        {"at the foot: pushed up, in order", {100, 98, 99}, {100, 72, 86}},
        {"above the top: brought in", {-5}, {7}},
    };
    for (const Case& c : cases) EXPECT_EQ(SpreadLabels(c.wanted, 14, 0, 107), c.placed) << c.name;
}

}  // namespace
