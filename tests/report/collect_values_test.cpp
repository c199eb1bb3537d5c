// The capability's reading (limits and values only, a value taken as a
// number where the cell holds one) against the full reading of the same
// books: the same rows, the same texts, the same figures.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "common/failure_text.h"
#include "report/capability.h"
#include "report/collect.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;
using reporttest::MakeDayBook;
using reporttest::Row;

namespace {

std::uint64_t Bits(double value) { return std::bit_cast<std::uint64_t>(value); }

// Values as an operator types them, as a calculation might have left them
// (17 digits, which the cell's text rounds), and texts that are no numbers;
// limits that change from book to book, among them one whose number differs
// while its text stays the same.
void MakeBooks(const std::string& product) {
    const std::vector<std::string> values = {"10.012", "10.012000000000003", "9.98", "OK", "NG", "abc", "1E-05",
                                             "-0.5", "0", "", "10", "10.0199999999999996", "12.345678901234567"};
    const std::vector<std::string> nominals = {"10", "10", "10.5", "10.000000000000002", "10", "10"};
    int day = 1;
    for (size_t b = 0; b < nominals.size(); ++b) {
        std::vector<Row> rows;
        for (size_t v = 0; v < values.size(); ++v) {
            int point = 1 + static_cast<int>(v);
            std::string upper = b == 4 && v == 2 ? "0.03" : "0.02";
            rows.push_back({point, nominals[b], upper, "-0.02", "マイクロ", values[(v + b) % values.size()],
                            v % 3 == 0 ? "合" : "", v % 2 ? "0.001" : ""});
        }
        // A point with only an input name and a correction, and one with a limit only.
        rows.push_back({40, "", "", "", "ノギス", "", "", "0.5"});
        rows.push_back({41, "", "0.1", "", "", "", "", ""});
        MakeDayBook(product, "op_P_1号機_2026年3月" + std::to_string(day++) + "日.xls", rows);
    }
}

void ExpectSameFigures(const CapabilityRow& a, const CapabilityRow& b) {
    EXPECT_EQ(a.Stats.N, b.Stats.N) << a.Point;
    using Pair = std::pair<std::optional<double>, std::optional<double>>;
    for (const auto& [x, y] :
         {Pair{a.Stats.Mean, b.Stats.Mean}, Pair{a.Stats.OverallSigma, b.Stats.OverallSigma},
          Pair{a.Stats.WithinSigma, b.Stats.WithinSigma}, Pair{a.Stats.Min, b.Stats.Min},
          Pair{a.Stats.Max, b.Stats.Max}, Pair{a.Index.Cp, b.Index.Cp}, Pair{a.Index.Cpk, b.Index.Cpk},
          Pair{a.Index.Ppk, b.Index.Ppk}}) {
        ASSERT_EQ(x.has_value(), y.has_value()) << a.Point;
        if (x) {
            EXPECT_EQ(Bits(*x), Bits(*y)) << a.Point;
        }
    }
}

}  // namespace

