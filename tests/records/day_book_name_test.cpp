// Day-workbook names read from the right, "_" in names, and foreign names.
#include <gtest/gtest.h>

#include "records/day_book_name.h"

using namespace ziv;

TEST(DayBookNames, UnderscoresInOperatorAndProduct) {
    auto name = ParseDayBookName("op_1_A_100_3号機_2026年3月7日.xls", "A_100");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->Operator, "op_1");
    EXPECT_EQ(name->Product, "A_100");
    EXPECT_EQ(name->Machine, 3);
    EXPECT_EQ(name->WorkDate, (Date{2026, 3, 7}));

    auto japanese = ParseDayBookName("山田_太郎_軸受_ハウジング_47号機_2024年12月31日.xls", "軸受_ハウジング");
    ASSERT_TRUE(japanese);
    EXPECT_EQ(japanese->Operator, "山田_太郎");
    EXPECT_EQ(japanese->Machine, 47);
    EXPECT_EQ(japanese->WorkDate, (Date{2024, 12, 31}));

    // Without the product name the operator ends at the first "_".
    auto guessed = ParseDayBookName("op_A_100_0号機_2024年2月29日.xls");
    ASSERT_TRUE(guessed);
    EXPECT_EQ(guessed->Operator, "op");
    EXPECT_EQ(guessed->Product, "A_100");
    EXPECT_EQ(guessed->Machine, 0);
}

TEST(DayBookNames, ForeignNamesAreRefused) {
    const char* foreign[] = {
        "notes.txt",
        "data.xls",
        "op_A_3号機_2026年3月7日.xlsx",
        "op_A_3号機_2026年3月7日.xls.bak",
        "op_A_48号機_2026年3月7日.xls",   // no machine 48
        "op_A_03号機_2026年3月7日.xls",   // the station writes no leading zero
        "op_A_-1号機_2026年3月7日.xls",
        "op_A_3号機_2026年2月29日.xls",   // 2026 is no leap year
        "op_A_3号機_2026年13月1日.xls",
        "op_A_3号機_2026年3月07日.xls",
        "op_A_3号_2026年3月7日.xls",
        "op_A_号機_2026年3月7日.xls",
        "op_A_3号機_2026-03-07.xls",
        "_A_3号機_2026年3月7日.xls",      // no operator
        "A_3号機_2026年3月7日.xls",       // no operator before the product
        "op_B_3号機_2026年3月7日.xls",    // another product
        "opA_3号機_2026年3月7日.xls",     // the product not after a "_"
    };
    for (const char* name : foreign) EXPECT_FALSE(ParseDayBookName(name, "A")) << name;
    EXPECT_FALSE(ParseDayBookName("opA_3号機_2026年3月7日.xls"));
}

TEST(DayBookNames, DatesTypedOnTheCommandLine) {
    EXPECT_EQ(*ParseDate("2024-03-07"), (Date{2024, 3, 7}));
    EXPECT_EQ(*ParseDate("2024/3/7"), (Date{2024, 3, 7}));
    EXPECT_EQ(*ParseDate("2024年3月7日"), (Date{2024, 3, 7}));
    for (const char* bad : {"", "2024", "2024-3", "2024-02-30", "24-03-07", "2024-03-07x", "2024/3/7/1", "昨日"})
        EXPECT_FALSE(ParseDate(bad)) << bad;
    EXPECT_EQ(DateText({2024, 3, 7}), "2024-03-07");
}

// What the station names a book the report reads back as the same operator,
// product, machine and date: also with "_" in the names, both ends of the
// machines and the dates the station writes without leading zeros.
TEST(DayBookNames, TheStationsNameReadsBackAsItWasMade) {
    struct Made {
        std::string Operator, Product;
        int Machine;
        WorkDate Date;
        ziv::Date Expected;
    } made[] = {
        {"検査員1", "フランジA-100", 0, {"2026", "3", "7"}, {2026, 3, 7}},
        {"山田_太郎", "軸受_ハウジング", 47, {"2024", "12", "31"}, {2024, 12, 31}},
        {"op", "A_B_C", 9, {"2024", "2", "29"}, {2024, 2, 29}},
    };
    for (const Made& m : made) {
        std::string file = DayBookFileName(m.Operator, m.Product, m.Machine, m.Date);
        auto name = ParseDayBookName(file, m.Product);
        ASSERT_TRUE(name) << file;
        EXPECT_EQ(name->Operator, m.Operator) << file;
        EXPECT_EQ(name->Product, m.Product) << file;
        EXPECT_EQ(name->Machine, m.Machine) << file;
        EXPECT_EQ(name->WorkDate, m.Expected) << file;
    }
}
