#include "station/rejection.h"

#include "common/numbers.h"
#include "platform/paths.h"

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

}  // namespace

std::string RejectionRecord(const RejectionFacts& f) {
    return f.WorkYear + "年" + f.WorkMonth + "月" + f.WorkDay + "日" + "_" + f.UserName + "_" +
           DecimalText(f.MachineNumber) + "号機_" + f.ProductName + "_規格［" + f.Nominal + "］_上限［" + f.Upper +
           "］_下限［" + f.Lower + "］_実測値［" + f.Measured + "］";
}

std::string RejectionFileName(const std::string& record) {
    std::string name;
    for (char c : record) {
        std::string wide = FullWidthFor(c);
        if (!wide.empty()) name += wide;
        else if (static_cast<unsigned char>(c) < 0x20) name += "＿";
        else name += c;
    }
    return CutUtf8(name, kMaxNameBytes - 4) + ".txt";
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
    return JoinPath(JoinPath(productFolder, "ＺＩＶログ"), "不合格記録");
}

WriteResult WriteRejectionFile(const std::string& productFolder, const RejectionFacts& facts, std::string* path) {
    std::string record = RejectionRecord(facts);
    std::string target = JoinPath(RejectionFolder(productFolder), RejectionFileName(record));
    if (path) *path = target;
    return WriteTextFile(target, RejectionContent(record));
}

}  // namespace ziv
