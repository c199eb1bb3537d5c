#pragma once
// Everything the station is to write onto the file server (a value, a text,
// an emptied value, a registration, a designation, a journal line, a
// rejection record, the operator record) goes first into a log on the
// station's own disk, appended and synced before the entry returns; a writer
// then delivers it to its file and marks it delivered. Neither a share that is
// away nor closing the window nor ending the program ever loses an entry.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/failure.h"
#include "common/text_file.h"
#include "drawing/point_table.h"
#include "records/day_book.h"

namespace ziv {

// One measured row of a day workbook, as it is to be written there.
struct QueuedRow {
    std::string Book;  // the day workbook's path
    int Machine = 0;
    int Row = 0;
    MeasuredRow Measured;
    MeasuredAt At{};
    bool operator==(const QueuedRow&) const = default;
};

// One machine line of an operator's Directory.dat.
struct QueuedRegistration {
    std::string DirectoryFile;
    int Machine = 0;
    std::string ProductFolder;  // empty: the product unregistered
    MeasuredAt At{};
    bool operator==(const QueuedRegistration&) const = default;
};

// One point of a product's Data.dat, as designated in the drawing editor.
struct QueuedDesignation {
    std::string PointFile;
    int Point = 0;
    DesignatedPoint Designated;
    MeasuredAt At{};
    bool operator==(const QueuedDesignation&) const = default;
};

// One record of a station's journal (see records/journal.h), waiting to be
// appended to it.
struct QueuedJournalLine {
    std::string Journal;  // the journal's path
    std::string Record;   // the record, without its line end
    bool operator==(const QueuedJournalLine&) const = default;
};

// A small text file written whole: a rejection record, the operator record.
struct QueuedFile {
    std::string Path;
    std::string Content;  // UTF-8, written as the file's own encoding asks
    bool operator==(const QueuedFile&) const = default;
};

// <root>/Config/SaveQueue.dat: the whole-file queue of earlier versions,
// read once at start and taken into the log, then removed.
std::string SaveQueuePath(const std::string& savePath);
// <root>/Config/StationLog: the log's files, beside the old queue's.
std::string StationLogFolder(const std::string& queuePath);

// The old queue file, read only here: UTF-8, LF line ends.
//
//   ZIV save queue 1
//   R<TAB>book<TAB>machine<TAB>row<TAB>input name<TAB>value<TAB>judgement<TAB>correction
//   D<TAB>Directory.dat<TAB>machine<TAB>product folder
//   P<TAB>Data.dat<TAB>point<TAB>x<TAB>y<TAB>instrument   (x, y: shortest text that reads back exactly)
//   J<TAB>journal<TAB>record                             (one journal record, without its line end)
//   end<TAB>number of entries
//
// The log, read and written only here: one file per run of the program,
// <ms since the epoch>-<pid>-<random>.log in StationLogFolder, which only the
// run that made it appends to (it holds a lock on it while it runs). UTF-8,
// LF line ends; each line appended and synced as a whole:
//
//   ZIV station log 2
//   <seq><TAB><id><TAB>R<TAB><ns><TAB><station><TAB>book<TAB>machine<TAB>row<TAB>input name<TAB>value<TAB>judgement<TAB>correction
//   <seq><TAB><id><TAB>D<TAB><ns><TAB><station><TAB>Directory.dat<TAB>machine<TAB>product folder
//   <seq><TAB><id><TAB>P<TAB><ns><TAB><station><TAB>Data.dat<TAB>point<TAB>x<TAB>y<TAB>instrument
//   <seq><TAB><id><TAB>J<TAB><ns><TAB><station><TAB>journal<TAB>record
//   <seq><TAB><id><TAB>F<TAB><ns><TAB><station><TAB>path<TAB>content
//   x<TAB><seq>[<TAB><seq>…]            (delivered, or replaced by a newer entry: done with)
//   a<TAB><seq><TAB><reason>            (set aside: it will not go in; kept, listed, no more tries)
//
// <id> is the entry's identity: "<log name>:<seq>" of the file it was first
// made in, empty when that is this file and this seq. An entry taken in from
// an earlier run keeps it, so that no take-in ever takes it twice. Files of
// "ZIV station log 1" (without <id>) are still read. A damaged log, once
// salvaged, is kept as "<name>-damaged-<n>.kept", a name the take-in never reads.
// <seq> counts up within a file; <ns> is the measurement time on the file
// server's clock (ns since the epoch), <station> the station's identity. A
// last line without its line end was cut off by a crash and is not taken. A
// row or a registration put again replaces the one of the same book and row,
// or file and machine. When the delivered part of a file is much larger than
// what still waits, the file is written anew with only what waits (a
// temporary synced and renamed over it), so that the log stays small.
// At start the files of runs that ended (no lock held) and the old queue file
// are taken into the new run's file and removed.
//
// Operator-typed texts and paths may hold anything: in every field a
// backslash is written "\\", a tab "\t", a line feed "\n", a carriage return
// "\r" and any other control character "\xHH"; every other byte stands as it
// is.
struct QueueContent {
    std::vector<QueuedRow> rows;
    std::vector<QueuedRegistration> registrations;
    std::vector<QueuedDesignation> designations;
    std::vector<QueuedJournalLine> journalLines;
    std::vector<QueuedFile> files;
};

// An entry that will not go in (its folder removed, its file unreadable for
// good), kept after kTriesBeforeAside tries.
struct SetAside {
    std::string Kind;     // "R", "D", "P", "J", "F"
    std::string Target;   // the file it was for
    std::string What;     // the entry, as the log holds it
    std::string Reason;
};
inline constexpr int kTriesBeforeAside = 20;

// The entries waiting, in the order they came. Every change is appended to
// the log and synced before it returns; when that fails the change still
// holds in memory. Safe to use from several threads: the window's puts and
// the writer's deliveries meet here, never waiting for the file server.
class SaveQueue {
public:
    explicit SaveQueue(std::string path, Disk& disk = RealDisk());
    ~SaveQueue();
    SaveQueue(const SaveQueue&) = delete;
    SaveQueue& operator=(const SaveQueue&) = delete;
    // Only before a second thread uses it.
    SaveQueue(SaveQueue&& other) noexcept;

