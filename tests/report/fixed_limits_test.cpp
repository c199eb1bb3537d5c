// Control limits fixed from a base period: made by the command a quality
// engineer runs, kept in versions, and never written over when damaged.
#include <gtest/gtest.h>

#include <QStringList>

#include "report/fixed_limits.h"
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
    auto first = FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-04", "--by", "品証 山田"});
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

    auto second = FixLimits(product, {"--from", "2026-03-03", "--to", "2026-03-04", "--point", "1"});
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
    ASSERT_EQ(FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-03"}).Exit, 0);
    std::string path = FixedLimitsPath(product);
    std::string bytes = ReadBytes(path);
    for (const std::string& damage : {bytes + "1\t2026-03-16T08:30:00.000+09:00\tx\n", bytes.substr(0, bytes.size() - 9),
                                      "ZIV 管理限界 9\r\n" + bytes.substr(bytes.find('\n') + 1)}) {
        WriteBytes(path, damage);
        FixedLimitsRead read = ReadFixedLimits(path);
        EXPECT_EQ(read.problem.failure, ziv::Failure::ContentDamaged);
        EXPECT_TRUE(read.limits.empty());
        auto again = FixLimits(product, {"--from", "2026-03-01", "--to", "2026-03-03"});
        EXPECT_EQ(again.Exit, 4);
        EXPECT_NE(again.Err.find("行目が読めません"), std::string::npos) << again.Err;
        EXPECT_EQ(ReadBytes(path), damage);
    }
}

}  // namespace
