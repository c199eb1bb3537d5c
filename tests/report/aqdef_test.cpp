// The AQDEF file as a customer's SPC system reads it: read back by a parser
// written here from the format's description alone (one "Kdddd[/i] content"
// a line; a K0001/i opens a value of characteristic i, and the K00xx/i after
// it belong to that value), and one characteristic's figures computed again
// from what the file says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <numeric>

#include "common/text_file.h"
#include "records/journal.h"
#include "report/aqdef_export.h"
#include "report/journal_index.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;

namespace {

struct Read {
    std::map<std::string, std::string> Part;                      // "K1001" -> content
    std::map<int, std::map<std::string, std::string>> Characteristic;  // i -> "K2110" -> content
    struct Value {
        int Index;
        std::map<std::string, std::string> Fields;  // "K0001" ...
    };
    std::vector<Value> Values;
};

Read ReadBack(const std::string& text) {
    Read read;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        std::string line = text.substr(start, end - start);
        start = end + 2;
        std::string key = line.substr(0, 5), content = line.substr(line.find(' ') + 1);
        size_t slash = line.find('/');
        int index = slash < line.find(' ') ? std::stoi(line.substr(slash + 1)) : 0;
        if (key[1] == '0' && key != "K0100") {
            if (key == "K0001") read.Values.push_back({index, {}});
            if (read.Values.empty()) {
                ADD_FAILURE() << "a value's field before any value: " << line;
                continue;
            }
            EXPECT_EQ(read.Values.back().Index, index) << line;
            read.Values.back().Fields[key] = content;
        } else if (key[1] == '2') {
            read.Characteristic[index][key] = content;
        } else {
            read.Part[key] = content;
        }
    }
    return read;
}

PointRow Row(int point, std::string nominal, std::string upper, std::string lower, std::string value) {
    return {point, std::move(nominal), std::move(upper), std::move(lower), "", std::move(value), "", "", std::nullopt};
}

}  // namespace

