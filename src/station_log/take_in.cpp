// Taking in what earlier runs left: their log files and the old queue file
// of earlier versions. Every entry keeps the identity it was made with, so
// that a start killed at any step takes nothing twice and loses nothing.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "common/numbers.h"
#include "common/whole_in_range.h"
#include "platform/paths.h"
#include "station_log/log_index.h"
#include "station_log/station_log.h"

namespace ziv {

// An earlier run's log file as read for the take-in.
struct EarlierLog {
    std::string path;
    int fd = -1;
    int readErr = 0;
    bool damaged = false;
    std::unique_ptr<LogIndex> log = std::make_unique<LogIndex>();
};

namespace {

// A damaged log kept aside ends so: the take-in reads only ".log".
const char* const kKeptAsideExt = ".kept";

// The old queue file, read only here: UTF-8, LF line ends.
//
//   ZIV save queue 1
//   R<TAB>book<TAB>machine<TAB>row<TAB>input name<TAB>value<TAB>judgement<TAB>correction
//   D<TAB>Directory.dat<TAB>machine<TAB>product folder
//   P<TAB>Data.dat<TAB>point<TAB>x<TAB>y<TAB>instrument
//   J<TAB>journal<TAB>record
//   end<TAB>number of entries
const char* const kOldQueueFirstLine = "ZIV save queue 1";

struct OldQueue {
    std::vector<QueuedRow> rows;
    std::vector<QueuedRegistration> registrations;
    std::vector<QueuedDesignation> designations;
    std::vector<QueuedJournalLine> journalLines;
    bool damaged = false;
    size_t Count() const { return rows.size() + registrations.size() + designations.size() + journalLines.size(); }
};

template <typename Entry>
bool TakeInto(std::vector<Entry>& into, std::optional<Entry> e) {
    if (e) into.push_back(std::move(*e));
    return e.has_value();
}

// One entry line into the queue's content; false when it does not read whole.
bool TakeOldEntry(std::string_view line, OldQueue& queue) {
    auto f = FieldsOf(line);
    if (!f || f->empty()) return false;
    const std::string& kind = (*f)[0];
    if (kind == "R") return TakeInto(queue.rows, RowFrom(*f));
    if (kind == "D") return TakeInto(queue.registrations, RegistrationFrom(*f));
    if (kind == "P") return TakeInto(queue.designations, DesignationFrom(*f));
    if (kind == "J") return TakeInto(queue.journalLines, JournalLineFrom(*f));
    return false;
}

// Every entry line that reads whole; damaged when anything else is found,
// the first line is not this format's or the file does not end as written.
// A last line without its line end may be cut anywhere, even inside a value
// that would still read as a number: it is never taken.
OldQueue ParseOldQueue(std::string_view text) {
    OldQueue queue;
    std::vector<std::string_view> lines = SplitAt(text, '\n');
    if (lines.front() != kOldQueueFirstLine) {
        queue.damaged = true;
        return queue;
    }
    lines.pop_back();
    std::optional<int> count;
    if (lines.size() > 1 && lines.back().starts_with("end\t")) {
        count = WholeInRange(lines.back().substr(4), 0, 1 << 30);
        lines.pop_back();
    }
    for (size_t i = 1; i < lines.size(); ++i)
        if (!TakeOldEntry(lines[i], queue)) queue.damaged = true;
    if (!count || static_cast<size_t>(*count) != queue.Count()) queue.damaged = true;
    return queue;
}

// The old queue's entries are known by their place in it.
std::string OldQueueId(std::uint64_t place) { return "StationLog.dat:" + SeqText(place); }

// Every identity a log holds, waiting or set aside.
std::set<std::string> IdsIn(const LogIndex& log) {
    std::set<std::string> ids;
    auto add = [&](const auto& all) {
        for (const auto& k : all) ids.insert(log.IdOf(k));
    };
    log.EachKind(add);
    add(log.aside);
    return ids;
}

// Earlier runs' log files in the log's folder (never this run's), oldest first.
std::vector<std::string> EarlierLogPaths(const std::string& folder, const std::string& own) {
    std::error_code ec;
    std::vector<std::string> earlier;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec))
        if (item.path().extension() == ".log" && item.path().string() != own) earlier.push_back(item.path());
    std::sort(earlier.begin(), earlier.end());
    return earlier;
}

