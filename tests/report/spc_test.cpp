// Statistical process control of one series. Figures marked numpy, scipy or
// statsmodels were computed with those (numpy 1.24, scipy 1.10, statsmodels
// 0.13) from the same values; the others are worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "report/spc.h"

using namespace ziv;
using namespace ziv::report;

namespace {

// numpy: normal noise (sd 0.004 about 10), and a drift of 0.002 a value; 3 decimals.
const std::vector<double> kStable = {10.000, 10.001, 9.999,  9.996,  9.998, 9.996,  10.000, 10.005, 9.998, 9.998,
                                     10.002, 10.001, 10.000, 9.996,  10.000, 10.003, 9.995, 9.998,  9.992, 9.995};
const std::vector<double> kDrift = {9.998,  10.002, 10.003, 10.006, 10.008, 10.010, 10.009, 10.013, 10.016, 10.018,
                                    10.018, 10.022, 10.023, 10.025, 10.029, 10.029, 10.032, 10.035, 10.035, 10.038};

using Marks = std::vector<std::pair<int, size_t>>;
Marks MarksOf(const std::vector<double>& values, ControlLimits limits = {0, 3, -3, 0, 0, 0}) {
    Marks marks;
    for (const RuleSignal& s : RunRules(values, limits)) marks.emplace_back(s.Rule, s.Index);
    return marks;
}

}  // namespace

// numpy: mean, std(ddof=1), mean(abs(diff)) / 1.128.
TEST(SpcSpread, WithinAndOverallSigma) {
    Spread stable = SpreadOf(kStable);
    EXPECT_NEAR(*stable.Mean, 9.99865, 1e-12);
    EXPECT_NEAR(*stable.OverallSigma, 0.003099660422827388, 1e-12);
    EXPECT_NEAR(*stable.WithinSigma, 0.0029395296752518225, 1e-12);
    EXPECT_TRUE(*stable.Min == 9.992 && *stable.Max == 10.005);
    // A drift swells the overall sigma; neighbours still differ by little.
    Spread drift = SpreadOf(kDrift);
    EXPECT_NEAR(*drift.OverallSigma, 0.012141598784864918, 1e-12);
    EXPECT_NEAR(*drift.WithinSigma, 0.0019596864501679645, 1e-12);
    // 0.1 three times sums to 0.30000000000000004: still no spread.
    Spread flat = SpreadOf({0.1, 0.1, 0.1});
    EXPECT_TRUE(*flat.Mean == 0.1 && *flat.OverallSigma == 0 && *flat.WithinSigma == 0);
    Spread one = SpreadOf({10.02});
    EXPECT_TRUE(*one.Mean == 10.02 && !one.OverallSigma && !one.WithinSigma && !SpreadOf({}).Mean);
}

TEST(SpcCapability, SidesAndIndices) {
    // numpy, limits 10.015 / 9.990 on kStable: the lower side is the nearer.
    Spread stable = SpreadOf(kStable);
    Indices both = CapabilityOf(stable, {10.015, 9.990});
    EXPECT_EQ(both.Counted, Sides::Both);
    EXPECT_NEAR(*both.Cp, 1.417460317460404, 1e-9);
    EXPECT_NEAR(*both.Cpk, 0.9808825396825153, 1e-9);
    EXPECT_NEAR(*both.Pp, 1.3442332701935322, 1e-9);
    EXPECT_NEAR(*both.Ppk, 0.9302094229738443, 1e-9);
    EXPECT_NEAR(*both.CpkLower95, 0.6918535255116618, 1e-9);
    Indices upper = CapabilityOf(stable, {10.015, std::nullopt});
    EXPECT_EQ(upper.Counted, Sides::UpperOnly);
    EXPECT_FALSE(upper.Cp || upper.Pp || upper.NaturalBound);
    EXPECT_NEAR(*upper.Cpk, 1.8540380952382924, 1e-9);
    Indices lower = CapabilityOf(stable, {std::nullopt, 9.990});
    EXPECT_TRUE(lower.Counted == Sides::LowerOnly && std::abs(*lower.Ppk - 0.9302094229738443) < 1e-9);

    // Flatness 0 / +0.01: mean 0.003, moving ranges 0.011 / 5, within sigma
    // 0.0022 / 1.128, Cpk 0.007 / 0.0058511 = 1.19636 (Ppk numpy); against
    // the bound 0 it would be 0.513.
    Spread flatness = SpreadOf({0.002, 0.004, 0.003, 0.005, 0.001, 0.003});
    Indices natural = CapabilityOf(flatness, {0.01, 0.0, true});
    EXPECT_TRUE(natural.Counted == Sides::UpperOnly && natural.NaturalBound);
    EXPECT_FALSE(natural.Cp || natural.Pp);
    EXPECT_NEAR(*natural.Cpk, 1.196363636363636, 1e-9);
    EXPECT_NEAR(*natural.Ppk, 1.6499158227686108, 1e-9);
    Indices boundOnly = CapabilityOf(flatness, {std::nullopt, 0.0, true});
    EXPECT_TRUE(boundOnly.Counted == Sides::None && !boundOnly.NaturalBound && !boundOnly.Cpk);

    Indices one = CapabilityOf(SpreadOf({10.0}), {10.015, 9.990});
    EXPECT_FALSE(one.Cp || one.Cpk || one.Pp || one.Ppk || one.CpkLower95);
    Indices flat = CapabilityOf(SpreadOf({0.1, 0.1, 0.1}), {0.2, 0.0});
    EXPECT_FALSE(flat.Cp || flat.Cpk || flat.Pp || flat.Ppk);
}

