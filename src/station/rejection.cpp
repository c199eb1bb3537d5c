#include "station/rejection.h"

#include <cstdint>

#include "common/numbers.h"
#include "platform/paths.h"
#include "records/journal.h"

namespace ziv {
namespace {

// Longest file name in bytes that common Linux file systems take.
constexpr size_t kMaxNameBytes = 255;

std::string FullWidthFor(char c) {
    switch (c) {
        case '/': return "／";
        case '\\': return "＼";
        case ':': return "：";
        case '*': return "＊";
        case '?': return "？";
        case '"': return "＂";
        case '<': return "＜";
        case '>': return "＞";
        case '|': return "｜";
        default: return "";
    }
}

// Cuts UTF-8 text to at most `bytes` bytes without splitting a character.
std::string CutUtf8(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

// The record as a file name can hold it; full-width forms are left as they are.
std::string FileNameText(const std::string& text) {
    std::string name;
    for (char c : text) {
        std::string wide = FullWidthFor(c);
        if (!wide.empty()) name += wide;
        else if (static_cast<unsigned char>(c) < 0x20) name += "＿";
        else name += c;
    }
    return name;
}

// 64-bit FNV-1a as 16 hex digits: the same record gives the same name on
// every station and every run, which std::hash does not promise.
std::string HexDigest(const std::string& text) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) hex[i] = kDigits[h & 15];
    return hex;
}

}  // namespace

std::string RejectionRecord(const RejectionFacts& f) {
    return f.WorkYear + "年" + f.WorkMonth + "月" + f.WorkDay + "日" + "_" + f.UserName + "_" +
           DecimalText(f.MachineNumber) + "号機_" + f.ProductName + "_規格［" + f.Nominal + "］_上限［" + f.Upper +
           "］_下限［" + f.Lower + "］_実測値［" + f.Measured + "］";
}

std::string RejectionFileName(const RejectionFacts& facts) {
    std::string record = RejectionRecord(facts);
    std::string name = FileNameText(record);
    if (name.size() + 4 <= kMaxNameBytes) return name + ".txt";
    // Too long: the product and operator names give way, since the date, the
    // machine, the limits and the value are what tell rejections apart; a
    // digest of the whole record keeps two different records in two files.
    std::string tag = "～" + HexDigest(record);
    size_t room = kMaxNameBytes - 4 - tag.size();
    RejectionFacts shortened = facts;
    shortened.UserName.clear();
    shortened.ProductName.clear();
    size_t fixed = FileNameText(RejectionRecord(shortened)).size();
    size_t spare = room > fixed ? room - fixed : 0;
    shortened.UserName = CutUtf8(FileNameText(facts.UserName), spare / 2);
    shortened.ProductName = CutUtf8(FileNameText(facts.ProductName), spare - shortened.UserName.size());
    return CutUtf8(FileNameText(RejectionRecord(shortened)), room) + tag + ".txt";
}

std::string RejectionContent(const std::string& record) {
    std::string content;
    for (char c : record) {
        if (c == '_') content += "\r\n";
        else content += c;
    }
    return content;
}

std::string RejectionFolder(const std::string& productFolder) {
    return JoinPath(JournalFolder(productFolder), "不合格記録");
}

FileResult WriteRejectionFile(const std::string& productFolder, const RejectionFacts& facts, std::string* path,
                              Disk& disk) {
    std::string target = JoinPath(RejectionFolder(productFolder), RejectionFileName(facts));
    if (path) *path = target;
    return WriteTextFile(target, RejectionContent(RejectionRecord(facts)), disk);
}

}  // namespace ziv
