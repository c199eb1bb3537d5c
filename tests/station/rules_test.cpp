#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "common/text_file.h"
#include "platform/paths.h"
#include "station/judgement.h"
#include "station/operator_record.h"
#include "station/rejection.h"
#include "temp_root.h"

using namespace ziv;

// The lower limit itself inside, the upper one outside, in decimal; one
// tolerance alone is one limit; none at all (or no nominal) is no judgement.
TEST(Judgement, LimitsUpperOutsideLowerInside) {
    const auto P = Judgement::Pass, F = Judgement::Fail, N = Judgement::None;
    struct Case { const char *nominal, *upper, *lower, *value; Judgement verdict; } cases[] = {
        {"10", "0.02", "-0.01", "10.02", F},  {"10", "0.02", "-0.01", "10.019", P},
        {"10", "0.02", "-0.01", "9.99", P},   {"10", "0.02", "-0.01", "9.989", F},
        {"10", "0.02", "-0.01", "0", F},      {"0", "1", "0", "abc", P},  // a text reads as 0
        {"3.2", "0.05", "-0.05", "3.15", P},  {"3.2", "0.05", "-0.05", "3.25", F},
        {"0.3", "0.1", "-0.1", "0.2", P},     {"0.1", "0.2", "-0.1", "0.3", F},
        {"0", "0.02", "-0.03", "-0.025", P},  {"0", "0.02", "-0.03", "-0.031", F},
        {"5", "", "0", "4.2", F},             {"5", "", "0", "5", P},     // a minimum alone
        {"5", "0", "", "5", F},               {"5", "0", "", "4.2", P},   // a maximum alone
        {"10", "", "", "10", N},              {"", "0.02", "-0.01", "10", N},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeMeasuredValue(c.nominal, c.upper, c.lower, c.value), c.verdict)
            << c.nominal << " " << c.upper << " / " << c.lower << ": " << c.value;
    EXPECT_EQ(JudgementText(Judgement::Pass), "合");
    EXPECT_EQ(JudgementText(Judgement::Fail), "不");
    EXPECT_EQ(JudgementText(Judgement::None), "");
}

// Only a lower limit below zero keeps a value's sign; elsewhere magnitudes.
TEST(Judgement, OnlyALowerLimitBelowZeroKeepsTheSign) {
    EXPECT_EQ(EnteredValueText("-000.025", KeepsSign("0", "-0.03")), "-0.025");
    EXPECT_EQ(EnteredValueText("-000.025", false), "0.025");
    for (auto [n, l] : {std::pair{"0.02", "-0.02"}, {"10", "-0.01"}, {"", "-1"}, {"0", ""}}) EXPECT_FALSE(KeepsSign(n, l));
}

TEST(Judgement, CorrectionToThreeDecimalsHalvesUp) {
    EXPECT_EQ(CorrectionText("1.0625", "1"), "0.063");
    EXPECT_EQ(CorrectionText("1", "1.0625"), "-0.062");
    EXPECT_EQ(CorrectionText("10", "10.0123"), "-0.012");
    EXPECT_EQ(CorrectionText("10", "10"), "0");
    EXPECT_EQ(CorrectionText("10", "9.9997"), "0");
    EXPECT_EQ(CorrectionText("10", "OK"), "10");
    EXPECT_EQ(CorrectionText("", "10"), std::nullopt);
}

TEST(Judgement, EnteredValuesAreMagnitudesInGeneralForm) {
    EXPECT_EQ(MagnitudeText("+0012.50"), "12.5");
    EXPECT_EQ(MagnitudeText("-0.250"), "0.25");
    EXPECT_EQ(MagnitudeText("10.000"), "10");
    EXPECT_EQ(MagnitudeText("abc"), "0");
    EXPECT_EQ(MagnitudeText(""), "0");
    EXPECT_EQ(MagnitudeText("012.345\r"), "12.345");
}

