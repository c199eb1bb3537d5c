// What an inspection record for a customer rests on: the part facts kept in
// the product folder, the verdict on the whole record, the lot's quantity as
// typed and the time of a value as the table shows it.
#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "common/text_file.h"
#include "faulty_disk.h"
#include "report/capability.h"
#include "report/day_report.h"
#include "report/part_facts.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;

TEST(PartFactsFile, FactsComeBackAsSavedAndLinesWrittenByHandAreKept) {
    TempRoot root;
    const std::string path = PartFactsPath(root.path());
    EXPECT_EQ(path, root / "部品情報.txt");
    EXPECT_EQ(ReadPartFacts(path).status, ReadStatus::Missing);
    // As Notepad leaves a file edited by hand.
    WriteBytes(path, "\xEF\xBB\xBF# 客先の指定による\r\n 顧客 = 株式会社サンプル \r\n図番=AB-1234=01\r\n担当=山田\r\n"
                     "品名=旧品名\n品名=フランジ（𠮷野）\r\n番号12.重要=1\r\n番号3.種類 = 粗さ\r\n注文番号=PO-1\r\n"
                     "番号0.名称=x\r\n番号3.重要=はい\r\n\r\n");
    PartFacts facts;
    facts.Customer = "株式会社サンプル";
    facts.PartNumber = "AB-1234=01";
    facts.PartName = "フランジ（𠮷野）";  // no Shift_JIS form
    facts.OrderNumber = "PO-1";
    facts.Points[3].Kind = "粗さ";
    facts.Points[12].Key = true;
    // Point 0 is no point, and 重要 is 1 or 0: kept as lines written by hand.
    facts.OtherLines = {"# 客先の指定による", "担当=山田", "番号0.名称=x", "番号3.重要=はい"};
    EXPECT_EQ(ReadPartFacts(path).facts, facts);

    facts.Material = " S45C\r\n(焼入れ) ";  // pasted over two lines
    ASSERT_TRUE(SavePartFacts(path, facts));
    EXPECT_EQ(ReadBytes(path), "顧客=株式会社サンプル\r\n図番=AB-1234=01\r\n改訂=\r\n品名=フランジ（𠮷野）\r\n"
                               "材質=S45C  (焼入れ)\r\n注文番号=PO-1\r\n番号3.種類=粗さ\r\n番号12.重要=1\r\n"
                               "# 客先の指定による\r\n担当=山田\r\n番号0.名称=x\r\n番号3.重要=はい\r\n");
    FaultyDisk refusing;
    refusing.reads = [&](const std::string& p) { return p == path ? EACCES : 0; };
    EXPECT_EQ(SavePartFacts(path, PartFacts{}, refusing).failure, Failure::Unreadable);
    EXPECT_EQ(ReadPartFacts(path).facts.Material, "S45C  (焼入れ)");
}

namespace {
PointRow Row(int point, std::string nominal, std::string value, std::string judgement = "", std::string upper = "",
             std::string lower = "") {
    return {point, std::move(nominal), std::move(upper), std::move(lower), "", std::move(value), std::move(judgement), "",
            std::nullopt};
}
}  // namespace

