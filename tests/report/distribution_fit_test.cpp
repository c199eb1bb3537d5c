// Every distribution the capability table offers, fitted to seeded samples
// and checked against scipy's own fits (scipy.stats *.fit with the origin at
// 0; normal and lognormal with the n - 1 sigma): the median and 99.865 %
// point, A2 from scipy's distribution functions, and the percentile Cpk to
// the decimals the table shows. Skipped where Debian's python3-scipy is absent.
#include <gtest/gtest.h>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <sstream>

#include "report/distribution_fit.h"
#include "report_fixture.h"

using namespace ziv::report;
using namespace reporttest;

namespace {

const char* kScript = R"(
import sys, numpy as np
from scipy import stats
usl, x = float(sys.argv[1]), np.array([float(v) for v in sys.argv[2:]])
t, lx = stats.norm.cdf(-3), np.log(x)
fits = [stats.norm(x.mean(), x.std(ddof=1)), stats.lognorm(lx.std(ddof=1), scale=np.exp(lx.mean())),
        stats.weibull_min(*stats.weibull_min.fit(x, floc=0)), stats.foldnorm(*stats.foldnorm.fit(x, floc=0)),
        stats.gamma(*stats.gamma.fit(x, floc=0))]
s, i = np.sort(x), np.arange(1, len(x) + 1)
for d in fits:
    a2 = -len(x) - np.sum((2 * i - 1) * (d.logcdf(s) + d.logsf(s[::-1]))) / len(x)
    m, h = d.ppf(0.5), d.ppf(1 - t)
    print(repr(m), repr(h), repr(a2), repr((usl - m) / (h - m)))
)";

}  // namespace

TEST(DistributionFit, AgreesWithScipy) {
    const QString python = QStringLiteral("/usr/bin/python3");
    if (RunProgram(python, {"-c", "import scipy"}).Exit != 0) GTEST_SKIP() << "needs python3-scipy";
    struct Case {
        const char* Name;
        double Mu, Sigma;  // of the normal the values are folded from, times 1
        size_t N;
    };
    for (const Case& c : {Case{"half-normal", 0, 0.004, 30}, Case{"folded off 0", 0.006, 0.003, 60},
                          Case{"far from 0", 0.05, 0.004, 125}}) {
        boost::random::mt19937 gen(2214);
        std::vector<double> values(c.N);
        for (double& x : values) x = std::abs(c.Mu + c.Sigma * boost::random::normal_distribution<>()(gen));
        const double usl = 0.03 + c.Mu;
        QStringList args{"-c", kScript, QString::number(usl, 'g', 17)};
        for (double x : values) args << QString::number(x, 'g', 17);
        Ran py = RunProgram(python, args);
        ASSERT_EQ(py.Exit, 0) << py.Err;
        std::istringstream out(py.Out);
        for (Family family : {Family::Normal, Family::Lognormal, Family::Weibull, Family::FoldedNormal, Family::Gamma}) {
            double median = 0, high = 0, a2 = 0, cpk = 0;
            ASSERT_TRUE(out >> median >> high >> a2 >> cpk) << py.Out;
            auto fit = FitFamily(family, values);
            ASSERT_TRUE(fit) << c.Name << " " << FamilyName(family);
            const std::string what = std::string(c.Name) + " " + std::string(FamilyName(family));
            EXPECT_NEAR(fit->Quantile(0.5), median, 1e-3 * median) << what;
            EXPECT_NEAR(fit->Quantile(1 - 0.0013498980316301), high, 1e-3 * high) << what;
            EXPECT_NEAR(AndersonDarlingA2(*fit, values), a2, 0.005) << what;
            double ours = (usl - fit->Quantile(0.5)) / (fit->Quantile(1 - 0.0013498980316301) - fit->Quantile(0.5));
            EXPECT_NEAR(ours, cpk, 0.005) << what;
        }
    }
}

// A folded normal process is rejected as often as the test's level says, at
// the boundary (half-normal) as well as far from it, where the normal's
// table holds: a fold has no published table, and the normal's rejected
// about one half-normal row in six as fitting no candidate.
TEST(DistributionFit, FoldedNormalIsRejectedAtItsLevel) {
    boost::random::mt19937 gen(5);
    for (double mu : {0.0, 0.7, 1.2, 2.5}) {
        for (size_t n : {30u, 125u}) {
            int rejected = 0;
            const int samples = 600;
            for (int s = 0; s < samples; ++s) {
                std::vector<double> x(n);
                for (double& v : x) v = std::abs(mu + boost::random::normal_distribution<>()(gen));
                auto fit = FitFamily(Family::FoldedNormal, x);
                ASSERT_TRUE(fit);
                rejected += !FitsAtFivePercent(*fit, AndersonDarlingA2(*fit, x), n);
            }
            EXPECT_GT(rejected, 0.02 * samples) << "mu " << mu << " n " << n;
            EXPECT_LT(rejected, 0.08 * samples) << "mu " << mu << " n " << n;
        }
    }
}
