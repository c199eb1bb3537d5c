#pragma once
// What went wrong with one of the station's files: the kind, the file (or
// folder) and the system's error number. Rules and the platform return it;
// only what faces the user (the windows and the command-line tools) puts it
// into words, with FailureText.
#include <string>
#include <utility>

namespace ziv {

// The steps of an atomic write, in the order they are taken.
enum class WriteStep { Open, Write, Sync, Close, Rename, SyncFolder };

enum class Failure {
    None,
    WriteFailed,              // path, err, step
    NotShiftJis,              // path: some character has no Shift_JIS form
    Unreadable,               // path, err: the file exists but cannot be read
    FolderNotMade,            // path: the folder
    Busy,                     // path: another station holds the file's lock
    ProductFolderLineBreak,   // path; subject: the product folder
    KeySettingLineBreak,      // path; subject: the key ("F3")
    OperatorEntryRefused,     // subject: the operator's name (empty, or a line break)
    DeviceNameLineBreak,      // the device bound to a port
    PortOutOfRange,           // subject: the port number
    CellOutsideGrid,          // path: a workbook cell lies outside the .xls grid
    BookNotAssembled,         // path: the workbook's bytes could not be made
    PdfNotMade,               // path
    ImageNotEncoded,          // path: the picture could not be encoded
};

struct [[nodiscard]] FileResult {
    Failure failure = Failure::None;
    std::string path;
    int err = 0;  // errno, when the system refused
    WriteStep step = WriteStep::Open;
    std::string subject;
    explicit operator bool() const { return failure == Failure::None; }
};

inline FileResult Failed(Failure failure, std::string path, int err = 0) {
    return {failure, std::move(path), err, WriteStep::Open, {}};
}
// Refused before anything was written, because of `subject` (a name, a key, a number).
inline FileResult Refused(Failure failure, std::string path, std::string subject) {
    return {failure, std::move(path), 0, WriteStep::Open, std::move(subject)};
}

}  // namespace ziv
