#pragma once
// What went wrong with one of the station's files, read or written, or with
// what such a file holds: the kind, the file (or folder) and the system's
// error number. Rules, the workbook engine and the platform return it; only
// what faces the user (the windows and the command-line tools) puts it into
// words, with failure_text.h.
#include <string>
#include <utility>

namespace ziv {

// The steps of an atomic write, in the order they are taken.
enum class WriteStep { Open, Write, Sync, Close, Rename, SyncFolder };

enum class Failure {
    None,
    WriteFailed,              // path, err, step
    NotShiftJis,              // path: some character has no Shift_JIS form
    Missing,                  // path: there is no such file
    Unreadable,               // path, err: the file exists but cannot be read
    BookUnreadable,           // path; book: why the bytes are no workbook the engine reads
    CellRefused,              // path: a workbook that could not take a cell (a sheet too few)
    FolderNotMade,            // path: the folder
    Busy,                     // path: another station holds the file's lock
    ProductFolderLineBreak,   // path; subject: the product folder
    KeySettingLineBreak,      // path; subject: the key ("F3")
    OperatorEntryRefused,     // subject: the operator's name (empty, or a line break)
    DeviceNameLineBreak,      // the device bound to a port
    PortOutOfRange,           // subject: the port number
    LineSettingsMalformed,    // subject: a line's settings text that is not "rate,parity,data bits,stop bits"
    PortAlreadyOpen,          // path: the device
    PortNotOpened,            // path: the device; subject: the system's words why
    // The refused settings below name the device as path when the device refused them.
    BaudRateRefused,          // subject: the rate
    ParityRefused,            // subject: the parity letter
    DataBitsRefused,          // subject: the data bits
    StopBitsRefused,          // subject: the stop bits
    HandshakeRefused,         // subject: the handshake number
    CellOutsideGrid,          // path: a workbook cell lies outside the .xls grid
    BookNotAssembled,         // path: the workbook's bytes could not be made
    PdfNotMade,               // path
    ImageNotEncoded,          // path: the picture could not be encoded
    EmptyPicture,             // path: there was no picture to write
    ContentDamaged,           // path; subject: the first line that does not read as the file's lines do
};

// Why a workbook's bytes are no workbook the engine reads (BookUnreadable).
enum class BookFault {
    None,
    Empty,                    // no bytes at all
    OldFormat,                // a bare BIFF2 to BIFF4 stream
    NotExcel,                 // neither an OLE2 compound file nor a zip holding a workbook
    Encrypted,
    TooLarge,                 // more cells, texts or sheets than the engine keeps
    CellOutsideSheet,         // a cell position beyond the sheet's grid
    Damaged,                  // damaged, no more known
    StreamUnreadable,         // the workbook stream of the compound file
    ContainerUnreadable,      // the compound file or zip itself
    NoBof,
    NotBookBof,
    UnknownBiffVersion,
    NoBookEof,
    SheetNameShort,
    SheetNameUnreadable,
    SharedStringsShort,
    SharedStringsCut,
    NoSheetBof,
    NoSheetEof,
    SharedStringOutOfRange,
    StringCellUnreadable,
    FormulaStringUnreadable,
    SheetsOverlap,
    PartDamaged,              // subject: the package part
    PartMissing,              // subject: the package part
};

struct [[nodiscard]] FileResult {
    Failure failure = Failure::None;
    std::string path;
    int err = 0;  // errno, when the system refused
    WriteStep step = WriteStep::Open;
    std::string subject;
    BookFault book = BookFault::None;
    explicit operator bool() const { return failure == Failure::None; }
};

// Of several steps, the first that failed is the one told.
inline void KeepFirst(FileResult& first, const FileResult& result) {
    if (first && !result) first = result;
}

inline FileResult Failed(Failure failure, std::string path, int err = 0) {
    return {failure, std::move(path), err, WriteStep::Open, {}};
}
// Refused before anything was written, because of `subject` (a name, a key, a number).
inline FileResult Refused(Failure failure, std::string path, std::string subject) {
    return {failure, std::move(path), 0, WriteStep::Open, std::move(subject)};
}
// Bytes the workbook engine does not read as a workbook; the path is the caller's to give.
inline FileResult BookFailed(BookFault fault, std::string part = {}) {
    return {Failure::BookUnreadable, {}, 0, WriteStep::Open, std::move(part), fault};
}

}  // namespace ziv
