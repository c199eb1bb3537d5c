// Reading a workbook's cells without making text of their numbers: the view
// of a cell agrees with CellText for every kind of cell, a number comes whole
// only when its text reads back as that very number, and the cell store keeps
// every cell through rewrites, erasures and files whose records come in any
// order.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "workbook/workbook.h"

using ziv::Workbook;
using Kind = Workbook::CellView::Kind;

namespace {

std::string Shortest(double value) {
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

std::string Bytes8(double value) {
    char bytes[8];
    std::memcpy(bytes, &value, 8);  // the files are little-endian, as this machine
    return std::string(bytes, 8);
}

struct Agreement {
    int whole = 0, rounded = 0;
};

// The view of a cell against CellText; counts the numbers that came whole.
void ExpectAgrees(const Workbook& book, int sheet, int row, int column, Agreement& seen) {
    Workbook::CellView view = book.View(sheet, row, column);
    std::string text = book.CellText(sheet, row, column);
    EXPECT_EQ(view.Text(), text) << row << "," << column;
    auto exact = view.ExactNumber();
    if (view.kind != Kind::Number) {
        EXPECT_FALSE(exact) << text;
        return;
    }
    double readBack = ziv::NumberFromText(text);
    bool readsBackAsStored = readBack == view.number;
    if (view.number == 0 || std::isnormal(view.number)) {
        EXPECT_EQ(exact.has_value(), readsBackAsStored) << Shortest(view.number) << " shown as " << text;
    } else {
        EXPECT_FALSE(exact) << Shortest(view.number);
    }
    if (exact) {
        // The very value a reader of the text gets, sign of zero included.
        EXPECT_EQ(std::bit_cast<std::uint64_t>(*exact), std::bit_cast<std::uint64_t>(readBack)) << text;
        ++seen.whole;
    } else {
        ++seen.rounded;
    }
}

void ExpectAllAgree(const Workbook& book, int rows, int columns, Agreement& seen) {
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c) ExpectAgrees(book, 1, r, c, seen);
}

const std::vector<const char*> kEdges = {"0", "-0", "1e-310", "2.2250738585072014e-308", "1.7976931348623157e308",
                                         "1e15", "999999999999999", "1000000000000001", "0.1", "0.30000000000000004",
                                         "-12.5"};

// Numbers as an operator types them (few digits), as a calculation leaves
// them (every digit of a double), and the edges: zeros, tiny and huge ones.
Workbook ManyNumbers(int rows) {
    Workbook book = Workbook::New();
    std::mt19937_64 random(20260307);
    for (int r = 1; r <= rows; ++r) {
        int digits = 1 + static_cast<int>(random() % 17);
        std::string typed;
        for (int d = 0; d < digits; ++d) typed += static_cast<char>('0' + random() % 10);
        int point = static_cast<int>(random() % (typed.size() + 1));
        typed.insert(static_cast<size_t>(point), ".");
        if (typed == ".") typed = "0";
        if (typed.front() == '.') typed.insert(0, "0");
        if (typed.back() == '.') typed.pop_back();
        if (random() % 2) typed.insert(0, "-");
        book.SetCell(1, r, 1, typed);
        double bits;
        do {
            std::uint64_t pattern = random();
            std::memcpy(&bits, &pattern, 8);
        } while (!std::isfinite(bits));
        book.SetCell(1, r, 2, Shortest(bits));
        double scaled = static_cast<double>(static_cast<std::int64_t>(random() % 2000001) - 1000000) / 1000.0;
        book.SetCell(1, r, 3, Shortest(scaled * std::pow(10.0, static_cast<int>(random() % 41) - 20)));
    }
    int row = rows;
    for (const char* edge : kEdges) book.SetCell(1, ++row, 1, edge);
    return book;
}

}  // namespace

TEST(WorkbookView, NumbersComeWholeOnlyWhenTheirTextReadsBackAsThem) {
    const int rows = 3000;
    Workbook book = ManyNumbers(rows);
    Agreement set;
    const int all = rows + static_cast<int>(kEdges.size());
    ExpectAllAgree(book, all, 3, set);
    // Both answers must have been put to the test.
    EXPECT_GT(set.whole, 1000);
    EXPECT_GT(set.rounded, 1000);

    // The same numbers as a saved file gives them back (RK and NUMBER records).
    ziv::FileResult problem;
    auto reread = Workbook::OpenFromMemory(book.ToBytes(), &problem);
    ASSERT_TRUE(reread) << ziv::BookReasonText(problem);
    Agreement read;
    ExpectAllAgree(*reread, all, 3, read);
    EXPECT_EQ(read.whole, set.whole);
    EXPECT_EQ(read.rounded, set.rounded);
}

