// The AQDEF file for customers' SPC systems, read back field by field: the
// part, each characteristic with its limits, and each value with the fields
// that belong to it.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/text_file.h"
#include "report/aqdef.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;
using namespace std::chrono;

namespace {

// The station's clock at +09:00 on 2024-03-07 (the day before in UTC until 09:00).
Timestamp At(int h, int m, int s) {
    return {sys_days(Day{year{2024}, month{3}, day{7}}) + hours(h - 9) + minutes(m) + seconds(s) + milliseconds(999),
            hours(9)};
}

AqdefInput Sample() {
    AqdefInput in{"AB-1234-01", "フランジ", {}, {}};
    in.Characteristics = {{7, "7", "外径 φ10", 10.0, 9.99, 10.02}, {12, "12", "深さ\r\n(参考)", 2.5, std::nullopt, 3.0}};
    in.Values = {{7, 10.005, At(8, 5, 9), "L-0307", "検査員1", "3", "MC-0012"},
                 {12, 0.00001, std::nullopt, "", "", "", ""},
                 {99, 1.0, At(9, 0, 0), "L", "x", "3", "g"},  // no such characteristic
                 {7, -0.012, At(23, 59, 59), "L-0307", "検査員2", "47", ""}};
    return in;
}

}  // namespace

TEST(AqdefFile, TheFileReadsBackFieldByFieldInEitherEncoding) {
    size_t leftOut = 0;
    const std::string text = AqdefText(Sample(), &leftOut);
    EXPECT_EQ(leftOut, 1u);
    EXPECT_TRUE(text.starts_with("K0100 2\r\nK1001 AB-1234-01\r\nK1002 フランジ\r\nK2001/1 7\r\n")) << text;
    const std::vector<AqdefField> expected = {
        {100, {}, "2"},      {1001, {}, "AB-1234-01"}, {1002, {}, "フランジ"},   {2001, 1, "7"},
        {2002, 1, "外径 φ10"}, {2101, 1, "10"},          {2110, 1, "9.99"},      {2111, 1, "10.02"},
        {2001, 2, "12"},     {2002, 2, "深さ  (参考)"}, {2101, 2, "2.5"},       {2111, 2, "3"},
        {1, 1, "10.005"},    {4, 1, "07.03.2024/08:05:09"}, {6, 1, "L-0307"},  {8, 1, "検査員1"},
        {10, 1, "3"},        {12, 1, "MC-0012"},        {1, 2, "0.00001"},      {1, 1, "-0.012"},
        {4, 1, "07.03.2024/23:59:59"}, {6, 1, "L-0307"}, {8, 1, "検査員2"},    {10, 1, "47"},
    };
    AqdefRead read = ParseAqdef(text);
    EXPECT_EQ(read.Damaged, 0u);
    ASSERT_EQ(read.Fields.size(), expected.size()) << text;
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(read.Fields[i], expected[i]) << "field " << i;

    TempRoot root;
    ASSERT_TRUE(WriteAqdefFile(root / "utf8.dfq", Sample()));
    EXPECT_TRUE(ReadBytes(root / "utf8.dfq").starts_with("\xEF\xBB\xBFK0100 2\r\n"));
    EXPECT_EQ(ReadAqdefFile(root / "utf8.dfq")->Fields, expected);
    ASSERT_TRUE(WriteAqdefFile(root / "sjis.dfq", Sample(), AqdefEncoding::ShiftJis));
    EXPECT_NE(ReadBytes(root / "sjis.dfq").find(*ToCp932("K1002 フランジ\r\n")), std::string::npos);
    EXPECT_EQ(ReadAqdefFile(root / "sjis.dfq", AqdefEncoding::ShiftJis)->Fields, expected);
    AqdefInput foreign = Sample();
    foreign.PartName = "𠮷野の部品";  // no Shift_JIS form
    EXPECT_EQ(WriteAqdefFile(root / "no.dfq", foreign, AqdefEncoding::ShiftJis).failure, Failure::NotShiftJis);
    EXPECT_FALSE(std::filesystem::exists(root / "no.dfq"));
}
