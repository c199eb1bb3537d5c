// The engine against other programs: python xlrd reads what the engine
// writes; the engine reads what xlwt, openpyxl, Excel and LibreOffice wrote.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "temp_root.h"
#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::BookFault;
using ziv::BookOpenText;
using ziv::Failure;
using ziv::FileResult;
using ziv::Workbook;

namespace {


bool HaveModule(const char* module) {
    return Run(Python() + " -c 'import " + module + "' 2>/dev/null") == 0;
}

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

// The engine's view in the helper script's format. The helper lists the
// sheets a file holds; the engine never has fewer than two.
std::string EngineDump(const Workbook& book, int sheets) {
    std::string out = "sheets";
    for (int s = 1; s <= sheets; ++s) out += "\t" + book.SheetName(s);
    out += "\n";
    for (int s = 1; s <= sheets; ++s)
        for (const auto& [position, text] : book.Cells(s))
            out += std::to_string(s) + "\t" + std::to_string(position.first) + "\t" +
                   std::to_string(position.second) + "\t" + Escape(text) + "\n";
    return out;
}

std::string PeerDump(const std::string& command, const std::string& path) {
    std::string out;
    EXPECT_EQ(Run(Python() + " " + PeerScript() + " " + command + " '" + path + "'", &out), 0) << path;
    return out;
}

int SheetsListed(const std::string& dump) {
    std::string first = dump.substr(0, dump.find('\n'));
    return static_cast<int>(std::count(first.begin(), first.end(), '\t'));
}

}  // namespace

TEST(WorkbookPeers, XlrdReadsEngineFilesIdentically) {
    if (!HaveModule("xlrd")) GTEST_SKIP() << "python3 with xlrd is missing (Debian package python3-xlrd)";
    TempRoot root;
    Workbook book = DayWorkbook();
    book.SetCell(3, 1, 1, "タブ\tと改行\nと\\");
    book.SetCell(3, 2, 1, "0.30000000000000004");
    book.SetCell(3, 3, 1, "-1.5e-9");
    book.SetCell(3, 4, 1, std::string(9000, 'x') + "長");
    for (int r = 5; r < 1200; ++r) book.SetCell(3, r, 2, "文字列 " + std::to_string(r));
    ASSERT_TRUE(book.SaveAs(root / "day.xls"));
    std::string peer = PeerDump("dump", root / "day.xls");
    EXPECT_EQ(peer, EngineDump(book, 3));
}

TEST(WorkbookPeers, LibreOfficeReadsEngineFiles) {
    // LibreOffice converts the engine's .xls to .xlsx; the engine reads that back.
    if (!FileExists("/usr/bin/soffice")) GTEST_SKIP() << "LibreOffice is missing (Debian package libreoffice-calc-nogui)";
    TempRoot root;
    Workbook book = DayWorkbook();
    book.SetCell(3, 2, 2, std::string(9000, 'y') + "終");
    book.SetCell(3, 3, 3, "タブ\tあり");
    ASSERT_TRUE(book.SaveAs(root / "day.xls"));
    std::string out;
    ASSERT_EQ(wbtest::Run("cd '" + root.path() + "' && timeout 100 /usr/bin/soffice -env:UserInstallation=file://" +
                              root.path() + "/profile --headless --convert-to xlsx --outdir '" + root.path() +
                              "/out' day.xls 2>&1",
                          &out),
              0)
        << out;
    FileResult problem;
    auto converted = Workbook::Open(root / "out/day.xlsx", &problem);
    ASSERT_TRUE(converted) << BookOpenText(problem) << "\n" << out;
    ASSERT_EQ(converted->SheetCount(), 3);
    for (int s = 1; s <= 3; ++s) {
        EXPECT_EQ(converted->SheetName(s), book.SheetName(s));
        EXPECT_EQ(converted->Cells(s), book.Cells(s)) << "sheet " << s;
    }
}

TEST(WorkbookPeers, EngineReadsXlwtFilesAsXlrdDoes) {
    if (!HaveModule("xlwt") || !HaveModule("xlrd")) GTEST_SKIP() << "python3 with xlwt and xlrd is missing";
    TempRoot root;
    std::string path = root / "xlwt.xls";
    ASSERT_EQ(wbtest::Run(Python() + " " + PeerScript() + " xlwt '" + path + "'"), 0);
    FileResult problem;
    auto book = Workbook::Open(path, &problem);
    ASSERT_TRUE(book) << BookOpenText(problem);
    std::string peer = PeerDump("dump", path);
    EXPECT_EQ(EngineDump(*book, SheetsListed(peer)), peer);
    // The cases the helper writes, spelled out.
    EXPECT_EQ(book->SheetName(1), "測定値");
    EXPECT_EQ(book->CellText(1, 2, 1), "合");
    EXPECT_EQ(book->CellText(1, 3, 1), "ｶﾅ 漢字 ひらがな");
    EXPECT_EQ(book->CellText(1, 4, 1), "TRUE");
    EXPECT_EQ(book->CellText(1, 5, 1), "#DIV/0!");
    EXPECT_EQ(book->CellText(1, 7, 1), "0.3");
    EXPECT_EQ(book->CellText(2, 10, 4), "二枚目");
}

