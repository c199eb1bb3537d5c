#pragma once
// The day workbook of one operator, product, machine and working date, and the
// product master: which grid column goes to which worksheet cell.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_lock.h"
#include "records/day_book_name.h"
#include "records/line_times.h"
#include "records/product_registry.h"
#include "workbook/workbook.h"

namespace ziv {

// <product>/data/<user>_<product name>_<m>号機_<y>年<m>月<d>日.xls
std::string DayBookPath(const std::string& productPath, const std::string& userName,
                        const std::string& productName, int machine, const WorkDate& date);
inline constexpr std::string_view kDayBookFolderName = "data";
std::string DayBookFolder(const std::string& productPath);
std::string MasterBookPath(const std::string& productPath);

// Where point r lies in a day workbook (and its master): row r of the first
// sheet, columns A..F; the correction in the second sheet's column B (the
// master's column D holds the target).
namespace day_book_cell {
inline constexpr int kSheet = 1, kNominal = 1, kUpper = 2, kLower = 3, kInputName = 4, kValue = 5, kJudgement = 6;
inline constexpr int kTarget = 4;  // of the master
inline constexpr int kCorrectionSheet = 2, kCorrection = 2;
}  // namespace day_book_cell

// Grid columns 3..6 of one point (nominal, upper, lower, target).
struct MasterRow {
    std::string Nominal, Upper, Lower, Target;
    bool operator==(const MasterRow&) const = default;
};
// Grid columns 1, 2, 7 of one point and the instrument's input name.
struct MeasuredRow {
    std::string InputName, Value, Judgement, Correction;
    bool operator==(const MeasuredRow&) const = default;
};

// When each measured row of a day workbook was measured, in a file of its
// own (<product>/data-times/<workbook name>.times), so that the workbook and
// its folder keep exactly what every reader knows. Written only under the workbook's lock, right after it:
//
//   ZIV row times 1
//   <row><TAB><ns since the epoch, file server's clock><TAB><station>
//
// A row without a line counts as measured long ago.
inline constexpr std::string_view kRowTimesFirstLine = "ZIV row times 1";
inline constexpr std::string_view kRowTimesFolderName = "data-times";
using RowTimes = std::map<int, MeasuredAt>;
std::string RowTimesPath(const std::string& bookPath);
RowTimes ReadRowTimes(const std::string& path, Disk& disk);
FileResult WriteRowTimes(const std::string& path, const RowTimes& times, Disk& disk);

// A new day workbook holding the master data of every point (first sheet A..C,
// second sheet A); `masterOf(r)` gives row r.
template <typename MasterOf>
Workbook NewDayBook(int rows, MasterOf masterOf) {
    Workbook book = Workbook::New();
    namespace cell = day_book_cell;
    for (int r = 1; r <= rows; ++r) {
        MasterRow m = masterOf(r);
        book.SetCell(cell::kSheet, r, cell::kNominal, m.Nominal);
        book.SetCell(cell::kSheet, r, cell::kUpper, m.Upper);
        book.SetCell(cell::kSheet, r, cell::kLower, m.Lower);
        // The day workbook keeps the target in the second sheet's column A.
        book.SetCell(cell::kCorrectionSheet, r, 1, m.Target);
    }
    return book;
}

// First sheet D..F and second sheet B of row r, adding the second sheet when
// the book has one only; false when a cell could not be stored.
bool WriteDayBookRow(Workbook& book, int row, const MeasuredRow& measured);
// Value (E), judgement (F) and correction (second sheet B) of row r.
MeasuredRow ReadDayBookRow(const Workbook& book, int row);
// Master columns A..D of row r of the first sheet.
MasterRow ReadMasterRow(const Workbook& master, int row);

// A day workbook as read from its file, with the stamp of the bytes read;
// made on any thread, so that a share that hangs holds up only that thread.
struct BookRead {
    std::optional<Workbook> book;
    FileStamp stamp;
    FileResult problem;  // Unreadable or BookUnreadable
};
BookRead ReadDayBook(const std::string& path, Disk& disk);

// A measured row and when it was measured.
struct TimedRow {
    MeasuredRow Measured;
    MeasuredAt At;
    bool operator==(const TimedRow&) const = default;
};

// The day workbooks of every machine: each opened once and kept, and the
// rows the station's log delivers written into them. Several stations may
// measure the same machine of the same product on the same date into one
// shared workbook: a write holds the lock beside it, and when the file is no
// longer the version this station read or last wrote, the rows go into the
// file as it is now instead of replacing it; a row the file holds a newer
// measurement of stays as the file has it.
class DayBooks {
public:
    struct SaveResult {
        // What kept the row from the workbook, nothing when it was saved:
        // FolderNotMade (the data folder), Busy (the lock file another station
        // keeps), Unreadable or BookUnreadable (the workbook on disk, left as it
        // is), CellRefused (the workbook), or whatever writing the workbook met.
        FileResult failure;
        explicit operator bool() const { return static_cast<bool>(failure); }
    };
    using MasterOf = std::function<MasterRow(int row)>;

    explicit DayBooks(Files files) : files_(files) {}

    // Forgets the machine's workbook.
    void Close(int machine);
    void CloseAll();
    // Keeps for the machine a workbook read elsewhere (ReadDayBook).
    FileResult Keep(int machine, const std::string& path, BookRead read);
    // Measured row r of the machine's open workbook.
    MeasuredRow Row(int machine, int row) const;
    // Writes rows into the workbook at path as the file is now, a new one
    // taking the master beside the product's data folder. *written receives
    // every measured row of the workbook as written.
    SaveResult WriteRows(const std::string& path, const std::map<int, TimedRow>& rows, LockWait wait,
                         std::map<int, MeasuredRow>* written = nullptr);

private:
    // Books are written through this slot, emptied before and after: the
    // file is read under its lock each time, whatever a machine shows.
    static constexpr int kUnshown = kMachineCount;

    // The rows into the workbook at path, under its lock, through the machine's slot.
    SaveResult Write(int machine, const std::string& path, const std::map<int, TimedRow>& pending, int rows,
                     const MasterOf& master, LockWait wait);
    // Under the lock: the file as it is now with the rows over it; nothing is
    // replaced once the lock is no longer this station's.
    FileResult MergeAndWrite(int machine, const std::string& path, const StampedRead& file,
                             const std::map<int, TimedRow>& pending, int rows, const MasterOf& master,
                             const FileLockHold& lock);

    Files files_;
    std::array<std::optional<Workbook>, kMachineCount + 1> books_{};
    std::array<FileStamp, kMachineCount + 1> stamps_{};  // of the version read or last written
    std::array<std::string, kMachineCount + 1> paths_{};  // of the open workbook
};

// The product folder of a day workbook's path (<product>/data/<name>.xls).
std::string ProductOfDayBook(const std::string& bookPath);

}  // namespace ziv
