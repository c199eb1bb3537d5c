#include "report/distribution_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <numeric>
#include <tuple>

#include <boost/math/distributions/gamma.hpp>
#include <boost/math/distributions/lognormal.hpp>
#include <boost/math/special_functions/digamma.hpp>
#include <boost/math/special_functions/trigamma.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/weibull.hpp>
#include <boost/math/tools/roots.hpp>
#include <boost/random/chi_squared_distribution.hpp>
#include <boost/random/gamma_distribution.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <boost/random/uniform_01.hpp>

namespace ziv::report {

namespace {

namespace bm = boost::math;
// Errors give NaN or infinity, which the callers turn into "no figure".
using QuietPolicy = bm::policies::policy<
    bm::policies::domain_error<bm::policies::ignore_error>, bm::policies::overflow_error<bm::policies::ignore_error>,
    bm::policies::underflow_error<bm::policies::ignore_error>,
    bm::policies::evaluation_error<bm::policies::ignore_error>, bm::policies::promote_double<false>>;
using Normal = bm::normal_distribution<double, QuietPolicy>;
using Lognormal = bm::lognormal_distribution<double, QuietPolicy>;
using Weibull = bm::weibull_distribution<double, QuietPolicy>;
using Gamma = bm::gamma_distribution<double, QuietPolicy>;

constexpr std::size_t kFewest = 8;
constexpr double kThreeSigmaTail = 0.0013498980316301;  // P(Z < -3)

double MeanOf(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / double(v.size()); }

double SampleSigma(const std::vector<double>& v, double mean) {
    double squares = 0;
    for (double x : v) squares += (x - mean) * (x - mean);
    return std::sqrt(squares / double(v.size() - 1));
}

double FoldedBelow(double mu, double sigma, double x) {
    if (x <= 0) return 0;
    Normal n(mu, sigma);
    return bm::cdf(n, x) - bm::cdf(n, -x);
}

double FoldedAbove(double mu, double sigma, double x) {
    if (x <= 0) return 1;
    Normal n(mu, sigma);
    return bm::cdf(bm::complement(n, x)) + bm::cdf(n, -x);
}

// Boost has no folded normal: its quantile by bracketing the distribution function.
double FoldedQuantile(double mu, double sigma, double p) {
    double hi = std::abs(mu) + sigma;
    while (FoldedBelow(mu, sigma, hi) < p) hi *= 2;
    auto f = [&](double x) { return FoldedBelow(mu, sigma, x) - p; };
    std::uintmax_t iterations = 100;
    auto [a, b] = bm::tools::toms748_solve(f, 0.0, hi, bm::tools::eps_tolerance<double>(48), iterations);
    return (a + b) / 2;
}

std::optional<FittedDistribution> FitNormal(const std::vector<double>& v) {
    double mean = MeanOf(v), sigma = SampleSigma(v, mean);
    if (!(sigma > 0)) return std::nullopt;
    return FittedDistribution{Family::Normal, mean, sigma};
}

std::optional<FittedDistribution> FitLognormal(const std::vector<double>& logs) {
    auto fit = FitNormal(logs);
    if (!fit) return std::nullopt;
    return FittedDistribution{Family::Lognormal, fit->A, fit->B};
}

// The shape solves mean(x^k ln x) / mean(x^k) - 1/k = mean(ln x); Newton's
// steps from the logarithms' spread, on values scaled by their largest so
// that x^k neither overflows nor underflows.
std::optional<FittedDistribution> FitWeibull(const std::vector<double>& logsOfValues) {
    const double logTop = *std::max_element(logsOfValues.begin(), logsOfValues.end());
    std::vector<double> logs(logsOfValues.size());
    std::transform(logsOfValues.begin(), logsOfValues.end(), logs.begin(), [&](double l) { return l - logTop; });
    const double meanLog = MeanOf(logs), spread = SampleSigma(logs, meanLog);
    if (!(spread > 0)) return std::nullopt;
    auto equation = [&](double k) {
        double s0 = 0, s1 = 0, s2 = 0;
        for (double l : logs) {
            double e = std::exp(k * l);
            s0 += e;
            s1 += e * l;
            s2 += e * l * l;
        }
        double r = s1 / s0;
        return std::pair{r - 1 / k - meanLog, s2 / s0 - r * r + 1 / (k * k)};
    };
    std::uintmax_t iterations = 60;
    const double guess = 1.2825 / spread;  // pi / sqrt(6) over the logarithms' sigma
    double k = bm::tools::newton_raphson_iterate(equation, guess, guess * 1e-3, guess * 1e3, 40, iterations);
    double s0 = 0;
    for (double l : logs) s0 += std::exp(k * l);
    double scale = std::exp(logTop) * std::pow(s0 / double(logs.size()), 1 / k);
    if (!std::isfinite(k) || !std::isfinite(scale)) return std::nullopt;
    return FittedDistribution{Family::Weibull, k, scale};
}

// The shape solves ln k - digamma(k) = ln(mean) - mean(ln x); Newton's steps
// from Minka's approximation.
std::optional<FittedDistribution> FitGamma(const std::vector<double>& v, const std::vector<double>& logs) {
    const double mean = MeanOf(v), meanLog = MeanOf(logs);
    const double s = std::log(mean) - meanLog;
    if (!(s > 0)) return std::nullopt;
    auto equation = [&](double k) {
        return std::pair{std::log(k) - bm::digamma(k, QuietPolicy()) - s, 1 / k - bm::trigamma(k, QuietPolicy())};
    };
    const double guess = (3 - s + std::sqrt((s - 3) * (s - 3) + 24 * s)) / (12 * s);
    std::uintmax_t iterations = 60;
    double k = bm::tools::newton_raphson_iterate(equation, guess, guess * 1e-3, guess * 1e3, 40, iterations);
    if (!std::isfinite(k) || !(k > 0)) return std::nullopt;
    return FittedDistribution{Family::Gamma, k, mean / k};
}

// The likelihood's equations: sigma^2 = mean(x^2) - mu^2 and
// mu = mean(x tanh(mu x / sigma^2)). mu = 0 (the half-normal) always solves
// the second; where the right side rises above mu just past 0 the maximum
// is the root further up, which the bracket to sqrt(mean(x^2)) holds: there
// the right side falls to mean(x), below it.
std::optional<FittedDistribution> FitFoldedNormal(const std::vector<double>& v) {
    const double n = double(v.size());
    double m2 = 0;
    for (double x : v) m2 += x * x / n;
    if (!(m2 > 0)) return std::nullopt;
    const double root = std::sqrt(m2);
    auto excess = [&](double mu) {
        double sum = 0, s2 = m2 - mu * mu;
        for (double x : v) sum += x * std::tanh(mu * x / s2);
        return sum / n - mu;
    };
    double mu = 0;
    const double low = root * 1e-4, high = root * (1 - 1e-9);
    if (excess(low) > 0 && excess(high) < 0) {
        std::uintmax_t iterations = 60;
        auto [a, b] = bm::tools::toms748_solve(excess, low, high, bm::tools::eps_tolerance<double>(40), iterations);
        mu = (a + b) / 2;
    }
    return FittedDistribution{Family::FoldedNormal, mu, std::sqrt(m2 - mu * mu)};
}

double SkewnessOf(const std::vector<double>& v) {
    const double n = double(v.size()), mean = MeanOf(v);
    double m2 = 0, m3 = 0;
    for (double x : v) {
        m2 += (x - mean) * (x - mean) / n;
        m3 += (x - mean) * (x - mean) * (x - mean) / n;
    }
    return m2 > 0 ? m3 / std::pow(m2, 1.5) * std::sqrt(n * (n - 1)) / (n - 2) : 0;
}

double Log(double p) { return std::log(std::max(p, std::numeric_limits<double>::min())); }

// Cp and Cpk of a distribution: its 0.135 %, 50 % and 99.865 % points in the
// place of mean - 3 sigma, mean and mean + 3 sigma.
struct PointsAndIndices {
    double Low = 0, Median = 0, High = 0;
    std::optional<double> Cp, Cpk;
};

PointsAndIndices IndicesOf(const FittedDistribution& d, const ToleranceLimits& limits) {
    PointsAndIndices r;
    r.Low = d.Quantile(kThreeSigmaTail);
    r.Median = d.Quantile(0.5);
    r.High = d.Quantile(1 - kThreeSigmaTail);
    if (!std::isfinite(r.Low) || !std::isfinite(r.Median) || !std::isfinite(r.High)) return r;
    std::optional<double> upper = limits.Upper;
    std::optional<double> lower = limits.LowerIsNaturalBound ? std::nullopt : limits.Lower;
    std::optional<double> upperSide, lowerSide;
    if (upper && r.High > r.Median) upperSide = (*upper - r.Median) / (r.High - r.Median);
    if (lower && r.Median > r.Low) lowerSide = (r.Median - *lower) / (r.Median - r.Low);
    if (upper && lower && r.High > r.Low) r.Cp = (*upper - *lower) / (r.High - r.Low);
    if (upperSide && lowerSide)
        r.Cpk = std::min(*upperSide, *lowerSide);
    else
        r.Cpk = upperSide ? upperSide : lowerSide;
    return r;
}

using Generator = boost::random::mt19937;

double Draw(const FittedDistribution& d, Generator& gen) {
    boost::random::normal_distribution<double> z;
    switch (d.Kind) {
        case Family::Normal: return d.A + d.B * z(gen);
        case Family::Lognormal: return std::exp(d.A + d.B * z(gen));
        case Family::Weibull: {
            double u = boost::random::uniform_01<double>()(gen);
            return d.B * std::pow(-std::log1p(-u), 1 / d.A);
        }
        case Family::FoldedNormal: return std::abs(d.A + d.B * z(gen));
        case Family::Gamma: return boost::random::gamma_distribution<double>(d.A, d.B)(gen);
    }
    return 0;
}

// The fit of n values drawn from d. The normal's mean and sample sigma (of
// the logarithms for the lognormal) are drawn straight from their exact
// distributions, which spares drawing and summing n values.
std::optional<FittedDistribution> Resampled(const FittedDistribution& d, Generator& gen, std::vector<double>& sample) {
    const double n = double(sample.size());
    if (d.Kind == Family::Normal || d.Kind == Family::Lognormal) {
        double mean = d.A + d.B / std::sqrt(n) * boost::random::normal_distribution<double>()(gen);
        double sigma = d.B * std::sqrt(boost::random::chi_squared_distribution<double>(n - 1)(gen) / (n - 1));
        if (!(sigma > 0)) return std::nullopt;
        return FittedDistribution{d.Kind, mean, sigma};
    }
    for (double& x : sample) x = Draw(d, gen);
    return FitFamily(d.Kind, sample);
}

// Enough resamples for a steady 5 % point, few enough for a table of
// thousands of rows; the same values always give the same bound.
constexpr int kResamples = 200;
constexpr std::uint32_t kSeed = 20'261'209;

std::optional<double> BasicBootstrapBound(const FittedDistribution& d, std::size_t n, const ToleranceLimits& limits) {
    std::optional<double> estimate = IndicesOf(d, limits).Cpk;
    if (!estimate || !std::isfinite(*estimate)) return std::nullopt;
    Generator gen(kSeed);
    std::vector<double> sample(n), indices;
    indices.reserve(kResamples);
    for (int b = 0; b < kResamples; ++b) {
        auto refit = Resampled(d, gen, sample);
        auto cpk = refit ? IndicesOf(*refit, limits).Cpk : std::nullopt;
        // A resample the family cannot hold counts as the best case, which lowers the bound.
        indices.push_back(cpk && std::isfinite(*cpk) ? *cpk : std::numeric_limits<double>::infinity());
    }
    auto at = indices.end() - 1 - kResamples / 20;
    std::nth_element(indices.begin(), at, indices.end());
    if (!std::isfinite(*at)) return std::nullopt;
    return 2 * *estimate - *at;
}

}  // namespace

std::string_view FamilyName(Family family) {
    switch (family) {
        case Family::Normal: return "正規";
        case Family::Lognormal: return "対数正規";
        case Family::Weibull: return "ワイブル";
        case Family::FoldedNormal: return "折り返し正規";
        case Family::Gamma: return "ガンマ";
    }
    return {};
}

double FittedDistribution::Below(double x) const {
    switch (Kind) {
        case Family::Normal: return bm::cdf(Normal(A, B), x);
        case Family::Lognormal: return x <= 0 ? 0 : bm::cdf(Lognormal(A, B), x);
        case Family::Weibull: return x <= 0 ? 0 : bm::cdf(Weibull(A, B), x);
        case Family::FoldedNormal: return FoldedBelow(A, B, x);
        case Family::Gamma: return x <= 0 ? 0 : bm::cdf(Gamma(A, B), x);
    }
    return 0;
}

double FittedDistribution::Above(double x) const {
    switch (Kind) {
        case Family::Normal: return bm::cdf(bm::complement(Normal(A, B), x));
        case Family::Lognormal: return x <= 0 ? 1 : bm::cdf(bm::complement(Lognormal(A, B), x));
        case Family::Weibull: return x <= 0 ? 1 : bm::cdf(bm::complement(Weibull(A, B), x));
        case Family::FoldedNormal: return FoldedAbove(A, B, x);
        case Family::Gamma: return x <= 0 ? 1 : bm::cdf(bm::complement(Gamma(A, B), x));
    }
    return 0;
}

double FittedDistribution::Quantile(double p) const {
    switch (Kind) {
        case Family::Normal: return bm::quantile(Normal(A, B), p);
        case Family::Lognormal: return bm::quantile(Lognormal(A, B), p);
        case Family::Weibull: return bm::quantile(Weibull(A, B), p);
        case Family::FoldedNormal: return FoldedQuantile(A, B, p);
        case Family::Gamma: return bm::quantile(Gamma(A, B), p);
    }
    return 0;
}

namespace {

std::vector<double> LogsIfPositive(const std::vector<double>& values) {
    if (values.empty() || !(*std::min_element(values.begin(), values.end()) > 0)) return {};
    std::vector<double> logs(values.size());
    std::transform(values.begin(), values.end(), logs.begin(), [](double x) { return std::log(x); });
    return logs;
}

// logs: of the values, or empty where not all are above 0.
std::optional<FittedDistribution> FitWithLogs(Family family, const std::vector<double>& values,
                                              const std::vector<double>& logs) {
    if (values.size() < 2) return std::nullopt;
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    if (*lo == *hi) return std::nullopt;
    switch (family) {
        case Family::Normal: return FitNormal(values);
        case Family::Lognormal: return logs.empty() ? std::nullopt : FitLognormal(logs);
        case Family::Weibull: return logs.empty() ? std::nullopt : FitWeibull(logs);
        case Family::FoldedNormal: return *lo >= 0 ? FitFoldedNormal(values) : std::nullopt;
        case Family::Gamma: return logs.empty() ? std::nullopt : FitGamma(values, logs);
    }
    return std::nullopt;
}

}  // namespace

std::optional<FittedDistribution> FitFamily(Family family, const std::vector<double>& values) {
    const bool needsLogs = family == Family::Lognormal || family == Family::Weibull || family == Family::Gamma;
    return FitWithLogs(family, values, needsLogs ? LogsIfPositive(values) : std::vector<double>{});
}

namespace {

// log P(X < x) and log P(X > x), from log x where the family works on it:
// a table's rows fit three or four candidates each, and the logarithms and
// powers the generic functions take again per call are most of that time.
std::pair<double, double> LogTails(const FittedDistribution& d, double x, double logX, double logScale) {
    auto normal = [](double z) {
        return std::pair{Log(0.5 * std::erfc(-z / std::numbers::sqrt2)), Log(0.5 * std::erfc(z / std::numbers::sqrt2))};
    };
    switch (d.Kind) {
        case Family::Normal: return normal((x - d.A) / d.B);
        case Family::Lognormal: return normal((logX - d.A) / d.B);
        case Family::Weibull: {
            double t = std::exp(d.A * (logX - logScale));
            return {Log(-std::expm1(-t)), -t};
        }
        default: return {Log(d.Below(x)), Log(d.Above(x))};
    }
}

// Sorted values and, where all are above 0, their logarithms.
double A2OfSorted(const FittedDistribution& fit, const std::vector<double>& sorted, const std::vector<double>& logs) {
    const std::size_t n = sorted.size();
    std::vector<double> lower(n), upper(n);
    const double logScale = std::log(fit.B);
    for (std::size_t i = 0; i < n; ++i)
        std::tie(lower[i], upper[i]) = LogTails(fit, sorted[i], logs.empty() ? 0 : logs[i], logScale);
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) sum += double(2 * i + 1) * (lower[i] + upper[n - 1 - i]);
    return -double(n) - sum / double(n);
}


}  // namespace