// Reads one earlier log into memory, remembering what it delivered.
void ReadEarlier(EarlierLog& e, Disk& disk) {
    StampedRead file = ReadStamped(e.path, disk);
    e.readErr = file.err;
    std::string base = e.path.substr(e.path.find_last_of('/') + 1);
    e.log->name = base.substr(0, base.size() - 4);
    e.log->keepDoneIds = true;
    e.damaged = ParseLog(file.bytes, *e.log);
}

// The earlier logs nobody holds any more (hold: and this run holds them now).
std::vector<EarlierLog> ReadEarlierLogs(const std::string& folder, const std::string& own, bool hold, Disk& disk) {
    std::vector<EarlierLog> earlier;
    for (const std::string& path : EarlierLogPaths(folder, own)) {
        int fd = -1;
        if (hold) {
            fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) continue;
            // Another run of the program still writes it.
            if (!HoldLogFile(fd)) {
                ::close(fd);
                continue;
            }
        }
        EarlierLog& e = earlier.emplace_back();
        e.path = path;
        e.fd = fd;
        ReadEarlier(e, disk);
    }
    return earlier;
}

// What the earlier logs delivered: never taken again from another file.
std::set<std::string> DoneIn(const std::vector<EarlierLog>& earlier) {
    std::set<std::string> done;
    for (const EarlierLog& e : earlier) done.insert(e.log->doneIds.begin(), e.log->doneIds.end());
    return done;
}

// Moves the file to the first free "<name>-damaged-<n><ext>" beside it (ext:
// the file's own unless given); the new name, or empty when it could not be moved.
std::string KeepAside(const std::string& path, const std::string& newExt = {}) {
    size_t dot = path.find_last_of('.');
    bool hasExt = dot != std::string::npos && dot > path.find_last_of('/');
    std::string stem = hasExt ? path.substr(0, dot) : path;
    std::string ext = !newExt.empty() ? newExt : hasExt ? path.substr(dot) : "";
    for (int n = 1; n < 1000; ++n) {
        std::string aside = stem + "-damaged-" + DecimalText(n) + ext;
        if (PathExists(aside)) continue;
        return std::rename(path.c_str(), aside.c_str()) == 0 ? aside : std::string();
    }
    return {};
}

}  // namespace

StationLog::Loaded StationLog::Load() {
    std::lock_guard lock(mutex_);
    Loaded loaded;
    std::vector<EarlierLog> earlier =
        ReadEarlierLogs(log_->folder, JoinPath(log_->folder, log_->name + ".log"), true, disk_);
    std::set<std::string> known = IdsIn(*log_);
    known.merge(DoneIn(earlier));
    TakeOldQueue(loaded, known);
    TakeEarlierLogs(loaded, earlier, known);
    return loaded;
}

FileResult StationLog::AppendTaken(const std::string& lines, const std::set<std::uint64_t>& taken) {
    FileResult appended = lines.empty() ? FileResult{} : Append(lines);
    if (!appended) log_->unsynced.insert(taken.begin(), taken.end());
    return appended;
}

// The old whole-file queue: its entries into the log, then the file gone.
// Its entries are known by their place in it, so that a start killed before
// the file is gone takes none of them twice.
void StationLog::TakeOldQueue(Loaded& loaded, std::set<std::string>& known) {
    StampedRead file = ReadStamped(oldQueuePath_, disk_);
    if (file.missing()) return;
    OldQueue queue;
    if (file.err) {
        loaded.status = ReadStatus::Unreadable;
        loaded.problem = Failed(Failure::Unreadable, oldQueuePath_, file.err);
    } else {
        loaded.status = ReadStatus::Read;
        queue = ParseOldQueue(file.bytes);
    }
    std::string lines;
    LogIndex& log = *log_;
    std::uint64_t place = 0;
    std::set<std::uint64_t> taken;
    auto put = [&](const auto& entries) {
        for (const auto& entry : entries) {
            std::string id = OldQueueId(++place);
            if (!known.insert(id).second) continue;
            std::uint64_t seq = log.nextSeq++;
            std::string line = LineOf(seq, id, entry);
            lines += line;
            taken.insert(seq);
            log.Insert(Kept<std::decay_t<decltype(entry)>>{seq, entry, line.size(), id});
        }
    };
    put(queue.rows);
    put(queue.registrations);
    put(queue.designations);
    put(queue.journalLines);
    FileResult appended = AppendTaken(lines, taken);
    KeepFirst(loaded.problem, appended);
    if (file.err || queue.damaged) {
        loaded.damaged = queue.damaged;
        loaded.salvaged = queue.Count();
        loaded.keptAside = KeepAside(oldQueuePath_);
        if (loaded.keptAside.empty())
            KeepFirst(loaded.problem, {Failure::WriteFailed, oldQueuePath_, errno, WriteStep::Rename, {}});
        return;
    }
    // Only once its entries are synced in the log: never lost between the two.
    if (appended) ::unlink(oldQueuePath_.c_str());
}