// The verdict counts what was judged and names what was not; a number the
// station left without a verdict is judged against the book's limits.
TEST(RecordVerdict, PassOnlyForWhatWasJudgedAndWhatWasNotIsNamed) {
    using K = RecordVerdictKind;
    struct Case {
        const char* what;
        std::vector<PointRow> rows;
        std::optional<int> masterPoints;
        const char* text;
        int characteristics;
    };
    const Case cases[] = {
        {"a text is no verdict", {Row(1, "10", "10.001", "合"), Row(2, "5", "OK"), Row(3, "7", "キズなし")}, 3,
         "合格（判定 2点）　判定なし 1点（番号 3）", 3},
        {"every point judged and passed", {Row(1, "10", "10.001", "合"), Row(2, "5", "OK")}, 2, "合格", 2},
        {"below its minimum, never judged; a text and a reference dimension",
         {Row(1, "10", "9.9", "", "0.02", "-0.02"), Row(2, "5", "測定不可"), Row(3, "7", "7.2"),
          Row(4, "3", "3.01", "合", "0.1", "-0.1")},
         4, "不合格（1点）　判定なし 2点（番号 2, 3）", 4},
        {"one limit only, beyond it", {Row(1, "0", "0.031", "", "0.03")}, 1, "不合格（1点）", 1},
        {"two missing", {Row(1, "10", "10.001", "合"), Row(2, "5", ""), Row(3, "7", "")}, 3, "未完了（未測定 2点）", 3},
        {"a failure outweighs what is missing", {Row(1, "10", "10.05", "不"), Row(2, "5", ""), Row(3, "7", "NG")}, 3,
         "不合格（2点）", 3},
        {"a failure outside the master counts", {Row(1, "10", "10.0", "合"), Row(9, "", "NG", "不")}, 1, "不合格（1点）", 2},
        {"the master grew since the book was made", {Row(1, "10", "10.0", "合")}, 4, "未完了（未測定 3点）", 4},
        {"without a master file the book's points count", {Row(1, "10", "10.0", "合")}, std::nullopt, "合格", 1},
        {"nothing to measure", {Row(4, "", "12")}, 0, "未完了（未測定 0点）　判定なし 1点（番号 4）", 1},
    };
    for (const Case& c : cases) {
        DayReport report;
        report.Book.Rows = c.rows;
        report.MasterPoints = c.masterPoints;
        RecordVerdict verdict = VerdictOfRecord(report);
        EXPECT_EQ(RecordVerdictText(verdict), c.text) << c.what;
        EXPECT_EQ(verdict.Kind == K::Pass, std::string(c.text).starts_with("合格")) << c.what;
        EXPECT_EQ(verdict.Characteristics(), c.characteristics) << c.what;
    }
}

// What an incoming inspector reads in the table: limits as drawn, the
// characteristic's words from the part facts, and no correction.
TEST(RecordLines, LimitsAsDrawnAndTheCharacteristicAsThePartFactsName) {
    DayReport report;
    report.Book.Rows = {{1, "10", "0.01", "-0.01", "F1", "10.004", "合", "-0.004", std::nullopt},
                        {2, "0", "0.02", "0", "", "0.012", "合", "", std::nullopt},
                        {3, "5", "0.1", "-0.1", "", "", "", "", std::nullopt}};
    report.MasterTexts[1] = {"10.000", "0.010", "-0.010"};
    report.MasterTexts[2] = {"0", "0.02", "0"};
    for (const char* fact : {"番号2.名称=直角度", "番号2.記号=⊥", "番号2.桁数=3", "番号2.重要=1", "番号3.単位=inch",
                             "番号3.数量=5"})
        ASSERT_TRUE(SetPartFact(report.Facts, fact)) << fact;
    struct Expected {
        const char *nominal, *upper, *lower, *name, *symbol, *unit, *quantity, *verdict;
        bool key;
    } expected[] = {{"10.000", "+0.010", "-0.010", "", "", "mm", "1", "合", false},
                    {"0.000", "+0.020", "0.000", "直角度", "⊥", "mm", "1", "合", true},
                    {"5", "+0.1", "-0.1", "", "", "inch", "5", "", false}};
    std::vector<RecordLine> lines = RecordLines(report);
    ASSERT_EQ(lines.size(), 3u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const RecordLine& l = lines[i];
        const Expected& e = expected[i];
        EXPECT_EQ(std::tie(l.Nominal, l.Upper, l.Lower, l.Name, l.Symbol, l.Unit, l.Quantity, l.Verdict, l.Key),
                  std::tie(e.nominal, e.upper, e.lower, e.name, e.symbol, e.unit, e.quantity, e.verdict, e.key))
            << "point " << i + 1;
    }
}