TEST(SpcCapability, BissellBound) {
    // 1.33 - 1.6449 * sqrt(1/450 + 1.7689/98) = 1.33 - 1.6449 * 0.142381 = 1.095798.
    EXPECT_NEAR(BissellLowerBound(1.33, 50), 1.095798, 1e-6);
    double previous = -1;
    for (size_t n : {5u, 30u, 200u, 5000u}) {
        double bound = BissellLowerBound(1.33, n);
        EXPECT_TRUE(bound > previous && bound < 1.33) << n;
        previous = bound;
    }
    EXPECT_GT(previous, 1.30);
    EXPECT_TRUE(std::isnan(BissellLowerBound(1.33, 1)));
}

TEST(SpcControlChart, IndividualsLimits) {
    // 10.00 10.02 9.99 10.01 10.03: mean 10.01, moving ranges .02 .03 .02 .02,
    // MR-bar 0.0225; 2.66 * 0.0225 = 0.05985, 3.267 * 0.0225 = 0.0735075.
    auto limits = IndividualsLimits(SpreadOf({10.00, 10.02, 9.99, 10.01, 10.03}));
    ASSERT_TRUE(limits);
    EXPECT_NEAR(limits->Centre, 10.01, 1e-12);
    EXPECT_NEAR(limits->Upper, 10.06985, 1e-12);
    EXPECT_NEAR(limits->Lower, 9.95015, 1e-12);
    EXPECT_NEAR(limits->RangeCentre, 0.0225, 1e-12);
    EXPECT_NEAR(limits->RangeUpper, 0.0735075, 1e-12);
    EXPECT_FALSE(IndividualsLimits(SpreadOf({10.0})));
}

// Limits 3 / -3 about 0; each series is built to set off one rule only.
TEST(SpcRunRules, EachRuleAlone) {
    EXPECT_EQ(MarksOf({0.5, -0.5, 3.0, 3.1, -3.2, 0.2}), (Marks{{1, 3}, {1, 4}}));  // on a limit is in
    // Ten above the centre, zigzagging for fewer than fourteen points.
    EXPECT_EQ(MarksOf({-1, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, -1}), (Marks{{2, 9}, {2, 10}}));
    // Eight above, one on the centre, eight above: no run; just above, one.
    std::vector<double> split(17, 1.0);
    split[8] = 0;
    EXPECT_TRUE(MarksOf(split).empty());
    split[8] = 0.01;
    EXPECT_EQ(MarksOf(split).size(), 9u);
    // Six rising points, seven falling; five rising are too few, an equal pair breaks.
    EXPECT_EQ(MarksOf({0, -1, -0.5, 0.1, 0.5, 1, 1.5, 1.0}), (Marks{{3, 6}}));
    EXPECT_EQ(MarksOf({1, 0.5, -0.1, -0.5, -1, -1.5, -1.6}), (Marks{{3, 5}, {3, 6}}));
    EXPECT_TRUE(MarksOf({-1, -0.5, 0.1, 0.5, 1}).empty());
    EXPECT_TRUE(MarksOf({-1, -0.5, 0.1, 0.1, 0.5, 1, 1.5}).empty());
    // Sixteen alternating points: thirteen alternating steps reach index 13.
    std::vector<double> zigzag, broken;
    for (int i = 0; i < 16; ++i) zigzag.push_back(i % 2 ? -1 : 1);
    EXPECT_EQ(MarksOf(zigzag), (Marks{{4, 13}, {4, 14}, {4, 15}}));
    // Forty alternating points, each tenth repeating its neighbour: in control.
    for (int i = 0; i < 40; ++i) broken.push_back((i / 10 % 2 == 0) == (i % 2 == 0) ? 1 : -1);
    EXPECT_TRUE(MarksOf(broken).empty());
}

// Expected marks from a separate window-by-window check written with numpy.
TEST(SpcRunRules, DriftAndNoise) {
    auto drift = IndividualsLimits(SpreadOf(kDrift));
    Marks expected = {{1, 0}, {1, 1}, {1, 2},  {1, 3},  {1, 4},  {1, 5},  {3, 5},  {1, 6},  {2, 8},  {2, 9},
                      {2, 10}, {1, 13}, {1, 14}, {1, 15}, {1, 16}, {1, 17}, {1, 18}, {1, 19}, {2, 19}};
    EXPECT_EQ(MarksOf(kDrift, *drift), expected);
    EXPECT_EQ(CountByRule(RunRules(kDrift, *drift)), (std::array<size_t, 5>{17, 14, 4, 1, 0}));
    // The window check finds nothing in the noise.
    EXPECT_TRUE(MarksOf(kStable, *IndividualsLimits(SpreadOf(kStable))).empty());
}

