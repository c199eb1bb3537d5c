#pragma once
// Everything the station is to write onto the file server (a value, a text,
// an emptied value, a registration, a designation, a journal line, a
// rejection record, the operator record) goes first into a log on the
// station's own disk, appended and synced before the entry returns; a writer
// then delivers it to its file and marks it delivered. Neither a share that is
// away nor closing the window nor ending the program ever loses an entry.
//
// The log, read and written only by the log's own files: one file per run of
// the program, <ms since the epoch>-<pid>-<random>.log in StationLogFolder,
// which only the run that made it appends to (it holds a lock on it while it
// runs). UTF-8, LF line ends; each line appended and synced as a whole:
//
//   ZIV station log 2
//   <seq><TAB><id><TAB><entry>          (the entry's fields: station_log/log_lines.h)
//   x<TAB><seq>[<TAB><seq>…]            (delivered, or replaced by a newer entry: done with)
//   a<TAB><seq><TAB><reason>            (set aside: it will not go in; kept, listed, no more tries)
//
// <id> is the entry's identity: "<log name>:<seq>" of the file it was first
// made in, empty when that is this file and this seq. An entry taken in from
// an earlier run keeps it, so that no take-in ever takes it twice. Files of
// "ZIV station log 1" (without <id>) are still read. A damaged log, once
// salvaged, is kept as "<name>-damaged-<n>.kept", a name the take-in never reads.
// <seq> counts up within a file. A last line without its line end was cut off
// by a crash and is not taken. A row or a registration put again replaces the
// one of the same book and row, or file and machine. When the delivered part
// of a file is much larger than what still waits, the file is written anew
// with only what waits (a temporary synced and renamed over it), so that the
// log stays small. At start the files of runs that ended (no lock held) and
// the old queue file of earlier versions are taken into the new run's file
// and removed (station_log/take_in.cpp).
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "common/disk.h"
#include "common/failure.h"
#include "common/text_file.h"
#include "station_log/log_entries.h"

namespace ziv {

struct LogIndex;
struct EarlierLog;

// <root>/Config/StationLog.dat: the whole-file queue of earlier versions,
// read once at start and taken into the log, then removed.
std::string OldQueuePath(const std::string& savePath);
// <root>/Config/StationLog: the log's files, beside the old queue's.
std::string StationLogFolder(const std::string& oldQueuePath);

// The entries waiting, in the order they came. Every change is appended to
// the log and synced before it returns; when that fails the change still
// holds in memory. Safe to use from several threads: the window's puts and
// the writer's deliveries meet here, never waiting for the file server.
class StationLog {
public:
    explicit StationLog(std::string oldQueuePath, Disk& disk = RealDisk());
    ~StationLog();
    StationLog(const StationLog&) = delete;
    StationLog& operator=(const StationLog&) = delete;
    // Only before a second thread uses it.
    StationLog(StationLog&& other) noexcept;

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
    static Survey Look(const std::string& oldQueuePath);

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

    // Any kind: kept in memory, then appended (a failure to append leaves it
    // waiting in memory, counted as not on disk, and is told).
    template <typename Entry>
    FileResult Put(const Entry& entry);
    // Any kind: the files with waiting entries, each once, in the order they came.
    template <typename Entry>
    std::vector<std::string> Targets() const;

    // A kind that fills places of its file: the waiting entries of one file
    // by place, and what stands there.
    template <PlacedEntry Entry>
    std::map<int, Entry> WaitingFor(const std::string& target) const;
    template <PlacedEntry Entry>
    std::map<int, typename LogKind<Entry>::Value> ValuesFor(const std::string& target) const;
    // Drops the entries of the file whose place still holds what was written.
    template <PlacedEntry Entry>
    FileResult Remove(const std::string& target, const std::map<int, typename LogKind<Entry>::Value>& written);

    // The records waiting for one journal, in the order they came.
    std::vector<std::string> JournalRecordsOf(const std::string& journal) const;
    size_t JournalLineCount() const;
    // Drops the first records waiting for the journal as long as they are,
    // in order, those written.
    FileResult RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written);

    // Text files waiting, in the order they came.
    std::vector<QueuedFile> WaitingFiles() const;
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

private:
    FileResult Append(const std::string& lines);
    FileResult MarkDone(const std::vector<std::uint64_t>& seqs);
    void CompactIfWorthIt();
    bool SetAsideLocked(const std::string& target, const std::string& reason);
    void TakeOldQueue(Loaded& loaded, std::set<std::string>& known);
    void TakeEarlierLogs(Loaded& loaded, std::vector<EarlierLog>& earlier, std::set<std::string>& known);
    // The lines of entries taken in, appended together; those the disk refused wait in memory.
    FileResult AppendTaken(const std::string& lines, const std::set<std::uint64_t>& taken);

    std::string oldQueuePath_;
    Disk& disk_;
    mutable std::mutex mutex_;
    std::unique_ptr<LogIndex> log_;
};

}  // namespace ziv
