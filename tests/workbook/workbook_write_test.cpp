// Writing: the cell rules, the records of the BIFF8 file, saving.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "faulty_disk.h"
#include "temp_root.h"
#include "workbook/workbook.h"
#include "workbook_bytes.h"

using namespace wbtest;
using ziv::BookOpenText;
using ziv::FileResult;
using ziv::Workbook;

namespace {

using CellList = std::vector<std::pair<std::pair<int, int>, std::string>>;

std::map<int, CellList> AllCells(const Workbook& book) {
    std::map<int, CellList> out;
    for (int s = 1; s <= book.SheetCount(); ++s) out[s] = book.Cells(s);
    return out;
}

// The value a NUMBER or RK record holds, decoded independently of the engine.
std::optional<double> RecordNumber(const Rec& rec) {
    if (rec.type == 0x0203) {
        uint64_t bits = Get32(rec.body, 6) | (static_cast<uint64_t>(Get32(rec.body, 10)) << 32);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        return v;
    }
    if (rec.type != 0x027E) return std::nullopt;
    uint32_t rk = Get32(rec.body, 6);
    double v;
    if (rk & 2) {
        v = static_cast<int32_t>(rk) >> 2;
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & ~3u) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    return (rk & 1) ? v / 100 : v;
}

// Records of the first worksheet, found through its BOUNDSHEET offset.
std::vector<Rec> FirstSheetRecords(const std::string& stream) {
    for (const auto& rec : Records(stream))
        if (rec.type == 0x0085) return Records(stream, Get32(rec.body, 0));
    return {};
}

const Rec* CellRecord(const std::vector<Rec>& records, unsigned row, unsigned column) {
    for (const auto& rec : records) {
        if ((rec.type == 0x0203 || rec.type == 0x027E || rec.type == 0x00FD || rec.type == 0x0205) &&
            Get16(rec.body, 0) == row && Get16(rec.body, 2) == column)
            return &rec;
    }
    return nullptr;
}

}  // namespace

TEST(WorkbookCells, NumberTextBecomesNumberCell) {
    Workbook book = Workbook::New();
    const std::pair<const char*, const char*> cases[] = {
        {"12.5", "12.5"}, {"-0.01", "-0.01"}, {"1e3", "1000"},  {"+7", "7"},      {"0.50", "0.5"},
        {".5", "0.5"},    {"5.", "5"},        {"1E-3", "0.001"}, {"-2.5e+2", "-250"}, {"007", "7"}};
    int row = 1;
    for (const auto& [typed, shown] : cases) {
        book.SetCell(1, row, 1, typed);
        EXPECT_EQ(book.CellText(1, row, 1), shown) << typed;
        ++row;
    }
    auto sheet = FirstSheetRecords(OleStream(book.ToBytes()));
    for (int r = 0; r < row - 1; ++r) {
        const Rec* rec = CellRecord(sheet, r, 0);
        ASSERT_NE(rec, nullptr) << cases[r].first;
        EXPECT_TRUE(rec->type == 0x0203 || rec->type == 0x027E) << cases[r].first << " is written as a number";
    }
}

TEST(WorkbookCells, OtherTextStaysText) {
    Workbook book = Workbook::New();
    const char* texts[] = {"12.5 ", " 12.5", "1.2.3", "OK", "合", "1e",  "e3",   "-",    ".",
                           "1,000", "0x10", "1e3.5", "１２", "12.5\n", "1d3", "--1", "1e+", "NaN"};
    int row = 1;
    for (const char* text : texts) {
        book.SetCell(1, row, 2, text);
        EXPECT_EQ(book.CellText(1, row, 2), text);
        ++row;
    }
    Workbook again = *Workbook::OpenFromMemory(book.ToBytes());
    for (int r = 1; r < row; ++r) EXPECT_EQ(again.CellText(1, r, 2), texts[r - 1]);
}

TEST(WorkbookCells, EmptyTextRemovesTheCell) {
    Workbook book = Workbook::New();
    book.SetCell(1, 3, 2, "12.5");
    book.SetCell(1, 3, 3, "合");
    book.SetCell(1, 3, 2, "");
    book.SetCell(1, 4, 4, "");
    EXPECT_EQ(book.CellText(1, 3, 2), "");
    ASSERT_EQ(book.Cells(1).size(), 1u);
    EXPECT_EQ(book.Cells(1)[0].first, std::make_pair(3, 3));
    Workbook again = *Workbook::OpenFromMemory(book.ToBytes());
    EXPECT_EQ(again.Cells(1), book.Cells(1));
}