TEST(Judgement, TheNumberBoxHoldsOneNumberOfDigitsAndPoint) {
    EXPECT_EQ(NumberBoxEntry("10.02"), "10.02");
    EXPECT_EQ(NumberBoxEntry("１０．０２"), "10.02");
    EXPECT_EQ(NumberBoxEntry("1０.0２"), "10.02");
    EXPECT_EQ(NumberBoxEntry(""), "");
    for (const char* foreign : {"abc", "-2", "+2", "1.5e3", "10.02\n", " 1", "１Ａ", "10，5", "\xEF\xBC", "－2", "12,06",
                                "90.0190.01", "１．０．１"})
        EXPECT_FALSE(NumberBoxEntry(foreign)) << foreign;
    // A leading minus where the point keeps its sign, and only there.
    EXPECT_EQ(NumberBoxEntry("-0.025", true), "-0.025");
    EXPECT_EQ(NumberBoxEntry("－０．０２５", true), "-0.025");
    for (const char* foreign : {"0-1", "--1", "+1", "1－"}) EXPECT_FALSE(NumberBoxEntry(foreign, true)) << foreign;
}

namespace {
RejectionFacts Example() {
    return {"2024", "3", "7", "検査員1", 3, "A-100", "10", "0.02", "-0.01", "10.02"};
}
}  // namespace

TEST(Rejection, ExampleRecordNameAndEightLines) {
    TempRoot root;
    std::string folder = root.path();
    MakeFolders(RejectionFolder(folder));
    std::string path;
    ASSERT_TRUE(WriteRejectionFile(folder, Example(), &path));
    std::string name = "2024年3月7日_検査員1_3号機_A-100_規格［10］_上限［0.02］_下限［-0.01］_実測値［10.02］.txt";
    EXPECT_EQ(path, folder + "/ＺＩＶログ/不合格記録/" + name);
    std::string lines = "2024年3月7日\r\n検査員1\r\n3号機\r\nA-100\r\n規格［10］\r\n上限［0.02］\r\n下限［-0.01］\r\n実測値［10.02］";
    EXPECT_EQ(ReadBytes(path), *ToCp932(lines));
    // The same rejection again replaces the file; a new date makes a second one.
    ASSERT_TRUE(WriteRejectionFile(folder, Example()));
    auto next = Example();
    next.WorkDay = "8";
    ASSERT_TRUE(WriteRejectionFile(folder, next));
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(RejectionFolder(folder))) files += e.is_regular_file();
    EXPECT_EQ(files, 2);
}

TEST(Rejection, UnderscoreSplitsContentOnlyAndNamesStayInsideTheFolder) {
    auto facts = Example();
    facts.UserName = "検査_員";
    facts.ProductName = "../A/B:C*?\"<>|\\";
    std::string record = RejectionRecord(facts);
    EXPECT_NE(record.find("_検査_員_"), std::string::npos);
    std::string name = RejectionFileName(facts);
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(name.find('\\'), std::string::npos);
    EXPECT_NE(name.find("..／A／B：C＊？＂＜＞｜＼"), std::string::npos);
    EXPECT_NE(name.find("_検査_員_"), std::string::npos);
    std::string content = RejectionContent(record);
    EXPECT_NE(content.find("\r\n検査\r\n員\r\n"), std::string::npos);
    EXPECT_NE(content.find("../A/B:C"), std::string::npos);  // the content keeps the exact texts

    TempRoot root;
    MakeFolders(RejectionFolder(root.path()));
    std::string path;
    ASSERT_TRUE(WriteRejectionFile(root.path(), facts, &path));
    EXPECT_EQ(std::filesystem::path(path).parent_path().string(), RejectionFolder(root.path()));
    EXPECT_TRUE(FileExists(path));
}

TEST(Rejection, FailNGRecordAndOverlongNames) {
    auto facts = Example();
    facts.Measured = "NG";
    EXPECT_EQ(RejectionRecord(facts).substr(RejectionRecord(facts).size() - std::string("］_実測値［NG］").size()),
              "］_実測値［NG］");
}

