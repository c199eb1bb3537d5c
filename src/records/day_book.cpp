#include "records/day_book.h"

#include <cstdlib>

#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/file_lock.h"
#include "platform/paths.h"
#include "platform/shared_file.h"

namespace ziv {

std::string DayBookFolder(const std::string& productPath) { return JoinPath(productPath, std::string(kDayBookFolderName)); }

std::string MasterBookPath(const std::string& productPath) { return JoinPath(productPath, "data.xls"); }

std::string DayBookPath(const std::string& productPath, const std::string& userName,
                        const std::string& productName, int machine, const WorkDate& date) {
    return JoinPath(DayBookFolder(productPath), DayBookFileName(userName, productName, machine, date));
}

bool WriteDayBookRow(Workbook& book, int row, const MeasuredRow& measured) {
    // A day workbook saved by another program may have a single sheet; the
    // correction needs the second.
    namespace cell = day_book_cell;
    book.AddSheetsUpTo(cell::kCorrectionSheet);
    bool written = book.SetCell(cell::kSheet, row, cell::kInputName, measured.InputName);
    written = book.SetCell(cell::kSheet, row, cell::kValue, measured.Value) && written;
    written = book.SetCell(cell::kSheet, row, cell::kJudgement, measured.Judgement) && written;
    return book.SetCell(cell::kCorrectionSheet, row, cell::kCorrection, measured.Correction) && written;
}

MeasuredRow ReadDayBookRow(const Workbook& book, int row) {
    namespace cell = day_book_cell;
    return {book.CellText(cell::kSheet, row, cell::kInputName), book.CellText(cell::kSheet, row, cell::kValue),
            book.CellText(cell::kSheet, row, cell::kJudgement),
            book.CellText(cell::kCorrectionSheet, row, cell::kCorrection)};
}

MasterRow ReadMasterRow(const Workbook& master, int row) {
    namespace cell = day_book_cell;
    return {master.CellText(cell::kSheet, row, cell::kNominal), master.CellText(cell::kSheet, row, cell::kUpper),
            master.CellText(cell::kSheet, row, cell::kLower), master.CellText(cell::kSheet, row, cell::kTarget)};
}

std::string ProductOfDayBook(const std::string& bookPath) {
    std::string folder = bookPath.substr(0, bookPath.find_last_of('/'));
    return folder.substr(0, folder.find_last_of('/'));
}

void DayBooks::Close(int machine) {
    books_[machine].reset();
    stamps_[machine] = {};
    paths_[machine].clear();
}

void DayBooks::CloseAll() {
    for (int m = 0; m < kMachineCount; ++m) Close(m);
}

namespace {
// Bytes read from path that are no workbook, said of the file.
FileResult OfBook(FileResult why, const std::string& path) {
    why.path = path;
    return why;
}
}  // namespace

BookRead ReadDayBook(const std::string& path, Disk& disk) {
    BookRead read;
    StampedRead file = ReadStamped(path, disk);
    if (file.err) {
        read.problem = Failed(Failure::Unreadable, path, file.err);
        return read;
    }
    FileResult why;
    read.book = Workbook::OpenFromMemory(file.bytes, &why);
    if (!read.book) read.problem = OfBook(std::move(why), path);
    read.stamp = file.stamp;
    return read;
}

FileResult DayBooks::Keep(int machine, const std::string& path, BookRead read) {
    Close(machine);
    if (!read.book) return read.problem;
    books_[machine] = std::move(read.book);
    stamps_[machine] = read.stamp;
    paths_[machine] = path;
    return {};
}

MeasuredRow DayBooks::Row(int machine, int row) const {
    return books_[machine] ? ReadDayBookRow(*books_[machine], row) : MeasuredRow{};
}

DayBooks::SaveResult DayBooks::Write(int machine, const std::string& path, const std::map<int, TimedRow>& pending,
                                     int rows, const MasterOf& master, LockWait wait) {
    std::string folder = path.substr(0, path.find_last_of('/'));
    if (!MakeFolder(folder)) return {Failed(Failure::FolderNotMade, folder)};
    SaveResult result;
    result.failure = SaveUnderLock(files_, path, wait, [&](const StampedRead& file, const FileLockHold& lock) {
        return MergeAndWrite(machine, path, file, pending, rows, master, lock);
    });
    // Another station keeps the workbook: the operator is shown its lock file.
    if (result.failure.failure == Failure::Busy) result.failure.path = LockFilePath(path);
    return result;
}

FileResult DayBooks::MergeAndWrite(int machine, const std::string& path, const StampedRead& file,
                                   const std::map<int, TimedRow>& pending, int rows, const MasterOf& master,
                                   const FileLockHold& lock) {
    if (!file.err && !(books_[machine] && file.stamp == stamps_[machine])) {
        // Made or changed by another station (or program) since this one read it.
        FileResult why;
        auto disk = Workbook::OpenFromMemory(file.bytes, &why);
        // Left as it is when unreadable: a later save tries again rather than overwrite it.
        if (!disk) return OfBook(std::move(why), path);
        books_[machine] = std::move(*disk);
    } else if (!books_[machine]) {
        books_[machine] = NewDayBook(rows, master);
    }
    paths_[machine] = path;
    Workbook& book = *books_[machine];
    bool stored = true;
    // A row waiting here goes in unless the file holds a newer measurement of it.
    RowTimes times = ReadRowTimes(RowTimesPath(path), files_.disk);
    for (const auto& [r, timed] : pending) {
        const MeasuredAt& when = timed.At;
        if (auto theirs = times.find(r); theirs != times.end() && theirs->second.NewerThan(when)) continue;
        stored = WriteDayBookRow(book, r, timed.Measured) && stored;
        if (when.Ns != 0) times[r] = when;
    }
    if (!stored) return Failed(Failure::CellRefused, path);
    // Still under the lock: the stamp is that of exactly the bytes now on disk.
    FileResult saved = book.SaveAs(path, &stamps_[machine], [&] { return lock.StillHeld(); }, files_.disk);
    // The times follow the workbook, under its lock; without them a later
    // merge only treats these rows as measured long ago.
    if (saved && !times.empty()) static_cast<void>(WriteRowTimes(RowTimesPath(path), times, files_.disk));
    return saved;
}

std::string RowTimesPath(const std::string& bookPath) {
    std::string name = bookPath.substr(bookPath.find_last_of('/') + 1);
    return JoinPath(JoinPath(ProductOfDayBook(bookPath), std::string(kRowTimesFolderName)), name + ".times");
}

RowTimes ReadRowTimes(const std::string& path, Disk& disk) {
    return ReadLineTimes(path, kRowTimesFirstLine, kFirstPoint, kLastPoint, disk);
}

FileResult WriteRowTimes(const std::string& path, const RowTimes& times, Disk& disk) {
    return WriteLineTimes(path, kRowTimesFirstLine, times, disk);
}

DayBooks::SaveResult DayBooks::WriteRows(const std::string& path, const std::map<int, TimedRow>& pending, LockWait wait,
                                         std::map<int, MeasuredRow>* written) {
    // As the window does, a new workbook takes the product's master as it
    // reads now, read only when the workbook must be made.
    std::optional<Workbook> master;
    bool masterRead = false;
    auto masterOf = [&](int r) {
        if (!masterRead) master = Workbook::Open(MasterBookPath(ProductOfDayBook(path)), nullptr, files_.disk);
        masterRead = true;
        return master ? ReadMasterRow(*master, r) : MasterRow{};
    };
    Close(kUnshown);
    SaveResult result = Write(kUnshown, path, pending, kLastPoint, masterOf, wait);
    if (result && written) {
        for (int r = kFirstPoint; r <= kLastPoint; ++r) (*written)[r] = Row(kUnshown, r);
    }
    Close(kUnshown);
    return result;
}

}  // namespace ziv