TEST(WorkbookCells, PositionsOutsideAreIgnoredAndReadEmpty) {
    Workbook book = Workbook::New(2);
    book.SetCell(3, 1, 1, "x");
    book.SetCell(0, 1, 1, "x");
    book.SetCell(1, 0, 1, "x");
    book.SetCell(1, 1, 0, "x");
    book.SetCell(1, 65537, 1, "x");
    book.SetCell(1, 1, 257, "x");
    book.SetCell(1, 65536, 256, "last");
    EXPECT_EQ(book.Cells(1).size(), 1u);
    EXPECT_TRUE(book.Cells(2).empty());
    EXPECT_TRUE(book.Cells(3).empty());
    EXPECT_EQ(book.CellText(3, 1, 1), "");
    EXPECT_EQ(book.CellText(1, -1, 1), "");
    EXPECT_EQ(Workbook::OpenFromMemory(book.ToBytes())->CellText(1, 65536, 256), "last");
}

TEST(WorkbookNew, SheetsDefaultToThreeAndNeverFewerThanTwo) {
    Workbook three = Workbook::New();
    ASSERT_EQ(three.SheetCount(), 3);
    EXPECT_EQ(three.SheetName(1), "Sheet1");
    EXPECT_EQ(three.SheetName(3), "Sheet3");
    EXPECT_EQ(three.SheetName(4), "");
    EXPECT_EQ(Workbook::New(1).SheetCount(), 2);
    EXPECT_EQ(Workbook::New(0).SheetCount(), 2);
    EXPECT_EQ(Workbook::New(5).SheetCount(), 5);
    auto reopened = Workbook::OpenFromMemory(Workbook::New(1).ToBytes());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->SheetCount(), 2);
    EXPECT_EQ(reopened->SheetName(2), "Sheet2");
}

TEST(WorkbookRoundTrip, DayWorkbookReadsBackExactly) {
    Workbook book = DayWorkbook();
    ziv::FileResult problem;
    auto again = Workbook::OpenFromMemory(book.ToBytes(), &problem);
    ASSERT_TRUE(again) << Why(problem);
    EXPECT_EQ(again->SheetCount(), 3);
    EXPECT_EQ(AllCells(*again), AllCells(book));
    // A later save of the same rows changes only those rows.
    again->SetCell(1, 50, 5, "50.5");
    again->SetCell(1, 50, 6, "不");
    auto third = Workbook::OpenFromMemory(again->ToBytes());
    ASSERT_TRUE(third);
    EXPECT_EQ(third->CellText(1, 50, 5), "50.5");
    EXPECT_EQ(third->CellText(1, 49, 5), book.CellText(1, 49, 5));
    EXPECT_EQ(third->Cells(2), book.Cells(2));
}

TEST(WorkbookRoundTrip, NumbersKeepEveryBit) {
    // RK records only where they give back the same double, NUMBER otherwise.
    // 0.09999999999999999 times 100 rounds to a whole 10, yet 10 / 100 is another double.
    const std::vector<const char*> texts = {"0.30000000000000004", "12.55", "100", "-536870912", "536870912",
                                            "1e-7", "0.1", "123456789.12", "-0.005", "3.14159265358979", "1e300",
                                            "2.5", "0.09999999999999999", "0.16999999999999998"};
    Workbook book = Workbook::New();
    for (size_t i = 0; i < texts.size(); ++i) book.SetCell(1, static_cast<int>(i) + 1, 1, texts[i]);
    auto sheet = FirstSheetRecords(OleStream(book.ToBytes()));
    int rkCount = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        const Rec* rec = CellRecord(sheet, static_cast<unsigned>(i), 0);
        ASSERT_NE(rec, nullptr);
        auto value = RecordNumber(*rec);
        ASSERT_TRUE(value) << texts[i];
        EXPECT_EQ(*value, std::strtod(texts[i], nullptr)) << texts[i];
        rkCount += rec->type == 0x027E;
    }
    EXPECT_GE(rkCount, 5);  // 12.55, 100, -536870912, 2.5, 0.1 (x100 of 10) fit
    EXPECT_EQ(CellRecord(sheet, 0, 0)->type, 0x0203u);
}

