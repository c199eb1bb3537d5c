// Damaged, hostile and foreign input: always an error the caller can report,
// never a crash, a hang or a read past the data.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "temp_root.h"
#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::Workbook;

namespace {

Workbook SampleWorkbook() {
    Workbook book = Workbook::New();
    for (int r = 1; r <= 60; ++r) {
        book.SetCell(1, r, 1, std::to_string(r) + ".25");
        book.SetCell(1, r, 2, r % 2 ? "合" : "不");
        book.SetCell(1, r, 3, "点 " + std::to_string(r));
        book.SetCell(2, r, 1, std::to_string(r * 1000));
    }
    return book;
}

// Where the records end in a written stream (the rest is padding).
size_t RecordsEnd(const std::string& stream) {
    auto records = Records(stream);
    return records.back().offset + 4 + records.back().body.size();
}

void ExpectFailureWithReason(std::string_view bytes, const std::string& what) {
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(bytes, &problem)) << what;
    EXPECT_TRUE(RefusedWithReason(problem)) << what;
}

// Opening must end one way or the other; a failure always carries a reason.
void OpenSomehow(std::string_view bytes) {
    ziv::FileResult problem;
    auto book = Workbook::OpenFromMemory(bytes, &problem);
    if (!book) {
        EXPECT_TRUE(RefusedWithReason(problem));
        return;
    }
    for (int s = 1; s <= book->SheetCount(); ++s) book->Cells(s);
}

}  // namespace

TEST(WorkbookDamage, EmptyForeignAndOldFilesAreErrors) {
    ExpectFailureWithReason("", "zero bytes");
    ExpectFailureWithReason("寸法,上限\r\n12.5,0.1\r\n", "CSV text");
    ExpectFailureWithReason(std::string("\x89PNG\r\n\x1a\n", 8) + std::string(100, '\0'), "PNG");
    ExpectFailureWithReason("%PDF-1.4\n", "PDF");
    ExpectFailureWithReason(WrapOle("text", "WordDocument"), "a compound file without a workbook");
    ExpectFailureWithReason(WrapZip({{"content.xml", "<x/>"}}), "a zip without a workbook");
    ExpectFailureWithReason(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), "a bare compound file signature");
    ExpectFailureWithReason("PK\x03\x04", "a bare zip signature");
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(Bof(0x0400, 0x0010).replace(0, 2, "\x09\x04"), &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::OldFormat) << Why(problem);
}

TEST(WorkbookDamage, MissingFileOrFolderIsAnError) {
    TempRoot root;
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::Open(root / "none.xls", &problem));
    EXPECT_EQ(problem.failure, ziv::Failure::Missing);
    EXPECT_EQ(problem.path, root / "none.xls");
    std::filesystem::create_directories(root / "folder.xls");
    problem = {};
    EXPECT_FALSE(Workbook::Open(root / "folder.xls", &problem));
    EXPECT_EQ(problem.failure, ziv::Failure::Missing);
    EXPECT_FALSE(Workbook::Open(root / "none.xls"));  // nothing asked of the failure: no crash either
}

TEST(WorkbookDamage, TruncatedRecordStreamIsAlwaysDamaged) {
    std::string stream = OleStream(SampleWorkbook().ToBytes());
    size_t end = RecordsEnd(stream);
    for (int i = 0; i < 200; ++i) {
        size_t cut = end * static_cast<size_t>(i) / 200;
        ziv::FileResult problem;
        auto book = Workbook::OpenFromMemory(WrapOle(stream.substr(0, cut)), &problem);
        EXPECT_FALSE(book) << "cut at " << cut;
        EXPECT_TRUE(RefusedWithReason(problem)) << "cut at " << cut;
    }
}

TEST(WorkbookDamage, TruncatedFilesNeverCrash) {
    std::string file = SampleWorkbook().ToBytes();
    for (int i = 0; i < 200; ++i) OpenSomehow(std::string_view(file).substr(0, file.size() * static_cast<size_t>(i) / 200));
}

