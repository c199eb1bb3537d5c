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

class SaveQueue;

// A day workbook as read from its file, with the stamp of the bytes read;
// made on any thread, so that a share that hangs holds up only that thread.
struct BookRead {
    std::optional<Workbook> book;
    FileStamp stamp;
    FileResult problem;  // Unreadable or BookUnreadable
};
BookRead ReadDayBook(const std::string& path, Disk& disk);

// The day workbooks of every machine while the measurement window runs: each
// opened once and kept, written whole at every save. A row whose save fails,
// for whatever reason, waits in the station's save queue; every later save of
// its workbook, and SaveWaiting, writes it, so that closing a workbook or the
// window never loses it.
// Several stations may measure the same machine of the same product on the
// same date into one shared workbook: a save holds the lock beside it, and
// when the file is no longer the version this station read or last wrote, the
// rows saved here since then go into the file as it is now instead of
// replacing it.
class DayBooks {
public:
    struct SaveResult {
        // What kept the row from the workbook, nothing when it was saved:
        // FolderNotMade (the data folder), Busy (the lock file another station
        // keeps), Unreadable or BookUnreadable (the workbook on disk, left as it
        // is), CellRefused (the workbook), or whatever writing the workbook met.
        FileResult failure;
        // Rows whose measured cells another station changed: the grid shows them anew.
        std::vector<int> fromDisk;
        // The row kept in (or the written rows taken out of) the queue's file;
        // a failure here means the row waits in memory only.
        FileResult queued;
        explicit operator bool() const { return static_cast<bool>(failure); }
    };
    using MeasuredOf = std::function<MeasuredRow(int row, const std::string& inputName)>;
    using MasterOf = std::function<MasterRow(int row)>;

    DayBooks(SaveQueue& queue, Files files) : queue_(queue), files_(files) {}

    bool IsOpen(int machine) const { return books_[machine].has_value(); }
    // Forgets the machine's workbook; its rows still waiting stay in the queue.
    void Close(int machine);
    void CloseAll();
    // Opens the file on disk for the machine; Unreadable or BookUnreadable
    // when it cannot be read.
    FileResult Open(int machine, const std::string& path);
    // Keeps for the machine a workbook read elsewhere (ReadDayBook).
    FileResult Keep(int machine, const std::string& path, BookRead read);
    // Measured row r of the machine's open workbook.
    MeasuredRow Row(int machine, int row) const;
    // The rows of the workbook at path waiting in the queue: this station's
    // newest values for them, whatever the file holds.
    std::map<int, MeasuredRow> Waiting(const std::string& path) const;
    // Saves row `row` (and every row of that workbook still waiting) into the
    // workbook at path: the open one, else the file on disk (another program
    // may have made it), else a new one holding the master of `rows` points.
    // The row goes into the station's log first (measured at `at`), then
    // into the workbook.
    SaveResult Save(int machine, const std::string& path, int row, const std::string& inputName, int rows,
                    const MeasuredOf& measured, const MasterOf& master, const MeasuredAt& at = {});

    struct Retried {
        // Rows of open workbooks that another station changed, by machine.
        std::vector<std::pair<int, std::vector<int>>> fromDisk;
        FileResult queueProblem;  // the queue's own file could not be written
        // Workbooks no machine shows, as written: every measured row.
        std::vector<std::pair<std::string, std::map<int, MeasuredRow>>> written;
        // Workbooks that could not be written, and why.
        std::vector<std::pair<std::string, FileResult>> failures;
    };
    // Writes the waiting rows of every workbook: an open one's through its
    // machine, any other (another date, another product) straight into its
    // file, a new one taking the master beside the product's data folder.
    // Stops at a workbook whose lock another station keeps, so that one pass
    // waits for one lock at most (with LockWait::Once, for none).
    Retried SaveWaiting(LockWait wait = LockWait::Patient);

private:
    // Books that no machine shows (another date or product) are written
    // through this slot, emptied before and after.
    static constexpr int kUnshown = kMachineCount;

    // The rows into the workbook at path, under its lock, through the machine's slot.
    SaveResult Write(int machine, const std::string& path, const std::map<int, MeasuredRow>& pending, int rows,
                     const MasterOf& master, LockWait wait = LockWait::Patient);
    // Under the lock: the file as it is now with the rows over it; nothing is
    // replaced once the lock is no longer this station's. Rows the file
    // changed under what the grid shows are added to fromDisk.
    FileResult MergeAndWrite(int machine, const std::string& path, const StampedRead& file,
                             const std::map<int, MeasuredRow>& pending, const std::map<int, MeasuredAt>& at,
                             int rows, const MasterOf& master, const FileLockHold& lock, std::vector<int>& fromDisk);
    SaveResult WriteUnshown(const std::string& path, const std::map<int, MeasuredRow>& pending, LockWait wait,
                            std::map<int, MeasuredRow>* written = nullptr);
    int MachineShowing(const std::string& path) const;

    SaveQueue& queue_;
    Files files_;
    std::array<std::optional<Workbook>, kMachineCount + 1> books_{};
    std::array<FileStamp, kMachineCount + 1> stamps_{};  // of the version read or last written
    std::array<std::string, kMachineCount + 1> paths_{};  // of the open workbook
};

// The product folder of a day workbook's path (<product>/data/<name>.xls).
std::string ProductOfDayBook(const std::string& bookPath);

}  // namespace ziv
