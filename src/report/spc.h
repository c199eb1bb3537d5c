#pragma once
// Statistical process control of one series: the values of one point on one
// machine in the order they were measured. Spread, capability, individuals and
// moving-range chart limits, run rules, histogram bins and a normality check.
// The textbook formulas by hand; the normal distribution's tails from
// Boost.Math.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ziv::report {

// d2 for moving ranges of two values; within sigma = mean moving range / d2.
inline constexpr double kD2 = 1.128;

struct Spread {
    size_t N = 0;
    std::optional<double> Mean, Min, Max;  // from n = 1
    // From n = 2; exactly 0 when every value is equal.
    std::optional<double> OverallSigma;     // sample standard deviation, n - 1
    std::optional<double> MeanMovingRange;  // mean of |x[i] - x[i-1]|
    std::optional<double> WithinSigma;      // MeanMovingRange / d2
};
Spread SpreadOf(const std::vector<double>& inOrder);

// A geometric tolerance (flatness, runout: nominal 0, lower tolerance 0) has a
// lower limit no part can cross; such a lower limit says nothing about the
// process, so only the upper side counts.
struct ToleranceLimits {
    std::optional<double> Upper, Lower;
    bool LowerIsNaturalBound = false;
};

enum class Sides { None, Both, UpperOnly, LowerOnly };

struct Indices {
    // Which limits the indices are taken against; follows the limits alone,
    // even when there is no spread to give an index.
    Sides Counted = Sides::None;
    bool NaturalBound = false;  // UpperOnly because the lower limit is a natural bound
    // Cp and Cpk from the within sigma, Pp and Ppk from the overall one; Cp and
    // Pp need both sides. None when the sigma is 0 or absent.
    std::optional<double> Cp, Cpk, Pp, Ppk;
    std::optional<double> CpkLower95;  // Bissell's one-sided 95 % bound of Cpk, with n values
};
Indices CapabilityOf(const Spread& spread, const ToleranceLimits& limits);

// Bissell's approximate lower confidence bound of Cpk from n values:
// Cpk - z * sqrt(1 / (9n) + Cpk^2 / (2(n - 1))). NaN for n < 2.
double BissellLowerBound(double cpk, size_t n, double z = 1.6449);

// Individuals (X) and moving-range (MR) chart limits.
struct ControlLimits {
    double Centre = 0, Upper = 0, Lower = 0;  // x-bar -/+ 2.66 MR-bar
    double RangeCentre = 0, RangeUpper = 0, RangeLower = 0;  // MR-bar, 3.267 MR-bar, 0
    bool operator==(const ControlLimits&) const = default;
};
// None for n < 2.
std::optional<ControlLimits> IndividualsLimits(const Spread& spread);

// Signals on the individuals chart:
//  1  a point outside the control limits (beyond 3 sigma; on a limit is inside);
//  2  nine points in a row on one side of the centre line;
//  3  six points in a row steadily rising or falling (five rises or five falls);
//  4  fourteen points in a row alternating up and down (thirteen changes).
// A point exactly on the centre line is on neither side and breaks a run of
// rule 2; two equal consecutive values neither rise nor fall and break runs of
// rules 3 and 4.
struct RuleSignal {
    int Rule = 0;
    size_t Index = 0;  // the point that completes the pattern
};
// Each point that completes a pattern is marked, and so is every further point
// while the pattern goes on: twelve points on one side give rule 2 at the
// ninth to the twelfth. In index order, and by rule within one index.
std::vector<RuleSignal> RunRules(const std::vector<double>& inOrder, const ControlLimits& limits);
// [1] to [4]: the signals of each rule; [0]: the points with any signal.
std::array<size_t, 5> CountByRule(const std::vector<RuleSignal>& found);

// A moving range above the moving-range chart's limit (3.267 MR-bar): a jump
// between two values that the individuals limits may still hold. Told apart
// from rules 1 to 4, whose counts the capability table keeps as the charts'
// own; checked wherever limits were fixed.
inline constexpr int kRangeRule = 5;
// The points whose moving range from the point before is above
// limits.RangeUpper (on it is inside); none where that limit is not positive.
std::vector<RuleSignal> MovingRangeSignals(const std::vector<double>& inOrder, const ControlLimits& limits);
// "ルール1: 管理限界外" ... "ルール4: 14点交互の増減", "移動範囲の管理限界外".
std::string RuleName(int rule);
// RunRules and MovingRangeSignals together, in index order, by rule within
// one index: what fixed limits are checked with.
std::vector<RuleSignal> ControlSignals(const std::vector<double>& inOrder, const ControlLimits& limits);

// Bin i holds [Start + i * Width, Start + (i + 1) * Width); the last bin holds
// its upper edge too, so every value lies in exactly one bin.
struct Histogram {
    double Start = 0, Width = 0;
    std::vector<size_t> Counts;
};
inline constexpr size_t kMaxBins = 60;
// Bins over [min, max], as many as the Freedman-Diaconis width 2 IQR n^(-1/3)
// asks for (quartiles interpolated linearly between order statistics, as
// QUARTILE.INC takes them), at most kMaxBins; Sturges' count where the
// interquartile range is 0; one bin centred on the value when all are equal
// (0.001 of the value wide, at least 0.001). No bins for no values.
Histogram BinsOf(const std::vector<double>& values);

// The step the values were read to: the largest 5, 2 or 1 times 10^-d (d
// from 0 to 8) of which every value is a whole multiple; 0 when they are
// finer than that.
double ResolutionOf(const std::vector<double>& values);
// As BinsOf, but each bin a whole number of reading steps wide and its edges
// half a step off the values, so that no bin gets one step more than its
// neighbours (bars that comb up and down); BinsOf where resolution is 0.
Histogram BinsOf(const std::vector<double>& values, double resolution);
// Values read to `resolution`, each group of equal ones spread evenly over
// the step it stands for: what the gauge rounded away, put back as evenly
// as it can have been.
std::vector<double> SpreadOverSteps(const std::vector<double>& values, double resolution);

// Density of the normal distribution, for the curve over the bars (times
// n * Width); 0 for a sigma that is not positive.
double NormalDensity(double x, double mean, double sigma);

struct Normality {
    double A2 = 0;      // Anderson-Darling statistic, mean and sigma from the data
    double A2Star = 0;  // A2 * (1 + 0.75 / n + 2.25 / n^2)
    double PValue = 0;  // D'Agostino and Stephens' approximation from A2Star
};
// None for fewer than 8 values or no spread.
std::optional<Normality> AndersonDarling(const std::vector<double>& values);

// The Anderson-Darling test rejects normality below this p.
inline constexpr double kNormalityAlpha = 0.05;

// Expected share outside the counted limits of a normal distribution, per million.
double NormalPpm(double mean, double sigma, const ToleranceLimits& limits);

// Decimals for the report's values: one more than the tolerance text with the
// most decimals ("0.02" -> 3, "1E-05" -> 6), between 2 and 8; texts without a
// digit are ignored.
int DisplayDecimals(const std::vector<std::string_view>& toleranceTexts);
// Decimals for a sigma: at least three significant digits (up to 10
// decimals) and at least one more than the values show.
int SpreadDecimals(double sigma, int displayDecimals);

}  // namespace ziv::report