TEST(WorkbookDamage, FlippedBytesNeverCrash) {
    std::string file = SampleWorkbook().ToBytes();
    std::string stream = OleStream(file);
    size_t end = RecordsEnd(stream);
    std::mt19937 random(20240307);
    for (int i = 0; i < 200; ++i) {
        std::string damagedStream = stream;
        std::string damagedFile = file;
        for (int k = 0; k < 1 + i % 4; ++k) {
            damagedStream[random() % end] ^= static_cast<char>(1 + random() % 255);
            damagedFile[random() % file.size()] ^= static_cast<char>(1 + random() % 255);
        }
        OpenSomehow(WrapOle(damagedStream));
        OpenSomehow(damagedFile);
    }
}

TEST(WorkbookDamage, CutXmlPartsAreDamaged) {
    std::string sheet = "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</t></is></c>"
                        "<c r=\"B1\"><v>2</v></c></row></sheetData></worksheet>";
    for (size_t cut = 1; cut < sheet.size(); cut += 3) {
        ziv::FileResult problem;
        auto book = Workbook::OpenFromMemory(
            WrapZip({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"a\"/></sheets></workbook>"},
                     {"xl/worksheets/sheet1.xml", sheet.substr(0, cut)}}),
            &problem);
        EXPECT_FALSE(book) << "cut at " << cut;
        EXPECT_TRUE(RefusedWithReason(problem));
    }
}

TEST(WorkbookDamage, CountsAndSizesAreNotBelieved) {
    auto sst = [](uint32_t unique, const std::string& strings) { return Record(0x00FC, U32(unique) + U32(unique) + strings); };
    std::string labelSst0 = Record(0x00FD, Cell(0, 0) + U32(0));
    // Four billion strings promised, one given: the one is read, nothing more is expected.
    auto book = Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", labelSst0}}, sst(0xFFFFFFFF, Str16("one")))));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 1), "one");
    const std::pair<std::string, std::string> damaged[] = {
        {"string index past the table", BiffStream({{"S", Record(0x00FD, Cell(0, 0) + U32(7))}}, sst(1, Str16("one")))},
        {"string longer than its record", BiffStream({{"S", labelSst0}}, sst(1, U16(65535) + U8(1) + "ab"))},
        {"huge formatting runs", BiffStream({{"S", labelSst0}}, sst(1, U16(1) + U8(0x08) + U16(65535) + "a"))},
        {"huge phonetic data", BiffStream({{"S", labelSst0}}, sst(1, U16(1) + U8(0x04) + U32(0xFFFFFFFF) + "a"))},
        {"label longer than its record", BiffStream({{"S", Record(0x0204, Cell(0, 0) + U16(300) + U8(0) + "ab")}})},
        {"sheet offset past the end", BiffStream({{"S", ""}}, Record(0x0085, U32(0xFFFFFFF0) + U16(0) + U8(1) + U8(0) + "x"))},
        {"record longer than the stream", Bof(0x0600, 5) + U16(0x0085) + U16(2000) + "abc"},
        {"globals without end", Bof(0x0600, 5) + Record(0x0042, U16(1200))},
        {"no BOF", Record(0x0042, U16(1200)) + Eof()},
    };
    for (const auto& [what, stream] : damaged) {
        ziv::FileResult problem;
        EXPECT_FALSE(Workbook::OpenFromMemory(WrapOle(stream), &problem)) << what;
        EXPECT_TRUE(RefusedAsDamaged(problem)) << what << ": " << Why(problem);
    }
    // Short cell records are skipped, not read past their end.
    book = Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", Record(0x00BD, U16(0) + U16(0) + U8(1)) +
                                                                  Record(0x0203, U16(0)) + Record(0x0006, Cell(0, 1))}})));
    ASSERT_TRUE(book);
    EXPECT_TRUE(book->Cells(1).empty());
}