TEST(SpcHistogram, Bins) {
    // numpy.histogram(bins="fd"): 5 bins of 0.0026 from 9.992; the max in the last.
    Histogram fd = BinsOf(kStable);
    EXPECT_EQ(fd.Counts, (std::vector<size_t>{1, 5, 5, 7, 2}));
    EXPECT_TRUE(std::abs(fd.Start - 9.992) < 1e-12 && std::abs(fd.Width - 0.0026) < 1e-12);
    // Interquartile range 0: numpy.histogram(bins="sturges"), 5 bins of 0.6.
    Histogram sturges = BinsOf({5, 5, 5, 5, 5, 4, 5, 5, 5, 5, 7, 5, 5});
    EXPECT_EQ(sturges.Counts, (std::vector<size_t>{1, 11, 0, 0, 1}));
    EXPECT_NEAR(sturges.Width, 0.6, 1e-12);
    // A wild value would ask for some 46000 bins.
    std::vector<double> wild;
    for (int i = 0; i < 100; ++i) wild.push_back(i * 0.001);
    wild.push_back(1000);
    Histogram clamped = BinsOf(wild);
    ASSERT_EQ(clamped.Counts.size(), kMaxBins);
    EXPECT_TRUE(clamped.Counts.front() == 100 && clamped.Counts.back() == 1);
    Histogram equal = BinsOf({2.5, 2.5, 2.5});
    EXPECT_EQ(equal.Counts, (std::vector<size_t>{3}));
    EXPECT_TRUE(equal.Width > 0 && std::abs(equal.Start + equal.Width / 2 - 2.5) < 1e-12);
    // 1 / (0.5 sqrt(2 pi)) = 0.7978846; at one sigma times exp(-1/2).
    EXPECT_TRUE(std::abs(NormalDensity(10, 10, 0.5) - 0.7978846) < 1e-7 &&
                std::abs(NormalDensity(10.5, 10, 0.5) - 0.4839414) < 1e-7);
}

// A2 from statsmodels normal_ad and scipy.stats.anderson (they agree), the
// p-value (from A*2) from normal_ad; one sample in each piece of its curve.
TEST(SpcNormality, AndersonDarling) {
    struct Case {
        std::vector<double> Values;
        double A2, P;
    };
    const Case cases[] = {
        {{10.012, 10.000, 10.007, 9.987, 10.017, 10.007, 9.999, 9.996}, 0.17189986302726012, 0.8929329346284691},
        {{10.007, 10.016, 10.003, 9.988, 9.990, 10.016, 10.002, 9.983, 9.999}, 0.24098007546825606, 0.6853422160447414},
        {{9.994, 9.999, 10.014, 9.996, 10.002, 10.000, 10.006, 9.996, 9.998}, 0.4818163212383073, 0.17057527570806094},
        // Exponential: skewed.
        {{10.010, 10.009, 10.020, 10.000, 10.000, 10.003, 10.005, 10.055}, 0.9624819734824914, 0.007540507310392295},
    };
    for (const Case& c : cases) {
        auto result = AndersonDarling(c.Values);
        ASSERT_TRUE(result);
        EXPECT_NEAR(result->A2, c.A2, 1e-9);
        EXPECT_NEAR(result->PValue, c.P, 1e-9);
    }
    // A wild value 44.7 sigma above 1999 equal ones, where erfc is 0: scipy
    // (from log probabilities) gives 772.305; statsmodels overflows.
    std::vector<double> wild(1999, 10.0);
    wild.push_back(1002.0);
    auto far = AndersonDarling(wild);
    ASSERT_TRUE(far);
    EXPECT_NEAR(far->A2, 772.304918928121, 1e-6);
    EXPECT_NEAR(far->A2Star, 772.304918928121 * (1 + 0.75 / 2000 + 2.25 / 4e6), 1e-6);
    EXPECT_TRUE(far->PValue >= 0 && far->PValue < 1e-100);
    EXPECT_FALSE(AndersonDarling({1, 2, 3, 4, 5, 6, 7}) || AndersonDarling(std::vector<double>(10, 0.1)));
}

TEST(SpcDecimals, DisplayAndSpread) {
    EXPECT_EQ(DisplayDecimals({"0.02"}), 3);
    EXPECT_EQ(DisplayDecimals({"0.02", "-0.001", "", "OK"}), 4);
    EXPECT_EQ(DisplayDecimals({"1"}), 2);
    EXPECT_EQ(DisplayDecimals({"1.5E-03", "1E+03"}), 5);
    EXPECT_EQ(DisplayDecimals({"0.00000001"}), 8);
    // Three significant digits: 0.00123 needs 5 decimals, 0.0123 and 0.001 4 and 5.
    EXPECT_EQ(SpreadDecimals(0.00123, 3), 5);
    EXPECT_EQ(SpreadDecimals(0.0123, 3), 4);
    EXPECT_EQ(SpreadDecimals(0.001, 2), 5);
    // Never fewer than one more than the values.
    EXPECT_TRUE(SpreadDecimals(1.5, 3) == 4 && SpreadDecimals(0.0, 3) == 4);
}
