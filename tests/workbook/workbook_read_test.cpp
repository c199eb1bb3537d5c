// Reading workbooks made by other programs, record by record: BIFF8, BIFF5
// and Office Open XML, built here byte by byte so that every case is known.
#include <gtest/gtest.h>

#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::Workbook;

namespace {

std::optional<Workbook> OpenBiff(const std::string& stream, const char* name = "Workbook",
                                 ziv::FileResult* problem = nullptr) {
    return Workbook::OpenFromMemory(WrapOle(stream, name), problem);
}

std::string FormulaResult(const std::string& result8) { return result8 + U16(0) + U32(0) + U16(3) + "\x1E\x01\x00"; }
std::string SpecialResult(unsigned kind, unsigned value) {
    return U8(kind) + U8(0) + U8(value) + U8(0) + U8(0) + U8(0) + U16(0xFFFF);
}
uint32_t Rk(int32_t whole) { return (static_cast<uint32_t>(whole) << 2) | 2u; }

// Shared strings spread over four CONTINUE records: characters go on in a
// new record with a fresh option byte (switching between 8-bit and UTF-16),
// a string may start at a record boundary, formatting runs and phonetic data
// cross a boundary without an option byte.
std::string SplitSst() {
    std::string sst = Record(0x00FC, U32(5) + U32(5) + U16(10) + U8(0) + "abcde");
    sst += Record(0x003C, U8(1) + Wide(u"fghij") + U16(4) + U8(1) + Wide(u"合格"));
    sst += Record(0x003C, U8(0) + "ok" + U16(3) + U8(0x08) + U16(2) + "xyz" + U16(0) + U16(0));
    sst += Record(0x003C, U16(1) + U16(0) + U16(2) + U8(0x04) + U32(6) + "no" + "\x01\x02\x03\x04\x05\x06" +
                              U16(3) + U8(0));
    sst += Record(0x003C, U8(1) + Wide(u"ｱｲｳ"));
    return sst;
}

}  // namespace

TEST(WorkbookReadBiff8, SharedStringsAcrossContinueRecords) {
    std::string cells;
    for (unsigned i = 0; i < 5; ++i) cells += Record(0x00FD, Cell(0, i) + U32(i));
    ziv::FileResult problem;
    auto book = OpenBiff(BiffStream({{"S", cells}}, SplitSst()), "Workbook", &problem);
    ASSERT_TRUE(book) << Why(problem);
    EXPECT_EQ(book->CellText(1, 1, 1), "abcdefghij");
    EXPECT_EQ(book->CellText(1, 1, 2), "合格ok");
    EXPECT_EQ(book->CellText(1, 1, 3), "xyz");
    EXPECT_EQ(book->CellText(1, 1, 4), "no");
    EXPECT_EQ(book->CellText(1, 1, 5), "ｱｲｳ");
}

