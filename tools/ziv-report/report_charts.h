#pragma once
// The two charts of a point: values in date order against the nominal size and
// the limits, and the histogram of the values with the limits.
#include <QtCharts/QChart>
#include <vector>

#include "report/capability.h"

namespace ziv::report {

// Both charts are new objects the caller owns (a chart view takes them).
QChart* NewRunChart(int point, const std::vector<Sample>& samples, const PointCapability& capability);
QChart* NewHistogram(int point, const std::vector<Sample>& samples, const PointCapability& capability);

}  // namespace ziv::report