TEST(WorkbookView, TextEmptyAndOutsideCells) {
    Workbook book = Workbook::New();
    ASSERT_TRUE(book.SetCell(1, 2, 3, "OK"));
    ASSERT_TRUE(book.SetCell(1, 2, 4, "12.5mm"));
    ASSERT_TRUE(book.SetCell(1, 2, 5, "12.5"));

    Workbook::CellView text = book.View(1, 2, 3);
    EXPECT_EQ(text.kind, Kind::Text);
    EXPECT_EQ(text.text, "OK");
    EXPECT_FALSE(text.ExactNumber());
    Workbook::CellView unit = book.View(1, 2, 4);
    EXPECT_EQ(unit.kind, Kind::Text);
    EXPECT_FALSE(unit.ExactNumber());
    EXPECT_EQ(unit.Text(), book.CellText(1, 2, 4));
    auto number = book.View(1, 2, 5).ExactNumber();
    ASSERT_TRUE(number);
    EXPECT_EQ(*number, 12.5);

    for (auto [sheet, row, column] : std::vector<std::tuple<int, int, int>>{
             {1, 1, 1}, {1, 2, 6}, {0, 2, 3}, {-1, 2, 3}, {book.SheetCount() + 1, 2, 3}, {1, 0, 3}, {1, -2, 3},
             {1, 2, 0}, {1, 65537, 3}, {1, 2, 257}, {2, 2, 3}}) {
        Workbook::CellView empty = book.View(sheet, row, column);
        EXPECT_EQ(empty.kind, Kind::Empty) << sheet << "," << row << "," << column;
        EXPECT_EQ(empty.Text(), "");
        EXPECT_FALSE(empty.ExactNumber());
    }

    // Emptied by the operator: no cell any more.
    ASSERT_TRUE(book.SetCell(1, 2, 5, ""));
    EXPECT_EQ(book.View(1, 2, 5).kind, Kind::Empty);
    EXPECT_FALSE(book.View(1, 2, 5).ExactNumber());
}

// What no operator types but a file may hold: NaN, infinities and numbers
// below the normal range. Their text is what counts.
TEST(WorkbookView, NumbersOfAFileThatTheTextRounds) {
    const double marker = 1234.5678901234567;  // stored as a NUMBER record, not RK
    Workbook book = Workbook::New();
    ASSERT_TRUE(book.SetCell(1, 1, 1, Shortest(marker)));
    std::string file = book.ToBytes();
    size_t at = file.find(Bytes8(marker));
    ASSERT_NE(at, std::string::npos);
    for (double odd : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::denorm_min(),
                       -1e-310}) {
        std::string patched = file;
        patched.replace(at, 8, Bytes8(odd));
        ziv::FileResult problem;
        auto read = Workbook::OpenFromMemory(patched, &problem);
        ASSERT_TRUE(read) << ziv::BookReasonText(problem);
        Workbook::CellView view = read->View(1, 1, 1);
        EXPECT_EQ(view.kind, Kind::Number);
        EXPECT_EQ(view.Text(), read->CellText(1, 1, 1));
        EXPECT_FALSE(view.ExactNumber()) << view.Text();
    }
}

TEST(WorkbookView, EveryCellVisitedInRowThenColumnOrderAsCellsListsThem) {
    Workbook book = Workbook::New();
    book.SetCell(1, 5, 2, "b");
    book.SetCell(1, 1, 3, "2.5");
    book.SetCell(1, 5, 1, "a");
    book.SetCell(1, 1, 1, "x");
    book.SetCell(1, 1, 3, "3");
    book.SetCell(1, 5, 2, "");
    book.SetCell(1, 300, 1, "0.1");
    book.SetCell(2, 1, 1, "other sheet");

    std::vector<std::pair<std::pair<int, int>, std::string>> visited;
    book.ForEachCell(1, [&](int row, int column, const Workbook::CellView& view) {
        EXPECT_NE(view.kind, Kind::Empty);
        EXPECT_EQ(view.Text(), book.CellText(1, row, column));
        visited.push_back({{row, column}, view.Text()});
    });
    EXPECT_EQ(visited, book.Cells(1));
    ASSERT_EQ(visited.size(), 4u);
    EXPECT_TRUE(std::is_sorted(visited.begin(), visited.end()));

    int none = 0;
    for (int sheet : {0, -1, book.SheetCount() + 1}) book.ForEachCell(sheet, [&](int, int, const auto&) { ++none; });
    EXPECT_EQ(none, 0);
}