// A limit of 0 the characteristic cannot go below is a natural boundary
// wherever the part facts say what the point is; unnamed points as before.
TEST(NaturalBoundary, ThePointsKindDecidesAndUnnamedPointsKeepTheOldRule) {
    struct Case {
        const char* kind;
        LimitTexts limits;
        bool natural;
    } cases[] = {
        {"粗さ", {"1.6", "0", "-1.6"}, true},         // Ra 1.6 max, given as a nominal and a lower tolerance
        {"幾何公差", {"0", "0.02", "0"}, true},
        {"振れ", {"0.05", "0", "-0.05"}, true},
        {"", {"0", "0.02", "0"}, true},               // unnamed: nominal 0 with lower tolerance 0, as before
        {"", {"1.6", "0", "-1.6"}, false},
        {"寸法", {"0", "0.02", "0"}, false},          // a dimension may go below 0
        {"粗さ", {"1.6", "0.2", "-1.0"}, false},      // its lower limit is not 0
        {"粗さ", {"0", "", "0"}, false},              // no upper limit
    };
    for (const Case& c : cases) {
        PartFacts facts;
        SetPartFact(facts, std::string("番号1.種類=") + c.kind);
        EXPECT_EQ(ToleranceLimitsOf(c.limits, facts.KindOf(1)).LowerIsNaturalBound, c.natural)
            << c.kind << " " << c.limits.Nominal << "/" << c.limits.Upper << "/" << c.limits.Lower;
        // The capability table takes the kind from the part facts.
        CapabilityBuilder builder;
        builder.UsePartFacts(facts);
        DayBookData book;
        book.Name = {"op", "P", 1, {2026, 3, 1}};
        book.Rows = {{1, c.limits.Nominal, c.limits.Upper, c.limits.Lower, "", "0.8", "合", "", std::nullopt}};
        builder.Add(book);
        EXPECT_EQ(builder.Result().at(0).Index.NaturalBound, c.natural) << c.kind << " " << c.limits.Nominal;
    }
}

TEST(LotQuantity, WholeNumbersFromZeroOnlyAlsoInFullWidthDigits) {
    const std::pair<const char*, std::optional<long long>> cases[] = {
        {"0", 0},
        {" 120\t", 120},
        {"\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x90", 120},  // １２０
        {"1\xEF\xBC\x90", 10},                              // 1０, as an input method may leave it
        {"999999999999", 999999999999},
        {"1000000000000", std::nullopt},  // more digits than any lot has
        {"", std::nullopt},
        {"  ", std::nullopt},
        {"-1", std::nullopt},
        {"+1", std::nullopt},
        {"1.5", std::nullopt},
        {"1,000", std::nullopt},
        {"1e3", std::nullopt},
        {"12 3", std::nullopt},
        {"\xEF\xBC\x8D\xEF\xBC\x91", std::nullopt},  // －１
        {"\xEF\xBC", std::nullopt},                    // a cut character
    };
    for (const auto& [text, quantity] : cases) EXPECT_EQ(ParseQuantity(text), quantity) << text;
}

TEST(ValueTime, TheStationsLocalTimeAndTheDayWhenItIsNotTheWorkingDate) {
    const Date workDate{2026, 3, 7};
    auto at = [](const char* text) { return *ParseTimestamp(text); };
    EXPECT_EQ(ValueTimeText(at("2026-03-07T14:05:09.999+09:00"), workDate), "14:05:09");
    // The same instant on a station in UTC: its own clock, its own day.
    EXPECT_EQ(ValueTimeText(at("2026-03-07T00:30:00+09:00"), workDate), "00:30:00");
    EXPECT_EQ(ValueTimeText(at("2026-03-06T15:30:00Z"), workDate), "3/6 15:30:00");
    EXPECT_EQ(ValueTimeText(at("2026-03-08T00:12:03+09:00"), workDate), "3/8 00:12:03");
    EXPECT_EQ(ValueTimeText(at("2026-04-01T23:59:59-05:00"), Date{2026, 4, 1}), "23:59:59");
}
