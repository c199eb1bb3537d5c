#pragma once
// The charts of a row of the capability table: the individuals and moving
// range (I-MR) control charts of the point on its machine, a step of the axis
// per value with dates as labels, each set of limits with the control limits
// of its own row, and the histogram of the row's values with the fitted
// normal curve. The control charts can take the fixed control limits instead,
// and mark the signals and reactions the journals hold.
#include <QtCharts/QChart>
#include <vector>

#include "report/capability.h"
#include "report/fixed_chart.h"

namespace ziv::report {

// What a chart needs of the collected range.
struct ChartData {
    const CapabilityRow& Row;
    // The machine's whole series (several limit sets, when they changed);
    // empty for a pooled row.
    const Series* Values = nullptr;
    const std::vector<LimitTexts>& Sets;
    // The row's own values, in date order (the histogram's).
    std::vector<double> RowValues;
    // What the part facts say the point is: whether 0 is a natural boundary.
    PointKind Kind = PointKind::Unnamed;
    // The machine's series against the limits quality staff fixed, instead
    // of those of the range; null, or without fixings, for the range's.
    const FixedControl* Fixed = nullptr;
    // The stations' signals and the operators' reactions on the series.
    std::vector<ChartEvent> Events;
};

// Every chart is a new object the caller owns (a chart view takes it).
QChart* NewIndividualsChart(const ChartData& data);
QChart* NewMovingRangeChart(const ChartData& data);
QChart* NewHistogram(const ChartData& data);

}  // namespace ziv::report
