// Small hostile files that would take gigabytes or minutes to read, and
// positions no sheet has: refused with a reason, in bounded memory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::Workbook;

namespace {

// GCC says so by a macro, clang by a feature test.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

const char* kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rel(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelType + type + "\" Target=\"" + target + "\"/>";
}

// One sheet (given), its relationships and a shared-string table (given or none).
std::vector<std::pair<std::string, std::string>> OneSheetParts(const std::string& sheetData, bool strings = false) {
    std::vector<std::pair<std::string, std::string>> parts = {
        {"xl/workbook.xml", "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                            "<sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels", "<Relationships>" + Rel("rId1", "worksheet", "worksheets/sheet1.xml") +
                                           (strings ? Rel("rId2", "sharedStrings", "sharedStrings.xml") : "") +
                                           "</Relationships>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + sheetData + "</sheetData></worksheet>"}};
    return parts;
}

// An .xlsx whose shared-string table holds `entries` empty strings, the first used by A1.
std::string EmptyStringsXlsx(size_t entries) {
    return WrapZip(OneSheetParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", true),
                   {"xl/sharedStrings.xml", "<sst>", "<si/>", entries, "</sst>"});
}

// A BIFF8 shared-string table of `entries` empty strings (three bytes each), in CONTINUE records.
std::string EmptyStringsSst(uint32_t entries) {
    std::string empty = U16(0) + U8(0);
    std::string first = U32(entries) + U32(entries);
    uint32_t done = 0;
    for (; done < entries && done < 2000; ++done) first += empty;
    std::string records = Record(0x00FC, first);
    std::string piece;
    for (int i = 0; i < 2700; ++i) piece += empty;
    for (; done + 2700 <= entries; done += 2700) records += Record(0x003C, piece);
    if (done < entries) records += Record(0x003C, piece.substr(0, (entries - done) * 3));
    return records;
}

void ExpectRefused(const std::string& bytes, const std::string& what, ziv::BookFault reason) {
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(bytes, &problem)) << what;
    EXPECT_EQ(problem.book, reason) << what << ": " << Why(problem);
}

long ResidentKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string_view(field).size());
    return -1;
}

}  // namespace

TEST(WorkbookBudget, EmptySharedStringsCountAsEntries) {
    // A million and more strings of no text: nothing in bytes of text, but as
    // many entries as a full workbook has cells.
    ExpectRefused(EmptyStringsXlsx(1100000), "xlsx with 1.1 million empty shared strings", ziv::BookFault::TooLarge);
    std::string labelSst = Record(0x00FD, Cell(0, 0) + U32(0));
    ExpectRefused(WrapOle(BiffStream({{"S", labelSst}}, EmptyStringsSst(1100000))),
                  "xls with 1.1 million empty shared strings", ziv::BookFault::TooLarge);

    // Well inside the budget, the same tables read as before.
    ziv::FileResult problem;
    auto xlsx = Workbook::OpenFromMemory(WrapZip(OneSheetParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c>"
                                                               "<c r=\"B1\"><v>2.5</v></c></row>",
                                                               true),
                                                 {"xl/sharedStrings.xml", "<sst><si><t>寸法</t></si>", "<si/>", 50000, "</sst>"}),
                                         &problem);
    ASSERT_TRUE(xlsx) << Why(problem);
    EXPECT_EQ(xlsx->CellText(1, 1, 1), "");
    EXPECT_EQ(xlsx->CellText(1, 1, 2), "2.5");
    auto xls = Workbook::OpenFromMemory(
        WrapOle(BiffStream({{"S", Record(0x00FD, Cell(0, 0) + U32(49999)) + Record(0x0203, Cell(1, 1) + F64(3.25))}},
                           EmptyStringsSst(50000))),
        &problem);
    ASSERT_TRUE(xls) << Why(problem);
    EXPECT_EQ(xls->CellText(1, 2, 2), "3.25");
    EXPECT_EQ(xls->Cells(1).size(), 1u);
}

TEST(WorkbookBudget, SmallFileOfFiftyMillionEmptyStringsStaysSmallInMemory) {
    // 250 MB of XML in a zip of a third of a megabyte.
    std::string zip = EmptyStringsXlsx(50000000);
    ASSERT_LT(zip.size(), 1000000u);
    bool peakKnown = static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5");
    long before = ResidentKiB("VmRSS:");
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(zip, &problem));
    long peakGrowthKiB = ResidentKiB("VmHWM:") - before;
    EXPECT_EQ(problem.book, ziv::BookFault::TooLarge) << Why(problem);
    if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's own memory makes the peak meaningless; the outcome was checked";
    if (!peakKnown || before < 0) GTEST_SKIP() << "the kernel does not let the peak memory be measured";
    EXPECT_LT(peakGrowthKiB, 500 * 1024) << "the open took " << peakGrowthKiB / 1024 << " MiB at its peak";
}

