#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "common/numbers.h"

using namespace ziv;

// holds: whether a number stands in the text at all; 0 read from "ERR" is no measurement.
TEST(NumberFromText, ReadsTrickyTexts) {
    struct Case { const char* text; double value; bool holds = true; } cases[] = {
        {"&H1F", 31}, {"&O17", 15}, {"&h10", 16}, {"1.5D2", 150}, {"1.5e-1", 0.15}, {" - 1 2", -12},
        {"12abc", 12}, {".5", 0.5}, {"1e", 1}, {"1e+", 1}, {"", 0, false}, {"+0012.50", 12.5},
        {"abc", 0, false}, {"  \t7", 7}, {"1.2.3", 1.2}, {"-", 0, false}, {"-.", 0, false}, {"3\n4", 34},
        {"012.345\r", 12.345}, {"&", 0, false}, {"&X1", 0, false}, {"1,5", 1}, {"--1", 0, false},
        {"&H", 0, false}, {"&HZ", 0, false}, {"ERR", 0, false}, {"-----", 0, false}, {"OVER", 0, false},
        {"-000.000", 0}, {"E5", 0, false},
    };
    for (auto& c : cases) {
        EXPECT_DOUBLE_EQ(NumberFromText(c.text), c.value) << '"' << c.text << '"';
        EXPECT_EQ(HoldsNumber(c.text), c.holds) << '"' << c.text << '"';
    }
}

// a + b against c in decimal, where doubles give 3.2 + -0.05 = 3.1500000000000004.
TEST(NumberFromText, ExactDecimalSumsCompareExactly) {
    struct Case { const char* a; const char* b; const char* c; std::optional<int> order; } cases[] = {
        {"3.2", "-0.05", "3.15", 0}, {"3.2", "-0.05", "3.1499", 1}, {"0", "-0.03", "-0.025", -1},
        {"1.5e1", "&H1", "16", 0},   {"ERR", "0.1", ".1", 0},       {"1E+30", "0.001", "1E+30", std::nullopt},
        {"1234567890.12345678901", "0", "1", std::nullopt},
    };
    for (auto& c : cases) {
        auto a = ExactDecimalFromText(c.a), b = ExactDecimalFromText(c.b), x = ExactDecimalFromText(c.c);
        std::optional<int> order = a && b && x ? CompareExactSum(*a, *b, *x) : std::nullopt;
        EXPECT_EQ(order, c.order) << c.a << " + " << c.b << " vs " << c.c;
    }
}

TEST(NumberFromText, HugeAndTinyExponentsDoNotBreak) {
    EXPECT_TRUE(std::isinf(NumberFromText("1e999")));
    EXPECT_EQ(NumberFromText("1e-999"), 0);
    EXPECT_DOUBLE_EQ(NumberFromText(std::string(400, '9')), NumberFromText(std::string(400, '9')));
}

TEST(NumberFromText, WholeNumbersRoundHalvesToEven) {
    EXPECT_EQ(WholeNumberFromText("2.5"), 2);
    EXPECT_EQ(WholeNumberFromText("3.5"), 4);
    EXPECT_EQ(WholeNumberFromText("-2.5"), -2);
    EXPECT_EQ(WholeNumberFromText("2147483647"), 2147483647);
    EXPECT_EQ(WholeNumberFromText("2147483648"), std::nullopt);
    EXPECT_EQ(WholeNumberFromText("-2147483649"), std::nullopt);
    EXPECT_EQ(WholeNumberClamped("99999999999", 0, 26), 26);
    EXPECT_EQ(WholeNumberClamped("-5", 0, 26), 0);
}

TEST(NumberTexts, GeneralDecimalForm) {
    EXPECT_EQ(GeneralDecimalText(12.5), "12.5");
    EXPECT_EQ(GeneralDecimalText(0.25), "0.25");
    EXPECT_EQ(GeneralDecimalText(10), "10");
    EXPECT_EQ(GeneralDecimalText(0), "0");
    EXPECT_EQ(GeneralDecimalText(-0.0), "0");
    EXPECT_EQ(GeneralDecimalText(-0.005), "-0.005");
    EXPECT_EQ(GeneralDecimalText(0.1 + 0.2), "0.3");
    EXPECT_EQ(GeneralDecimalText(1e-5), "1E-05");
    EXPECT_EQ(GeneralDecimalText(0.0001), "0.0001");
    EXPECT_EQ(GeneralDecimalText(123456789012345.0), "123456789012345");
    EXPECT_EQ(GeneralDecimalText(1e15), "1E+15");
    EXPECT_EQ(GeneralDecimalText(1.5e20), "1.5E+20");
    EXPECT_EQ(GeneralDecimalText(12.345), "12.345");
}

TEST(NumberTexts, SignColumnForm) {
    EXPECT_EQ(SignColumnText(615), " 615");
    EXPECT_EQ(SignColumnText(-350), "-350");
    EXPECT_EQ(SignColumnText(0), " 0");
    EXPECT_EQ(SignColumnText(0.5), " .5");
    EXPECT_EQ(SignColumnText(-0.5), "-.5");
    EXPECT_EQ(SignColumnText(1200), " 1200");
    EXPECT_EQ(SignColumnText(0.1), " .1");
}

TEST(NumberTexts, DecimalCommaLocaleChangesNothing) {
    const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "ja_JP.UTF-8"};
    const char* set = nullptr;
    for (auto l : locales)
        if ((set = std::setlocale(LC_ALL, l))) break;
    if (!set) GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_DOUBLE_EQ(NumberFromText("12.5"), 12.5);
    EXPECT_EQ(GeneralDecimalText(12.5), "12.5");
    EXPECT_EQ(SignColumnText(0.5), " .5");
    std::setlocale(LC_ALL, "C");
}
