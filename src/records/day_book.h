#pragma once
// The day workbook of one operator, product, machine and working date, and the
// product master: which grid column goes to which worksheet cell.
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/workbook.h"
#include "records/product_registry.h"

namespace ziv {

struct WorkDate {
    std::string Year, Month, Day;  // "2024", "3", "7"
};

// <product>/data/<user>_<product name>_<m>号機_<y>年<m>月<d>日.xls
std::string DayBookPath(const std::string& productPath, const std::string& userName,
                        const std::string& productName, int machine, const WorkDate& date);
std::string DayBookFolder(const std::string& productPath);
std::string MasterBookPath(const std::string& productPath);

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

// A new day workbook holding the master data of every point (first sheet A..C,
// second sheet A); `masterOf(r)` gives row r.
template <typename MasterOf>
Workbook NewDayBook(int rows, MasterOf masterOf) {
    Workbook book = Workbook::New();
    for (int r = 1; r <= rows; ++r) {
        MasterRow m = masterOf(r);
        book.SetCell(1, r, 1, m.Nominal);
        book.SetCell(1, r, 2, m.Upper);
        book.SetCell(1, r, 3, m.Lower);
        book.SetCell(2, r, 1, m.Target);
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

// The day workbooks of every machine while the measurement window runs: each
// opened once and kept, written whole at every save, and the rows whose save
// failed remembered so that the next save that works writes them too.
// Several stations may measure the same machine of the same product on the
// same date into one shared workbook: a save holds the lock beside it, and
// when the file is no longer the version this station read or last wrote, the
// rows saved here since then go into the file as it is now instead of
// replacing it.
class DayBooks {
public:
    enum class Outcome { Saved, FolderNotMade, Unreadable, CellRefused, WriteFailed, Locked };
    // Why a workbook on disk could not be read: the system's error, or else
    // the workbook engine's reason.
    struct ReadProblem {
        int err = 0;
        std::string engineReason;
    };
    struct SaveResult {
        Outcome outcome = Outcome::Saved;
        FileResult failure;       // the folder, lock or file concerned (FolderNotMade, Locked, WriteFailed)
        ReadProblem unreadable;   // Unreadable
        // Rows whose measured cells another station changed: the grid shows them anew.
        std::vector<int> fromDisk;
        explicit operator bool() const { return outcome == Outcome::Saved; }
    };
    using MeasuredOf = std::function<MeasuredRow(int row, const std::string& inputName)>;
    using MasterOf = std::function<MasterRow(int row)>;

    bool IsOpen(int machine) const { return books_[machine].has_value(); }
    // Forgets the machine's workbook and its waiting rows.
    void Close(int machine);
    void CloseAll();
    // Opens the file on disk for the machine; why, when it cannot be read.
    std::optional<ReadProblem> Open(int machine, const std::string& path);
    // Measured row r of the machine's open workbook.
    MeasuredRow Row(int machine, int row) const;
    // Saves row `row` (and every row still waiting) into the workbook at path:
    // the open one, else the file on disk (another program may have made it),
    // else a new one holding the master of `rows` points.
    SaveResult Save(int machine, const std::string& path, int row, const std::string& inputName, int rows,
                    const MeasuredOf& measured, const MasterOf& master);

private:
    std::optional<ReadProblem> Read(int machine, const std::string& path);

    std::array<std::optional<Workbook>, kMachineCount> books_{};
    std::array<FileStamp, kMachineCount> stamps_{};  // of the version read or last written
    std::array<std::map<int, std::string>, kMachineCount> waiting_{};  // row -> input name
};

}  // namespace ziv