TEST(WorkbookDamage, SheetsSharingRecordsAreDamaged) {
    // Five hundred sheets all pointing at one large sheet would read it five hundred times.
    std::string cells;
    for (unsigned r = 0; r < 2000; ++r) cells += Record(0x0203, Cell(r, 0) + F64(r));
    std::string stream = BiffStream({{"S", cells}});
    uint32_t sheetAt = Get32(Records(stream)[2].body, 0);
    std::string shared = Bof(0x0600, 5);
    for (int i = 0; i < 500; ++i) shared += Record(0x0085, U32(0) + U8(0) + U8(0) + U8(1) + U8(0) + "s");
    shared += Eof();
    uint32_t at = static_cast<uint32_t>(shared.size());
    for (const auto& rec : Records(shared))
        if (rec.type == 0x0085) shared.replace(rec.offset + 4, 4, U32(at));
    shared += stream.substr(sheetAt);
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapOle(shared), &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::SheetsOverlap) << Why(problem);
}

TEST(WorkbookDamage, SmallZipCannotInflateWithoutEnd) {
    // Three hundred sheets that all name one part of a megabyte: 300 MB of XML from a few kilobytes.
    std::string book = "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>";
    for (int i = 0; i < 300; ++i) book += "<sheet name=\"s" + std::to_string(i) + "\" r:id=\"rId1\"/>";
    book += "</sheets></workbook>";
    std::string rels = "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/big.xml\" Type=\"http://"
                       "schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\"/></Relationships>";
    std::string big = "<worksheet><sheetData/>" + std::string(1 << 20, ' ') + "</worksheet>";
    std::string zip = WrapZip({{"xl/workbook.xml", book}, {"xl/_rels/workbook.xml.rels", rels}, {"xl/worksheets/big.xml", big}});
    ASSERT_LT(zip.size(), 100000u);
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(zip, &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::TooLarge) << Why(problem);
}

TEST(WorkbookDamage, TooManyCellsIsAnError) {
    std::string cells;
    for (unsigned r = 0; r < 4000; ++r) {
        std::string body = U16(r) + U16(0);
        for (int c = 0; c < 256; ++c) body += U16(15) + U32((1u << 2) | 2u);
        cells += Record(0x00BD, body + U16(255));
    }
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", cells}})), &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::TooLarge) << Why(problem);
}

TEST(WorkbookDamage, TooMuchTextIsAnError) {
    // One string of 32000 characters in 8000-byte pieces, placed in 3000 cells: 96 MB of text.
    std::string sst = Record(0x00FC, U32(3000) + U32(1) + U16(32000) + U8(0) + std::string(8000, 'a'));
    for (int i = 0; i < 3; ++i) sst += Record(0x003C, U8(0) + std::string(8000, 'b'));
    std::string cells;
    for (unsigned r = 0; r < 3000; ++r) cells += Record(0x00FD, Cell(r, 0) + U32(0));
    ziv::FileResult problem;
    EXPECT_FALSE(Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", cells}}, sst)), &problem));
    EXPECT_EQ(problem.book, ziv::BookFault::TooLarge) << Why(problem);
}

TEST(WorkbookDamage, FuzzInputsOpenOrFailCleanly) {
    // The fuzzer's seeds and the inputs it once broke the engine with (fuzz-*);
    // what opens must also save and read back the same.
    std::string folder = std::string(ZIV_SOURCE_DIR) + "/tests/workbook/data";
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++seen;
        std::string bytes = ReadBytes(entry.path().string());
        ziv::FileResult problem;
        auto book = Workbook::OpenFromMemory(bytes, &problem);
        if (!book) {
            EXPECT_TRUE(RefusedWithReason(problem)) << entry.path();
            continue;
        }
        auto again = Workbook::OpenFromMemory(book->ToBytes(), &problem);
        ASSERT_TRUE(again) << entry.path() << ": " << Why(problem);
        for (int s = 1; s <= book->SheetCount(); ++s) EXPECT_EQ(again->Cells(s), book->Cells(s)) << entry.path();
    }
    EXPECT_GE(seen, 4);
}
