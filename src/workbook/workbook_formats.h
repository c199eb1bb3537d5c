#pragma once
// Inside of the workbook engine: the pieces the readers and the writer share.
// Not part of the engine's interface; only the workbook_*.cpp files include it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "workbook/workbook.h"

typedef struct _GsfInfile GsfInfile;
typedef struct _GsfInput GsfInput;

namespace ziv {

namespace workbook_limits {
// Grid of an .xls sheet, and of an Office Open XML sheet.
constexpr int kBiffRows = 65536;
constexpr int kBiffColumns = 256;
constexpr int kXlsxRows = 1048576;
constexpr int kXlsxColumns = 16384;
// What one opened workbook may hold, so that a hostile file cannot take all
// memory: entries kept while reading (cells in all sheets, shared strings,
// relationships) together; the bytes they take, each entry charged its text
// and what the program spends on it besides, so that millions of empty
// strings cost what they really do; worksheets.
constexpr size_t kMaxEntries = 1000000;
constexpr size_t kMaxStoredBytes = 80u << 20;
constexpr size_t kCellCost = 112;   // a cell of a sheet, with its place
constexpr size_t kEntryCost = 40;   // a string of a table, with its place in the table
constexpr int kMaxSheets = 1024;
// One string read from a file, before it is charged as a whole: far beyond
// the 32767 characters a cell holds, far below the budget.
constexpr size_t kMaxTextBytes = 1u << 20;
// A cell string holds at most this many UTF-16 units.
constexpr size_t kMaxStringUnits = 32767;
// Largest part or stream read from a container.
constexpr size_t kMaxPartBytes = 128u << 20;
// XML inflated from one zip package in all, and XML nodes walked in all: a
// small zip may hold gigabytes of XML, and elements that make no entry (empty
// rows, unknown elements) must not keep the reader busy for minutes either.
constexpr size_t kMaxXmlBytes = 128u << 20;
constexpr size_t kMaxXmlNodes = 6000000;
}  // namespace workbook_limits

// Collects sheets and cells while a file is read; refuses to grow beyond the
// limits above, so every reader checks one answer instead of its own counts.
class WorkbookReader {
public:
    WorkbookReader(int maxRows, int maxColumns);

    // Index (from 0) of the new sheet; nothing when there are too many.
    std::optional<int> AddSheet(std::string name);
    // Each returns false when the workbook would grow beyond its limits; an
    // empty text is skipped (true). The readers refuse positions outside the
    // grid as damage before they get here; should one come, it is skipped.
    bool AddNumber(int sheet, long row, long column, double value);
    bool AddText(int sheet, long row, long column, std::string_view text);
    bool AddBoolean(int sheet, long row, long column, bool value);
    bool AddError(int sheet, long row, long column, std::string_view text);
    // Whether a position lies in the sheet's grid (rows and columns from 1).
    bool InGrid(long row, long column) const {
        return row >= 1 && row <= maxRows_ && column >= 1 && column <= maxColumns_;
    }
    // Charges one entry a reader keeps besides the cells (a shared string, a
    // relationship) with `bytes` of text; false when the budget is spent.
    bool ChargeEntry(size_t bytes);

    Workbook Finish();

private:
    // The cell's parts come one by one, not as a Cell: a cell put together on
    // the stack and copied costs more than all the rest of storing it.
    bool Add(int sheet, long row, long column, Workbook::Cell::Kind kind, double number, bool boolean,
             std::string_view text);
    // A cell before the last one read: it may replace one read already.
    bool AddOutOfOrder(size_t sheet, int row, int column, Workbook::Cell::Kind kind, double number, bool boolean,
                       std::string_view text);
    // A cell read already at a place before the last one; nothing when new.
    Workbook::Cell* Existing(size_t sheet, int row, int column);
    // Counts one more entry of `bytes` of text and `cost` against the limits; false when it does not fit.
    bool Charge(size_t bytes, size_t cost);
    static void Fill(Workbook::Sheet& sheet, Workbook::Cell& cell, int row, int column, Workbook::Cell::Kind kind,
                     double number, bool boolean, std::string_view text);

    Workbook book_;
    // Cells that came before a place already read (files are written in row
    // order, but nothing makes a damaged one so): kept apart and merged at
    // Finish, so that neither order costs more than a search per cell.
    std::vector<std::map<std::pair<int, int>, Workbook::Cell>> late_;
    int maxRows_;
    int maxColumns_;
    size_t cells_ = 0;
    size_t entries_ = 0;  // cells and other entries
    size_t bytes_ = 0;    // their text and their cost
};

// The BIFF8 writer.
class WorkbookWriter {
public:
    // The "Workbook" stream: globals, then one substream per sheet.
    static std::string Biff8Stream(const Workbook& book);
    // The stream inside an OLE2 compound file; nothing when libgsf fails.
    static std::optional<std::string> CompoundFile(std::string_view workbookStream);
};

// Reads the records of a BIFF5 or BIFF8 workbook stream. False, with why in
// *problem, when the stream is damaged, encrypted or too large.
bool ReadBiffStream(std::string_view stream, WorkbookReader& out, FileResult* problem);

// Reads an Office Open XML package already opened as a zip. False, with why
// in *problem.
bool ReadXlsxPackage(GsfInfile* zip, WorkbookReader& out, FileResult* problem);

// A member of a container by its path (names compared without case); the
// caller owns the reference. Nothing when it is missing or is a folder.
GsfInput* OpenContainerMember(GsfInfile* container, std::string_view path);

// Why a reader gave up. Each refusal sets it and returns false, so a reader
// can `return Damaged(BookFault::NoBof)`.
class ReadFailure {
protected:
    bool Damaged(BookFault where, std::string part = {}) {
        failure_ = where;
        part_ = std::move(part);
        return false;
    }
    bool TooLarge() { return Damaged(BookFault::TooLarge); }
    bool OutsideGrid() { return Damaged(BookFault::CellOutsideSheet); }
    // False, with the reason set (or, when none was, plain damage) in *problem.
    bool Report(FileResult* problem) const {
        if (problem) *problem = BookFailed(failure_ == BookFault::None ? BookFault::Damaged : failure_, part_);
        return false;
    }
    BookFault failure_ = BookFault::None;
    std::string part_;
};

// Text conversions. UTF-16 with lone surrogates (left by some programs) reads
// as U+FFFD instead of failing.
std::string Utf16ToUtf8(std::u16string_view units);
std::u16string Utf8ToUtf16(std::string_view utf8);
// 8-bit text in a Windows code page (BIFF5 strings); undecodable bytes give U+FFFD.
std::string CodepageToUtf8(std::string_view bytes, int codepage);


}  // namespace ziv
