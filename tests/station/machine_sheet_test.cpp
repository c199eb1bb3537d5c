// A machine's sheet without any window: what entries leave in a point's row.
#include <gtest/gtest.h>

#include "station/machine_sheet.h"

namespace ziv {
namespace {

TEST(MachineSheet, EntriesJudgeCorrectAndClearAsTheGridShowsThem) {
    MachineSheet sheet;
    sheet.SetMaster(3, {"10", "0.02", "-0.01", "10.005"});
    sheet.SetMaster(4, {"10", "0.02", "-0.01", ""});

    sheet.EnterValue(3, "10.03");
    EXPECT_EQ(sheet.JudgeRow(3), Judgement::Fail);
    sheet.CorrectRow(3);
    EXPECT_EQ(sheet.Row(3).Judgement, "不");
    EXPECT_EQ(sheet.Row(3).Correction, "-0.025");

    // Text over a judged value: no judgement, and no correction under a target.
    sheet.EnterText(3, "傷あり");
    EXPECT_EQ(sheet.Row(3).Value, "傷あり");
    EXPECT_EQ(sheet.Row(3).Judgement, "");
    EXPECT_EQ(sheet.Row(3).Correction, "");

    // Without a target an older correction stays; OK/NG judge without a number.
    sheet.SetMeasured(4, {"", "9.99", "合", "0.01"});
    sheet.EnterPassFail(4, false);
    EXPECT_EQ(sheet.Measured(4, "ノギス"), (MeasuredRow{"ノギス", "NG", "不", "0.01"}));
    EXPECT_EQ(sheet.Master(4), (MasterRow{"10", "0.02", "-0.01", ""}));

    // A value with no limits is not judged; the grid columns read the row.
    sheet.EnterValue(5, "1.5");
    EXPECT_EQ(sheet.JudgeRow(5), Judgement::None);
    const char* columns[] = {"3", "傷あり", "", "10", "0.02", "-0.01", "10.005", ""};
    for (int c = 0; c < MachineSheet::kColumns; ++c) EXPECT_EQ(sheet.ColumnText(3, c), columns[c]) << c;
}

TEST(MachineSheet, FirstEmptyPointAndPointsOutsideTheSheet) {
    MachineSheet sheet;
    EXPECT_EQ(sheet.FirstEmptyPoint(), kFirstPoint);
    for (int p = kFirstPoint; p <= kLastPoint; ++p)
        if (p != 57) sheet.EnterValue(p, "1");
    EXPECT_EQ(sheet.FirstEmptyPoint(), 57);
    sheet.EnterPassFail(57, true);
    EXPECT_EQ(sheet.FirstEmptyPoint(), 0);

    // The header row and rows past the last point hold nothing and take nothing.
    for (int p : {0, kLastPoint + 1, -1}) {
        sheet.EnterValue(p, "9");
        sheet.EnterText(p, "x");
        sheet.SetMaster(p, {"1", "1", "1", "1"});
        EXPECT_EQ(sheet.JudgeRow(p), Judgement::None);
        EXPECT_EQ(sheet.Row(p).Value, "");
        EXPECT_EQ(sheet.ColumnText(p, 0), "");
    }
    sheet.Clear();
    EXPECT_EQ(sheet.FirstEmptyPoint(), kFirstPoint);
    EXPECT_EQ(sheet.Row(57).Judgement, "");
}

}  // namespace
}  // namespace ziv