// The log files of runs that ended: what waits in them into this run's file.
// An entry taken in before (a start killed after its log was synced and
// before the earlier file went) or already delivered from another file is
// not taken again.
void StationLog::TakeEarlierLogs(Loaded& loaded, std::vector<EarlierLog>& earlier, std::set<std::string>& known) {
    LogIndex& log = *log_;
    for (EarlierLog& e : earlier) {
        LogIndex& other = *e.log;
        std::string lines;
        std::set<std::uint64_t> taken;
        auto take = [&](const std::string& id, const std::string& body, const std::string* asideFor) {
            std::uint64_t seq = log.nextSeq++;
            std::string line = SeqText(seq) + "\t" + EscapedField(id) + "\t" + body;
            TakeLogLine(line, log);
            lines += line + "\n";
            if (!asideFor) return (void)taken.insert(seq);
            std::string mark = "a\t" + SeqText(seq) + "\t" + EscapedField(*asideFor);
            TakeLogLine(mark, log);
            lines += mark + "\n";
        };
        for (const auto& [oldSeq, id, body] : other.Entries())
            if (known.insert(id).second) take(id, body, nullptr);
        for (const auto& k : other.aside)
            if (known.insert(other.IdOf(k)).second) take(other.IdOf(k), k.e.What, &k.e.Reason);
        FileResult appended = AppendTaken(lines, taken);
        KeepFirst(loaded.problem, appended);
        if (e.readErr) KeepFirst(loaded.problem, Failed(Failure::Unreadable, e.path, e.readErr));
        if (e.damaged || e.readErr) {
            loaded.damaged = loaded.damaged || e.damaged;
            loaded.salvaged += other.Count();
            // Salvaged once: the copy kept has a name the take-in never reads.
            if (appended) loaded.keptAside = KeepAside(e.path, kKeptAsideExt);
        } else if (appended) {
            ::unlink(e.path.c_str());
        }
        ::close(e.fd);
        if (loaded.status == ReadStatus::Missing) loaded.status = ReadStatus::Read;
    }
}

StationLog::Survey StationLog::Look(const std::string& oldQueuePath) {
    Survey survey;
    std::string folder = StationLogFolder(oldQueuePath);
    std::vector<EarlierLog> logs = ReadEarlierLogs(folder, {}, false, RealDisk());
    std::set<std::string> known = DoneIn(logs);
    StampedRead old = ReadStamped(oldQueuePath);
    if (!old.missing())
        for (size_t place = 1; place <= ParseOldQueue(old.bytes).Count(); ++place)
            if (known.insert(OldQueueId(place)).second) ++survey.waiting;
    for (const EarlierLog& e : logs) {
        const LogIndex& l = *e.log;
        l.EachKind([&](const auto& all) {
            for (const auto& k : all)
                if (known.insert(l.IdOf(k)).second) ++survey.waiting;
        });
        for (const auto& k : l.aside)
            if (known.insert(l.IdOf(k)).second) survey.aside.push_back(k.e);
    }
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec))
        if (item.path().extension() == kKeptAsideExt) survey.damagedCopies.push_back(item.path());
    std::sort(survey.damagedCopies.begin(), survey.damagedCopies.end());
    return survey;
}

}  // namespace ziv
