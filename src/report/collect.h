#pragma once
// Finding the day workbooks of a product folder and reading them, several at a
// time, into plain rows. Nothing here writes: the station's files are only read.
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/station_limits.h"
#include "records/day_book_name.h"

namespace ziv::report {

// One point of one day workbook, every text as the workbook holds it; the
// limits are the book's own (the master may have changed since).
struct PointRow {
    int Point = 0;
    std::string Nominal, Upper, Lower, InputName, Value, Judgement, Correction;
    // Read with Cells::LimitsAndValues only: the number of a value cell whose
    // text shows it whole (see Workbook::CellView::ExactNumber), Value then
    // left empty; the capability needs the number, not its text.
    std::optional<double> Measured;
};

struct DayBookData {
    std::string Path;
    DayBookName Name;
    // Rows holding anything, in point order.
    std::vector<PointRow> Rows;
};

struct FoundBook {
    std::string Path;
    DayBookName Name;
};

struct Filter {
    std::optional<Date> From, To;     // both ends included
    std::optional<int> Machine;
    std::optional<std::string> Operator;
    bool Accepts(const DayBookName& name) const;
};

// Years a shop moves out of the data folder and the journal folder, to keep
// what the stations list small, go into a subfolder of this name (in folders
// of their own as the shop likes): the report reads them there too.
inline constexpr char kArchiveFolderName[] = "保管";
// The files of a folder, and every file below its archive subfolder; the
// error (errno) when the folder itself cannot be listed.
std::vector<std::string> FilesWithArchive(const std::string& folder, int* error = nullptr);

struct Listing {
    std::vector<FoundBook> Books;      // by date, machine, operator
    std::vector<std::string> Ignored;  // files whose names are not day workbooks of this product
    std::string Folder;                // the data folder
    int Error = 0;                     // errno when the data folder cannot be listed
};

// The folder as an absolute path without "." or ".." steps or a closing "/",
// so that "." and "../製品" name the product as its full path does.
std::string AbsoluteFolder(const std::string& folder);
// The product name is the folder's last component.
std::string ProductNameOf(const std::string& productDir);
// The day workbooks of <productDir>/data, archived ones included, that the filter accepts.
Listing ListDayBooks(const std::string& productDir, const Filter& filter);

// Which cells a reading needs: the capability needs neither the input name
// nor the correction, and leaving them out saves a third of the reading; it
// takes a value as a number where the cell holds one (PointRow::Measured).
enum class Cells { All, LimitsAndValues };

// Reads one day workbook; nothing, and what went wrong, when it cannot.
std::optional<DayBookData> ReadDayBook(const std::string& path, const DayBookName& name, FileResult* problem,
                                       Cells cells = Cells::All);
// Points with a nominal size in the product master <productDir>/data.xls;
// nothing when the master is missing or unreadable.
std::optional<int> MasterPointCount(const std::string& productDir);

struct SkippedBook {
    std::string Path;
    FileResult Why;
};

struct ReadOptions {
    int Threads = 0;  // 0: one per processor
    // Called on the calling thread after each book, with books done and total.
    std::function<void(size_t, size_t)> Progress;
    const std::atomic<bool>* Cancel = nullptr;
    Cells Needed = Cells::All;
};

struct ReadSummary {
    size_t Read = 0;
    std::vector<SkippedBook> Skipped;
    bool Cancelled = false;
};

// Reads the books in parallel and hands each one to `take` on the calling
// thread in the order of `books`; only a few books are held at any time, so
// memory stays flat however many there are.
ReadSummary ReadDayBooks(const std::vector<FoundBook>& books, const std::function<void(const DayBookData&)>& take,
                         const ReadOptions& options = {});

}  // namespace ziv::report
