#pragma once
// The instrument bound to each function key F1..F10, its settings file
// RS232C.dat, the product folder file ProductDir.dat, and the pure rules that
// turn a record into what the serial line and the instrument need.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "common/text_file.h"

namespace ziv {

struct InstrumentLink {
    std::string PortNumber, BaudRate, Parity, DataBits, StopBits, DataCommand, PcTerminator,
        DeviceTerminator, DataStart, DataLength, DisplayName, InputName, Handshake;

    static constexpr int kFieldCount = 13;
    // Field n (0..12) in file order.
    std::string& Field(int n);
    const std::string& Field(int n) const;
    bool operator==(const InstrumentLink&) const = default;
};

using InstrumentLinks = std::array<InstrumentLink, 10>;

InstrumentLink DefaultInstrumentLink();

struct LinksRead {
    ReadStatus status = ReadStatus::Missing;
    InstrumentLinks links{};  // only when read
    FileResult problem;       // Unreadable, naming the file, when it cannot be read
};

// RS232C.dat, telling a missing file from one that exists but cannot be read.
LinksRead ReadInstrumentLinks(const std::string& path, Disk& disk = RealDisk());
// The table of ReadInstrumentLinks; empty fields when the file is missing or unreadable.
InstrumentLinks LoadInstrumentLinks(const std::string& path, Disk& disk = RealDisk());
// Refused, with nothing written, when a field holds a line break (every later
// field of every key would shift) or when the file exists but cannot be read.
FileResult SaveInstrumentLinks(const std::string& path, const InstrumentLinks& links, Disk& disk = RealDisk());
FileResult WriteDefaultLinks(const std::string& path, Disk& disk = RealDisk());

// The last non-empty line; empty text when there is none or no file.
std::string LoadProductFolder(const std::string& path, Disk& disk = RealDisk());
FileResult SaveProductFolder(const std::string& path, const std::string& folder, Disk& disk = RealDisk());

// "4800,N,8,2"
std::string SerialSettingsText(const InstrumentLink& link);
// "1" CR, "2" LF, "3" CR LF; nothing for any other code.
std::optional<std::string> TerminatorChars(std::string_view code);
// DataCommand followed by the PC terminator; nothing when there is no request.
std::optional<std::string> CommandText(const InstrumentLink& link);
// An instrument that never sends its terminator must not fill the memory:
// a reply keeps at most this many received bytes.
constexpr size_t kReplyByteLimit = 64 * 1024;
bool ReplyComplete(std::string_view received, const InstrumentLink& link);
// The value text cut from the whole reply (UTF-8, decoded from the line's
// code page 932), DataStart and DataLength counting characters from 1;
// nothing when DataStart is below 1, DataLength negative, or either beyond 32 bits.
std::optional<std::string> CutReply(std::string_view received, const InstrumentLink& link);
// The value of a reading: CutReply's, with a sign that stands just before it
// when it starts with a digit or a point. A gauge zeroed on a master answers
// "01A-000.025", and a cut made for "01A+012.345" from the fifth character
// would otherwise leave the sign behind.
std::optional<std::string> CutValue(std::string_view received, const InstrumentLink& link);

// Paths of the two files below the installation root.
std::string LinksFilePath(const std::string& savePath);
std::string ProductFolderFilePath(const std::string& savePath);

}  // namespace ziv
