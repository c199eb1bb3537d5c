// Process capability against figures worked out by hand.
#include <gtest/gtest.h>

#include "report/capability.h"

using namespace ziv::report;

namespace {

// One day workbook of a single point: nominal 10, the given tolerances.
DayBookData Day(int day, const std::string& upper, const std::string& lower, const std::string& value) {
    DayBookData book;
    book.Name = {"op", "P", 1, {2026, 3, day}};
    PointRow row;
    row.Point = 1;
    row.Nominal = "10";
    row.Upper = upper;
    row.Lower = lower;
    row.Value = value;
    book.Rows.push_back(row);
    return book;
}

}  // namespace

// Values 10.01, 10.03, 10.05: mean 10.03, s = sqrt((0.0004 + 0 + 0.0004) / 2) = 0.02.
// Limits 10.05 / 9.95: Cp = 0.1 / 0.12 = 0.8333, Cpk = min(0.02, 0.08) / 0.06 = 0.3333.
TEST(ReportStatistics, TwoSidedOneSidedAndNoSpread) {
    Limits both{10.05, 9.95};
    Statistics s = ComputeStatistics({10.01, 10.03, 10.05}, both);
    EXPECT_EQ(s.N, 3u);
    EXPECT_NEAR(*s.Mean, 10.03, 1e-12);
    EXPECT_NEAR(*s.StdDev, 0.02, 1e-12);
    EXPECT_DOUBLE_EQ(*s.Min, 10.01);
    EXPECT_DOUBLE_EQ(*s.Max, 10.05);
    EXPECT_NEAR(*s.Cp, 0.833333, 1e-6);
    EXPECT_NEAR(*s.Cpk, 0.333333, 1e-6);

    // Only an upper limit: no Cp, Cpk = (10.05 - 10.03) / 0.06.
    Statistics upper = ComputeStatistics({10.01, 10.03, 10.05}, Limits{10.05, std::nullopt});
    EXPECT_FALSE(upper.Cp);
    EXPECT_NEAR(*upper.Cpk, 0.333333, 1e-6);
    // Only a lower limit: Cpk = (10.03 - 9.95) / 0.06 = 1.3333.
    Statistics lower = ComputeStatistics({10.01, 10.03, 10.05}, Limits{std::nullopt, 9.95});
    EXPECT_FALSE(lower.Cp);
    EXPECT_NEAR(*lower.Cpk, 1.333333, 1e-6);
    // No limits at all: spread but no capability.
    Statistics none = ComputeStatistics({10.01, 10.03, 10.05}, Limits{});
    EXPECT_FALSE(none.Cp);
    EXPECT_FALSE(none.Cpk);

    // Three times 0.1: the sum is 0.30000000000000004, yet there is no spread
    // and no capability figure (not a huge one from a rounding residue).
    Statistics flat = ComputeStatistics({0.1, 0.1, 0.1}, Limits{0.2, 0.0});
    EXPECT_EQ(*flat.StdDev, 0.0);
    EXPECT_EQ(*flat.Mean, 0.1);
    EXPECT_FALSE(flat.Cp);
    EXPECT_FALSE(flat.Cpk);

    // One value: its mean, min and max, nothing that needs n - 1.
    Statistics one = ComputeStatistics({10.02}, both);
    EXPECT_EQ(one.N, 1u);
    EXPECT_EQ(*one.Mean, 10.02);
    EXPECT_FALSE(one.StdDev);
    EXPECT_FALSE(one.Cp);
    EXPECT_FALSE(one.Cpk);
    EXPECT_FALSE(ComputeStatistics({}, both).Mean);

    EXPECT_EQ(FixedText(flat.Cpk, 2), "—");
    EXPECT_EQ(FixedText(0.333333, 2), "0.33");
    EXPECT_EQ(FixedText(-0.00001, 3), "0.000");
}

// Out of tolerance as the station fails a value: at the upper limit is out,
// at the lower limit is in; OK/NG are counted apart and other texts listed.
TEST(ReportStatistics, BooksCountFailuresAsTheStationJudges) {
    CapabilityBuilder builder;
    builder.Add(Day(1, "0.02", "-0.02", "10.02"));   // = upper limit: out
    builder.Add(Day(2, "0.02", "-0.02", "9.98"));    // = lower limit: in
    builder.Add(Day(3, "0.02", "-0.02", "10"));
    builder.Add(Day(4, "0.02", "-0.02", "OK"));
    builder.Add(Day(5, "0.02", "-0.02", "NG"));
    builder.Add(Day(6, "0.02", "-0.02", "傷あり"));
    builder.Add(Day(7, "0.02", "-0.02", "傷あり"));
    builder.Add(Day(8, "0.02", "", "9.5"));         // no lower limit that day: in
    builder.Add(Day(9, "0.03", "", ""));            // nothing measured: the limits still count
    auto table = builder.Result();
    ASSERT_EQ(table.size(), 1u);
    const PointCapability& p = table[0];
    EXPECT_EQ(p.Stats.N, 4u);
    EXPECT_EQ(p.Outside, 1u);
    EXPECT_DOUBLE_EQ(*p.OutsideShare, 0.25);
    EXPECT_EQ(p.OkCount, 1u);
    EXPECT_EQ(p.NgCount, 1u);
    ASSERT_EQ(p.OtherTexts.size(), 1u);
    EXPECT_EQ(p.OtherTexts[0].first, "傷あり");
    EXPECT_EQ(p.OtherTexts[0].second, 2u);
    // The latest book's limits stand for the range, and the change is told.
    EXPECT_EQ(p.Upper, "0.03");
    EXPECT_EQ(p.Lower, "");
    EXPECT_TRUE(p.LimitsChanged);
    ASSERT_EQ(builder.Samples(1).size(), 4u);
    EXPECT_TRUE(builder.Samples(1)[0].Outside);
    EXPECT_FALSE(builder.Samples(1)[1].Outside);
    EXPECT_EQ(builder.Samples(1)[3].Day.Day, 8);
}

TEST(ReportStatistics, OnlyWholeNumbersAreMeasuredValues) {
    EXPECT_EQ(*MeasuredNumber("10.012"), 10.012);
    EXPECT_EQ(*MeasuredNumber("-0.5"), -0.5);
    EXPECT_EQ(*MeasuredNumber("1E-05"), 1e-5);
    EXPECT_EQ(*MeasuredNumber("+3"), 3.0);
    for (const char* text : {"", "OK", "NG", "10mm", "inf", "nan", "-", "1,5", "0x10"})
        EXPECT_FALSE(MeasuredNumber(text)) << text;
    // An empty nominal size means no limits, as the judgement reads it.
    Limits none = LimitsOf("", "0.1", "-0.1");
    EXPECT_FALSE(none.Upper);
    EXPECT_FALSE(none.Lower);
}
