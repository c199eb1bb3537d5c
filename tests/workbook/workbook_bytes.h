#pragma once
// Building and taking apart workbook files byte by byte, for the tests:
// BIFF records, the OLE2 and zip containers around them (through libgsf), and
// the records of a written file.
#include <gsf/gsf.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "common/failure_text.h"
#include "workbook/workbook.h"

namespace wbtest {

inline std::string U8(unsigned v) { return std::string(1, static_cast<char>(v & 0xFF)); }
inline std::string U16(unsigned v) { return U8(v) + U8(v >> 8); }
inline std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
inline std::string F64(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return U32(static_cast<uint32_t>(bits)) + U32(static_cast<uint32_t>(bits >> 32));
}
inline unsigned Get16(const std::string& s, size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}
inline uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | (Get16(s, at + 2) << 16); }

// UTF-16LE bytes of an ASCII or BMP text given as UTF-16.
inline std::string Wide(std::u16string_view text) {
    std::string out;
    for (char16_t c : text) out += U16(c);
    return out;
}

inline std::string Record(unsigned type, const std::string& body) {
    return U16(type) + U16(static_cast<unsigned>(body.size())) + body;
}

// BOF of BIFF8 (version 0x0600) or BIFF5 (0x0500); kind 5 globals, 0x10 worksheet.
inline std::string Bof(unsigned version, unsigned kind) {
    std::string body = U16(version) + U16(kind) + U16(0x0DBB) + U16(0x07CC);
    if (version == 0x0600) body += U32(0) + U32(6);
    return Record(0x0809, body);
}
inline std::string Eof() { return Record(0x000A, ""); }

// BIFF8 string with 16-bit count: Latin-1 (compressed) or UTF-16.
inline std::string Str16(const std::string& latin1) { return U16(static_cast<unsigned>(latin1.size())) + U8(0) + latin1; }
inline std::string Str16W(std::u16string_view text) { return U16(static_cast<unsigned>(text.size())) + U8(1) + Wide(text); }

inline std::string Cell(unsigned row, unsigned column) { return U16(row) + U16(column) + U16(15); }

// A BIFF8 workbook stream: globals (optionally with extra records before the
// sheets) and the given sheet bodies (records between BOF and EOF), with
// BOUNDSHEET offsets filled in; sheets may be placed in any stream order.
struct SheetRecords {
    std::string name;     // bytes as stored: Latin-1 for BIFF8 here, code page bytes for BIFF5
    std::string records;
    unsigned kind = 0;    // BOUNDSHEET sheet type: 0 worksheet, 2 chart
};
std::string BiffStream(const std::vector<SheetRecords>& sheets, const std::string& globalsExtra = {},
                       unsigned version = 0x0600, const std::vector<size_t>& streamOrder = {},
                       unsigned codepage = 0);

// Containers.
std::string WrapOle(const std::string& stream, const char* name = "Workbook");
std::string WrapZip(const std::vector<std::pair<std::string, std::string>>& parts);
// A zip with one more part made of `head`, `count` times `piece` and `tail`,
// written piece by piece: a part of hundreds of megabytes costs the test no
// more memory than the zip it gives.
struct RepeatedPart {
    std::string path;
    std::string head;
    std::string piece;
    size_t count = 0;
    std::string tail;
};
std::string WrapZip(const std::vector<std::pair<std::string, std::string>>& parts, const RepeatedPart& big);
// The named stream of a compound file; empty when missing.
std::string OleStream(const std::string& file, const char* name = "Workbook");

struct Rec {
    unsigned type;
    size_t offset;  // of the header in the stream
    std::string body;
};
std::vector<Rec> Records(const std::string& stream, size_t from = 0);

// The day workbook as the measurement window leaves it: 100 points, A-C and
// second-sheet A from the master, D-F and second-sheet B for measured rows.
ziv::Workbook DayWorkbook();

// The sample files of another folder next to the project (a clone alone has
// none): the folder's path ending in "/", or empty text when it is absent.
std::string SharedTestdata(const std::string& folder);
#define REQUIRE_SHARED_TESTDATA(var, folder)                                                                  \
    const std::string var = wbtest::SharedTestdata(folder);                                                    \
    if (var.empty())                                                                                          \
    GTEST_SKIP() << "the shared sample files are absent (" << ZIV_SHARED_TESTDATA << "/" << folder            \
                 << "); a clone alone has none"

// Runs a command through the shell; its exit code, stdout in *out.
int Run(const std::string& command, std::string* out = nullptr);
// The engine's reason in the operator's words, for a failing test's message.
inline std::string Why(const ziv::FileResult& problem) { return ziv::BookReasonText(problem); }
// Refused for damage, whatever was found, not for size, encryption or format.
inline bool RefusedAsDamaged(const ziv::FileResult& r) {
    using ziv::BookFault;
    return r.failure == ziv::Failure::BookUnreadable && r.book != BookFault::None && r.book != BookFault::Empty &&
           r.book != BookFault::OldFormat && r.book != BookFault::NotExcel && r.book != BookFault::Encrypted &&
           r.book != BookFault::TooLarge;
}
// Refused with a reason of some kind.
inline bool RefusedWithReason(const ziv::FileResult& r) {
    return r.failure == ziv::Failure::BookUnreadable && r.book != ziv::BookFault::None;
}

// Path of the python helper and whether python with xlrd and friends is there.
std::string PeerScript();
std::string Python();

}  // namespace wbtest