    struct Loaded {
        ReadStatus status = ReadStatus::Missing;
        // A file could not be read, or not be moved aside, or what was read
        // of it not be written into the log.
        FileResult problem;
        bool damaged = false;   // some of it could not be read
        std::string keptAside;  // where a damaged or unreadable file was moved; empty when it could not be
        size_t salvaged = 0;    // entries of a damaged file that read whole
    };
    // Takes in what earlier runs left: their log files and the old queue
    // file. A damaged or unreadable file is moved aside (never written over)
    // and whatever of it reads whole is kept.
    Loaded Load();

    // What the logs on the disk hold, read without changing anything (no
    // take-in, no file moved): for a look while a station may be running.
    struct Survey {
        std::vector<SetAside> aside;
        size_t waiting = 0;                      // entries still to be delivered
        std::vector<std::string> damagedCopies;  // damaged logs kept aside, salvaged once
    };
    static Survey Look(const std::string& queuePath);

    // The old queue file's path.
    const std::string& Path() const { return path_; }
    // This run's log file; empty until the first entry.
    std::string LogPath() const;
    size_t Count() const;
    bool Empty() const { return Count() == 0; }
    // What waits, as the operator counts it: values, registrations and
    // designations; records (journal lines, rejection and operator records)
    // go with them. Of each, those held in memory alone: the station's own
    // disk refused their lines, and they are lost should the program end.
    struct Tally {
        size_t values = 0, records = 0;
        size_t valuesNotOnDisk = 0, recordsNotOnDisk = 0;
        size_t aside = 0;
        size_t OnDisk() const { return values + records - valuesNotOnDisk - recordsNotOnDisk; }
    };
    Tally Counted() const;
    // Tries again to write the entries the disk refused; a failure while it still does.
    FileResult Resync();
    // Bytes written to the log since it was made, compactions included.
    std::uint64_t BytesWritten() const;

    // Paths of the day workbooks with waiting rows, each once.
    std::vector<std::string> Books() const;
    // The rows waiting for one day workbook: row -> what to write.
    std::map<int, MeasuredRow> RowsOf(const std::string& book) const;
    // The same, with when each was measured.
    std::map<int, QueuedRow> QueuedRowsOf(const std::string& book) const;
    FileResult PutRow(const QueuedRow& row);
    // Drops the rows of the book that still hold what was written.
    FileResult RemoveRows(const std::string& book, const std::map<int, MeasuredRow>& written);

