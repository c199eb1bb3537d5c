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

}  // namespace

std::string ReadFailureText(int err) {
    return err == EISDIR ? "ファイルではありません" : err == EFBIG ? "大きすぎます" : std::strerror(err);
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
        case Failure::CellOutsideGrid:
            return "ブック " + Quoted(r.path) + " には .xls に収まらない位置のセルがあるため保存できません。";
        case Failure::BookNotAssembled: return "ブック " + Quoted(r.path) + " を組み立てられませんでした。";
        case Failure::PdfNotMade: return "PDF を作れません: " + r.path;
        case Failure::ImageNotEncoded: return "画像 " + Quoted(r.path) + " を作れません。";
    }
    return {};
}

}  // namespace ziv
