// The capability table built from day workbooks: rows per point, machine and
// set of limits, the station's own verdicts, and figures worked out by hand.
#include <gtest/gtest.h>

#include <cmath>

#include "common/numbers.h"
#include "report/capability.h"
#include "report/capability_table.h"
#include "report/report_csv.h"

using namespace ziv;
using namespace ziv::report;

namespace {

struct Value {
    std::string Text, Judgement;
};

// One day workbook of a single point.
DayBookData OneDay(int day, int machine, const LimitTexts& limits, const Value& value, int point = 1) {
    DayBookData book;
    book.Name = {"op", "P", machine, {2026, 3, day}};
    PointRow row;
    row.Point = point;
    row.Nominal = limits.Nominal;
    row.Upper = limits.Upper;
    row.Lower = limits.Lower;
    row.Value = value.Text;
    row.Judgement = value.Judgement;
    book.Rows.push_back(row);
    return book;
}

const LimitTexts kTen{"10", "0.05", "-0.05"};

const CapabilityRow* Find(const std::vector<CapabilityRow>& rows, int point, std::optional<int> machine,
                          const std::string& upper = "0.05") {
    for (const auto& row : rows)
        if (row.Point == point && row.Machine == machine && row.Limits.Upper == upper) return &row;
    return nullptr;
}

}  // namespace

// Two machines measured on alternating days: each gets its own row in date
// order, and the pooled row carries overall figures only.
// Machine 1: 10.00, 10.02, 10.04, 10.06 (a drift): MR-bar 0.02, within sigma
// 0.02 / 1.128 = 0.017730; overall s = sqrt(0.0020 / 3) = 0.025820; mean 10.03.
// Cpk = (10.05 - 10.03) / (3 * 0.017730) = 0.37600, Ppk = 0.02 / 0.077460 = 0.25820.
TEST(ReportCapability, EachMachineIsItsOwnSeriesAndThePoolIsOnlyAReference) {
    CapabilityBuilder builder;
    const char* one[] = {"10.00", "10.02", "10.04", "10.06"};
    const char* two[] = {"9.99", "10.01", "9.99", "10.01"};
    for (int d = 0; d < 4; ++d) {
        builder.Add(OneDay(2 * d + 1, 1, kTen, {one[d], d == 3 ? "不" : "合"}));
        builder.Add(OneDay(2 * d + 2, 2, kTen, {two[d], "合"}));
    }
    auto rows = builder.Result();
    ASSERT_EQ(rows.size(), 3u);
    const CapabilityRow* m1 = Find(rows, 1, 1);
    const CapabilityRow* m2 = Find(rows, 1, 2);
    const CapabilityRow* pool = Find(rows, 1, std::nullopt);
    ASSERT_TRUE(m1 && m2 && pool);
    EXPECT_EQ(rows.back().Machine, std::nullopt);  // the pool after the machines

    EXPECT_EQ(m1->Stats.N, 4u);
    EXPECT_NEAR(*m1->Stats.Mean, 10.03, 1e-12);
    EXPECT_NEAR(*m1->Stats.WithinSigma, 0.02 / 1.128, 1e-9);
    EXPECT_NEAR(*m1->Stats.OverallSigma, std::sqrt(0.002 / 3), 1e-9);
    EXPECT_NEAR(*m1->Index.Cpk, 0.02 / (3 * 0.02 / 1.128), 1e-6);
    EXPECT_NEAR(*m1->Index.Ppk, 0.02 / (3 * std::sqrt(0.002 / 3)), 1e-6);
    EXPECT_EQ(m1->First, (Date{2026, 3, 1}));
    EXPECT_EQ(m1->Last, (Date{2026, 3, 7}));
    EXPECT_EQ(m1->Failed, 1u);
    EXPECT_EQ(m1->Assess(), CapabilityRow::Standing::WantsALook);

    // The pool: eight values in date order; overall figures, no within ones.
    EXPECT_EQ(pool->Stats.N, 8u);
    EXPECT_FALSE(pool->Stats.WithinSigma);
    EXPECT_FALSE(pool->Index.Cpk);
    EXPECT_FALSE(pool->Index.CpkLower95);
    EXPECT_TRUE(pool->Index.Ppk);
    EXPECT_EQ(MachineText(*pool), "全号機(参考)");
    std::vector<Sample> merged = builder.RowSamples(*pool);
    ASSERT_EQ(merged.size(), 8u);
    EXPECT_EQ(merged[0].Value, 10.00);
    EXPECT_EQ(merged[1].Value, 9.99);
    EXPECT_EQ(merged[7].Value, 10.01);

    // Asked without the pool, and one machine alone never gets one.
    EXPECT_EQ(builder.Result(false).size(), 2u);
    CapabilityBuilder single;
    for (int d = 1; d <= 3; ++d) single.Add(OneDay(d, 4, kTen, {"10", "合"}));
    EXPECT_EQ(single.Result().size(), 1u);
}

