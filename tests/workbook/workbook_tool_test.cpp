// ziv-workbook on the command line: dump and make, and their errors.
#include <gtest/gtest.h>

#include "temp_root.h"
#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::Workbook;

namespace {

std::string Tool() { return std::string(ZIV_BINARY_DIR) + "/tools/ziv-workbook/ziv-workbook"; }

#define REQUIRE_TOOL()                                                                           \
    if (!FileExists(Tool())) GTEST_SKIP() << "build the ziv-workbook target first: " << Tool()

// Runs the tool with stdin from a file; exit code, and stdout and stderr.
int RunTool(const TempRoot& root, const std::string& args, const std::string& input, std::string* out,
            std::string* err = nullptr) {
    WriteBytes(root / "stdin.txt", input);
    int code = Run("'" + Tool() + "' " + args + " < '" + (root / "stdin.txt") + "' 2> '" + (root / "stderr.txt") + "'", out);
    if (err) *err = ReadBytes(root / "stderr.txt");
    return code;
}

}  // namespace

TEST(WorkbookTool, MakeThenDumpGivesTheLinesBack) {
    REQUIRE_TOOL();
    TempRoot root;
    std::string lines = "1\t1\t1\t12.5\n"
                        "1\t1\t2\t合\n"
                        "1\t2\t1\t-0.01\n"
                        "1\t3\t4\tタブ\\tと改行\\nと\\\\\n"
                        "2\t100\t6\t不\n";
    std::string out, err;
    ASSERT_EQ(RunTool(root, "make '" + (root / "m.xls") + "'", lines, &out, &err), 0) << err;
    ASSERT_EQ(RunTool(root, "dump '" + (root / "m.xls") + "'", "", &out, &err), 0) << err;
    EXPECT_EQ(out, lines);
    auto book = Workbook::Open(root / "m.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ(book->SheetCount(), 2);
    EXPECT_EQ(book->CellText(1, 3, 4), "タブ\tと改行\nと\\");
}

TEST(WorkbookTool, MakeFollowsTheCellRulesAndSheetCount) {
    REQUIRE_TOOL();
    TempRoot root;
    std::string out, err;
    ASSERT_EQ(RunTool(root, "make '" + (root / "m.xls") + "'",
                      "\r\n4\t1\t1\t1e3\r\n1\t1\t1\t12.5 \r\n1\t2\t2\t\r\n", &out, &err), 0) << err;
    auto book = Workbook::Open(root / "m.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ(book->SheetCount(), 4);
    EXPECT_EQ(book->CellText(4, 1, 1), "1000");
    EXPECT_EQ(book->CellText(1, 1, 1), "12.5 ");
    EXPECT_TRUE(book->Cells(1).size() == 1);
}

TEST(WorkbookTool, BadLinesAreNamedByNumber) {
    REQUIRE_TOOL();
    TempRoot root;
    const char* bad[] = {"1\t1\tx\n", "0\t1\t1\tx\n", "1\t65537\t1\tx\n", "1\t1\t257\tx\n",
                         "1\t1\t1\ta\\qb\n", "1\t1\t1\ta\tb\n", "1 1 1 x\n", "1\t1\t1\t\xff\xfe\n"};
    for (const char* line : bad) {
        std::string out, err;
        EXPECT_EQ(RunTool(root, "make '" + (root / "bad.xls") + "'", std::string("1\t1\t1\tok\n\n") + line, &out, &err), 1)
            << line;
        EXPECT_NE(err.find("3 行目"), std::string::npos) << line << " -> " << err;
        EXPECT_FALSE(FileExists(root / "bad.xls")) << line;
    }
}

TEST(WorkbookTool, DumpErrorsGoToStandardError) {
    REQUIRE_TOOL();
    TempRoot root;
    std::string out, err;
    EXPECT_EQ(RunTool(root, "dump '" + (root / "none.xls") + "'", "", &out, &err), 1);
    EXPECT_NE(err.find("none.xls"), std::string::npos) << err;
    EXPECT_TRUE(out.empty());
    WriteBytes(root / "damaged.xls", Workbook::New().ToBytes().substr(0, 700));
    EXPECT_EQ(RunTool(root, "dump '" + (root / "damaged.xls") + "'", "", &out, &err), 1);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(RunTool(root, "make '" + (root / "no/such/folder.xls") + "'", "1\t1\t1\tx\n", &out, &err), 1);
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(RunTool(root, "frobnicate x", "", &out, &err), 2);
    EXPECT_EQ(RunTool(root, "--help", "", &out, &err), 0);
    EXPECT_NE(out.find("\\t"), std::string::npos) << "the help tells how tabs are written";
}

TEST(WorkbookTool, DumpReadsXlsxContentUnderAnyName) {
    REQUIRE_TOOL();
    TempRoot root;
    WriteBytes(root / "data.xls",
               WrapZip({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"寸法表\"/></sheets></workbook>"},
                        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>12.55</v></c>"
                                                     "<c r=\"B1\"><v>0.005</v></c></row><row r=\"3\"><c r=\"C3\" "
                                                     "t=\"inlineStr\"><is><t>狙い</t></is></c></row></sheetData></worksheet>"}}));
    std::string out, err;
    ASSERT_EQ(RunTool(root, "dump '" + (root / "data.xls") + "'", "", &out, &err), 0) << err;
    EXPECT_EQ(out, "1\t1\t1\t12.55\n1\t1\t2\t0.005\n1\t3\t3\t狙い\n");
}
