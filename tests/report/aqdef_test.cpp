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

Timestamp At(int h, int m, int s, int ms) {
    // The station's clock at +09:00: 2024-03-07 local, 2024-03-06 in UTC before 09:00.
    return {sys_days(Day{year{2024}, month{3}, day{7}}) + hours(h) + minutes(m) + seconds(s) + milliseconds(ms) -
                hours(9),
            hours(9)};
}

AqdefInput Sample() {
    AqdefInput in;
    in.PartNumber = "AB-1234-01";
    in.PartName = "フランジ";
    in.Characteristics = {{7, "7", "外径 φ10", 10.0, 9.99, 10.02}, {12, "12", "深さ\r\n(参考)", 2.5, std::nullopt, 3.0}};
    in.Values = {
        {7, 10.005, At(8, 5, 9, 999), "L-0307", "検査員1", "3", "MC-0012"},
        {12, 0.00001, std::nullopt, "", "", "", ""},
        {99, 1.0, At(9, 0, 0, 0), "L", "x", "3", "g"},  // no such characteristic
        {7, -0.012, At(23, 59, 59, 0), "L-0307", "検査員2", "47", ""},
    };
    return in;
}

}  // namespace

TEST(AqdefFile, TheFileReadsBackFieldByField) {
    size_t leftOut = 0;
    const std::string text = AqdefText(Sample(), &leftOut);
    EXPECT_EQ(leftOut, 1u);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1) << "CR LF after each line";
    AqdefRead read = ParseAqdef(text);
    EXPECT_EQ(read.Damaged, 0u);
    const std::vector<AqdefField> expected = {
        {100, std::nullopt, "2"},
        {1001, std::nullopt, "AB-1234-01"},
        {1002, std::nullopt, "フランジ"},
        {2001, 1, "7"},
        {2002, 1, "外径 φ10"},
        {2101, 1, "10"},
        {2110, 1, "9.99"},
        {2111, 1, "10.02"},
        {2001, 2, "12"},
        {2002, 2, "深さ  (参考)"},
        {2101, 2, "2.5"},
        {2111, 2, "3"},
        {1, 1, "10.005"},
        {4, 1, "07.03.2024/08:05:09"},
        {6, 1, "L-0307"},
        {8, 1, "検査員1"},
        {10, 1, "3"},
        {12, 1, "MC-0012"},
        {1, 2, "0.00001"},
        {1, 1, "-0.012"},
        {4, 1, "07.03.2024/23:59:59"},
        {6, 1, "L-0307"},
        {8, 1, "検査員2"},
        {10, 1, "47"},
    };
    ASSERT_EQ(read.Fields.size(), expected.size()) << text;
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(read.Fields[i], expected[i]) << "field " << i;
    EXPECT_TRUE(text.starts_with("K0100 2\r\nK1001 AB-1234-01\r\n")) << text;
    EXPECT_NE(text.find("\r\nK2110/1 9.99\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nK0004/1 07.03.2024/08:05:09\r\n"), std::string::npos) << text;
}

TEST(AqdefFile, WrittenInEitherEncodingTheSameFieldsComeBack) {
    TempRoot root;
    const AqdefInput in = Sample();
    const std::vector<AqdefField> fields = ParseAqdef(AqdefText(in)).Fields;

    const std::string utf8 = root / "values.dfq";
    ASSERT_TRUE(WriteAqdefFile(utf8, in));
    EXPECT_TRUE(ReadBytes(utf8).starts_with("\xEF\xBB\xBFK0100 2\r\n"));
    auto read = ReadAqdefFile(utf8);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Fields, fields);

    const std::string sjis = root / "values-sjis.dfq";
    ASSERT_TRUE(WriteAqdefFile(sjis, in, AqdefEncoding::ShiftJis));
    EXPECT_NE(ReadBytes(sjis).find(*ToCp932("K1002 フランジ\r\n")), std::string::npos);
    read = ReadAqdefFile(sjis, AqdefEncoding::ShiftJis);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->Fields, fields);

    AqdefInput foreign = in;
    foreign.PartName = "𠮷野の部品";  // no Shift_JIS form
    const std::string refused = root / "refused.dfq";
    EXPECT_EQ(WriteAqdefFile(refused, foreign, AqdefEncoding::ShiftJis).failure, Failure::NotShiftJis);
    EXPECT_FALSE(std::filesystem::exists(refused));
    EXPECT_FALSE(ReadAqdefFile(refused));
}

TEST(AqdefFile, TheReaderTellsFieldsFromOtherLines) {
    AqdefRead read = ParseAqdef("\xEF\xBB\xBFK0100 1\r\nK2001/0 all\r\nK2002/12 a b  c \r\nK12 x\r\nK0001/ 1\r\n"
                                "K0001/1\r\nX0001 1\r\nK00x1 1\r\n\r\nK0001/1 \r\n");
    EXPECT_EQ(read.Damaged, 5u);
    EXPECT_EQ(read.Fields, (std::vector<AqdefField>{{100, std::nullopt, "1"},
                                                    {2001, 0, "all"},
                                                    {2002, 12, "a b  c "},
                                                    {1, 1, ""}}));
}
