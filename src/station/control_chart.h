#pragma once
// What the small control chart beside the grid shows, without the painting:
// which point it is about, its lines and scale, and where the lines' names go.
#include <optional>
#include <string>
#include <vector>

#include "report/fixed_limits.h"
#include "station/control_watch.h"

namespace ziv {

// The chart and the reaction are about the signal the state label tells,
// while it stands on the machine shown (the input position has often moved
// on by then); else about the input position, with no reaction to record.
struct ChartSubject {
    int Point = 0;
    std::optional<ControlSignal> Signal;
};
ChartSubject ChartSubjectOf(int shownMachine, int inputPoint, const std::optional<ControlSignal>& told);

enum class ChartLineKind { Centre, ControlLimit, ToleranceLimit };
struct ChartLine {
    double Value = 0;
    std::string Name;  // "UCL", "上限", ...
    ChartLineKind Kind = ChartLineKind::Centre;
};
// The centre line, the control limits and the tolerance limits the fixing
// names; a lower bound no part can cross is no limit to draw.
std::vector<ChartLine> ChartLinesOf(const report::FixedLimit& limits);

// The values' scale, holding every line and value with a margin.
struct ChartRange {
    double Low = 0, High = 0;
};
ChartRange ChartRangeOf(const std::vector<ChartLine>& lines, const std::vector<double>& values);

// Centres for labels `height` tall wanted at `wanted` (any order, screen
// coordinates growing downwards) so that no two overlap: the upper of two
// close labels keeps its place and the lower goes just below it, all within
// [top, bottom] where there is room. Returned in the order given.
std::vector<double> SpreadLabels(const std::vector<double>& wanted, double height, double top, double bottom);

}  // namespace ziv