TEST(WorkbookRecords, GlobalsHoldWhatExcelExpects) {
    Workbook book = DayWorkbook();
    std::string stream = OleStream(book.ToBytes());
    auto records = Records(stream);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records[0].type, 0x0809u);
    EXPECT_EQ(Get16(records[0].body, 0), 0x0600u);
    EXPECT_EQ(Get16(records[0].body, 2), 0x0005u);
    int fonts = 0, styleXfs = 0, cellXfs = 0, boundsheets = 0;
    bool codepage = false, window1 = false, normalStyle = false;
    std::vector<std::string> xfs;
    for (const auto& rec : records) {
        if (rec.type == 0x000A) break;
        if (rec.type == 0x0031) ++fonts;
        if (rec.type == 0x0042) codepage = Get16(rec.body, 0) == 1200;
        if (rec.type == 0x003D) window1 = rec.body.size() == 18;
        if (rec.type == 0x00E0) {
            ASSERT_EQ(rec.body.size(), 20u);
            xfs.push_back(rec.body);
            (Get16(rec.body, 4) & 0x0004 ? styleXfs : cellXfs)++;
        }
        if (rec.type == 0x0293 && Get16(rec.body, 0) == 0x8000 && rec.body[2] == 0) normalStyle = true;
        if (rec.type == 0x0085) {
            ++boundsheets;
            uint32_t at = Get32(rec.body, 0);
            auto sheet = Records(stream, at);
            ASSERT_FALSE(sheet.empty());
            EXPECT_EQ(sheet[0].type, 0x0809u) << "sheet offset must point at its BOF";
            EXPECT_EQ(Get16(sheet[0].body, 2), 0x0010u);
        }
    }
    EXPECT_GE(fonts, 5);
    EXPECT_GE(styleXfs, 16);
    EXPECT_GE(cellXfs, 1);
    ASSERT_GT(xfs.size(), 15u);
    EXPECT_EQ(Get16(xfs[15], 4) & 0x0004, 0u) << "XF 15 is the cell format the cells use";
    EXPECT_TRUE(codepage);
    EXPECT_TRUE(window1);
    EXPECT_TRUE(normalStyle);
    EXPECT_EQ(boundsheets, 3);
}

TEST(WorkbookRecords, SheetsHaveDimensionsWindowAndCellFormat) {
    Workbook book = Workbook::New();
    book.SetCell(2, 5, 3, "1");
    book.SetCell(2, 9, 7, "x");
    std::string stream = OleStream(book.ToBytes());
    std::vector<uint32_t> offsets;
    for (const auto& rec : Records(stream)) {
        if (rec.type == 0x0085) offsets.push_back(Get32(rec.body, 0));
        if (rec.type == 0x000A) break;
    }
    ASSERT_EQ(offsets.size(), 3u);
    auto second = Records(stream, offsets[1]);
    bool dimensions = false, window2 = false;
    for (const auto& rec : second) {
        if (rec.type == 0x0200) {
            dimensions = true;
            EXPECT_EQ(Get32(rec.body, 0), 4u);  // first row (from 0)
            EXPECT_EQ(Get32(rec.body, 4), 9u);  // last row + 1
            EXPECT_EQ(Get16(rec.body, 8), 2u);
            EXPECT_EQ(Get16(rec.body, 10), 7u);
        }
        if (rec.type == 0x023E) window2 = rec.body.size() == 18;
        if (rec.type == 0x027E || rec.type == 0x00FD) {
            EXPECT_EQ(Get16(rec.body, 4), 15u);
        }
        if (rec.type == 0x000A) break;
    }
    EXPECT_TRUE(dimensions);
    EXPECT_TRUE(window2);
}

TEST(WorkbookRecords, SharedStringsContinueAndExtsstPointsAtStrings) {
    // Enough text for several CONTINUE records, Japanese and Latin-1 mixed, and
    // one string far longer than a record.
    Workbook book = Workbook::New();
    std::vector<std::string> texts;
    for (int i = 0; i < 1500; ++i) {
        texts.push_back(i % 2 ? "測定値" + std::to_string(i) + "番の点" : "point " + std::to_string(i) + " ok");
        book.SetCell(1, i + 1, 1, texts.back());
    }
    std::string longText;
    for (int i = 0; i < 6000; ++i) longText += i % 3 ? "長" : "a";
    book.SetCell(1, 1, 2, longText);
    std::string stream = OleStream(book.ToBytes());
    auto records = Records(stream);
    size_t continues = 0;
    const Rec* extsst = nullptr;
    std::map<size_t, const Rec*> byOffset;
    for (const auto& rec : records) {
        EXPECT_LE(rec.body.size(), 8224u);
        byOffset[rec.offset] = &rec;
        if (rec.type == 0x003C) ++continues;
        if (rec.type == 0x00FF) extsst = &rec;
        if (rec.type == 0x000A) break;
    }
    EXPECT_GE(continues, 3u);
    ASSERT_NE(extsst, nullptr);
    // Strings are numbered in the order the cells are written: row 1 column 1,
    // row 1 column 2 (the long one), then rows 2...
    std::vector<std::string> order = {texts[0], longText};
    order.insert(order.end(), texts.begin() + 1, texts.end());
    size_t perBucket = Get16(extsst->body, 0);
    ASSERT_GE(perBucket, 8u);
    size_t buckets = (extsst->body.size() - 2) / 8;
    EXPECT_EQ(buckets, (order.size() + perBucket - 1) / perBucket);
    for (size_t b = 0; b < buckets; ++b) {
        uint32_t at = Get32(extsst->body, 2 + 8 * b);
        unsigned inRecord = Get16(extsst->body, 6 + 8 * b);
        auto record = byOffset.find(at - inRecord);
        ASSERT_NE(record, byOffset.end()) << "bucket " << b;
        EXPECT_TRUE(record->second->type == 0x00FC || record->second->type == 0x003C);
        const std::string& s = order[b * perBucket];
        gunichar2* utf16 = g_utf8_to_utf16(s.c_str(), -1, nullptr, nullptr, nullptr);
        size_t length = 0;
        while (utf16[length]) ++length;
        g_free(utf16);
        EXPECT_EQ(Get16(stream, at), length) << "bucket " << b;
    }
    auto again = Workbook::OpenFromMemory(book.ToBytes());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->CellText(1, 1, 2), longText);
    EXPECT_EQ(again->Cells(1), book.Cells(1));
}

