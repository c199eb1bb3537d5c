// What an inspection record for a customer rests on: the part facts kept in
// the product folder, and the verdict on the whole record.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "common/text_file.h"
#include "report/day_report.h"
#include "report/part_facts.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;
namespace fs = std::filesystem;

TEST(PartFactsFile, FactsComeBackAsSavedAndLinesWrittenByHandAreKept) {
    TempRoot root;
    const std::string product = root / "A-100";
    fs::create_directories(product);
    const std::string path = PartFactsPath(product);
    EXPECT_EQ(path, product + "/部品情報.txt");
    EXPECT_EQ(ReadPartFacts(path).status, ReadStatus::Missing);

    // As Notepad leaves a file edited by hand: a byte-order mark, blanks, a
    // comment, a key of its own, an "=" inside a value, a key given twice.
    WriteBytes(path,
               "\xEF\xBB\xBF# 客先の指定による\r\n"
               " 顧客 = 株式会社サンプル \r\n"
               "図番=AB-1234=01\r\n"
               "担当=山田\r\n"
               "品名=旧品名\n"
               "品名=フランジ（𠮷野）\r\n"
               "\r\n");
    PartFactsRead read = ReadPartFacts(path);
    ASSERT_EQ(read.status, ReadStatus::Read);
    PartFacts expected;
    expected.Customer = "株式会社サンプル";
    expected.PartNumber = "AB-1234=01";
    expected.PartName = "フランジ（𠮷野）";  // no Shift_JIS form: the file is UTF-8
    expected.OtherLines = {"# 客先の指定による", "担当=山田"};
    EXPECT_EQ(read.facts, expected);

    PartFacts changed = read.facts;
    changed.Revision = "C";
    changed.Material = " S45C\r\n(焼入れ) ";  // pasted over two lines
    ASSERT_TRUE(SavePartFacts(path, changed));
    EXPECT_EQ(ReadBytes(path),
              "顧客=株式会社サンプル\r\n図番=AB-1234=01\r\n改訂=C\r\n品名=フランジ（𠮷野）\r\n材質=S45C  (焼入れ)\r\n"
              "# 客先の指定による\r\n担当=山田\r\n");
    changed.Material = "S45C  (焼入れ)";
    EXPECT_EQ(ReadPartFacts(path).facts, changed);

    SetReadFaultHook([&](const std::string& p) { return p == path ? EACCES : 0; });
    EXPECT_EQ(ReadPartFacts(path).status, ReadStatus::Unreadable);
    FileResult refused = SavePartFacts(path, PartFacts{});
    SetReadFaultHook(nullptr);
    EXPECT_EQ(refused.failure, Failure::Unreadable);
    EXPECT_EQ(ReadPartFacts(path).facts, changed);
}

namespace {

PointRow Row(int point, std::string nominal, std::string value, std::string judgement) {
    PointRow row;
    row.Point = point;
    row.Nominal = std::move(nominal);
    row.Value = std::move(value);
    row.Judgement = std::move(judgement);
    return row;
}

DayBookData Book(std::vector<PointRow> rows) {
    DayBookData book;
    book.Rows = std::move(rows);
    return book;
}

}  // namespace

TEST(RecordVerdict, PassOnlyWhenEveryPointOfTheMasterIsMeasuredAndNoneFailed) {
    using K = RecordVerdictKind;
    struct Case {
        const char* what;
        std::vector<PointRow> rows;
        std::optional<int> masterPoints;
        RecordVerdict verdict;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"all measured", {Row(1, "10", "10.001", "合"), Row(2, "5", "OK", ""), Row(3, "7", "キズなし", "")}, 3,
         {K::Pass, 0}, "合格"},
        {"one missing", {Row(1, "10", "10.001", "合"), Row(2, "5", "", ""), Row(3, "7", "", "")}, 3,
         {K::Incomplete, 2}, "未完了（未測定 2点）"},
        {"a failure outweighs what is missing",
         {Row(1, "10", "10.05", "不"), Row(2, "5", "", ""), Row(3, "7", "NG", "")}, 3, {K::Fail, 2}, "不合格（2点）"},
        {"a failed point outside the master counts", {Row(1, "10", "10.0", "合"), Row(9, "", "NG", "不")}, 1,
         {K::Fail, 1}, "不合格（1点）"},
        {"the master grew since the book was made", {Row(1, "10", "10.0", "合")}, 4, {K::Incomplete, 3},
         "未完了（未測定 3点）"},
        {"a master that shrank takes nothing away", {Row(1, "10", "10.0", "合"), Row(2, "5", "5.0", "合")}, 1,
         {K::Pass, 0}, "合格"},
        {"without a master file the book's points count", {Row(1, "10", "10.0", "合")}, std::nullopt, {K::Pass, 0},
         "合格"},
        {"nothing to measure", {}, 0, {K::Incomplete, 0}, "未完了（未測定 0点）"},
        {"a value without a master point", {Row(4, "", "12", "")}, std::nullopt, {K::Incomplete, 0},
         "未完了（未測定 0点）"},
    };
    for (const Case& c : cases) {
        RecordVerdict verdict = VerdictOfRecord(Book(c.rows), c.masterPoints);
        EXPECT_EQ(verdict, c.verdict) << c.what;
        EXPECT_EQ(RecordVerdictText(verdict), c.text) << c.what;
        DayReport report;
        report.Book = Book(c.rows);
        report.MasterPoints = c.masterPoints;
        EXPECT_EQ(VerdictOfRecord(report), c.verdict) << c.what;
    }
}
