// Control limits fixed from a base period: made by the command a quality
// engineer runs, kept in versions, and never written over when damaged.
#include <gtest/gtest.h>

#include <QStringList>

#include "report/fixed_limits.h"
#include "report/spc.h"
#include "report_fixture.h"
#include "temp_root.h"

namespace {

using namespace ziv::report;
using reporttest::MakeDayBook;

// Day workbooks of point 1 on machine 2 (and point 2 with no spread),
// one a day from 2026-03-01.
void MakeDays(const std::string& product, const std::vector<std::string>& values) {
    for (size_t d = 0; d < values.size(); ++d)
        MakeDayBook(product, "op_1_製品_A_2号機_2026年3月" + std::to_string(d + 1) + "日.xls",
                    {{1, "10", "0.05", "-0.05", "F1", values[d], "合", ""}, {2, "5", "0.1", "", "F1", "5", "合", ""}});
}

reporttest::Ran FixLimits(const std::string& product, const QStringList& more) {
    return reporttest::RunProgram(QString::fromStdString(reporttest::ReportTool()),
                                  QStringList{"limits", QString::fromStdString(product)} + more);
}

TEST(FixedLimits, EachFixingIsANewVersionAndTheNewestHolds) {
    TempRoot root;
    std::string product = root / "製品_A";
    MakeDays(product, {"10.01", "10.03", "10.02", "10.04"});
    auto first =
        FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-04", "--by", "品証 山田", "--allow-few"});
    ASSERT_EQ(first.Exit, 0) << first.Err;

    FixedLimitsRead read = ReadFixedLimits(FixedLimitsPath(product));
    ASSERT_TRUE(read.problem) << read.problem.subject;
    // Point 2 never varied: no limits can be drawn for it.
    ASSERT_EQ(read.limits.size(), 1u);
    const FixedLimit l = read.limits[0];
    EXPECT_EQ(std::make_tuple(l.Version, l.Point, l.Machine, l.N, l.FixedBy),
              std::make_tuple(1, 1, 2, size_t{4}, std::string("品証 山田")));
    // x̄ 10.025, MR̄ (0.02 + 0.01 + 0.02) / 3.
    EXPECT_NEAR(l.Limits.Centre, 10.025, 1e-12);
    EXPECT_NEAR(l.Limits.Upper, 10.025 + 2.66 * 0.05 / 3, 1e-12);
    EXPECT_NEAR(l.Limits.RangeUpper, 3.267 * 0.05 / 3, 1e-12);
    EXPECT_EQ(l.Tolerance, (LimitTexts{"10", "0.05", "-0.05"}));

    auto second = FixLimits(product, {"--from", "2026-03-03", "--to", "2026-03-04", "--point", "1", "--allow-few"});
    ASSERT_EQ(second.Exit, 0) << second.Err;
    read = ReadFixedLimits(FixedLimitsPath(product));
    ASSERT_EQ(read.limits.size(), 2u);
    EXPECT_EQ(read.limits[0], l);
    CurrentLimits current = CurrentFixedLimits(read.limits);
    EXPECT_EQ(current.at({1, 2}).Version, 2);
    EXPECT_NEAR(current.at({1, 2}).Limits.Centre, 10.03, 1e-12);
}

TEST(FixedLimits, ADamagedFileIsReportedAndNeverWrittenOver) {
    TempRoot root;
    std::string product = root / "製品_A";
    MakeDays(product, {"10.01", "10.03", "10.02"});
    ASSERT_EQ(FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-03", "--allow-few"}).Exit, 0);
    std::string path = FixedLimitsPath(product);
    std::string bytes = ReadBytes(path);
    for (const std::string& damage : {bytes + "1\t2026-03-16T08:30:00.000+09:00\tx\n", bytes.substr(0, bytes.size() - 9),
                                      "ZIV 管理限界 9\r\n" + bytes.substr(bytes.find('\n') + 1)}) {
        WriteBytes(path, damage);
        FixedLimitsRead read = ReadFixedLimits(path);
        EXPECT_EQ(read.problem.failure, ziv::Failure::ContentDamaged);
        EXPECT_TRUE(read.limits.empty());
        auto again = FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-03", "--allow-few"});
        EXPECT_EQ(again.Exit, 4);
        EXPECT_NE(again.Err.find("行目が読めません"), std::string::npos) << again.Err;
        EXPECT_EQ(ReadBytes(path), damage);
    }
}

// 24 days in control to 0.001; the twelfth day's tool chip reads 10.03.
const std::vector<std::string> kSteady{"10.002", "9.998",  "10.001", "10.003", "9.999", "9.997", "10",     "10.002",
                                       "10.001", "9.998",  "10.004", "9.999",  "10",    "9.996", "10.002", "10.003",
                                       "9.999",  "10.001", "9.998",  "10",     "10.002", "9.999", "10.001", "10"};
std::vector<std::string> Chipped() {
    std::vector<std::string> v = kSteady;
    v[11] = "10.03";
    return v;
}
// Read to 0.01 where the process varies by a few thousandths.
const std::vector<std::string> kCoarse{"10", "10", "10.01", "10.01", "10", "10", "10.01", "10.01", "10", "10",
                                       "10.01", "10.01", "10", "10", "10.01", "10.01", "10", "10", "10.01", "10.01"};

TEST(FixedLimits, ABasePeriodIsCheckedBeforeAnythingIsWritten) {
    struct Case {
        std::vector<std::string> Values;
        QStringList Options;
        int Exit;
        std::string Says;    // on standard error, or standard output where it lists values
        size_t ExcludedDay;  // 1.. where the limits come without that day's value
        BaseFindings Base;   // of the line written, leaving out the step and the exclusion
    };
    const std::vector<Case> cases{
        {{"10.01", "10.03"}, {}, 6, "20 個以上が必要", 0, {}},
        {{"10.01", "10.03"}, {"--allow-few"}, 0, "(20 個未満、--allow-few)", 0, {true, 0, 0, false, {}}},
        {Chipped(), {}, 6, "1\t2\t2026-03-12#1\t10.03\tルール1: 管理限界外", 0, {}},
        {Chipped(), {"--exclude", "1,2,2026-03-12=刃先欠け"}, 0, "除外: 刃先欠け", 12, {}},
        {Chipped(), {"--exclude", "1,2,2026/3/30=x"}, 6, "除外する値 2026-03-30 は基準期間にありません", 0, {}},
        // The chip's value and the one after it jump beyond the moving-range limit.
        {Chipped(), {"--force"}, 0, "信号のある値 2 点を残したまま", 0, {false, 2, 0, false, {}}},
        {kCoarse, {}, 0, "読み取りの刻み 0.01 が変動に比べて粗すぎます (移動範囲 19 のうち 10 が 0", 0,
         {false, 0, 0, true, {}}},
    };
    for (const Case& c : cases) {
        TempRoot root;
        std::string product = root / "製品_A";
        MakeDays(product, c.Values);
        auto ran = FixLimits(product, QStringList{"--from", "2026-03-01", "--to", "2026-03-31", "--point", "1"} +
                                          c.Options);
        SCOPED_TRACE(c.Options.join(' ').toStdString() + " " + std::to_string(c.Values.size()));
        EXPECT_EQ(ran.Exit, c.Exit) << ran.Err;
        EXPECT_NE((ran.Err + ran.Out).find(c.Says), std::string::npos) << ran.Err << ran.Out;
        FixedLimitsRead read = ReadFixedLimits(FixedLimitsPath(product));
        EXPECT_EQ(read.limits.size(), c.Exit ? 0u : 1u);
        if (c.Exit || read.limits.size() != 1) continue;
        std::vector<double> kept;
        for (size_t d = 0; d < c.Values.size(); ++d)
            if (d + 1 != c.ExcludedDay) kept.push_back(std::stod(c.Values[d]));
        FixedLimit l = read.limits[0];
        EXPECT_EQ(l.N, kept.size());
        EXPECT_EQ(l.Limits, *IndividualsLimits(SpreadOf(kept)));
        EXPECT_EQ(l.Base.Excluded.size(), c.ExcludedDay ? 1u : 0u);
        l.Base.Excluded.clear();
        l.Base.Step = 0;
        EXPECT_EQ(l.Base, c.Base);
    }
}

TEST(FixedLimits, TheFileKeepsWhatTheBasePeriodShowedAndOlderFilesStillRead) {
    const std::string older =
        "ZIV 管理限界 1\r\n版\t確定日時\t確定者\t基準開始\t基準終了\t番号\t号機\tn\t中心線\t上方管理限界\t下方管理限界\t"
        "移動範囲中心\t移動範囲上限\t寸法\t上限\t下限\r\n1\t2026-03-16T08:30:00.000+09:00\t品証\t2026-03-01\t"
        "2026-03-04\t1\t2\t4\t10.025\t10.07\t9.98\t0.0166\t0.054\t10\t0.05\t-0.05\r\n";
    FixedLimitsRead read = ParseFixedLimits(older);
    ASSERT_TRUE(read.problem) << read.problem.subject;
    ASSERT_EQ(read.limits.size(), 1u);
    EXPECT_EQ(read.limits[0].Limits.Upper, 10.07);
    EXPECT_EQ(read.limits[0].Base, BaseFindings{});

    FixedLimit l = read.limits[0];
    l.Base = {true, 3, 0.001, true, {{{2026, 3, 2}, 2, 10.03, "刃先; 欠け\\"}, {{2026, 3, 4}, 1, 9.9, "測定ミス"}}};
    read = ParseFixedLimits(FixedLimitsText({l, read.limits[0]}));
    ASSERT_TRUE(read.problem) << read.problem.subject;
    EXPECT_EQ(read.limits, (std::vector<FixedLimit>{l, read.limits.at(1)}));
    EXPECT_EQ(read.limits.at(1).Base, BaseFindings{});
}

}  // namespace
