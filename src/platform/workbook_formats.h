#pragma once
// Inside of the workbook engine: the pieces the readers and the writer share.
// Not part of the engine's interface; only the workbook_*.cpp files include it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/workbook.h"

typedef struct _GsfInfile GsfInfile;

namespace ziv {

namespace workbook_limits {
// Grid of an .xls sheet, and of an Office Open XML sheet.
constexpr int kBiffRows = 65536;
constexpr int kBiffColumns = 256;
constexpr int kXlsxRows = 1048576;
constexpr int kXlsxColumns = 16384;
// What one opened workbook may hold, so that a hostile file cannot take all
// memory: cells in all sheets, bytes of cell text, worksheets.
constexpr size_t kMaxCells = 1000000;
constexpr size_t kMaxTextBytes = 64u << 20;
constexpr int kMaxSheets = 1024;
// A cell string holds at most this many UTF-16 units.
constexpr size_t kMaxStringUnits = 32767;
// Largest part or stream read from a container.
constexpr size_t kMaxPartBytes = 128u << 20;
}  // namespace workbook_limits

// Collects sheets and cells while a file is read; refuses to grow beyond the
// limits above, so every reader checks one answer instead of its own counts.
class WorkbookReader {
public:
    WorkbookReader(int maxRows, int maxColumns);

    // Index (from 0) of the new sheet; nothing when there are too many.
    std::optional<int> AddSheet(std::string name);
    // Each returns false when the workbook would grow beyond its limits; a
    // position outside the sheet's grid or an empty text is skipped (true).
    bool AddNumber(int sheet, long row, long column, double value);
    bool AddText(int sheet, long row, long column, std::string text);
    bool AddBoolean(int sheet, long row, long column, bool value);
    bool AddError(int sheet, long row, long column, std::string text);

    Workbook Finish();

private:
    bool Add(int sheet, long row, long column, Workbook::Cell cell);

    Workbook book_;
    int maxRows_;
    int maxColumns_;
    size_t cells_ = 0;
    size_t textBytes_ = 0;
};

// The BIFF8 writer.
class WorkbookWriter {
public:
    // The "Workbook" stream: globals, then one substream per sheet.
    static std::string Biff8Stream(const Workbook& book);
    // The stream inside an OLE2 compound file; nothing when libgsf fails.
    static std::optional<std::string> CompoundFile(std::string_view workbookStream);
};

// Reads the records of a BIFF5 or BIFF8 workbook stream. False with a reason
// in *error when the stream is damaged, encrypted or too large.
bool ReadBiffStream(std::string_view stream, WorkbookReader& out, std::string* error);

// Reads an Office Open XML package already opened as a zip. False with a
// reason in *error.
bool ReadXlsxPackage(GsfInfile* zip, WorkbookReader& out, std::string* error);

// Reads a whole member of a container; nothing when it is missing, cannot be
// read or is larger than limit (then *tooLarge is set).
std::optional<std::string> ReadContainerMember(GsfInfile* container, std::string_view path,
                                               size_t limit = workbook_limits::kMaxPartBytes,
                                               bool* tooLarge = nullptr);

// Text conversions. UTF-16 with lone surrogates (left by some programs) reads
// as U+FFFD instead of failing.
std::string Utf16ToUtf8(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view utf8);
// 8-bit text in a Windows code page (BIFF5 strings); undecodable bytes give U+FFFD.
std::string CodepageToUtf8(std::string_view bytes, int codepage);

// Error texts shared by the readers.
namespace workbook_errors {
inline const char* kDamaged = "ブックが壊れています";
inline const char* kEncrypted = "ブックが暗号化されています (encrypted)";
inline const char* kTooLarge = "ブックが大きすぎます (セルまたは文字が多すぎます)";
inline const char* kUnknownFormat = "Excel のブックではありません";
}  // namespace workbook_errors

}  // namespace ziv
