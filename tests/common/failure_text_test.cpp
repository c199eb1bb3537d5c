// The operator's words for a workbook that cannot be read and for serial
// settings no device takes: the engine and the platform say only what went
// wrong, so the texts the windows, the report and ziv-workbook show are made
// here and must read as they always have.
#include <gtest/gtest.h>

#include <cerrno>

#include "common/failure_text.h"

using namespace ziv;

namespace {
FileResult OfFile(FileResult r, const std::string& path) {
    r.path = path;
    return r;
}
}  // namespace

TEST(FailureText, AWorkbookThatCannotBeReadIsNamedWithTheEnginesReason) {
    const std::string book = "/p/data/a.xls";
    EXPECT_EQ(BookOpenText(Failed(Failure::Missing, book)), "ファイル \"/p/data/a.xls\" がありません。");
    EXPECT_EQ(BookOpenText(Failed(Failure::Unreadable, book)),
              "ファイル \"/p/data/a.xls\" を読めません (読み取りできないか大きすぎます)。");
    EXPECT_EQ(BookOpenText(OfFile(BookFailed(BookFault::NoBof), book)),
              "ファイル \"/p/data/a.xls\": ブックが壊れています (先頭に BOF がありません)。");
    EXPECT_EQ(FailureText(OfFile(BookFailed(BookFault::Encrypted), book)),
              "ファイル \"/p/data/a.xls\": ブックが暗号化されています (encrypted)。");

    // Without the file's name, as the day workbook's messages put it in brackets.
    const std::pair<FileResult, const char*> reasons[] = {
        {BookFailed(BookFault::Damaged), "ブックが壊れています"},
        {BookFailed(BookFault::Empty), "ファイルが空です"},
        {BookFailed(BookFault::OldFormat), "古い Excel 形式 (Excel 4.0 以前) のブックは読めません"},
        {BookFailed(BookFault::NotExcel), "Excel のブックではありません"},
        {BookFailed(BookFault::TooLarge), "ブックが大きすぎます (セルまたは文字が多すぎます)"},
        {BookFailed(BookFault::CellOutsideSheet), "ブックが壊れています (シートの範囲外のセル位置があります)"},
        {BookFailed(BookFault::SheetsOverlap), "ブックが壊れています (シートが重なっています)"},
        {BookFailed(BookFault::PartDamaged, "xl/workbook.xml"), "ブックが壊れています (xl/workbook.xml)"},
        {BookFailed(BookFault::PartMissing, "xl/worksheets/sheet2.xml"),
         "ブックが壊れています (xl/worksheets/sheet2.xml がありません)"},
        {Failed(Failure::Unreadable, "/p/data/a.xls", EISDIR), "ファイルではありません"},
    };
    for (const auto& [problem, text] : reasons) EXPECT_EQ(BookReasonText(problem), text);
}

TEST(FailureText, SerialSettingsNoDeviceTakesNameTheValue) {
    EXPECT_EQ(FailureText(Refused(Failure::ParityRefused, {}, "Q")), "パリティー「Q」は使えません。");
    EXPECT_EQ(FailureText(Refused(Failure::DataBitsRefused, {}, "4")), "データ長「4」はこの機器では使えません。");
    EXPECT_EQ(FailureText(Refused(Failure::HandshakeRefused, {}, "4")), "ハンドシェイク 4 は使えません。");
    EXPECT_EQ(FailureText(Refused(Failure::LineSettingsMalformed, {}, "4800,N,8")),
              "通信設定「4800,N,8」は「速度,パリティー,データ長,ストップビット」の形ではありません。");
}
