#pragma once
// Which distribution a row's values follow, chosen by how well each candidate
// fits (the Anderson-Darling statistic), and capability by the percentile
// method (ISO 22514-2) on the one chosen. A skewed process judged by a curve
// that does not fit it, or by a bound that ignores how uncertain its shape is
// from a few dozen values, looks better than it is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "report/spc.h"

namespace ziv::report {

enum class Family : std::uint8_t { Normal, Lognormal, Weibull, FoldedNormal, Gamma };
// "正規", "対数正規", "ワイブル", "折り返し正規", "ガンマ".
std::string_view FamilyName(Family family);

// Normal: mean, sigma. Lognormal: mean and sigma of the logarithms.
// Weibull and gamma: shape, scale. Folded normal (|X| of a normal X): mu, sigma.
struct FittedDistribution {
    Family Kind = Family::Normal;
    double A = 0, B = 0;
    double Below(double x) const;     // P(X < x)
    double Above(double x) const;     // P(X > x)
    double Quantile(double p) const;  // 0 < p < 1
};

// Normal and lognormal with the sample sigma (n - 1), as the tables of
// their fit test assume; Weibull, gamma and folded normal by maximum
// likelihood. None where the family cannot hold the values (lognormal,
// Weibull and gamma need values above 0, the folded normal none below 0) or
// they do not vary.
std::optional<FittedDistribution> FitFamily(Family family, const std::vector<double>& values);
// A2 of the values against the fitted distribution.
double AndersonDarlingA2(const FittedDistribution& fit, const std::vector<double>& values);
// Whether A2 stays under the 5 % point for that family with both parameters
// estimated (Stephens: normal and lognormal A2 (1 + 0.75/n + 2.25/n^2) <=
// 0.752, Weibull A2 (1 + 0.2/sqrt(n)) <= 0.757; the gamma takes Weibull's,
// the table nearest to its own for shapes of 1 to 8; the folded normal's
// points, which no table gives, come from a seeded simulation and depend
// on mu / sigma).
bool FitsAtFivePercent(const FittedDistribution& fit, double a2, std::size_t n);

struct CandidateFit {
    FittedDistribution Distribution;
    double A2 = 0;
    bool Fits = false;
};
// Normal, lognormal and Weibull; with a natural boundary at 0 the folded
// normal and the gamma too, the shapes that pile up against it (away from 0
// every family with its origin there is near the normal). Those the values
// allow, in that order.
std::vector<CandidateFit> FitCandidates(const std::vector<double>& values, bool naturalBound);

struct PercentileIndices {
    CandidateFit Chosen;  // the best fitting candidate; Fits false when none fits
    std::vector<CandidateFit> Candidates;
    double Low = 0, Median = 0, High = 0;  // the 0.135 %, 50 % and 99.865 % points
    std::optional<double> Cp, Cpk;
    double Ppm = 0;  // expected outside the counted limits, per million
    double Skewness = 0;  // G1, adjusted for the sample's size, as spreadsheets' SKEW
    // 95 % lower bound of Cpk over every candidate that fits (a parametric
    // bootstrap of each); computed by ShapeAwareLowerBound.
    std::optional<double> CpkLower95;
};
// None for fewer than 8 values, no spread or no candidate the values allow.
std::optional<PercentileIndices> PercentileCapability(const std::vector<double>& values,
                                                      const ToleranceLimits& limits);
// The least of the candidates' seeded parametric-bootstrap bounds of Cpk
// (the basic bootstrap: twice the candidate's Cpk less the 95 % point of its
// resamples', which corrects the index's upward bias and skew): any shape
// that fits the values may be the process's, and each is refitted to every
// resample, so the bound carries the parameters' and the shape's
// uncertainty. None when no candidate fits.
std::optional<double> ShapeAwareLowerBound(const PercentileIndices& percentile, std::size_t n,
                                           const ToleranceLimits& limits);

}  // namespace ziv::report