// The out-of-tolerance count and the verdicts are the station's, as its book
// keeps them: a value the station did not judge is counted as unjudged, never
// judged again here. OK, NG and other texts are counted apart.
TEST(ReportCapability, VerdictsAreTheStationsOwn) {
    CapabilityBuilder builder;
    LimitTexts upperOnly{"10", "0.02", ""};
    builder.Add(OneDay(1, 1, upperOnly, {"10.5", ""}));  // beyond the one limit, but the station gave no verdict
    builder.Add(OneDay(2, 1, upperOnly, {"10.01", ""}));
    builder.Add(OneDay(3, 1, upperOnly, {"OK", ""}));
    builder.Add(OneDay(4, 1, upperOnly, {"NG", ""}));
    builder.Add(OneDay(5, 1, upperOnly, {"傷あり", ""}));
    builder.Add(OneDay(6, 1, upperOnly, {"傷あり", ""}));
    builder.Add(OneDay(7, 1, upperOnly, {"", ""}));  // nothing measured: the limits still count
    auto rows = builder.Result();
    ASSERT_EQ(rows.size(), 1u);
    const CapabilityRow& row = rows[0];
    EXPECT_EQ(row.Stats.N, 2u);
    EXPECT_EQ(row.Failed, 0u);
    EXPECT_EQ(row.Unjudged, 2u);
    EXPECT_EQ(row.OkCount, 1u);
    EXPECT_EQ(row.NgCount, 1u);
    ASSERT_EQ(row.OtherTexts.size(), 1u);
    EXPECT_EQ(row.OtherTexts[0], (std::pair<std::string, size_t>{"傷あり", 2}));
    // One-sided capability: Cpk of the upper side, no Cp.
    EXPECT_EQ(SidesText(row), "上側のみ");
    EXPECT_FALSE(row.Index.Cp);
    EXPECT_TRUE(row.Index.Cpk);

    EXPECT_EQ(StoredVerdict("合"), Verdict::Pass);
    EXPECT_EQ(StoredVerdict("不"), Verdict::Fail);
    EXPECT_EQ(StoredVerdict(""), Verdict::None);
    EXPECT_EQ(StoredVerdict("OK"), Verdict::None);
}

// Limits that change within the range give one row per set: no figure mixes
// two sets, and each row counts only the values measured under its limits.
TEST(ReportCapability, ChangedLimitsNeverMixInOneFigure) {
    CapabilityBuilder builder;
    LimitTexts tight{"10", "0.01", "-0.01"};
    for (int d = 1; d <= 4; ++d) builder.Add(OneDay(d, 1, kTen, {d % 2 ? "10.03" : "10.00", "合"}));
    for (int d = 5; d <= 7; ++d) builder.Add(OneDay(d, 1, tight, {d % 2 ? "10.03" : "10.00", d % 2 ? "不" : "合"}));
    auto rows = builder.Result();
    ASSERT_EQ(rows.size(), 2u);
    const CapabilityRow* before = Find(rows, 1, 1, "0.05");
    const CapabilityRow* after = Find(rows, 1, 1, "0.01");
    ASSERT_TRUE(before && after);
    EXPECT_TRUE(before->LimitsChanged && after->LimitsChanged);
    EXPECT_EQ(before->Stats.N, 4u);
    EXPECT_EQ(before->Failed, 0u);
    EXPECT_EQ(after->Stats.N, 3u);
    EXPECT_EQ(after->Failed, 2u);
    EXPECT_NEAR(*after->FailedShare(), 2.0 / 3, 1e-12);
    EXPECT_EQ(*before->Tolerance.Upper, 10.05);
    EXPECT_EQ(*after->Tolerance.Upper, 10.01);
    EXPECT_EQ(after->First, (Date{2026, 3, 5}));
    // The chart sees the whole series with each value's set.
    const Series* series = builder.SeriesOf(1, 1);
    ASSERT_TRUE(series);
    ASSERT_EQ(series->Samples.size(), 7u);
    EXPECT_EQ(builder.LimitSets(1)[series->Samples[0].LimitSet], kTen);
    EXPECT_EQ(builder.LimitSets(1)[series->Samples[6].LimitSet], tight);
    EXPECT_EQ(CapabilityRowTexts(*after).back(), "規格変更  n<25  刻み粗い");
}

// Flatness 0 / +0.01 / 0: the lower limit is a bound no part crosses, so the
// capability is the upper side's. Values 0.002 and 0.003 alternating: mean
// 0.0025, MR-bar 0.001, within sigma 0.000886525; Cpk = 0.0075 / 0.00265957 = 2.82.
TEST(ReportCapability, GeometricToleranceIsBoundedByNature) {
    CapabilityBuilder builder;
    LimitTexts flatness{"0", "0.01", "0"};
    for (int d = 1; d <= 10; ++d) builder.Add(OneDay(d, 3, flatness, {d % 2 ? "0.002" : "0.003", "合"}));
    auto rows = builder.Result();
    ASSERT_EQ(rows.size(), 1u);
    const CapabilityRow& row = rows[0];
    EXPECT_TRUE(row.Tolerance.LowerIsNaturalBound);
    EXPECT_EQ(SidesText(row), "上側(自然限界)");
    EXPECT_NEAR(*row.Index.Cpk, 0.0075 / (3 * 0.001 / 1.128), 1e-6);
    EXPECT_FALSE(row.Index.Cp);
    // A nominal 0 with a real lower tolerance is an ordinary two-sided limit.
    EXPECT_FALSE(ToleranceLimitsOf({"0", "0.01", "-0.01"}).LowerIsNaturalBound);
    EXPECT_FALSE(ToleranceLimitsOf({"", "0.01", "0"}).Upper);
    // Decimals one finer than the tightest limit text.
    EXPECT_EQ(row.Decimals, 3);
}

