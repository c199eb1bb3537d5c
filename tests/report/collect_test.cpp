// Collection over a product's data folder: filters, order, and files that
// cannot be read or are not day workbooks of this product.
#include <gtest/gtest.h>

#include <cerrno>

#include <atomic>

#include "common/failure_text.h"
#include "report/collect.h"
#include "report_fixture.h"
#include "temp_root.h"

using namespace ziv;
using namespace ziv::report;
using reporttest::MakeDayBook;
using reporttest::Row;

namespace {

std::vector<Row> OneValue(const std::string& value) { return {{1, "10", "0.02", "-0.02", "マイクロ", value, "合", "0"}}; }

}  // namespace

TEST(ReportCollect, DamagedAndForeignFilesAreSkippedOrIgnoredAndCounted) {
    TempRoot root;
    std::string product = root / "製品_A";
    MakeDayBook(product, "op_1_製品_A_3号機_2026年3月2日.xls", OneValue("10.002"));
    MakeDayBook(product, "op_1_製品_A_3号機_2026年3月1日.xls", OneValue("10.001"));
    // A real workbook cut short, and a text file with a day workbook's name.
    std::string whole = ReadBytes(MakeDayBook(product, "tmp.xls", OneValue("1")));
    std::filesystem::remove(product + "/data/tmp.xls");
    WriteBytes(product + "/data/op_1_製品_A_3号機_2026年3月3日.xls", whole.substr(0, whole.size() / 2));
    WriteBytes(product + "/data/op_2_製品_A_3号機_2026年3月4日.xls", "not a workbook at all\n");
    // Names that are not this product's day workbooks.
    MakeDayBook(product, "op_1_製品_B_3号機_2026年3月1日.xls", OneValue("1"));
    WriteBytes(product + "/data/メモ.txt", "x");
    std::filesystem::create_directories(product + "/data/old");

    Listing listing = ListDayBooks(product, {});
    EXPECT_EQ(listing.Error, 0);
    ASSERT_EQ(listing.Books.size(), 4u);
    EXPECT_EQ(listing.Ignored.size(), 2u);
    // Date order, whatever order the folder lists them in.
    EXPECT_EQ(listing.Books[0].Name.WorkDate.Day, 1);
    EXPECT_EQ(listing.Books[3].Name.WorkDate.Day, 4);
    // Reached through a link of another name, the folder's books are still its own.
    std::filesystem::create_directory_symlink(product, root / "current");
    EXPECT_EQ(ListDayBooks(root / "current", {}).Books.size(), 4u);

    std::vector<std::string> values;
    ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData& book) {
        ASSERT_FALSE(book.Rows.empty());
        values.push_back(book.Rows[0].Value);
    });
    EXPECT_EQ(summary.Read, 2u);
    ASSERT_EQ(summary.Skipped.size(), 2u);
    EXPECT_EQ(values, (std::vector<std::string>{"10.001", "10.002"}));
    for (const auto& skipped : summary.Skipped) {
        EXPECT_EQ(skipped.Why.failure, Failure::BookUnreadable);
        // What went wrong names the file.
        EXPECT_EQ(skipped.Why.path, skipped.Path);
    }

    Listing none = ListDayBooks(root / "ない製品", {});
    EXPECT_EQ(none.Error, ENOENT);
}