double AndersonDarlingA2(const FittedDistribution& fit, const std::vector<double>& values) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    return A2OfSorted(fit, sorted, LogsIfPositive(sorted));
}

namespace {

// The folded normal has no published table. Its 5 % points of A2 (1 + 0.75/n
// + 2.25/n^2) from a seeded simulation (2,000 samples each of n = 30 and 125,
// both parameters fitted), by mu / sigma: at 0 one parameter is in effect
// fitted and the point is far above the normal's; from 1.5 the fold is
// negligible and the normal's holds. Linear between.
double FoldedNormalFivePercentPoint(double ratio) {
    constexpr std::array<std::pair<double, double>, 4> kPoints{{{0, 1.23}, {0.5, 1.21}, {1.0, 0.87}, {1.5, 0.752}}};
    if (!(ratio < kPoints.back().first)) return kPoints.back().second;
    std::size_t i = 1;
    while (ratio > kPoints[i].first) ++i;
    const auto [x0, y0] = kPoints[i - 1];
    const auto [x1, y1] = kPoints[i];
    return y0 + (y1 - y0) * (ratio - x0) / (x1 - x0);
}

}  // namespace

bool FitsAtFivePercent(const FittedDistribution& fit, double a2, std::size_t n) {
    const double count = double(n);
    if (fit.Kind == Family::Weibull || fit.Kind == Family::Gamma) return a2 * (1 + 0.2 / std::sqrt(count)) <= 0.757;
    const double modified = a2 * (1 + 0.75 / count + 2.25 / (count * count));
    if (fit.Kind == Family::FoldedNormal) return modified <= FoldedNormalFivePercentPoint(fit.A / fit.B);
    return modified <= 0.752;
}