// A machine that drifts breaks the run rules; the signals count in the row
// whose values they fall on, and a row with signals wants a look however
// large its Cpk. A stable machine with many values is proven capable.
TEST(ReportCapability, RunRulesAndTheCpkBoundDecideWhatWantsALook) {
    CapabilityBuilder builder;
    LimitTexts wide{"10", "1", "-1"};
    for (int d = 1; d <= 20; ++d) {
        // Machine 1 rises steadily; machine 2 alternates around 10 by 0.001.
        builder.Add(OneDay(d, 1, wide, {ziv::GeneralDecimalText(10 + 0.002 * d), "合"}));
        builder.Add(OneDay(d, 2, wide, {d % 2 ? "10.001" : "9.999", "合"}));
    }
    auto rows = builder.Result(false);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_GT(rows[0].Rules[3], 0u);  // rising
    EXPECT_EQ(rows[0].Assess(), CapabilityRow::Standing::WantsALook);
    // Twenty values alternating: rule 4 from the fourteenth on.
    EXPECT_EQ(rows[1].Rules[4], 7u);
    EXPECT_EQ(rows[1].RuleSignals(), rows[1].Rules[4]);
    EXPECT_EQ(rows[1].Assess(), CapabilityRow::Standing::WantsALook);

    CapabilityBuilder stable;
    // Read to 0.001 with sigma above two steps: no coarse gauge in the way.
    const char* noise[] = {"10.003", "9.997", "10.006", "10.000", "9.994", "10.003", "10.000", "9.997",
                           "10.006", "9.994", "10.000", "10.003", "9.997", "10.000", "10.006", "9.997"};
    for (int d = 0; d < 16; ++d) stable.Add(OneDay(d + 1, 5, wide, {noise[d], "合"}));
    auto capable = stable.Result();
    ASSERT_EQ(capable.size(), 1u);
    EXPECT_EQ(capable[0].RuleSignals(), 0u);
    EXPECT_GT(*capable[0].Index.CpkLower95, 1.33);
    EXPECT_EQ(capable[0].Assess(), CapabilityRow::Standing::Proven);
    // The same spread from five values: Cpk as large, but not proven.
    CapabilityBuilder few;
    for (int d = 0; d < 5; ++d) few.Add(OneDay(d + 1, 5, {"10", "0.03", "-0.03"}, {noise[d], "合"}));
    const CapabilityRow fewRow = few.Result()[0];
    EXPECT_GT(*fewRow.Index.Cpk, 1.33);
    EXPECT_LT(*fewRow.Index.CpkLower95, 1.33);
    EXPECT_EQ(fewRow.Assess(), CapabilityRow::Standing::NotProven);
    // On paper and screen: means to one digit finer than the limits, sigma
    // to three significant digits.
    std::vector<std::string> texts = CapabilityRowTexts(capable[0]);
    ASSERT_EQ(texts.size(), kCapabilityColumns.size());
    EXPECT_EQ(texts[8], "10.00");
    EXPECT_EQ(texts[9], "0.00567");  // MR-bar 0.096 / 15, over 1.128
}

TEST(ReportCapability, CsvCellsAreExactAndInert) {
    EXPECT_EQ(InertText("=1+2"), "'=1+2");
    EXPECT_EQ(InertText("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(InertText("+cmd"), "'+cmd");
    EXPECT_EQ(InertText("-"), "'-");
    EXPECT_EQ(InertText("\tx"), "'\tx");
    EXPECT_EQ(InertText("-0.02"), "-0.02");
    EXPECT_EQ(InertText("+3"), "+3");
    EXPECT_EQ(InertText("検査員1"), "検査員1");
    EXPECT_EQ(ExactText(0.01217), "0.01217");
    EXPECT_EQ(ExactText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(std::stod(ExactText(2.0 / 3)), 2.0 / 3);

    EXPECT_EQ(*MeasuredNumber("10.012"), 10.012);
    EXPECT_EQ(*MeasuredNumber("-0.5"), -0.5);
    EXPECT_EQ(*MeasuredNumber("1E-05"), 1e-5);
    for (const char* text : {"", "OK", "NG", "10mm", "inf", "nan", "-", "1,5", "0x10"})
        EXPECT_FALSE(MeasuredNumber(text)) << text;
}
