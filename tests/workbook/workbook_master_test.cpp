// Product masters saved by a real spreadsheet program, made at test time:
// LibreOffice converts a table the test writes (Japanese text, numbers,
// formulas with cached results, empty rows and cells) to an Excel 97-2003
// .xls, and to .xlsx content that users save under an .xls name; the engine
// must give the grid the table holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "common/failure_text.h"
#include "temp_root.h"
#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::BookOpenText;
using ziv::FileResult;
using ziv::Workbook;

namespace {

std::string Cell(const std::string& attributes, const std::string& text = {}) {
    return "<table:table-cell " + attributes + ">" + (text.empty() ? "" : "<text:p>" + text + "</text:p>") +
           "</table:table-cell>";
}
std::string Number(const char* value) { return Cell("office:value-type=\"float\" office:value=\"" + std::string(value) + "\""); }
std::string Text(const std::string& text) { return Cell("office:value-type=\"string\"", text); }
std::string Row(const std::string& cells) { return "<table:table-row>" + cells + "</table:table-row>"; }

// A flat OpenDocument spreadsheet: the first sheet a master's table of nominal
// size, upper and lower tolerance and target; formulas carry the results a
// spreadsheet program computed, as saved files do.
std::string MasterFods() {
    std::string table =
        Row(Number("12.55") + Number("0.005") + Number("-0.01") +
            Cell("table:formula=\"of:=[.A1]+([.B1]+[.C1])/2\" office:value-type=\"float\" office:value=\"12.5475\"")) +
        Row("<table:table-cell table:number-columns-repeated=\"4\"/>") +
        Row(Number("0.3") + Number("0.02") + Number("0") +
            Cell("table:formula=\"of:=[.A3]*3\" office:value-type=\"float\" office:value=\"0.9\"")) +
        Row(Text("ｺﾞﾑ栓 φ3") + Number("0.1") + Number("-0.1") + Text("10")) +
        Row(Number("5.3") + Number("0.02") + Number("-0.01") + "<table:table-cell/>") +
        Row(Text("測定点") + Cell("table:formula=\"of:=1/0\" office:value-type=\"float\" office:value=\"0\"") +
            Cell("table:formula=\"of:=1&lt;2\" office:value-type=\"boolean\" office:boolean-value=\"true\"") +
            Number("100.1275"));
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
           "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
           "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
           "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
           "xmlns:of=\"urn:oasis:names:tc:opendocument:xmlns:of:1.2\" office:version=\"1.2\" "
           "office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\"><office:body><office:spreadsheet>"
           "<table:table table:name=\"寸法表\">" +
           table + "</table:table><table:table table:name=\"メモ\">" + Row(Text("測定は 20℃ で行う")) +
           "</table:table></office:spreadsheet></office:body></office:document>";
}

// What the engine must read from the first sheet, row by row (A to D).
const char* const kGrid[6][4] = {
    {"12.55", "0.005", "-0.01", "12.5475"},
    {"", "", "", ""},
    {"0.3", "0.02", "0", "0.9"},
    {"ｺﾞﾑ栓 φ3", "0.1", "-0.1", "10"},
    {"5.3", "0.02", "-0.01", ""},
    {"測定点", "#DIV/0!", "TRUE", "100.1275"},
};

std::string Soffice() {
    std::string path;
    if (Run("command -v soffice", &path) != 0) return {};
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    return path;
}

// LibreOffice's conversion of the table to `format` (an extension it knows),
// with a profile of its own so that parallel runs do not share one; the path
// of the file made, or a failure.
::testing::AssertionResult MakeMaster(const TempRoot& root, const std::string& soffice, const std::string& format,
                                      std::string* made) {
    WriteBytes(root / "master.fods", MasterFods());
    std::string out;
    int code = Run("cd '" + root.path() + "' && timeout 100 '" + soffice + "' -env:UserInstallation=file://" +
                       root.path() + "/lo-profile --headless --convert-to " + format + " --outdir '" + root.path() +
                       "/out' master.fods 2>&1",
                   &out);
    *made = root / ("out/master." + format);
    if (code != 0 || !FileExists(*made))
        return ::testing::AssertionFailure() << "soffice exit " << code << ": " << out;
    return ::testing::AssertionSuccess();
}

void ExpectMasterGrid(const std::string& path) {
    FileResult problem;
    auto book = Workbook::Open(path, &problem);
    ASSERT_TRUE(book) << BookOpenText(problem);
    ASSERT_GE(book->SheetCount(), 2);
    EXPECT_EQ(book->SheetName(1), "寸法表");
    EXPECT_EQ(book->SheetName(2), "メモ");
    for (int r = 1; r <= 6; ++r)
        for (int c = 1; c <= 4; ++c)
            EXPECT_EQ(book->CellText(1, r, c), kGrid[r - 1][c - 1]) << "row " << r << " column " << c;
    EXPECT_EQ(book->Cells(1).size(), 19u) << "nothing beyond the table";
    EXPECT_EQ(book->CellText(2, 1, 1), "測定は 20℃ で行う");
}

#define REQUIRE_SOFFICE(var)                 \
    const std::string var = Soffice();       \
    if (var.empty())                         \
    GTEST_SKIP() << "LibreOffice (soffice) is missing: install libreoffice-calc-nogui to make the masters"

}  // namespace

TEST(WorkbookMasters, LibreOfficeXlsMasterGivesTheGrid) {
    REQUIRE_SOFFICE(soffice);
    TempRoot root;
    std::string made;
    ASSERT_TRUE(MakeMaster(root, soffice, "xls", &made));
    ASSERT_NE(ReadBytes(made).substr(0, 4), "PK\x03\x04") << "LibreOffice should have written a compound file";
    ExpectMasterGrid(made);
}

TEST(WorkbookMasters, LibreOfficeXlsxContentUnderAnXlsNameGivesTheGrid) {
    REQUIRE_SOFFICE(soffice);
    TempRoot root;
    std::string made;
    ASSERT_TRUE(MakeMaster(root, soffice, "xlsx", &made));
    std::filesystem::rename(made, root / "data.xls");
    ExpectMasterGrid(root / "data.xls");
}
