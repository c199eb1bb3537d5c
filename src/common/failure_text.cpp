#include "common/failure_text.h"

#include <cerrno>
#include <cstring>

namespace ziv {

namespace {

const char* StepText(WriteStep step) {
    switch (step) {
        case WriteStep::Open: return "作成";
        case WriteStep::Write: return "書き込み";
        case WriteStep::Sync: return "同期";
        case WriteStep::Close: return "クローズ";
        case WriteStep::Rename: return "置き換え";
        case WriteStep::SyncFolder: return "フォルダ同期";
    }
    return "";
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A line setting the device itself refused names the device; one refused in
// the settings file has no device yet.
std::string OnDevice(const FileResult& r) { return r.path.empty() ? std::string() : "（装置 " + Quoted(r.path) + "）"; }

// Where a damaged workbook gave up; empty when nothing more is known.
std::string DamageDetail(BookFault fault, const std::string& part) {
    switch (fault) {
        case BookFault::StreamUnreadable: return "ストリームを読めません";
        case BookFault::ContainerUnreadable: return "入れ物を開けません";
        case BookFault::NoBof: return "先頭に BOF がありません";
        case BookFault::NotBookBof: return "ブック全体の BOF ではありません";
        case BookFault::UnknownBiffVersion: return "未知の BIFF 版です";
        case BookFault::NoBookEof: return "ブック全体の EOF がありません";
        case BookFault::SheetNameShort: return "シート名の記録が短すぎます";
        case BookFault::SheetNameUnreadable: return "シート名が読めません";
        case BookFault::SharedStringsShort: return "共有文字列の記録が短すぎます";
        case BookFault::SharedStringsCut: return "共有文字列が途中で切れています";
        case BookFault::NoSheetBof: return "シートの位置に BOF がありません";
        case BookFault::NoSheetEof: return "シートの EOF がありません";
        case BookFault::SharedStringOutOfRange: return "共有文字列の番号が範囲外です";
        case BookFault::StringCellUnreadable: return "文字列のセルが読めません";
        case BookFault::FormulaStringUnreadable: return "数式の文字列が読めません";
        case BookFault::SheetsOverlap: return "シートが重なっています";
        case BookFault::CellOutsideSheet: return "シートの範囲外のセル位置があります";
        case BookFault::PartDamaged: return part;
        case BookFault::PartMissing: return part + " がありません";
        default: return {};
    }
}

std::string EngineReason(const FileResult& r) {
    switch (r.book) {
        case BookFault::Empty: return "ファイルが空です";
        case BookFault::OldFormat: return "古い Excel 形式 (Excel 4.0 以前) のブックは読めません";
        case BookFault::NotExcel: return "Excel のブックではありません";
        case BookFault::Encrypted: return "ブックが暗号化されています (encrypted)";
        case BookFault::TooLarge: return "ブックが大きすぎます (セルまたは文字が多すぎます)";
        default: break;
    }
    std::string detail = DamageDetail(r.book, r.subject);
    return detail.empty() ? "ブックが壊れています" : "ブックが壊れています (" + detail + ")";
}

}  // namespace

std::string ReadFailureText(int err) {
    return SystemErrorText(err);
}

std::string BookReasonText(const FileResult& r) {
    return r.failure == Failure::Unreadable ? ReadFailureText(r.err) : EngineReason(r);
}

std::string BookOpenText(const FileResult& r) {
    switch (r.failure) {
        case Failure::Missing: return "ファイル " + Quoted(r.path) + " がありません。";
        case Failure::Unreadable: return "ファイル " + Quoted(r.path) + " を読めません (読み取りできないか大きすぎます)。";
        default: return "ファイル " + Quoted(r.path) + ": " + EngineReason(r) + "。";
    }
}

std::string SystemErrorText(int err) {
    switch (err) {
        case ENOENT: return "ありません";
        case ENOTDIR: return "途中にフォルダでないものがあります";
        case EACCES:
        case EPERM: return "読み書きが許可されていません";
        case EISDIR: return "ファイルではありません";
        case EFBIG: return "大きすぎます";
        case ENOSPC: return "ディスクに空きがありません";
        case EROFS: return "読み取り専用です";
        case EIO: return "入出力エラーです";
        case ENAMETOOLONG: return "名前が長すぎます";
        case ETIMEDOUT:
        case EHOSTDOWN:
        case EHOSTUNREACH:
        case ENOTCONN:
        case ESTALE: return "ファイルサーバーに届きません";
        default: return "システムエラー " + std::to_string(err);
    }
}

std::string FailureText(const FileResult& r, ErrnoWords errnoWords) {
    auto system = [&](int err) {
        return errnoWords == ErrnoWords::Japanese ? SystemErrorText(err) : std::string(std::strerror(err));
    };
    switch (r.failure) {
        case Failure::None: return {};
        case Failure::Missing:
        case Failure::BookUnreadable: return BookOpenText(r);
        case Failure::CellRefused: return "ブック " + Quoted(r.path) + " にセルを書き込めません。";
        case Failure::WriteFailed:
            return "ファイル " + Quoted(r.path) + " を書き込めません（" + StepText(r.step) + ": " +
                   system(r.err) + "）。";
        case Failure::NotShiftJis:
            return "ファイル " + Quoted(r.path) + " に Shift_JIS で書けない文字が含まれています。";
        case Failure::Unreadable:
            return "ファイル " + Quoted(r.path) + " を読み込めません（" +
                   (errnoWords == ErrnoWords::Japanese ? SystemErrorText(r.err) : ReadFailureText(r.err)) +
                   "）。内容を失わないよう、このファイルは書き換えません。";
        case Failure::FolderNotMade: return "フォルダ " + Quoted(r.path) + " を作成できません。";
        case Failure::Busy: return "ファイル " + Quoted(r.path) + " は他のステーションが書き込み中です。";
        case Failure::ProductFolderLineBreak:
            return "製品フォルダ " + Quoted(r.subject) + " の名前に改行が含まれているため、" + Quoted(r.path) +
                   " に書き込めません。";
        case Failure::KeySettingLineBreak:
            return r.subject + "キーの設定に改行が含まれているため、" + Quoted(r.path) + " に書き込めません。";
        case Failure::OperatorEntryRefused:
            return "ユーザー " + Quoted(r.subject) +
                   " の名前かフォルダが空か改行を含むため、Users.dat と Path.dat に書き込めません。";
        case Failure::DeviceNameLineBreak: return "装置名に改行は使えません。";
        case Failure::PortOutOfRange: return "ポート番号 " + r.subject + " は 1～255 の範囲にありません。";
        case Failure::LineSettingsMalformed:
            return "通信設定「" + r.subject + "」は「速度,パリティー,データ長,ストップビット」の形ではありません。";
        case Failure::PortAlreadyOpen: return "ポート " + Quoted(r.path) + " は既に開いています。";
        case Failure::PortNotOpened: return "ポート " + Quoted(r.path) + " を開けません: " + r.subject;
        case Failure::BaudRateRefused: return "ボーレート「" + r.subject + "」は使えません。" + OnDevice(r);
        case Failure::ParityRefused: return "パリティー「" + r.subject + "」は使えません。" + OnDevice(r);
        case Failure::DataBitsRefused: return "データ長「" + r.subject + "」はこの機器では使えません。" + OnDevice(r);
        case Failure::StopBitsRefused: return "ストップビット「" + r.subject + "」はこの機器では使えません。" + OnDevice(r);
        case Failure::HandshakeRefused: return "ハンドシェイク " + r.subject + " は使えません。" + OnDevice(r);
        case Failure::CellOutsideGrid:
            return "ブック " + Quoted(r.path) + " には .xls に収まらない位置のセルがあるため保存できません。";
        case Failure::BookNotAssembled: return "ブック " + Quoted(r.path) + " を組み立てられませんでした。";
        case Failure::PdfNotMade: return "PDF を作れません: " + r.path;
        case Failure::ImageNotEncoded: return "画像 " + Quoted(r.path) + " を作れません。";
        case Failure::EmptyPicture: return "画像 " + Quoted(r.path) + " に書く絵がありません。";
        case Failure::ContentDamaged:
            return "ファイル " + Quoted(r.path) + " の " + r.subject +
                   " 行目が読めません。内容を失わないよう、このファイルは書き換えません。";
    }
    return {};
}

}  // namespace ziv
