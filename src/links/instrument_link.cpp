#include "links/instrument_link.h"

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {

std::string& InstrumentLink::Field(int n) {
    return const_cast<std::string&>(static_cast<const InstrumentLink*>(this)->Field(n));
}

const std::string& InstrumentLink::Field(int n) const {
    const std::string* fields[kFieldCount] = {&PortNumber, &BaudRate,  &Parity,      &DataBits,   &StopBits,
                                              &DataCommand, &PcTerminator, &DeviceTerminator, &DataStart,
                                              &DataLength, &DisplayName, &InputName,  &Handshake};
    return *fields[n];
}

InstrumentLink DefaultInstrumentLink() {
    return {"1", "4800", "N", "8", "2", "1", "1", "1", "5", "8", "マイクロ", "M", "2"};
}

LinksRead ReadInstrumentLinks(const std::string& path, Disk& disk) {
    TextRead text = ReadTextFile(path, disk);
    LinksRead result;
    result.status = text.status;
    if (text.unreadable()) result.problem = Failed(Failure::Unreadable, path, text.err);
    // Lines past the 130th belong to no key and are left unread.
    size_t count = std::min<size_t>(text.lines.size(), result.links.size() * InstrumentLink::kFieldCount);
    for (size_t n = 0; n < count; ++n)
        result.links[n / InstrumentLink::kFieldCount].Field(n % InstrumentLink::kFieldCount) = text.lines[n];
    return result;
}

InstrumentLinks LoadInstrumentLinks(const std::string& path, Disk& disk) {
    return ReadInstrumentLinks(path, disk).links;
}

FileResult SaveInstrumentLinks(const std::string& path, const InstrumentLinks& links, Disk& disk) {
    std::string text;
    for (size_t key = 0; key < links.size(); ++key)
        for (int f = 0; f < InstrumentLink::kFieldCount; ++f) {
            const std::string& field = links[key].Field(f);
            if (!FitsOneLine(field))
                return Refused(Failure::KeySettingLineBreak, path, "F" + std::to_string(key + 1));
            text += field + "\r\n";
        }
    if (TextRead current = ReadTextFile(path, disk); current.unreadable())
        return Failed(Failure::Unreadable, path, current.err);
    return WriteTextFile(path, text, disk);
}

FileResult WriteDefaultLinks(const std::string& path, Disk& disk) {
    InstrumentLinks links;
    links.fill(DefaultInstrumentLink());
    return SaveInstrumentLinks(path, links, disk);
}

std::string LoadProductFolder(const std::string& path, Disk& disk) {
    std::string last;
    if (auto lines = ReadTextLines(path, disk))
        for (const auto& line : *lines)
            if (!line.empty()) last = line;
    return last;
}

FileResult SaveProductFolder(const std::string& path, const std::string& folder, Disk& disk) {
    return WriteTextFile(path, folder + "\r\n", disk);
}

std::string SerialSettingsText(const InstrumentLink& link) {
    return link.BaudRate + "," + link.Parity + "," + link.DataBits + "," + link.StopBits;
}

std::optional<std::string> TerminatorChars(std::string_view code) {
    if (code == "1") return std::string("\r");
    if (code == "2") return std::string("\n");
    if (code == "3") return std::string("\r\n");
    return std::nullopt;
}

std::optional<std::string> CommandText(const InstrumentLink& link) {
    auto end = TerminatorChars(link.PcTerminator);
    if (!end) return std::nullopt;
    return link.DataCommand + *end;
}

bool ReplyComplete(std::string_view received, const InstrumentLink& link) {
    auto end = TerminatorChars(link.DeviceTerminator);
    return end && received.find(*end) != std::string_view::npos;
}

namespace {
// Byte offset of the character after `count` characters from `from`; a UTF-8
// character is its lead byte and the continuation bytes after it.
size_t SkipCharacters(std::string_view text, size_t from, size_t count) {
    while (from < text.size() && count > 0) {
        ++from;
        while (from < text.size() && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
        --count;
    }
    return from;
}
}  // namespace

namespace {
struct Cut {
    size_t from = 0, to = 0;  // bytes of the received text
};
std::optional<Cut> CutRange(std::string_view received, const InstrumentLink& link) {
    auto start = WholeNumberFromText(link.DataStart);
    auto length = WholeNumberFromText(link.DataLength);
    if (!start || !length || *start < 1 || *length < 0) return std::nullopt;
    // The instrument counts characters, and one character may take several
    // bytes here (half-width katakana, a noise byte shown as U+FFFD).
    size_t from = SkipCharacters(received, 0, static_cast<size_t>(*start) - 1);
    return Cut{from, SkipCharacters(received, from, static_cast<size_t>(*length))};
}
}  // namespace

std::optional<std::string> CutReply(std::string_view received, const InstrumentLink& link) {
    auto cut = CutRange(received, link);
    if (!cut) return std::nullopt;
    return std::string(received.substr(cut->from, cut->to - cut->from));
}

std::optional<std::string> CutValue(std::string_view received, const InstrumentLink& link) {
    auto cut = CutRange(received, link);
    if (!cut) return std::nullopt;
    char first = cut->from < cut->to ? received[cut->from] : '\0';
    bool startsNumber = (first >= '0' && first <= '9') || first == '.';
    // A sign is one byte: it is never the continuation of a wider character.
    if (startsNumber && cut->from > 0 && (received[cut->from - 1] == '-' || received[cut->from - 1] == '+')) --cut->from;
    return std::string(received.substr(cut->from, cut->to - cut->from));
}

std::string LinksFilePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "RS232C.dat");
}

std::string ProductFolderFilePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "ProductDir.dat");
}

}  // namespace ziv