    // Directory.dat files with waiting registrations, each once.
    std::vector<std::string> DirectoryFiles() const;
    // machine -> product folder
    std::map<int, std::string> RegistrationsOf(const std::string& directoryFile) const;
    // The same, with when each was registered.
    std::map<int, QueuedRegistration> QueuedRegistrationsOf(const std::string& directoryFile) const;
    FileResult PutRegistration(const QueuedRegistration& registration);
    FileResult RemoveRegistrations(const std::string& directoryFile, const std::map<int, std::string>& written);

    // Data.dat files with waiting designations, each once.
    std::vector<std::string> PointFiles() const;
    // point -> designation
    std::map<int, DesignatedPoint> DesignationsOf(const std::string& pointFile) const;
    // The same, with when each was designated.
    std::map<int, QueuedDesignation> QueuedDesignationsOf(const std::string& pointFile) const;
    FileResult PutDesignation(const QueuedDesignation& designation);
    FileResult RemoveDesignations(const std::string& pointFile, const std::map<int, DesignatedPoint>& written);

    // Journals with waiting lines, each once.
    std::vector<std::string> Journals() const;
    // The records waiting for one journal, in the order they came.
    std::vector<std::string> JournalRecordsOf(const std::string& journal) const;
    size_t JournalLineCount() const;
    FileResult PutJournalLine(const QueuedJournalLine& line);
    // Drops the first records waiting for the journal as long as they are,
    // in order, those written.
    FileResult RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written);

    // Text files waiting, in the order they came; a file put again replaces
    // the one of the same path.
    std::vector<QueuedFile> WaitingFiles() const;
    FileResult PutFile(const QueuedFile& file);
    FileResult RemoveFile(const QueuedFile& written);

    // A try to deliver what waits for target failed for a reason that will
    // not pass by itself; after kTriesBeforeAside such tries its entries are
    // set aside (true when they were now).
    bool FailedFor(const std::string& target, const std::string& reason);
    // Sets aside at once what waits for target: it can never go in.
    void SetAsideFor(const std::string& target, const std::string& reason);
    // The target delivered: its count of failed tries starts again.
    void DeliveredTo(const std::string& target);
    std::vector<SetAside> SetAsideEntries() const;

    // The log as memory holds it, and an earlier run's log file as read; for
    // the .cpp alone.
    struct Log;
    struct Earlier;

private:
    template <typename Entry>
    FileResult Put(const Entry& entry);
    FileResult Append(const std::string& lines);
    FileResult MarkDone(const std::vector<std::uint64_t>& seqs);
    void CompactIfWorthIt();
    bool SetAsideLocked(const std::string& target, const std::string& reason);
    std::string KeepAside(const std::string& path, const std::string& newExt = {});
    void TakeLegacy(Loaded& loaded, std::set<std::string>& known);
    void TakeEarlierLogs(Loaded& loaded, std::vector<Earlier>& earlier, std::set<std::string>& known);

    std::string path_;
    Disk& disk_;
    mutable std::mutex mutex_;
    std::unique_ptr<Log> log_;
};

// Writes the waiting designations of one Data.dat into the file as it is
// now (the newest designation of a point wins) and drops them from the
// queue; *written receives the file's points as written, *queueProblem a
// failure to mark them done in the queue's own file.
FileResult SaveWaitingDesignationsOf(SaveQueue& queue, Files files, const std::string& pointFile,
                                     PointTable* written = nullptr, FileResult* queueProblem = nullptr);
// The same for every Data.dat with waiting designations: those written, with
// their points. The first failure, of a file or of the log.
FileResult SaveWaitingDesignations(SaveQueue& queue, Files files,
                                   std::vector<std::pair<std::string, PointTable>>* written = nullptr);
// Appends the waiting lines of every journal to it, in the order they came;
// a journal that cannot be written yet keeps its lines waiting. The first
// failure, of a journal or of the log.
FileResult SaveWaitingJournalLines(SaveQueue& queue, Disk& disk = RealDisk());
// Writes every waiting text file, each whole; its folder is made when the
// folder above it is there. The first failure, of a file or of the log.
FileResult SaveWaitingFiles(SaveQueue& queue, Disk& disk = RealDisk());

}  // namespace ziv
