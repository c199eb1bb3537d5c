#pragma once
// The median and the 95th percentile of a benchmark's times, as the figures
// of the README give them.
#include <algorithm>
#include <vector>

inline double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[ms.size() / 2];
}

inline double P95(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms.empty() ? 0 : ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
}
