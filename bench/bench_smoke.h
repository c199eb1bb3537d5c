#pragma once
// The test run starts every benchmark program once with ZIV_BENCH_SMOKE=1, so
// that a benchmark that no longer builds or no longer runs to its end fails
// the tests. Such a run must take moments, not the minutes a measurement
// takes: the benchmarks do the same work, only fewer times and on smaller
// data sets. Its figures mean nothing.
#include <cstdlib>
#include <string_view>

namespace ziv {

inline bool SmokeRun() {
    const char* smoke = std::getenv("ZIV_BENCH_SMOKE");
    return smoke != nullptr && *smoke != '\0' && std::string_view(smoke) != "0";
}

// An iteration count or a data set's size: `measured` when measuring, `smoke` in a smoke run.
template <class T>
T BenchSize(T measured, T smoke) {
    return SmokeRun() ? smoke : measured;
}

}  // namespace ziv