// A long product name must not cost the value or the limits their place in
// the name: a later, different rejection would replace the earlier one.
TEST(Rejection, OverlongNamesKeepDifferentRecordsApart) {
    TempRoot root;
    MakeFolders(RejectionFolder(root.path()));
    auto facts = Example();
    facts.ProductName = std::string(120, 'x') + std::string(40, 'y') + "製品／品番";
    facts.UserName = std::string(60, 'u');
    std::vector<RejectionFacts> records(5, facts);
    records[1].Measured = "10.03";
    records[2].Upper = "0.03";
    records[3].ProductName += "B";  // differs only past any cut
    records[4].UserName += "2";
    std::set<std::string> names;
    for (const auto& r : records) {
        std::string name = RejectionFileName(r);
        EXPECT_LE(name.size(), 255u);
        EXPECT_EQ(name.substr(name.size() - 4), ".txt");
        EXPECT_EQ(name.rfind("2024年3月7日_", 0), 0u) << name;
        EXPECT_NE(name.find("号機_"), std::string::npos) << name;
        EXPECT_NE(name.find("_実測値［" + r.Measured + "］"), std::string::npos) << name;
        EXPECT_NE(name.find("_上限［" + r.Upper + "］"), std::string::npos) << name;
        names.insert(name);
        ASSERT_TRUE(WriteRejectionFile(root.path(), r));
    }
    EXPECT_EQ(names.size(), records.size());
    EXPECT_EQ(RejectionFileName(records[0]), RejectionFileName(facts));  // the same record, the same file
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(RejectionFolder(root.path()))) files += e.is_regular_file();
    EXPECT_EQ(files, 5);
}

TEST(Rejection, MissingFolderIsReportedWithTheFileName) {
    TempRoot root;
    std::string path;
    auto result = WriteRejectionFile(root / "nowhere", Example(), &path);
    EXPECT_EQ(result.failure, Failure::WriteFailed);
    EXPECT_EQ(result.path, path);
}

TEST(OperatorRecord, ExampleRunByteForByte) {
    std::string log = OperatorLogStart("2024/3/7", 8, 5, {{0, "A-100"}, {1, "B-200"}});
    EXPECT_EQ(ChargeText(2), "2台担当");
    auto record = FinishOperatorRecord(log, ChargeText(2), 12, 15, 8, 5, {2024, 3, 7, 17, 30});
    EXPECT_EQ(record.Content,
              "2024/3/7\r\n8時5分開始\r\n\r\n0号機 A-100\r\n1号機 B-200\r\n\r\n2台担当\r\n\r\n12／15箇所測定\r\n\r\n"
              "17時30分終了\r\n\r\n測定時間565分\r\n一箇所平均測定時間2825秒\r\n\r\n");
    EXPECT_EQ(record.FileName,
              "2024年3月7日17時30分　2台担当　12／15箇所測定　測定時間565分　一箇所平均測定時間2825秒.txt");

    TempRoot root;
    MakeFolders(OperatorRecordFolder(root.path()));
    ASSERT_TRUE(WriteOperatorRecord(root.path(), "検査員1", record));
    std::string dated = OperatorRecordFolder(root.path()) + "/検査員1/" + record.FileName;
    EXPECT_EQ(ReadBytes(dated), *ToCp932(record.Content));
    EXPECT_EQ(ReadBytes(OperatorRecordFolder(root.path()) + "/検査員1.txt"), *ToCp932(record.Content));
}

TEST(OperatorRecord, SameMinuteAndMidnight) {
    auto same = FinishOperatorRecord("", ChargeText(0), 3, 0, 9, 15, {2024, 1, 2, 9, 15});
    EXPECT_EQ(same.FileName, "2024年1月2日9時15分　0台担当　3／0箇所測定　測定時間0分　.txt");
    EXPECT_EQ(same.Content.find("一箇所"), std::string::npos);
    auto night = FinishOperatorRecord("", ChargeText(1), 1, 1, 23, 50, {2024, 1, 3, 0, 10});
    EXPECT_NE(night.Content.find("測定時間1420分\r\n"), std::string::npos);
    EXPECT_NE(night.Content.find("一箇所平均測定時間85200秒"), std::string::npos);
    EXPECT_EQ(OperatorLogStart("2024/1/2", 9, 15, {}), "2024/1/2\r\n9時15分開始\r\n\r\n\r\n0台担当\r\n\r\n");
}
