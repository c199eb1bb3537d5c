#include "station/control_chart.h"

#include <algorithm>
#include <numeric>

#include "report/capability.h"

namespace ziv {

ChartSubject ChartSubjectOf(int shownMachine, int inputPoint, const std::optional<ControlSignal>& told) {
    if (told && told->Machine == shownMachine) return {told->Point, told};
    return {inputPoint, std::nullopt};
}

std::vector<ChartLine> ChartLinesOf(const report::FixedLimit& limits) {
    const report::ControlLimits& c = limits.Limits;
    std::vector<ChartLine> lines{{c.Centre, "CL", ChartLineKind::Centre},
                                 {c.Upper, "UCL", ChartLineKind::ControlLimit},
                                 {c.Lower, "LCL", ChartLineKind::ControlLimit}};
    report::ToleranceLimits tol = report::ToleranceLimitsOf(limits.Tolerance);
    if (tol.Upper) lines.push_back({*tol.Upper, "上限", ChartLineKind::ToleranceLimit});
    if (tol.Lower && !tol.LowerIsNaturalBound) lines.push_back({*tol.Lower, "下限", ChartLineKind::ToleranceLimit});
    return lines;
}

ChartRange ChartRangeOf(const std::vector<ChartLine>& lines, const std::vector<double>& values) {
    ChartRange range{lines.empty() ? 0 : lines.front().Value, lines.empty() ? 0 : lines.front().Value};
    auto hold = [&](double v) { range.Low = std::min(range.Low, v), range.High = std::max(range.High, v); };
    for (const ChartLine& line : lines) hold(line.Value);
    for (double v : values) hold(v);
    // A margin, so that the outermost line and value are not on the edge.
    const double pad = (range.High - range.Low) * 0.08 + 1e-12;
    return {range.Low - pad, range.High + pad};
}

std::vector<double> SpreadLabels(const std::vector<double>& wanted, double height, double top, double bottom) {
    std::vector<size_t> order(wanted.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return wanted[a] < wanted[b]; });
    std::vector<double> at(wanted.size());
    // Downwards from the top: a label keeps its place, or goes just below the
    // one above it; then upwards from the bottom where the last ran past it.
    double next = top + height / 2;
    for (size_t i : order) {
        at[i] = std::max(wanted[i], next);
        next = at[i] + height;
    }
    double last = bottom - height / 2;
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        at[*it] = std::min(at[*it], last);
        last = at[*it] - height;
    }
    return at;
}

}  // namespace ziv
