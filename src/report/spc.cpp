#include "report/spc.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

#include <boost/math/distributions/normal.hpp>

namespace ziv::report {

namespace {

constexpr double kE2 = 2.66;   // 3 / d2, individuals chart
constexpr double kD4 = 3.267;  // moving-range chart, ranges of two
constexpr size_t kSideRun = 9, kTrendRun = 6, kAlternatingRun = 14;

// The mean of equal values is that value, whatever rounding the sum picked up,
// so that equal values show no spread at all.
double MeanOf(const std::vector<double>& values, double lo, double hi) {
    if (lo == hi) return lo;
    double sum = 0;
    for (double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

double OverallSigmaOf(const std::vector<double>& values, double mean) {
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    return std::sqrt(squares / static_cast<double>(values.size() - 1));
}

double MeanMovingRangeOf(const std::vector<double>& inOrder) {
    double sum = 0;
    for (size_t i = 1; i < inOrder.size(); ++i) sum += std::abs(inOrder[i] - inOrder[i - 1]);
    return sum / static_cast<double>(inOrder.size() - 1);
}

struct IndexPair {
    std::optional<double> Potential, Actual;  // Cp and Cpk, or Pp and Ppk
};

IndexPair IndicesFor(double mean, std::optional<double> sigma, std::optional<double> upper,
                     std::optional<double> lower) {
    IndexPair pair;
    if (!sigma || !(*sigma > 0)) return pair;
    if (upper && lower) pair.Potential = (*upper - *lower) / (6 * *sigma);
    std::optional<double> upperSide, lowerSide;
    if (upper) upperSide = (*upper - mean) / (3 * *sigma);
    if (lower) lowerSide = (mean - *lower) / (3 * *sigma);
    if (upperSide && lowerSide)
        pair.Actual = std::min(*upperSide, *lowerSide);
    else
        pair.Actual = upperSide ? upperSide : lowerSide;
    return pair;
}

Sides SidesOf(bool upper, bool lower) {
    if (upper && lower) return Sides::Both;
    if (upper) return Sides::UpperOnly;
    if (lower) return Sides::LowerOnly;
    return Sides::None;
}

int SignOf(double value) { return (value > 0) - (value < 0); }

// Linear interpolation between order statistics, as spreadsheets' QUARTILE.INC
// and numpy's default quantile take it.
double QuantileOfSorted(const std::vector<double>& sorted, double p) {
    double h = p * static_cast<double>(sorted.size() - 1);
    auto below = static_cast<size_t>(std::floor(h));
    if (below + 1 >= sorted.size()) return sorted.back();
    return sorted[below] + (h - static_cast<double>(below)) * (sorted[below + 1] - sorted[below]);
}

// How many bins cover the range: Freedman-Diaconis where the middle half of
// the values has a spread, Sturges otherwise (many equal values in the middle).
size_t BinCount(const std::vector<double>& sorted) {
    double n = static_cast<double>(sorted.size());
    double iqr = QuantileOfSorted(sorted, 0.75) - QuantileOfSorted(sorted, 0.25);
    double bins = std::ceil(std::log2(n)) + 1;
    if (iqr > 0) bins = std::ceil((sorted.back() - sorted.front()) / (2 * iqr / std::cbrt(n)));
    return static_cast<size_t>(std::clamp(bins, 1.0, static_cast<double>(kMaxBins)));
}

// log Phi(z) without underflow: a single wild value among many equal ones
// stands tens of sigmas out, where erfc is 0 in double precision.
double LogNormalCdf(double z) {
    if (z > -30) return std::log(0.5 * std::erfc(-z / std::numbers::sqrt2));
    double z2 = z * z;
    return -0.5 * z2 - std::log(-z) - 0.5 * std::log(2 * std::numbers::pi) + std::log1p(-1 / z2 + 3 / (z2 * z2));
}

// D'Agostino and Stephens' fitted curves for the case of mean and sigma both
// estimated. The top curve turns upward past A*2 of about 153; beyond that
// the p-value stays at its least.
double AndersonDarlingPValue(double a) {
    double p;
    if (a >= 0.6) {
        a = std::min(a, 5.709 / (2 * 0.0186));
        p = std::exp(1.2937 - 5.709 * a + 0.0186 * a * a);
    } else if (a > 0.34) {
        p = std::exp(0.9177 - 4.279 * a - 1.38 * a * a);
    } else if (a > 0.2) {
        p = 1 - std::exp(-8.318 + 42.796 * a - 59.938 * a * a);
    } else {
        p = 1 - std::exp(-13.436 + 101.14 * a - 223.73 * a * a);
    }
    return std::clamp(p, 0.0, 1.0);
}

// Decimals a number text is written with; "1.5E-03" has 4, "1E+03" -3.
// Nothing for a text without a digit.
std::optional<int> DecimalsOf(std::string_view text) {
    if (text.find_first_of("0123456789") == std::string_view::npos) return std::nullopt;
    size_t exponentAt = text.find_first_of("EeDd");
    std::string_view mantissa = text.substr(0, exponentAt);
    int decimals = 0;
    if (size_t point = mantissa.find('.'); point != std::string_view::npos) {
        for (size_t i = point + 1; i < mantissa.size() && mantissa[i] >= '0' && mantissa[i] <= '9'; ++i)
            ++decimals;
    }
    if (exponentAt != std::string_view::npos) {
        std::string_view exponentText = text.substr(exponentAt + 1);
        if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
        int exponent = 0;
        std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
        decimals -= exponent;
    }
    return decimals;
}

// The sides the indices count: a natural lower bound is no limit.
std::optional<double> CountedLower(const ToleranceLimits& limits) {
    return limits.LowerIsNaturalBound ? std::nullopt : limits.Lower;
}

// Errors give NaN or infinity, which the callers turn into "no figure":
// nothing thrown through the reading thread.
using QuietPolicy = boost::math::policies::policy<
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::evaluation_error<boost::math::policies::ignore_error>,
    // Double precision is all the figures need, at a fraction of the time.
    boost::math::policies::promote_double<false>>;
using Normal = boost::math::normal_distribution<double, QuietPolicy>;
const Normal kStandardNormal;

// Boost takes infinite scores (beyond a bounded fit's support) but refuses NaN.
double NormalAbove(double z) { return std::isnan(z) ? 0 : boost::math::cdf(boost::math::complement(kStandardNormal, z)); }
double NormalBelow(double z) { return std::isnan(z) ? 0 : boost::math::cdf(kStandardNormal, z); }

}  // namespace

Spread SpreadOf(const std::vector<double>& inOrder) {
    Spread spread;
    spread.N = inOrder.size();
    if (inOrder.empty()) return spread;
    auto [lo, hi] = std::minmax_element(inOrder.begin(), inOrder.end());
    spread.Min = *lo;
    spread.Max = *hi;
    double mean = MeanOf(inOrder, *lo, *hi);
    spread.Mean = mean;
    if (inOrder.size() < 2) return spread;
    spread.OverallSigma = OverallSigmaOf(inOrder, mean);
    spread.MeanMovingRange = MeanMovingRangeOf(inOrder);
    spread.WithinSigma = *spread.MeanMovingRange / kD2;
    return spread;
}

Indices CapabilityOf(const Spread& spread, const ToleranceLimits& limits) {
    Indices indices;
    std::optional<double> upper = limits.Upper;
    std::optional<double> lower;
    if (!limits.LowerIsNaturalBound) lower = limits.Lower;
    indices.Counted = SidesOf(upper.has_value(), lower.has_value());
    indices.NaturalBound = limits.LowerIsNaturalBound && upper;
    if (!spread.Mean || spread.N < 2) return indices;
    IndexPair within = IndicesFor(*spread.Mean, spread.WithinSigma, upper, lower);
    IndexPair overall = IndicesFor(*spread.Mean, spread.OverallSigma, upper, lower);
    indices.Cp = within.Potential;
    indices.Cpk = within.Actual;
    indices.Pp = overall.Potential;
    indices.Ppk = overall.Actual;
    // Bissell's bound is derived for a sigma from n values with n - 1 degrees
    // of freedom; the moving-range sigma carries fewer, so taking n of the
    // values leaves the bound a little high for the within Cpk.
    if (indices.Cpk) indices.CpkLower95 = BissellLowerBound(*indices.Cpk, spread.N);
    return indices;
}

double BissellLowerBound(double cpk, size_t n, double z) {
    if (n < 2) return std::numeric_limits<double>::quiet_NaN();
    double count = static_cast<double>(n);
    return cpk - z * std::sqrt(1 / (9 * count) + cpk * cpk / (2 * (count - 1)));
}

std::optional<ControlLimits> IndividualsLimits(const Spread& spread) {
    if (spread.N < 2 || !spread.Mean || !spread.MeanMovingRange) return std::nullopt;
    double centre = *spread.Mean, range = *spread.MeanMovingRange;
    ControlLimits limits;
    limits.Centre = centre;
    limits.Upper = centre + kE2 * range;
    limits.Lower = centre - kE2 * range;
    limits.RangeCentre = range;
    limits.RangeUpper = kD4 * range;
    limits.RangeLower = 0;
    return limits;
}

std::vector<RuleSignal> RunRules(const std::vector<double>& inOrder, const ControlLimits& limits) {
    std::vector<RuleSignal> signals;
    size_t sideRun = 0, trendRun = 0, alternatingRun = 0;  // in points
    int side = 0, step = 0;
    for (size_t i = 0; i < inOrder.size(); ++i) {
        double x = inOrder[i];
        if (x > limits.Upper || x < limits.Lower) signals.push_back({1, i});

        int newSide = SignOf(x - limits.Centre);
        sideRun = newSide == 0 ? 0 : newSide == side ? sideRun + 1 : 1;
        side = newSide;
        if (sideRun >= kSideRun) signals.push_back({2, i});

        int newStep = i == 0 ? 0 : SignOf(x - inOrder[i - 1]);
        // A run of steps counts the point before its first step too.
        trendRun = newStep == 0 ? 0 : newStep == step ? trendRun + 1 : 2;
        alternatingRun = newStep == 0 ? 0 : newStep == -step ? alternatingRun + 1 : 2;
        step = newStep;
        if (trendRun >= kTrendRun) signals.push_back({3, i});
        if (alternatingRun >= kAlternatingRun) signals.push_back({4, i});
    }
    return signals;
}

std::array<size_t, 5> CountByRule(const std::vector<RuleSignal>& signals) {
    std::array<size_t, 5> counts{};
    std::vector<size_t> points;
    for (const RuleSignal& signal : signals) {
        if (signal.Rule < 1 || signal.Rule > 4) continue;
        ++counts[static_cast<size_t>(signal.Rule)];
        points.push_back(signal.Index);
    }
    std::sort(points.begin(), points.end());
    counts[0] = static_cast<size_t>(std::unique(points.begin(), points.end()) - points.begin());
    return counts;
}

std::vector<RuleSignal> MovingRangeSignals(const std::vector<double>& inOrder, const ControlLimits& limits) {
    std::vector<RuleSignal> signals;
    if (!(limits.RangeUpper > 0)) return signals;
    for (size_t i = 1; i < inOrder.size(); ++i)
        if (std::abs(inOrder[i] - inOrder[i - 1]) > limits.RangeUpper) signals.push_back({kRangeRule, i});
    return signals;
}

std::string RuleName(int rule) {
    switch (rule) {
        case 1: return "ルール1: 管理限界外";
        case 2: return "ルール2: 片側に9点連続";
        case 3: return "ルール3: 6点連続の増加・減少";
        case 4: return "ルール4: 14点交互の増減";
        case kRangeRule: return "移動範囲の管理限界外";
    }
    return {};
}

std::vector<RuleSignal> ControlSignals(const std::vector<double>& inOrder, const ControlLimits& limits) {
    std::vector<RuleSignal> signals = RunRules(inOrder, limits);
    std::vector<RuleSignal> ranges = MovingRangeSignals(inOrder, limits);
    signals.insert(signals.end(), ranges.begin(), ranges.end());
    std::stable_sort(signals.begin(), signals.end(), [](const RuleSignal& a, const RuleSignal& b) {
        return a.Index != b.Index ? a.Index < b.Index : a.Rule < b.Rule;
    });
    return signals;
}

Histogram BinsOf(const std::vector<double>& values) {
    Histogram histogram;
    if (values.empty()) return histogram;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    double lo = sorted.front(), hi = sorted.back();
    if (lo == hi) {
        // The width only gives the single bar a body: a thousandth of the
        // value's size, as fine as a drawing's tolerances go.
        histogram.Width = std::max(std::abs(lo), 1.0) * 1e-3;
        histogram.Start = lo - histogram.Width / 2;
        histogram.Counts = {values.size()};
        return histogram;
    }
    size_t bins = BinCount(sorted);
    histogram.Start = lo;
    histogram.Width = (hi - lo) / static_cast<double>(bins);
    histogram.Counts.assign(bins, 0);
    for (double v : sorted) {
        auto bin = static_cast<size_t>(std::max((v - lo) / histogram.Width, 0.0));
        ++histogram.Counts[std::min(bin, bins - 1)];
    }
    return histogram;
}

double NormalDensity(double x, double mean, double sigma) {
    if (!(sigma > 0)) return 0;
    double z = (x - mean) / sigma;
    return std::exp(-0.5 * z * z) / (sigma * std::sqrt(2 * std::numbers::pi));
}

std::optional<Normality> AndersonDarling(const std::vector<double>& values) {
    constexpr size_t kFewest = 8;
    if (values.size() < kFewest) return std::nullopt;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    Spread spread = SpreadOf(sorted);
    if (!(*spread.OverallSigma > 0)) return std::nullopt;
    double n = static_cast<double>(sorted.size());
    double sum = 0;
    for (size_t i = 0; i < sorted.size(); ++i) {
        double zLow = (sorted[i] - *spread.Mean) / *spread.OverallSigma;
        double zHigh = (sorted[sorted.size() - 1 - i] - *spread.Mean) / *spread.OverallSigma;
        // log(1 - Phi(z)) as log Phi(-z): exact in the upper tail.
        sum += static_cast<double>(2 * i + 1) * (LogNormalCdf(zLow) + LogNormalCdf(-zHigh));
    }
    Normality result;
    result.A2 = -n - sum / n;
    result.A2Star = result.A2 * (1 + 0.75 / n + 2.25 / (n * n));
    result.PValue = AndersonDarlingPValue(result.A2Star);
    return result;
}

double ResolutionOf(const std::vector<double>& values) {
    constexpr int kFinest = 8;
    // Gauges read in steps of 1, 2 or 5 of a decade: the coarsest step of
    // which every value is a whole multiple.
    for (int decimals = 0; decimals <= kFinest; ++decimals) {
        for (double digit : {5.0, 2.0, 1.0}) {
            double perStep = std::pow(10.0, decimals) / digit;
            bool whole = std::all_of(values.begin(), values.end(), [&](double v) {
                double steps = v * perStep;
                return std::abs(steps - std::round(steps)) <= 1e-9 * std::max(1.0, std::abs(steps));
            });
            if (whole) return 1 / perStep;
        }
    }
    return 0;
}

Histogram BinsOf(const std::vector<double>& values, double resolution) {
    if (!(resolution > 0) || values.empty()) return BinsOf(values);
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    Histogram plain = BinsOf(values);
    double steps = std::round((*hi - *lo) / resolution) + 1;  // reading steps the values cover
    double perBin = std::max(1.0, std::round(plain.Width / resolution));
    perBin = std::max(perBin, std::ceil(steps / static_cast<double>(kMaxBins)));
    Histogram histogram;
    histogram.Width = perBin * resolution;
    histogram.Start = *lo - resolution / 2;
    auto bins = static_cast<size_t>(std::ceil(steps / perBin));
    histogram.Counts.assign(bins, 0);
    for (double v : values) {
        auto bin = static_cast<size_t>(std::max(std::floor((v - histogram.Start) / histogram.Width), 0.0));
        ++histogram.Counts[std::min(bin, bins - 1)];
    }
    return histogram;
}

std::vector<double> SpreadOverSteps(const std::vector<double>& values, double resolution) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    if (!(resolution > 0)) return sorted;
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i;
        while (j < sorted.size() && sorted[j] == sorted[i]) ++j;
        const double centre = sorted[i], count = static_cast<double>(j - i);
        for (size_t k = i; k < j; ++k)
            sorted[k] = centre - resolution / 2 + resolution * (static_cast<double>(k - i) + 0.5) / count;
        i = j;
    }
    return sorted;
}

double NormalPpm(double mean, double sigma, const ToleranceLimits& limits) {
    if (!(sigma > 0)) return 0;
    double outside = 0;
    if (limits.Upper) outside += NormalAbove((*limits.Upper - mean) / sigma);
    if (auto lower = CountedLower(limits)) outside += NormalBelow((*lower - mean) / sigma);
    return outside * 1e6;
}

int DisplayDecimals(const std::vector<std::string_view>& toleranceTexts) {
    int most = 0;
    for (std::string_view text : toleranceTexts)
        if (auto decimals = DecimalsOf(text)) most = std::max(most, *decimals);
    return std::clamp(most + 1, 2, 8);
}

int SpreadDecimals(double sigma, int displayDecimals) {
    constexpr int kMostDecimals = 10;
    int fewest = displayDecimals + 1;
    if (!(sigma > 0) || !std::isfinite(sigma)) return fewest;
    int forThreeDigits = 2 - static_cast<int>(std::floor(std::log10(sigma)));
    return std::max(fewest, std::min(forThreeDigits, kMostDecimals));
}

}  // namespace ziv::report