// Texts rewritten and cells emptied many times over, as a working day at the
// station does: every cell holds what was set last, before and after a save.
TEST(WorkbookCellStore, RewritesAndErasuresKeepEveryOtherCell) {
    Workbook book = Workbook::New();
    std::map<std::pair<int, int>, std::string> expected;
    std::mt19937 random(7);
    for (int step = 0; step < 20000; ++step) {
        int row = 1 + static_cast<int>(random() % 40), column = 1 + static_cast<int>(random() % 8);
        std::string text;
        switch (random() % 4) {
        case 0: break;  // emptied
        case 1: text = std::to_string(random() % 100000); break;
        default: text = "t" + std::string(random() % 90, static_cast<char>('a' + random() % 26)); break;
        }
        ASSERT_TRUE(book.SetCell(1, row, column, text));
        if (text.empty())
            expected.erase({row, column});
        else
            expected[{row, column}] = text;
        if (step % 997 == 0) {
            std::vector<std::pair<std::pair<int, int>, std::string>> want(expected.begin(), expected.end());
            ASSERT_EQ(book.Cells(1), want) << "after step " << step;
        }
    }
    std::vector<std::pair<std::pair<int, int>, std::string>> want(expected.begin(), expected.end());
    EXPECT_EQ(book.Cells(1), want);
    auto reread = Workbook::OpenFromMemory(book.ToBytes());
    ASSERT_TRUE(reread);
    EXPECT_EQ(reread->Cells(1), want);
}

// A file whose string cells come in falling row order, and one that writes
// the same place again and again: read in row order, the last one kept.
TEST(WorkbookCellStore, FileCellsInAnyOrderAndWrittenTwice) {
    const int count = 600;
    Workbook book = Workbook::New();
    // Of different lengths, so that a text written over another does not always fit in its place.
    auto textOf = [](int k) { return "text of cell " + std::to_string(k) + std::string(20 + k % 5 * 20, 'x'); };
    for (int k = 0; k < count; ++k) ASSERT_TRUE(book.SetCell(1, k + 1, 1, textOf(k)));
    ASSERT_TRUE(book.SetCell(1, count + 5, 2, "7.25"));
    const std::string file = book.ToBytes();
    // LABELSST records (type 0x00FD, 10 bytes): row, column, format, string.
    auto withRows = [&](auto rowOf) {
        std::string patched = file;
        const std::string header("\xFD\x00\x0A\x00", 4);
        size_t at = 0;
        for (int k = 0; k < count; ++k) {
            at = patched.find(header, at);
            if (at == std::string::npos) return std::string();
            unsigned row = static_cast<unsigned char>(patched[at + 4]) | (static_cast<unsigned char>(patched[at + 5]) << 8);
            if (row != static_cast<unsigned>(k)) return std::string();
            unsigned newRow = static_cast<unsigned>(rowOf(k));
            patched[at + 4] = static_cast<char>(newRow & 0xFF);
            patched[at + 5] = static_cast<char>(newRow >> 8);
            at += header.size();
        }
        return patched;
    };

    std::string falling = withRows([&](int k) { return count - 1 - k; });
    ASSERT_FALSE(falling.empty());
    ziv::FileResult problem;
    auto read = Workbook::OpenFromMemory(falling, &problem);
    ASSERT_TRUE(read) << ziv::BookReasonText(problem);
    auto cells = read->Cells(1);
    ASSERT_EQ(cells.size(), static_cast<size_t>(count) + 1);
    EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end()));
    for (int k = 0; k < count; ++k) EXPECT_EQ(read->CellText(1, count - k, 1), textOf(k));
    EXPECT_EQ(read->CellText(1, count + 5, 2), "7.25");

    // Three of every four at the first place, the others in falling rows
    // further down: the texts left behind are dropped while cells wait to be
    // put in order, and every kept cell must still hold its own text.
    auto rowOf = [](int k) { return k % 4 != 3 ? 0 : 1000 - k; };
    std::string samePlace = withRows(rowOf);
    ASSERT_FALSE(samePlace.empty());
    read = Workbook::OpenFromMemory(samePlace, &problem);
    ASSERT_TRUE(read) << ziv::BookReasonText(problem);
    EXPECT_EQ(read->Cells(1).size(), static_cast<size_t>(count / 4 + 2));
    EXPECT_EQ(read->CellText(1, 1, 1), textOf(count - 2));
    EXPECT_EQ(read->View(1, 1, 1).text, textOf(count - 2));
    for (int k = 3; k < count; k += 4) EXPECT_EQ(read->CellText(1, rowOf(k) + 1, 1), textOf(k)) << k;
    EXPECT_EQ(read->CellText(1, count + 5, 2), "7.25");
}