TEST(WorkbookReadBiff8, NumbersInEveryRecordForm) {
    std::string cells = Record(0x0203, Cell(0, 0) + F64(12.55)) + Record(0x027E, Cell(0, 1) + U32(Rk(-5))) +
                        Record(0x027E, Cell(0, 2) + U32((1255u << 2) | 3u)) +
                        Record(0x027E, Cell(0, 3) + U32(0x40040000u)) +  // top half of 2.5
                        Record(0x00BD, U16(1) + U16(0) + U16(15) + U32(Rk(1)) + U16(15) + U32(Rk(2)) + U16(15) +
                                           U32((3u << 2) | 3u) + U16(2)) +
                        Record(0x0203, Cell(2, 0) + F64(0.1 + 0.2)) + Record(0x0203, Cell(2, 1) + F64(1e-7));
    auto book = OpenBiff(BiffStream({{"S", cells}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 1), "12.55");
    EXPECT_EQ(book->CellText(1, 1, 2), "-5");
    EXPECT_EQ(book->CellText(1, 1, 3), "12.55");
    EXPECT_EQ(book->CellText(1, 1, 4), "2.5");
    EXPECT_EQ(book->CellText(1, 2, 1), "1");
    EXPECT_EQ(book->CellText(1, 2, 2), "2");
    EXPECT_EQ(book->CellText(1, 2, 3), "0.03");
    EXPECT_EQ(book->CellText(1, 2, 4), "");
    EXPECT_EQ(book->CellText(1, 3, 1), "0.3");
    EXPECT_EQ(book->CellText(1, 3, 2), "1E-07");
}

TEST(WorkbookReadBiff8, TextBooleanErrorAndBlankCells) {
    std::string cells = Record(0x0204, Cell(0, 0) + U16(3) + U8(1) + Wide(u"不合格")) +
                        Record(0x00D6, Cell(0, 1) + U16(2) + U8(0) + "ab" + U16(1) + U16(0) + U16(0)) +
                        Record(0x0205, Cell(1, 0) + U8(1) + U8(0)) + Record(0x0205, Cell(1, 1) + U8(0) + U8(0)) +
                        Record(0x0201, Cell(3, 0)) + Record(0x00BE, U16(3) + U16(1) + U16(15) + U16(15) + U16(2));
    const unsigned codes[] = {0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A};
    for (unsigned i = 0; i < 7; ++i) cells += Record(0x0205, Cell(2, i) + U8(codes[i]) + U8(1));
    auto book = OpenBiff(BiffStream({{"S", cells}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 1), "不合格");
    EXPECT_EQ(book->CellText(1, 1, 2), "ab");
    EXPECT_EQ(book->CellText(1, 2, 1), "TRUE");
    EXPECT_EQ(book->CellText(1, 2, 2), "FALSE");
    const char* texts[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(book->CellText(1, 3, i + 1), texts[i]);
    for (int c = 1; c <= 3; ++c) EXPECT_EQ(book->CellText(1, 4, c), "");
    EXPECT_EQ(book->Cells(1).size(), 11u);
}

TEST(WorkbookReadBiff8, FormulasGiveTheirCachedResults) {
    std::string cells =
        Record(0x0006, Cell(0, 0) + FormulaResult(F64(0.1 + 0.2))) +
        Record(0x0006, Cell(0, 1) + FormulaResult(SpecialResult(0, 0))) +
        Record(0x04BC, std::string(16, '\0')) +  // a shared formula between the cell and its string
        Record(0x0207, U16(4) + U8(0) + "ABCD") +
        Record(0x0006, Cell(0, 2) + FormulaResult(SpecialResult(1, 1))) +
        Record(0x0006, Cell(0, 3) + FormulaResult(SpecialResult(2, 0x07))) +
        Record(0x0006, Cell(0, 4) + FormulaResult(SpecialResult(3, 0))) +
        Record(0x0207, U16(5) + U8(0) + "stray") +  // no formula waits for it
        Record(0x0006, Cell(1, 0) + FormulaResult(SpecialResult(0, 0))) +
        Record(0x0207, U16(6) + U8(0) + "abc") + Record(0x003C, U8(1) + Wide(u"def")) +
        Record(0x0006, Cell(2, 0) + FormulaResult(SpecialResult(0, 0))) + Record(0x0203, Cell(2, 1) + F64(1)) +
        Record(0x0207, U16(4) + U8(0) + "late");
    auto book = OpenBiff(BiffStream({{"S", cells}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 1), "0.3");
    EXPECT_EQ(book->CellText(1, 1, 2), "ABCD");
    EXPECT_EQ(book->CellText(1, 1, 3), "TRUE");
    EXPECT_EQ(book->CellText(1, 1, 4), "#DIV/0!");
    EXPECT_EQ(book->CellText(1, 1, 5), "");
    EXPECT_EQ(book->CellText(1, 2, 1), "abcdef");
    EXPECT_EQ(book->CellText(1, 3, 1), "") << "a STRING after another cell belongs to no formula";
    EXPECT_EQ(book->CellText(1, 3, 2), "1");
}

TEST(WorkbookReadBiff8, SheetsFollowBoundSheetOrderNotStreamOrder) {
    std::vector<SheetRecords> sheets = {{"first", Record(0x0203, Cell(0, 0) + F64(1))},
                                     {"chart", Record(0x0203, Cell(0, 0) + F64(99)), 2},
                                     {"second", Record(0x0203, Cell(0, 0) + F64(2))},
                                     {"third", Record(0x0203, Cell(0, 0) + F64(3))}};
    ziv::FileResult problem;
    auto book = OpenBiff(BiffStream(sheets, {}, 0x0600, {3, 1, 0, 2}), "Workbook", &problem);
    ASSERT_TRUE(book) << Why(problem);
    ASSERT_EQ(book->SheetCount(), 3) << "a chart sheet is not a worksheet";
    EXPECT_EQ(book->SheetName(1), "first");
    EXPECT_EQ(book->SheetName(3), "third");
    for (int s = 1; s <= 3; ++s) EXPECT_EQ(book->CellText(s, 1, 1), std::to_string(s));
}

TEST(WorkbookReadBiff8, EmbeddedChartRecordsAreNotCells) {
    std::string records = Record(0x0203, Cell(0, 0) + F64(1)) + Bof(0x0600, 0x0020) +
                          Record(0x0203, Cell(0, 1) + F64(7)) + Eof() + Record(0x0203, Cell(0, 2) + F64(3));
    auto book = OpenBiff(BiffStream({{"S", records}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 1), "1");
    EXPECT_EQ(book->CellText(1, 1, 2), "");
    EXPECT_EQ(book->CellText(1, 1, 3), "3");
}

TEST(WorkbookReadBiff8, OneSheetFileStillGivesTwoSheets) {
    auto book = OpenBiff(BiffStream({{"only", Record(0x0203, Cell(0, 0) + F64(1))}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->SheetCount(), 2);
    book->SetCell(2, 1, 2, "x");
    EXPECT_EQ(book->CellText(2, 1, 2), "x");
}

TEST(WorkbookReadBiff8, EncryptedFilesSaySo) {
    ziv::FileResult problem;
    auto book = OpenBiff(BiffStream({{"S", ""}}, Record(0x002F, U16(1) + std::string(52, '\x11'))), "Workbook", &problem);
    EXPECT_FALSE(book);
    EXPECT_EQ(problem.book, ziv::BookFault::Encrypted) << Why(problem);
    problem = {};
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapOle("secret", "EncryptedPackage"), &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::Encrypted) << Why(problem);
}

TEST(WorkbookReadBiff5, EightBitTextInTheCodePage) {
    std::string cp932Cells = Record(0x0204, Cell(0, 0) + U16(4) + "\x8D\x87\x8A\x69") +
                             Record(0x0204, Cell(0, 1) + U16(3) + "\xB1\xB2\xB3") +
                             Record(0x0006, Cell(1, 0) + FormulaResult(SpecialResult(0, 0))) +
                             Record(0x0207, U16(4) + "\x8D\x87\x8A\x69") + Record(0x0203, Cell(1, 1) + F64(20.05));
    ziv::FileResult problem;
    auto book = OpenBiff(BiffStream({{"\x91\xAA\x92\xE8", cp932Cells}, {"two", ""}}, {}, 0x0500, {}, 932), "Book", &problem);
    ASSERT_TRUE(book) << Why(problem);
    EXPECT_EQ(book->SheetName(1), "測定");
    EXPECT_EQ(book->CellText(1, 1, 1), "合格");
    EXPECT_EQ(book->CellText(1, 1, 2), "ｱｲｳ");
    EXPECT_EQ(book->CellText(1, 2, 1), "合格");
    EXPECT_EQ(book->CellText(1, 2, 2), "20.05");

    std::string latinCells = Record(0x0204, Cell(0, 0) + U16(7) + "\xC4" "cker \x80");
    book = OpenBiff(BiffStream({{"Bl\xE4tt", latinCells}}, {}, 0x0500, {}, 1252), "Book", &problem);
    ASSERT_TRUE(book) << Why(problem);
    EXPECT_EQ(book->SheetName(1), "Blätt");
    EXPECT_EQ(book->CellText(1, 1, 1), "Äcker €");
}

// ---- Office Open XML ---------------------------------------------------------

namespace {

const char* kMain = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const char* kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rel(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelType + type + "\" Target=\"" + target + "\"/>";
}
std::string Rels(const std::string& inner) {
    return "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
           inner + "</Relationships>";
}
std::string SheetXml(const std::string& rows) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet ") + kMain + "><sheetData>" + rows +
           "</sheetData></worksheet>";
}

std::vector<std::pair<std::string, std::string>> XlsxParts() {
    std::string book = std::string("<workbook ") + kMain + "><sheets>" +
                       "<sheet name=\"寸法表\" sheetId=\"1\" r:id=\"rId1\"/>"
                       "<sheet name=\"Chart\" sheetId=\"2\" r:id=\"rId2\"/>"
                       "<sheet name=\"メモ\" sheetId=\"3\" r:id=\"rId3\"/></sheets></workbook>";
    std::string strings = std::string("<sst ") + kMain + ">"
                          "<si><t>plain</t></si>"
                          "<si><r><t>ri</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">ch </t></r>"
                          "<rPh sb=\"0\" eb=\"1\"><t>フリガナ</t></rPh></si>"
                          "<si><t>合格_x000D_改行</t></si></sst>";
    std::string first = SheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c><c r=\"C1\" t=\"s\"><v>2</v></c></row>"
        "<row r=\"2\"><c r=\"A2\"><v>0.30000000000000004</v></c><c r=\"B2\" t=\"n\"><v>1.5E-3</v></c>"
        "<c r=\"C2\" t=\"b\"><v>1</v></c><c r=\"D2\" t=\"b\"><v>0</v></c></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"e\"><v>#N/A</v></c><c r=\"B3\" t=\"str\"><f>A1&amp;\"x\"</f><v>plainx</v></c>"
        "<c r=\"C3\" t=\"inlineStr\"><is><t>inline</t></is></c><c r=\"D3\"><f>1/0</f></c></row>"
        "<row><c><v>7</v></c><c><v>-8</v></c></row>"
        "<row r=\"6\"><c r=\"B6\" s=\"1\"/></row>");
    std::string second = SheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><r><t>二</t></r><r><t>枚目</t></r></is></c></row>");
    return {{"_rels/.rels", Rels(Rel("rId1", "officeDocument", "xl/book.xml"))},
            {"xl/book.xml", book},
            {"xl/_rels/book.xml.rels", Rels(Rel("rId1", "worksheet", "worksheets/s1.xml") +
                                            Rel("rId2", "chartsheet", "chartsheets/c1.xml") +
                                            Rel("rId3", "worksheet", "/xl/worksheets/s2.xml") +
                                            Rel("rId4", "sharedStrings", "strings.xml"))},
            {"xl/strings.xml", strings},
            {"xl/worksheets/s1.xml", first},
            {"xl/worksheets/s2.xml", second}};
}

}  // namespace

TEST(WorkbookReadXlsx, CellsOfEveryKind) {
    ziv::FileResult problem;
    auto book = Workbook::OpenFromMemory(WrapZip(XlsxParts()), &problem);
    ASSERT_TRUE(book) << Why(problem);
    ASSERT_EQ(book->SheetCount(), 2);
    EXPECT_EQ(book->SheetName(1), "寸法表");
    EXPECT_EQ(book->SheetName(2), "メモ");
    EXPECT_EQ(book->CellText(1, 1, 1), "plain");
    EXPECT_EQ(book->CellText(1, 1, 2), "rich ") << "phonetic guides are not part of the text";
    EXPECT_EQ(book->CellText(1, 1, 3), "合格\r改行");
    EXPECT_EQ(book->CellText(1, 2, 1), "0.3");
    EXPECT_EQ(book->CellText(1, 2, 2), "0.0015");
    EXPECT_EQ(book->CellText(1, 2, 3), "TRUE");
    EXPECT_EQ(book->CellText(1, 2, 4), "FALSE");
    EXPECT_EQ(book->CellText(1, 3, 1), "#N/A");
    EXPECT_EQ(book->CellText(1, 3, 2), "plainx");
    EXPECT_EQ(book->CellText(1, 3, 3), "inline");
    EXPECT_EQ(book->CellText(1, 3, 4), "");
    EXPECT_EQ(book->CellText(1, 4, 1), "7") << "a row and cells without references follow the previous ones";
    EXPECT_EQ(book->CellText(1, 4, 2), "-8");
    EXPECT_EQ(book->Cells(1).size(), 12u) << "styled empty cells are no cells";
    EXPECT_EQ(book->CellText(2, 1, 1), "二枚目");
}

TEST(WorkbookReadXlsx, SavedAsXlsKeepsEveryCell) {
    auto book = Workbook::OpenFromMemory(WrapZip(XlsxParts()));
    ASSERT_TRUE(book);
    auto again = Workbook::OpenFromMemory(book->ToBytes());
    ASSERT_TRUE(again);
    for (int s = 1; s <= 2; ++s) EXPECT_EQ(again->Cells(s), book->Cells(s));
    EXPECT_EQ(again->SheetName(1), "寸法表");
}

TEST(WorkbookReadXlsx, WithoutPackageRelationshipsTheUsualNamesAreTried) {
    std::vector<std::pair<std::string, std::string>> plain = {
        {"xl/workbook.xml", std::string("<workbook ") + kMain + "><sheets><sheet name=\"a\" sheetId=\"1\"/></sheets></workbook>"},
        {"xl/worksheets/sheet1.xml", SheetXml("<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>x</t></is></c></row>")}};
    auto book = Workbook::OpenFromMemory(WrapZip(plain));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 2, 2), "x");
}

TEST(WorkbookReadXlsx, DocumentTypeDeclarationsAreRefused) {
    // Entities are the road to memory exhaustion; a workbook part never has them.
    auto parts = XlsxParts();
    parts[4].second = "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" +
                      SheetXml("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&b;</t></is></c></row>").substr(38);
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapZip(parts), &problem));
    EXPECT_TRUE(RefusedWithReason(problem));
}

TEST(WorkbookReadXlsx, ZipWithoutWorkbookIsAnotherFormat) {
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapZip({{"content.xml", "<office:document/>"}, {"mimetype", "x"}}), &problem));
    EXPECT_TRUE(RefusedWithReason(problem));
}
