#pragma once
// What the station could not write yet (the product folder's share gone, a
// lock held too long, a full disk): kept in a file of the station's own
// installation root until it is written, so that neither closing the window
// nor ending the program ever loses a value or a registration.
#include <map>
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
    bool operator==(const QueuedRow&) const = default;
};

// One machine line of an operator's Directory.dat.
struct QueuedRegistration {
    std::string DirectoryFile;
    int Machine = 0;
    std::string ProductFolder;  // empty: the product unregistered
    bool operator==(const QueuedRegistration&) const = default;
};

// One point of a product's Data.dat, as designated in the drawing editor.
struct QueuedDesignation {
    std::string PointFile;
    int Point = 0;
    DesignatedPoint Designated;
    bool operator==(const QueuedDesignation&) const = default;
};

// One record of a station's journal (see records/journal.h), waiting to be
// appended to it.
struct QueuedJournalLine {
    std::string Journal;  // the journal's path
    std::string Record;   // the record, without its line end
    bool operator==(const QueuedJournalLine&) const = default;
};

// <root>/Config/SaveQueue.dat
std::string SaveQueuePath(const std::string& savePath);

// The file, read and written only here: UTF-8, since no other program reads
// it and every text in memory is UTF-8; LF line ends.
//
//   ZIV save queue 1
//   R<TAB>book<TAB>machine<TAB>row<TAB>input name<TAB>value<TAB>judgement<TAB>correction
//   D<TAB>Directory.dat<TAB>machine<TAB>product folder
//   P<TAB>Data.dat<TAB>point<TAB>x<TAB>y<TAB>instrument   (x, y: shortest text that reads back exactly)
//   J<TAB>journal<TAB>record                             (one journal record, without its line end)
//   end<TAB>number of entries
//
// The J lines came later than the others: a file without them reads as it
// always did. They are kept in the order they came, since a journal is
// appended to, not written over.
//
// Operator-typed texts and paths may hold anything: in every field a
// backslash is written "\\", a tab "\t", a line feed "\n", a carriage return
// "\r" and any other control character "\xHH"; every other byte stands as it
// is. The last line tells a cut-off file from a whole one.
struct QueueContent {
    std::vector<QueuedRow> rows;
    std::vector<QueuedRegistration> registrations;
    std::vector<QueuedDesignation> designations;
    std::vector<QueuedJournalLine> journalLines;
};

// The entries waiting, in the order they came. A row or a registration put
// again replaces the one of the same book and row, or file and machine; a
// journal line never replaces another.
// Every change is written to the file at once (whole, synced) before it
// returns; when that fails the change still holds in memory.
class SaveQueue {
public:
    explicit SaveQueue(std::string path, Disk& disk = RealDisk()) : path_(std::move(path)), disk_(disk) {}

    struct Loaded {
        ReadStatus status = ReadStatus::Missing;
        // The file could not be read, or not be moved aside, or what was read
        // of it not be written anew.
        FileResult problem;
        bool damaged = false;   // some of it could not be read
        std::string keptAside;  // where a damaged or unreadable file was moved; empty when it could not be
        size_t salvaged = 0;    // entries of a damaged file that read whole
    };
    // Reads the file left by the last run. A damaged or unreadable file is
    // moved aside (never written over) and whatever of it reads whole is kept.
    Loaded Load();

    const std::string& Path() const { return path_; }
    size_t Count() const;
    bool Empty() const { return Count() == 0; }

    // Paths of the day workbooks with waiting rows, each once.
    std::vector<std::string> Books() const;
    // The rows waiting for one day workbook: row -> what to write.
    std::map<int, MeasuredRow> RowsOf(const std::string& book) const;
    FileResult PutRow(const QueuedRow& row);
    // Drops the rows of the book that still hold what was written.
    FileResult RemoveRows(const std::string& book, const std::map<int, MeasuredRow>& written);

    // Directory.dat files with waiting registrations, each once.
    std::vector<std::string> DirectoryFiles() const;
    // machine -> product folder
    std::map<int, std::string> RegistrationsOf(const std::string& directoryFile) const;
    FileResult PutRegistration(const QueuedRegistration& registration);
    FileResult RemoveRegistrations(const std::string& directoryFile, const std::map<int, std::string>& written);

    // Data.dat files with waiting designations, each once.
    std::vector<std::string> PointFiles() const;
    // point -> designation
    std::map<int, DesignatedPoint> DesignationsOf(const std::string& pointFile) const;
    FileResult PutDesignation(const QueuedDesignation& designation);
    FileResult RemoveDesignations(const std::string& pointFile, const std::map<int, DesignatedPoint>& written);

    // Journals with waiting lines, each once.
    std::vector<std::string> Journals() const;
    // The records waiting for one journal, in the order they came.
    std::vector<std::string> JournalRecordsOf(const std::string& journal) const;
    size_t JournalLineCount() const { return content_.journalLines.size(); }
    FileResult PutJournalLine(const QueuedJournalLine& line);
    // Drops the first records waiting for the journal as long as they are,
    // in order, those written.
    FileResult RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written);

private:
    FileResult Store();
    std::string KeepAside();

    std::string path_;
    Disk& disk_;
    QueueContent content_;
    // The file on disk could not be read nor moved aside: it is never written over.
    FileResult blocked_;
};

// Writes every waiting registration into its Directory.dat (the file as it is
// now, with the waiting lines over it) and drops those written; those that
// cannot be written yet stay. A failure only when the queue's own file could
// not be written.
FileResult SaveWaitingRegistrations(SaveQueue& queue, Files files);
// The same for every waiting designation, into its Data.dat.
FileResult SaveWaitingDesignations(SaveQueue& queue, Files files);
// Appends the waiting lines of every journal to it, in the order they came;
// a journal that cannot be written yet keeps its lines waiting.
FileResult SaveWaitingJournalLines(SaveQueue& queue, Disk& disk = RealDisk());

}  // namespace ziv