std::vector<CandidateFit> FitCandidates(const std::vector<double>& values, bool naturalBound) {
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::vector<double> logs = LogsIfPositive(sorted);
    std::vector<CandidateFit> fits;
    for (Family family : {Family::Normal, Family::Lognormal, Family::Weibull, Family::FoldedNormal, Family::Gamma}) {
        if ((family == Family::FoldedNormal || family == Family::Gamma) && !naturalBound) continue;
        auto fit = FitWithLogs(family, sorted, logs);
        if (!fit) continue;
        double a2 = A2OfSorted(*fit, sorted, logs);
        if (std::isfinite(a2)) fits.push_back({*fit, a2, FitsAtFivePercent(*fit, a2, values.size())});
    }
    return fits;
}

std::optional<PercentileIndices> PercentileCapability(const std::vector<double>& values,
                                                      const ToleranceLimits& limits) {
    if (values.size() < kFewest) return std::nullopt;
    PercentileIndices result;
    result.Candidates = FitCandidates(values, limits.LowerIsNaturalBound);
    if (result.Candidates.empty()) return std::nullopt;
    // The least A2 among those that fit; where none fits, the least of all, marked so.
    auto better = [](const CandidateFit& a, const CandidateFit& b) {
        return a.Fits != b.Fits ? a.Fits : a.A2 < b.A2;
    };
    result.Chosen = *std::min_element(result.Candidates.begin(), result.Candidates.end(), better);
    PointsAndIndices points = IndicesOf(result.Chosen.Distribution, limits);
    if (!std::isfinite(points.Low) || !std::isfinite(points.Median) || !std::isfinite(points.High))
        return std::nullopt;
    result.Low = points.Low;
    result.Median = points.Median;
    result.High = points.High;
    result.Cp = points.Cp;
    result.Cpk = points.Cpk;
    double outside = 0;
    if (limits.Upper) outside += result.Chosen.Distribution.Above(*limits.Upper);
    if (limits.Lower && !limits.LowerIsNaturalBound) outside += result.Chosen.Distribution.Below(*limits.Lower);
    result.Ppm = outside * 1e6;
    result.Skewness = SkewnessOf(values);
    return result;
}

std::optional<double> ShapeAwareLowerBound(const PercentileIndices& percentile, std::size_t n,
                                           const ToleranceLimits& limits) {
    std::optional<double> least;
    for (const CandidateFit& candidate : percentile.Candidates) {
        if (!candidate.Fits) continue;
        auto bound = BasicBootstrapBound(candidate.Distribution, n, limits);
        if (!bound) return std::nullopt;  // a shape that fits, with no bound: nothing proven
        least = least ? std::min(*least, *bound) : *bound;
    }
    return least;
}

}  // namespace ziv::report