TEST(WorkbookBudget, RelationshipsAndBareElementsAreChargedToo) {
    // Entries that are not cells nor strings: relationships of the workbook.
    auto parts = OneSheetParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    parts.erase(parts.begin() + 1);
    ExpectRefused(WrapZip(parts, {"xl/_rels/workbook.xml.rels",
                                  "<Relationships>" + Rel("rId1", "worksheet", "worksheets/sheet1.xml"),
                                  "<Relationship Id=\"x\" Target=\"y\"/>", 1100000, "</Relationships>"}),
                  "a million relationships", ziv::BookFault::TooLarge);
    // Elements that make nothing at all still take time to walk: ten million empty rows.
    parts = OneSheetParts("");
    parts.pop_back();
    ExpectRefused(WrapZip(parts, {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>", "<x/>", 10000000,
                                  "</sheetData></worksheet>"}),
                  "ten million bare elements", ziv::BookFault::TooLarge);
}

TEST(WorkbookGrid, XlsxPositionsOutsideTheSheetAreDamage) {
    const std::pair<const char*, std::string> outside[] = {
        {"row number of 23 digits", "<row r=\"99999999999999999999999\"><c><v>1</v></c></row>"},
        {"cell row of 20 digits", "<row><c r=\"A99999999999999999999\"><v>1</v></c></row>"},
        {"largest 64-bit row, then the row after it",
         "<row r=\"9223372036854775807\"><c><v>1</v></c></row><row><c><v>2</v></c></row>"},
        {"row past the grid", "<row r=\"1048577\"><c><v>1</v></c></row>"},
        {"last row, then one more without a number", "<row r=\"1048576\"/><row><c><v>1</v></c></row>"},
        {"column past XFD", "<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"},
        {"column of 21 letters", "<row r=\"1\"><c r=\"AAAAAAAAAAAAAAAAAAAAA1\"><v>1</v></c></row>"},
        {"cells without references running past XFD",
         "<row r=\"1\"><c r=\"XFD1\"><v>1</v></c><c><v>2</v></c></row>"},
    };
    for (const auto& [what, rows] : outside) ExpectRefused(WrapZip(OneSheetParts(rows)), what, ziv::BookFault::CellOutsideSheet);
    ExpectRefused(WrapZip(OneSheetParts("<row r=\"x1\"><c><v>1</v></c></row>")), "row number that is no number", ziv::BookFault::PartDamaged);

    ziv::FileResult problem;
    auto corner = Workbook::OpenFromMemory(
        WrapZip(OneSheetParts("<row r=\"1048576\"><c r=\"XFD1048576\"><v>5</v></c></row>")), &problem);
    ASSERT_TRUE(corner) << Why(problem);
    EXPECT_EQ(corner->CellText(1, 1048576, 16384), "5");
}

TEST(WorkbookGrid, XlsColumnsOutsideTheSheetAreDamage) {
    auto rk = [](int value) { return U32((static_cast<uint32_t>(value) << 2) | 2u); };
    const std::pair<const char*, std::string> outside[] = {
        {"number in column 257", Record(0x0203, Cell(0, 256) + F64(1))},
        {"shared string in column 301", Record(0x00FD, Cell(0, 300) + U32(0))},
        {"multiple numbers running past column 256", Record(0x00BD, U16(0) + U16(250) +
                                                                  [&] {
                                                                      std::string cells;
                                                                      for (int i = 0; i < 10; ++i) cells += U16(15) + rk(i);
                                                                      return cells;
                                                                  }() +
                                                                  U16(259))},
    };
    std::string sst = Record(0x00FC, U32(1) + U32(1) + Str16("x"));
    for (const auto& [what, records] : outside) ExpectRefused(WrapOle(BiffStream({{"S", records}}, sst)), what, ziv::BookFault::CellOutsideSheet);

    ziv::FileResult problem;
    auto corner = Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", Record(0x0203, Cell(65535, 255) + F64(7))}})), &problem);
    ASSERT_TRUE(corner) << Why(problem);
    EXPECT_EQ(corner->CellText(1, 65536, 256), "7");
}
