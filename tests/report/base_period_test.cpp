// Why a base period needs twenty values: limits fixed from fewer flag an
// in-control process far more often than the 0.27 % that three sigma
// promises, and the station would warn about nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "report/base_period.h"

namespace {

using namespace ziv::report;

struct FalseSignals {
    double BeyondLimits = 0;  // share of later values beyond the individuals limits
    double Any = 0;           // share of later values with any signal the station checks
};

// Limits fixed from n values of a normal process, then 250 more values of
// the same process checked against them, over many fixings.
FalseSignals Simulate(std::size_t n, std::mt19937_64& random) {
    constexpr int kFixings = 2000;
    constexpr std::size_t kLater = 250;
    std::normal_distribution<double> process(10.0, 0.004);
    std::size_t beyond = 0, any = 0;
    for (int f = 0; f < kFixings; ++f) {
        std::vector<double> base(n), later(kLater);
        for (double& x : base) x = process(random);
        for (double& x : later) x = process(random);
        const ControlLimits limits = *IndividualsLimits(SpreadOf(base));
        for (double x : later) beyond += x > limits.Upper || x < limits.Lower;
        const std::vector<RuleSignal> signals = ControlSignals(later, limits);
        for (std::size_t i = 0; i < signals.size(); ++i) any += i == 0 || signals[i].Index != signals[i - 1].Index;
    }
    const double values = static_cast<double>(kFixings) * static_cast<double>(kLater);
    return {static_cast<double>(beyond) / values, static_cast<double>(any) / values};
}

TEST(BasePeriod, LimitsFromFewValuesRaiseFalseSignalsOnAnInControlProcess) {
    std::mt19937_64 random(20260316);
    std::printf("基準の値 n\t管理限界外\t何かの信号\n");
    std::vector<FalseSignals> found;
    for (std::size_t n : {std::size_t{2}, std::size_t{5}, kBaseValues, std::size_t{60}}) {
        found.push_back(Simulate(n, random));
        std::printf("%zu\t%.2f %%\t%.2f %%\n", n, 100 * found.back().BeyondLimits, 100 * found.back().Any);
    }
    // A known sigma gives 0.27 % beyond the limits; an estimated one more,
    // and far more from a single moving range.
    EXPECT_GT(found[0].BeyondLimits, 0.10);
    EXPECT_LT(found[2].BeyondLimits, 0.015);
    EXPECT_LT(found[3].BeyondLimits, found[2].BeyondLimits);
    EXPECT_GT(found[0].Any, 5 * found[2].Any);
}

}  // namespace