TEST(ReportCollectValues, ValuesReadingAgreesWithTheFullReading) {
    TempRoot root;
    std::string product = root / "P";
    MakeBooks(product);
    Listing listing = ListDayBooks(product, {});
    ASSERT_EQ(listing.Books.size(), 6u);

    for (int threads : {1, 2}) {
        std::vector<DayBookData> full, values;
        CapabilityBuilder fromFull, fromValues;
        ReadOptions options;
        options.Threads = threads;
        ReadDayBooks(listing.Books, [&](const DayBookData& book) {
            full.push_back(book);
            fromFull.Add(book);
        }, options);
        options.Needed = Cells::LimitsAndValues;
        ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData& book) {
            values.push_back(book);
            fromValues.Add(book);
        }, options);
        EXPECT_EQ(summary.Read, 6u);
        ASSERT_EQ(full.size(), values.size());

        int measured = 0, asText = 0;
        for (size_t b = 0; b < full.size(); ++b) {
            size_t v = 0;
            for (const PointRow& all : full[b].Rows) {
                EXPECT_FALSE(all.Measured);
                // Rows holding only what the capability does not read are left out.
                if (all.Nominal.empty() && all.Upper.empty() && all.Lower.empty() && all.Value.empty() &&
                    all.Judgement.empty())
                    continue;
                ASSERT_LT(v, values[b].Rows.size());
                const PointRow& row = values[b].Rows[v++];
                EXPECT_EQ(row.Point, all.Point);
                EXPECT_EQ(row.Nominal, all.Nominal);
                EXPECT_EQ(row.Upper, all.Upper);
                EXPECT_EQ(row.Lower, all.Lower);
                EXPECT_EQ(row.Judgement, all.Judgement);
                EXPECT_TRUE(row.InputName.empty());
                EXPECT_TRUE(row.Correction.empty());
                if (row.Measured) {
                    ++measured;
                    EXPECT_TRUE(row.Value.empty());
                    auto shown = MeasuredNumber(all.Value);
                    ASSERT_TRUE(shown) << all.Value;
                    EXPECT_EQ(Bits(*row.Measured), Bits(*shown)) << all.Value;
                } else {
                    if (!all.Value.empty()) ++asText;
                    EXPECT_EQ(row.Value, all.Value);
                }
            }
            EXPECT_EQ(v, values[b].Rows.size());
        }
        EXPECT_GT(measured, 0);
        EXPECT_GT(asText, 0);  // the texts, and the numbers their text rounds

        std::vector<CapabilityRow> a = fromFull.Result(), b = fromValues.Result();
        ASSERT_EQ(a.size(), b.size());
        bool changed = false;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].Point, b[i].Point);
            EXPECT_EQ(a[i].Machine, b[i].Machine);
            EXPECT_EQ(a[i].Limits, b[i].Limits);
            EXPECT_EQ(a[i].LimitsChanged, b[i].LimitsChanged) << a[i].Point;
            changed = changed || a[i].LimitsChanged;
            ExpectSameFigures(a[i], b[i]);
            EXPECT_EQ(a[i].Failed, b[i].Failed);
            EXPECT_EQ(a[i].Unjudged, b[i].Unjudged);
            EXPECT_EQ(a[i].OkCount, b[i].OkCount);
            EXPECT_EQ(a[i].NgCount, b[i].NgCount);
            EXPECT_EQ(a[i].OtherTexts, b[i].OtherTexts);
            const Series* sa = fromFull.SeriesOf(a[i].Point, 1);
            const Series* sb = fromValues.SeriesOf(a[i].Point, 1);
            ASSERT_EQ(sa == nullptr, sb == nullptr);
            if (!sa) continue;
            ASSERT_EQ(sa->Samples.size(), sb->Samples.size());
            for (size_t s = 0; s < sa->Samples.size(); ++s) {
                EXPECT_EQ(Bits(sa->Samples[s].Value), Bits(sb->Samples[s].Value));
                EXPECT_EQ(sa->Samples[s].Judged, sb->Samples[s].Judged);
                EXPECT_EQ(sa->Samples[s].LimitSet, sb->Samples[s].LimitSet);
            }
        }
        EXPECT_TRUE(changed);
    }
}

// One book read alone takes the same texts as a run of books does.
TEST(ReportCollectValues, OneBookAloneReadsAsInARun) {
    TempRoot root;
    std::string product = root / "P";
    MakeBooks(product);
    Listing listing = ListDayBooks(product, {});
    std::vector<DayBookData> run;
    ReadOptions options;
    options.Threads = 1;
    options.Needed = Cells::LimitsAndValues;
    ReadDayBooks(listing.Books, [&](const DayBookData& book) { run.push_back(book); }, options);
    ASSERT_EQ(run.size(), listing.Books.size());
    for (size_t b = 0; b < run.size(); ++b) {
        FileResult problem;
        auto alone = ReadDayBook(listing.Books[b].Path, listing.Books[b].Name, &problem, Cells::LimitsAndValues);
        ASSERT_TRUE(alone) << BookOpenText(problem);
        ASSERT_EQ(alone->Rows.size(), run[b].Rows.size());
        for (size_t r = 0; r < run[b].Rows.size(); ++r) {
            const PointRow& x = alone->Rows[r];
            const PointRow& y = run[b].Rows[r];
            EXPECT_EQ(std::tie(x.Point, x.Nominal, x.Upper, x.Lower, x.Value, x.Judgement, x.Measured),
                      std::tie(y.Point, y.Nominal, y.Upper, y.Lower, y.Value, y.Judgement, y.Measured));
        }
    }
}