TEST(ReportCollect, FiltersAndTheBookRowsAsWritten) {
    TempRoot root;
    std::string product = root / "P";
    MakeDayBook(product, "a_b_P_1号機_2026年2月28日.xls", OneValue("1"));
    MakeDayBook(product, "a_b_P_1号機_2026年3月1日.xls",
                {{1, "10", "0.02", "-0.02", "F1 マイクロ", "10.012", "合", "-0.012"}, {5, "20", "", "", "", "OK", "", ""},
                 {7, "", "", "", "", "", "", ""}, {9, "30", "0.1", "0", "", "", "", ""}});
    MakeDayBook(product, "c_P_2号機_2026年3月1日.xls", OneValue("2"));
    MakeDayBook(product, "a_b_P_1号機_2026年3月31日.xls", OneValue("3"));
    MakeDayBook(product, "a_b_P_1号機_2026年4月1日.xls", OneValue("4"));

    Filter march{Date{2026, 3, 1}, Date{2026, 3, 31}, std::nullopt, std::nullopt};
    EXPECT_EQ(ListDayBooks(product, march).Books.size(), 3u);
    Filter machine = march;
    machine.Machine = 1;
    EXPECT_EQ(ListDayBooks(product, machine).Books.size(), 2u);
    Filter op = march;
    op.Operator = "a_b";
    Listing byOperator = ListDayBooks(product, op);
    ASSERT_EQ(byOperator.Books.size(), 2u);
    EXPECT_EQ(byOperator.Books[0].Name.Operator, "a_b");

    FileResult problem;
    auto book = ReadDayBook(byOperator.Books[0].Path, byOperator.Books[0].Name, &problem);
    ASSERT_TRUE(book) << BookOpenText(problem);
    // Rows 1, 5 and 9 hold something; row 7 is empty and not a row.
    ASSERT_EQ(book->Rows.size(), 3u);
    const PointRow& first = book->Rows[0];
    EXPECT_EQ(first.Point, 1);
    EXPECT_EQ(first.Nominal, "10");
    EXPECT_EQ(first.Upper, "0.02");
    EXPECT_EQ(first.Lower, "-0.02");
    EXPECT_EQ(first.InputName, "F1 マイクロ");
    EXPECT_EQ(first.Value, "10.012");
    EXPECT_EQ(first.Judgement, "合");
    EXPECT_EQ(first.Correction, "-0.012");
    EXPECT_EQ(book->Rows[1].Point, 5);
    EXPECT_EQ(book->Rows[1].Value, "OK");
    EXPECT_EQ(book->Rows[2].Point, 9);
    EXPECT_EQ(book->Rows[2].Upper, "0.1");
}

// Many books on several threads come back in list order, and a cancel stops
// the reading early without hanging.
TEST(ReportCollect, ParallelReadingKeepsTheOrderAndCancels) {
    TempRoot root;
    std::string product = root / "P";
    for (int d = 1; d <= 28; ++d)
        for (int m = 0; m < 3; ++m)
            MakeDayBook(product, "op_P_" + std::to_string(m) + "号機_2026年2月" + std::to_string(d) + "日.xls",
                        OneValue(std::to_string(d * 10 + m)));
    Listing listing = ListDayBooks(product, {});
    ASSERT_EQ(listing.Books.size(), 84u);
    for (int threads : {1, 2, 5}) {
        std::vector<std::string> seen;
        ReadOptions options;
        options.Threads = threads;
        size_t progressCalls = 0;
        options.Progress = [&](size_t done, size_t total) {
            ++progressCalls;
            EXPECT_EQ(total, 84u);
            EXPECT_EQ(done, progressCalls);
        };
        ReadSummary summary =
            ReadDayBooks(listing.Books, [&](const DayBookData& book) { seen.push_back(book.Rows[0].Value); }, options);
        EXPECT_EQ(summary.Read, 84u);
        ASSERT_EQ(seen.size(), 84u);
        for (size_t i = 0; i < seen.size(); ++i)
            EXPECT_EQ(seen[i], std::to_string((i / 3 + 1) * 10 + i % 3)) << "threads " << threads << " book " << i;
    }
    std::atomic<bool> cancel{false};
    ReadOptions options;
    options.Threads = 2;
    options.Cancel = &cancel;
    size_t taken = 0;
    ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData&) {
        if (++taken == 10) cancel = true;
    }, options);
    EXPECT_TRUE(summary.Cancelled);
    EXPECT_EQ(summary.Read, 10u);
}