TEST(AqdefFile, ACustomersSystemReadsTheLimitsEachValueWasMeasuredUnderInTimeOrder) {
    TempRoot root;
    const std::string product = root / "軸受";
    std::filesystem::create_directories(product);
    // Machine 2 measured point 1 at 08:00, machine 1 at 09:00; the books come machine 1 first.
    std::vector<std::string> records;
    for (auto [machine, time, text] : {std::tuple{1, "2026-03-01T09:00:00+09:00", "3.14"},
                                       std::tuple{2, "2026-03-01T08:00:00+09:00", "3.12"}}) {
        JournalEntry e;
        e.Time = *ParseTimestamp(time);
        e.WorkDate = Day{std::chrono::year(2026), std::chrono::month(3), std::chrono::day(1)};
        e.Station = "st1", e.Operator = "検査員", e.Product = "軸受", e.Machine = machine, e.Point = 1, e.Text = text;
        e.Gauge = "MC-7";
        records.push_back(JournalRecord(e));
    }
    ASSERT_TRUE(AppendToJournal(JournalPath(root.path(), *ParseDay("2026-03-01"), "st1"), records));
    JournalIndex journal = JournalIndex::Read(product, {});

    PartFacts facts;
    facts.PartName = "軸受";  // no 図番
    SetPartFact(facts, "番号2.種類=粗さ");
    SetPartFact(facts, "番号2.単位=\u00B5m");  // the micro sign, which CP932 writes as the Greek mu
    SetPartFact(facts, "番号1.名称=外径");
    AqdefCollector collector(facts, "", &journal);
    // Point 1's upper tolerance went from +0.05 to +0.03 on the 3rd; 3.14 was within the old limits.
    const char* upper[] = {"0.05", "0.05", "0.03", "0.03"};
    const char* values[][2] = {{"3.14", "3.12"}, {"3.14", "3.11"}, {"3.12", "3.10"}, {"3.09", "3.11"}};
    for (int d = 0; d < 4; ++d)
        for (int m = 1; m <= 2; ++m) {
            DayBookData book;
            book.Name = {"検査員", "軸受", m, {2026, 3, d + 1}};
            book.Rows = {Row(1, "3.1", upper[d], "-0.05", values[d][m - 1]), Row(2, "1.6", "0", "-1.6", d == 0 ? "8E-1" : "0.80"),
                         Row(3, "", "", "", m == 1 ? "OK" : "NG"), Row(4, "5", "0.1", "-0.1", "キズなし")};
            collector.Add(book);
        }
    EXPECT_EQ(collector.Warnings(2).size(), 2u) << "no part number and two books unread are said";
    ASSERT_TRUE(WriteAqdefFile(root / "out.dfq", collector.Result(2)));
    const std::string bytes = ReadBytes(root / "out.dfq");
    EXPECT_TRUE(bytes.starts_with("K0100 4\r\n")) << "CP932 without a byte-order mark";
    EXPECT_NE(bytes.find(*ToCp932("K1002 軸受\r\n")), std::string::npos);
    const Read read = ReadBack(FromCp932(bytes));

    EXPECT_EQ(read.Part.count("K1001"), 0u);
    EXPECT_EQ(read.Part.at("K1900"), "不完全なデータ: 読めなかったブック 2 冊; 図番なし");
    using Fields = std::map<std::string, std::string>;
    const Fields expected[] = {
        {{"K2001", "1"}, {"K2002", "外径"}, {"K2004", "0"}, {"K2022", "2"}, {"K2101", "3.1"},
         {"K2110", "3.05"}, {"K2111", "3.15"}, {"K2142", "mm"}},
        {{"K2001", "1-2"}, {"K2002", "外径（2026-03-03 からの規格）"}, {"K2004", "0"}, {"K2022", "2"},
         {"K2101", "3.1"}, {"K2110", "3.05"}, {"K2111", "3.13"}, {"K2142", "mm"}},
        {{"K2001", "2"}, {"K2002", "番号2 1.6 0 / -1.6"}, {"K2004", "0"}, {"K2022", "1"}, {"K2101", "1.6"},
         {"K2110", "0.0"}, {"K2111", "1.6"}, {"K2120", "2"}, {"K2142", "\u03BCm"}},
        {{"K2001", "3"}, {"K2002", "番号3 合否"}, {"K2004", "1"}},
    };
    ASSERT_EQ(read.Characteristic.size(), 4u);
    for (int i = 1; i <= 4; ++i) EXPECT_EQ(read.Characteristic.at(i), expected[i - 1]) << "characteristic " << i;

    // Values: by working date, then by the time taken; no time where the journal has none.
    ASSERT_EQ(read.Values.size(), 24u);
    EXPECT_EQ(read.Values[0].Fields, (Fields{{"K0001", "3.12"}, {"K0004", "01.03.2026/08:00:00"}, {"K0006", "20260301-2"},
                                             {"K0009", "MC-7"}, {"K0014", "2026-03-01/2号機/検査員"}}));
    EXPECT_EQ(read.Values[1].Fields.at("K0004"), "01.03.2026/09:00:00");
    EXPECT_EQ(read.Values[2].Fields.count("K0004"), 0u);
    for (const Read::Value& v : read.Values) {
        EXPECT_EQ(v.Fields.count("K0020"), v.Index == 4 ? 1u : 0u);
        // Plain decimals: "8E-1" as typed goes out as 0.8.
        const std::string& x = v.Fields.at("K0001");
        EXPECT_TRUE(v.Index != 3 || x == "0.8" || x == "0.80") << x;
    }

    // Characteristic 1 again from the file alone: the values under the old
    // limits, their mean and spread, and none of them beyond its own limits.
    std::vector<double> x;
    for (const Read::Value& v : read.Values)
        if (v.Index == 1) x.push_back(std::stod(v.Fields.at("K0001")));
    ASSERT_EQ(x.size(), 4u);
    const double mean = std::accumulate(x.begin(), x.end(), 0.0) / 4;
    double ss = 0;
    for (double v : x) ss += (v - mean) * (v - mean);
    EXPECT_NEAR(mean, (3.12 + 3.14 + 3.11 + 3.14) / 4, 1e-12);
    EXPECT_NEAR(std::sqrt(ss / 3), 0.0150000000000001, 1e-12);  // Python statistics.stdev of the four
    const double lower = std::stod(read.Characteristic.at(1).at("K2110")), top = std::stod(read.Characteristic.at(1).at("K2111"));
    EXPECT_EQ(std::count_if(x.begin(), x.end(), [&](double v) { return v < lower || v > top; }), 0);

    AqdefInput foreign = collector.Result();
    foreign.PartName = "𠮷野の部品";  // no CP932 form
    EXPECT_EQ(WriteAqdefFile(root / "no.dfq", foreign).failure, Failure::NotShiftJis);
    EXPECT_FALSE(std::filesystem::exists(root / "no.dfq"));
    ASSERT_TRUE(WriteAqdefFile(root / "utf8.dfq", foreign, AqdefEncoding::Utf8));
    EXPECT_TRUE(ReadBytes(root / "utf8.dfq").starts_with("K0100 4\r\n"));
}
