#include "station_log/delivery.h"

#include <cerrno>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "platform/paths.h"
#include "records/journal.h"

namespace ziv {

namespace {

// The kinds that fill places of a file go the same way: what waits for the
// file is written into it as it is now, then marked done (written, or older
// than what the file holds: done with either way). write(target, waiting)
// gives the file's failure; the log's own failure is kept in first too.
template <PlacedEntry Entry, typename Write>
FileResult DeliverPlaced(StationLog& log, const std::string& target, FileResult& first, Write write) {
    std::map<int, Entry> waiting = log.WaitingFor<Entry>(target);
    if (waiting.empty()) return {};
    FileResult written = write(target, waiting);
    if (!written) return written;
    log.DeliveredTo(target);
    std::map<int, typename LogKind<Entry>::Value> values;
    for (const auto& [place, e] : waiting) values[place] = LogKind<Entry>::ValueOf(e);
    KeepFirst(first, log.Remove<Entry>(target, values));
    return written;
}

// A workbook that will not take its rows by any try: the product folder gone
// while the folder above it is there, or a file that is no workbook.
bool BookWillNotTake(const std::string& book, const FileResult& why) {
    if (why.failure == Failure::BookUnreadable || why.failure == Failure::CellRefused) return true;
    if (why.failure != Failure::FolderNotMade) return false;
    std::string product = ProductOfDayBook(book);
    return !IsFolder(product) && IsFolder(product.substr(0, product.find_last_of('/')));
}

// A Directory.dat this station may not read, or lines it cannot hold: no try
// mends that. A share that is away answers otherwise, and passes.
bool DirectoryWillNotTake(const FileResult& why) {
    if (why.failure == Failure::NotShiftJis || why.failure == Failure::ProductFolderLineBreak) return true;
    return why.failure == Failure::Unreadable && (why.err == EACCES || why.err == EPERM || why.err == EISDIR);
}

}  // namespace

FileResult DeliverJournalLines(StationLog& log, Disk& disk) {
    FileResult first;
    for (const std::string& journal : log.Targets<QueuedJournalLine>()) {
        std::vector<std::string> waiting = log.JournalRecordsOf(journal);
        // An append that went in but was not told done (a crash, a failed sync) is not made twice.
        size_t already = 0;
        FileResult appended = AppendToJournal(journal, waiting, disk, &already);
        KeepFirst(first, appended);
        if (!appended) waiting.resize(already);
        if (!waiting.empty()) KeepFirst(first, log.RemoveJournalLines(journal, waiting));
    }
    return first;
}

FileResult DeliverRows(StationLog& log, DayBooks& books, LockWait wait, Delivered& delivered) {
    FileResult first;
    for (const std::string& book : log.Targets<QueuedRow>()) {
        std::map<int, MeasuredRow> written;
        bool busy = false;
        FileResult saved = DeliverPlaced<QueuedRow>(log, book, first, [&](const auto& path, const auto& waiting) {
            std::map<int, TimedRow> rows;
            for (const auto& [r, q] : waiting) rows[r] = {q.Measured, q.At};
            FileResult result = books.WriteRows(path, rows, wait, &written).failure;
            busy = result.failure == Failure::Busy;
            return result;
        });
        if (busy) break;
        if (!saved) {
            delivered.bookFailures.push_back({book, saved});
            if (BookWillNotTake(book, saved)) log.FailedFor(book, FailureText(saved));
            continue;
        }
        delivered.books.push_back({book, std::move(written)});
    }
    return first;
}

FileResult DeliverRegistrations(StationLog& log, Files files,
                                std::vector<std::pair<std::string, ProductPathList>>* written) {
    FileResult first;
    for (const std::string& file : log.Targets<QueuedRegistration>()) {
        ProductPathList lines{};
        FileResult saved = DeliverPlaced<QueuedRegistration>(log, file, first, [&](const auto& path, const auto& waiting) {
            std::map<int, TimedRegistration> timed;
            for (const auto& [machine, r] : waiting) timed[machine] = {r.ProductFolder, r.At};
            return WriteRegistrations(files, path, timed, &lines);
        });
        // Set aside after a bounded number of tries rather than read again forever.
        if (!saved && DirectoryWillNotTake(saved)) static_cast<void>(log.FailedFor(file, FailureText(saved)));
        if (saved && written) written->push_back({file, lines});
        KeepFirst(first, saved);
    }
    return first;
}

FileResult DeliverDesignations(StationLog& log, Files files, std::vector<std::pair<std::string, PointTable>>* written) {
    FileResult first;
    for (const std::string& file : log.Targets<QueuedDesignation>()) {
        PointTable table;
        FileResult saved = DeliverPlaced<QueuedDesignation>(log, file, first, [&](const auto& path, const auto& waiting) {
            std::map<int, TimedDesignation> timed;
            for (const auto& [p, d] : waiting) timed[p] = {d.Designated, d.At};
            return SaveDesignatedPoints(files, path, timed, &table);
        });
        if (saved && written) written->push_back({file, table});
        KeepFirst(first, saved);
    }
    return first;
}

FileResult DeliverFiles(StationLog& log, Disk& disk) {
    FileResult first;
    for (const QueuedFile& file : log.WaitingFiles()) {
        std::string folder = file.Path.substr(0, file.Path.find_last_of('/'));
        if (!IsFolder(folder)) MakeFolder(folder);
        FileResult written = WriteTextFile(file.Path, file.Content, disk);
        // A text the file's encoding cannot hold never goes in: kept, not tried again.
        if (written.failure == Failure::NotShiftJis) log.SetAsideFor(file.Path, "NotShiftJis");
        KeepFirst(first, written ? log.RemoveFile(file) : written);
    }
    return first;
}

Delivered DeliverWaiting(StationLog& log, Files files, DayBooks& books, LockWait wait) {
    Delivered d;
    // Entries the station's own disk refused: on it as soon as it takes them
    // (the window told of them when they were made).
    static_cast<void>(log.Resync());
    FileResult problems[] = {
        DeliverJournalLines(log, files.disk),
        DeliverRows(log, books, wait, d),
        DeliverRegistrations(log, files, &d.directories),
        DeliverDesignations(log, files, &d.pointFiles),
        DeliverFiles(log, files.disk),
    };
    for (const FileResult& p : problems) KeepFirst(d.problem, p);
    return d;
}

}  // namespace ziv