TEST(WorkbookRecords, JapaneseTextIsStoredAsUtf16) {
    Workbook book = Workbook::New();
    book.SetCell(1, 1, 1, "合");
    book.SetCell(1, 2, 1, "Äcker");
    std::string stream = OleStream(book.ToBytes());
    std::string sst;
    for (const auto& rec : Records(stream))
        if (rec.type == 0x00FC) sst = rec.body;
    ASSERT_FALSE(sst.empty());
    // 合 is U+5408: count 1, option byte 1 (UTF-16), then 08 54.
    EXPECT_NE(sst.find(U16(1) + U8(1) + U16(0x5408)), std::string::npos);
    EXPECT_NE(sst.find(U16(5) + U8(0) + "\xC4" "cker"), std::string::npos);
}

TEST(WorkbookRecords, BooleansAndErrorsReadFromAFileAreWrittenBack) {
    std::string sheet = Record(0x0205, Cell(0, 0) + U8(1) + U8(0)) + Record(0x0205, Cell(0, 1) + U8(0x07) + U8(1)) +
                        Record(0x0205, Cell(0, 2) + U8(0) + U8(0));
    auto book = Workbook::OpenFromMemory(WrapOle(BiffStream({{"S", sheet}})));
    ASSERT_TRUE(book);
    auto again = Workbook::OpenFromMemory(book->ToBytes());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->CellText(1, 1, 1), "TRUE");
    EXPECT_EQ(again->CellText(1, 1, 2), "#DIV/0!");
    EXPECT_EQ(again->CellText(1, 1, 3), "FALSE");
    EXPECT_EQ(again->SheetName(1), "S");
}

TEST(WorkbookSave, SaveAsWritesTheBytesAndReplacesAFile) {
    TempRoot root;
    std::string path = root / "op1_A-100_3号機_2024年3月7日.xls";
    WriteBytes(path, "old content");
    Workbook book = DayWorkbook();
    auto result = book.SaveAs(path);
    ASSERT_TRUE(result) << ziv::FailureText(result);
    EXPECT_EQ(ReadBytes(path), book.ToBytes());
    FileResult problem;
    auto opened = Workbook::Open(path, &problem);
    ASSERT_TRUE(opened) << BookOpenText(problem);
    EXPECT_EQ(AllCells(*opened), AllCells(book));
}

TEST(WorkbookSave, FailureIsReportedAndLeavesTheOldFile) {
    TempRoot root;
    std::string path = root / "day.xls";
    Workbook first = Workbook::New();
    first.SetCell(1, 1, 1, "1");
    ASSERT_TRUE(first.SaveAs(path));
    FaultyDisk disk;
    disk.writes = [](ziv::WriteStep step, const std::string&) { return step == ziv::WriteStep::Write ? 28 : 0; };
    Workbook second = Workbook::New();
    second.SetCell(1, 1, 1, "2");
    auto result = second.SaveAs(path, nullptr, {}, disk);
    EXPECT_EQ(result.failure, ziv::Failure::WriteFailed);
    EXPECT_EQ(result.step, ziv::WriteStep::Write);
    EXPECT_EQ(result.err, 28);
    EXPECT_EQ(Workbook::Open(path)->CellText(1, 1, 1), "1");
    EXPECT_FALSE(Workbook::New().SaveAs(root / "missing-folder/day.xls"));
}

TEST(WorkbookSave, CellsBeyondTheXlsGridRefuseToSave) {
    // An .xlsx sheet may hold rows an .xls cannot; saving them would lose them silently.
    std::string sheet =
        "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
        "<row r=\"70000\"><c r=\"A70000\"><v>1</v></c></row></sheetData></worksheet>";
    auto book = Workbook::OpenFromMemory(WrapZip({{"xl/workbook.xml",
                                                   "<workbook><sheets><sheet name=\"a\"/></sheets></workbook>"},
                                                  {"xl/worksheets/sheet1.xml", sheet}}));
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 70000, 1), "1");
    TempRoot root;
    auto result = book->SaveAs(root / "x.xls");
    EXPECT_FALSE(result);
    EXPECT_FALSE(FileExists(root / "x.xls"));
}
