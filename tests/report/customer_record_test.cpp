// What an inspection record for a customer rests on: the part facts kept in
// the product folder, the verdict on the whole record, the lot's quantity as
// typed and the time of a value as the table shows it.
#include <gtest/gtest.h>

#include <cerrno>

#include "common/text_file.h"
#include "faulty_disk.h"
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
                     "品名=旧品名\n品名=フランジ（𠮷野）\r\n\r\n");
    PartFacts facts;
    facts.Customer = "株式会社サンプル";
    facts.PartNumber = "AB-1234=01";
    facts.PartName = "フランジ（𠮷野）";  // no Shift_JIS form
    facts.OtherLines = {"# 客先の指定による", "担当=山田"};
    EXPECT_EQ(ReadPartFacts(path).facts, facts);

    facts.Material = " S45C\r\n(焼入れ) ";  // pasted over two lines
    ASSERT_TRUE(SavePartFacts(path, facts));
    EXPECT_EQ(ReadBytes(path), "顧客=株式会社サンプル\r\n図番=AB-1234=01\r\n改訂=\r\n品名=フランジ（𠮷野）\r\n"
                               "材質=S45C  (焼入れ)\r\n# 客先の指定による\r\n担当=山田\r\n");
    FaultyDisk refusing;
    refusing.reads = [&](const std::string& p) { return p == path ? EACCES : 0; };
    EXPECT_EQ(SavePartFacts(path, PartFacts{}, refusing).failure, Failure::Unreadable);
    EXPECT_EQ(ReadPartFacts(path).facts.Material, "S45C  (焼入れ)");
}

namespace {
PointRow Row(int point, std::string nominal, std::string value, std::string judgement = "") {
    return {point, std::move(nominal), "", "", "", std::move(value), std::move(judgement), "", std::nullopt};
}
}  // namespace

TEST(RecordVerdict, PassOnlyWhenEveryPointOfTheMasterIsMeasuredAndNoneFailed) {
    using K = RecordVerdictKind;
    struct Case {
        const char* what;
        std::vector<PointRow> rows;
        std::optional<int> masterPoints;
        const char* text;
    };
    const Case cases[] = {
        {"all measured", {Row(1, "10", "10.001", "合"), Row(2, "5", "OK"), Row(3, "7", "キズなし")}, 3, "合格"},
        {"two missing", {Row(1, "10", "10.001", "合"), Row(2, "5", ""), Row(3, "7", "")}, 3, "未完了（未測定 2点）"},
        {"a failure outweighs what is missing", {Row(1, "10", "10.05", "不"), Row(2, "5", ""), Row(3, "7", "NG")}, 3,
         "不合格（2点）"},
        {"a failure outside the master counts", {Row(1, "10", "10.0", "合"), Row(9, "", "NG", "不")}, 1, "不合格（1点）"},
        {"the master grew since the book was made", {Row(1, "10", "10.0", "合")}, 4, "未完了（未測定 3点）"},
        {"without a master file the book's points count", {Row(1, "10", "10.0", "合")}, std::nullopt, "合格"},
        {"nothing to measure", {Row(4, "", "12")}, 0, "未完了（未測定 0点）"},
    };
    for (const Case& c : cases) {
        DayReport report;
        report.Book.Rows = c.rows;
        report.MasterPoints = c.masterPoints;
        RecordVerdict verdict = VerdictOfRecord(report);
        EXPECT_EQ(RecordVerdictText(verdict), c.text) << c.what;
        EXPECT_EQ(verdict.Kind == K::Pass, std::string(c.text) == "合格") << c.what;
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