TEST(WorkbookPeers, EngineReadsOpenpyxlWorkbooksUnderAnXlsName) {
    if (!HaveModule("openpyxl")) GTEST_SKIP() << "python3 with openpyxl is missing";
    TempRoot root;
    std::string path = root / "data.xls";
    ASSERT_EQ(wbtest::Run(Python() + " " + PeerScript() + " openpyxl '" + path + "'"), 0);
    FileResult problem;
    auto book = Workbook::Open(path, &problem);
    ASSERT_TRUE(book) << BookOpenText(problem);
    std::string peer = PeerDump("xlsxdump", path);
    EXPECT_EQ(EngineDump(*book, SheetsListed(peer)), peer);
    EXPECT_EQ(book->CellText(1, 1, 1), "12.55");
    EXPECT_EQ(book->CellText(1, 2, 2), "line\nbreak");
}

TEST(WorkbookSamples, ReadAsXlrdReadsThem) {
    REQUIRE_SHARED_TESTDATA(kSamples, "xls-peer");
    if (!HaveModule("xlrd")) GTEST_SKIP() << "python3 with xlrd is missing";
    for (const char* name : {"Formate.xls", "formula_test_names.xls", "formula_test_sjmachin.xls", "issue20.xls",
                             "namesdemo.xls", "profiles.xls", "ragged.xls", "xf_class.xls", "picture_in_cell.xls"}) {
        FileResult problem;
        auto book = Workbook::Open(kSamples + name, &problem);
        ASSERT_TRUE(book) << name << ": " << BookOpenText(problem);
        std::string peer = PeerDump("dump", kSamples + name);
        EXPECT_EQ(EngineDump(*book, SheetsListed(peer)), peer) << name;
    }
}

TEST(WorkbookSamples, KnownCells) {
    REQUIRE_SHARED_TESTDATA(kSamples, "xls-peer");
    auto formate = Workbook::Open(kSamples + "Formate.xls");
    ASSERT_TRUE(formate);
    EXPECT_EQ(formate->SheetCount(), 4);
    EXPECT_EQ(formate->SheetName(2), "ÖÄÜ");
    EXPECT_EQ(formate->CellText(1, 2, 1), "Äcker");
    EXPECT_EQ(formate->CellText(1, 9, 2), "1000.3");
    EXPECT_EQ(formate->CellText(2, 1, 1), "-100");

    auto formulas = Workbook::Open(kSamples + "formula_test_sjmachin.xls");
    ASSERT_TRUE(formulas);
    EXPECT_EQ(formulas->CellText(1, 2, 2), "МОСКВА Москва");
    EXPECT_EQ(formulas->CellText(1, 3, 2), "0.142857142857143");
    EXPECT_EQ(formulas->CellText(1, 4, 2), "ABCDEF");
    EXPECT_EQ(formulas->CellText(1, 5, 2), "");
    EXPECT_EQ(formulas->CellText(1, 6, 2), "TRUE");
    EXPECT_EQ(formulas->CellText(1, 7, 2), "#DIV/0!");
    EXPECT_EQ(formulas->CellText(1, 8, 2), "МОСКВА Москва");

    auto names = Workbook::Open(kSamples + "namesdemo.xls");
    ASSERT_TRUE(names);
    EXPECT_EQ(names->SheetName(4), "Seamus O'Reilly");
    EXPECT_EQ(names->CellText(3, 4, 14), "9876");

    auto invalid = Workbook::Open(kSamples + "invalid_formula.xls");
    ASSERT_TRUE(invalid) << "formulas are never parsed, only their results read";
    EXPECT_EQ(invalid->CellText(1, 1, 1), "#REF!");

    auto xlsx = Workbook::Open(kSamples + "sample.xlsx");
    ASSERT_TRUE(xlsx);
    EXPECT_EQ(xlsx->SheetName(1), "Sheet1");
    EXPECT_TRUE(xlsx->Cells(1).empty());
}

TEST(WorkbookSamples, UnreadableOnesFailCleanly) {
    REQUIRE_SHARED_TESTDATA(kSamples, "xls-peer");
    FileResult problem;
    EXPECT_FALSE(Workbook::Open(kSamples + "biff4_no_format_no_window2.xls", &problem));
    EXPECT_EQ(problem.book, BookFault::OldFormat) << BookOpenText(problem);
    // Its compound file uses one sector twice; libgsf follows the chains
    // anyway. Either way is sound as long as it ends with a workbook or a reason.
    problem = {};
    auto corrupted = Workbook::Open(kSamples + "corrupted_error.xls", &problem);
    if (corrupted)
        EXPECT_EQ(corrupted->CellText(1, 1, 1), "ПРАЙС-ЛИСТ");
    else
        EXPECT_EQ(problem.failure, Failure::BookUnreadable);
}

TEST(WorkbookMasters, BothMastersGiveTheExpectedGrid) {
    REQUIRE_SHARED_TESTDATA(kMasters, "masters");
    auto lines = ziv::SplitLines(ReadBytes(kMasters + "expected-grid.tsv"));
    ASSERT_EQ(lines.size(), 101u);
    for (const char* name : {"data.xls", "data-xlsx-content.xls"}) {
        FileResult problem;
        auto book = Workbook::Open(kMasters + name, &problem);
        ASSERT_TRUE(book) << name << ": " << BookOpenText(problem);
        EXPECT_EQ(book->SheetName(1), "寸法表");
        EXPECT_EQ(book->SheetName(2), "メモ");
        for (int r = 1; r <= 100; ++r) {
            std::string got = std::to_string(r);
            for (int c = 1; c <= 4; ++c) got += "\t" + book->CellText(1, r, c);
            EXPECT_EQ(got, lines[static_cast<size_t>(r)]) << name << " row " << r;
        }
    }
}
