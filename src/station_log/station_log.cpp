#include "station_log/station_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>

#include "common/durable_file.h"
#include "common/numbers.h"
#include "platform/paths.h"
#include "station_log/log_index.h"

namespace ziv {

std::string OldQueuePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "StationLog.dat");
}

std::string StationLogFolder(const std::string& oldQueuePath) {
    return JoinPath(oldQueuePath.substr(0, oldQueuePath.find_last_of('/')), "StationLog");
}

namespace {

// The log is written anew once what was delivered is this many times what waits.
constexpr std::uint64_t kCompactBelowBytes = 64 * 1024;
constexpr std::uint64_t kDeadPerLive = 3;

std::string NewLogName() {
    std::random_device random;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                  .count();
    char tag[24];
    std::snprintf(tag, sizeof tag, "%08x", random());
    return DecimalText(static_cast<long long>(ms)) + "-" + DecimalText(static_cast<long long>(::getpid())) + "-" + tag;
}

}  // namespace

bool HoldLogFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

StationLog::StationLog(std::string oldQueuePath, Disk& disk)
    : oldQueuePath_(std::move(oldQueuePath)), disk_(disk), log_(std::make_unique<LogIndex>()) {
    log_->folder = StationLogFolder(oldQueuePath_);
    log_->name = NewLogName();
}

StationLog::StationLog(StationLog&& other) noexcept
    : oldQueuePath_(std::move(other.oldQueuePath_)), disk_(other.disk_), log_(std::move(other.log_)) {}

StationLog::~StationLog() {
    if (!log_ || log_->fd < 0) return;
    // Everything delivered: nothing for the next run to take in.
    if (log_->Count() == 0 && log_->aside.empty()) ::unlink(log_->path.c_str());
    ::close(log_->fd);
}

std::string StationLog::LogPath() const {
    std::lock_guard lock(mutex_);
    return log_->path;
}

std::uint64_t StationLog::BytesWritten() const {
    std::lock_guard lock(mutex_);
    return log_->written;
}

FileResult StationLog::Append(const std::string& lines) {
    LogIndex& log = *log_;
    WriteStep step{};
    if (log.fd < 0) {
        if (!IsFolder(log.folder) && !MakeFolders(log.folder)) return Failed(Failure::FolderNotMade, log.folder);
        std::string path = JoinPath(log.folder, log.name + ".log");
        if (int err = disk_.AppendFault(WriteStep::Open, path)) return {Failure::WriteFailed, path, err, WriteStep::Open, {}};
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return {Failure::WriteFailed, path, errno, WriteStep::Open, {}};
        HoldLogFile(fd);
        std::string first = std::string(kLogFirstLine) + "\n";
        int err = WriteAndSync(disk_, Growth::Append, path, fd, first, 0, &step);
        if (!err && !SyncFolder(log.folder)) err = errno, step = WriteStep::SyncFolder;
        if (err) {
            ::close(fd);
            ::unlink(path.c_str());
            return {Failure::WriteFailed, path, err, step, {}};
        }
        log.fd = fd;
        log.path = path;
        log.fileBytes = first.size();
        log.written += first.size();
    }
    // Lines the disk refused before go first, in the order they came.
    std::string text;
    if (!log.unsynced.empty())
        for (const auto& [seq, line] : log.LiveLines(&log.unsynced)) text += line;
    text += lines;
    int err = 0;
    if (log.cutOff && ::ftruncate(log.fd, static_cast<off_t>(log.fileBytes)) != 0) err = errno, step = WriteStep::Write;
    if (!err) err = WriteAndSync(disk_, Growth::Append, log.path, log.fd, text, static_cast<off_t>(log.fileBytes), &step);
    if (err) {
        log.cutOff = true;
        return {Failure::WriteFailed, log.path, err, step, {}};
    }
    log.cutOff = false;
    log.unsynced.clear();
    log.fileBytes += text.size();
    log.written += text.size();
    return {};
}

FileResult StationLog::MarkDone(const std::vector<std::uint64_t>& seqs) {
    if (seqs.empty()) return {};
    std::string line = "x";
    for (std::uint64_t s : seqs) line += "\t" + SeqText(s);
    log_->Drop(seqs);
    FileResult r = Append(line + "\n");
    if (r) CompactIfWorthIt();
    return r;
}

// The undelivered rest written anew, synced, and renamed over the file: a
// crash leaves the old file or the new one, both whole.
void StationLog::CompactIfWorthIt() {
    LogIndex& log = *log_;
    if (log.fd < 0 || log.fileBytes < kCompactBelowBytes || log.liveBytes * (kDeadPerLive + 1) > log.fileBytes) return;
    std::string text = std::string(kLogFirstLine) + "\n" + log.LiveText();
    std::string temp = log.path + ".new";
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    HoldLogFile(fd);
    WriteStep step{};
    if (WriteAndSync(disk_, Growth::Replace, temp, fd, text, 0, &step) != 0 ||
        ::rename(temp.c_str(), log.path.c_str()) != 0) {
        ::close(fd);
        ::unlink(temp.c_str());
        return;
    }
    SyncFolder(log.folder);
    ::close(log.fd);
    log.fd = fd;
    log.fileBytes = text.size();
    log.written += text.size();
    log.cutOff = false;
    log.unsynced.clear();
}

size_t StationLog::Count() const {
    std::lock_guard lock(mutex_);
    return log_->Count() + log_->aside.size();
}

// In memory first, then appended: should the append fail, the entry still
// waits in memory, is counted as not on disk, goes with the next append that
// the disk takes, and the caller is told.
template <typename Entry>
FileResult StationLog::Put(const Entry& entry) {
    std::lock_guard lock(mutex_);
    LogIndex& log = *log_;
    std::uint64_t seq = log.nextSeq++;
    std::string line = LineOf(seq, {}, entry);
    auto replaced = log.Insert(Kept<Entry>{seq, entry, line.size(), {}});
    FileResult r = Append(line);
    if (!r) log.unsynced.insert(seq);
    if (replaced && r) r = MarkDone({*replaced});
    return r;
}

FileResult StationLog::Resync() {
    std::lock_guard lock(mutex_);
    return log_->unsynced.empty() ? FileResult{} : Append({});
}

StationLog::Tally StationLog::Counted() const {
    std::lock_guard lock(mutex_);
    const LogIndex& log = *log_;
    Tally tally;
    log.EachKind([&](const auto& all) {
        using Entry = std::decay_t<decltype(all.front().e)>;
        const bool value = PlacedEntry<Entry>;
        (value ? tally.values : tally.records) += all.size();
        for (const auto& k : all) (value ? tally.valuesNotOnDisk : tally.recordsNotOnDisk) += log.unsynced.count(k.seq);
    });
    tally.aside = log.aside.size();
    return tally;
}

template <typename Entry>
std::vector<std::string> StationLog::Targets() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> targets;
    for (const auto& k : log_->All<Entry>()) {
        const std::string& target = LogKind<Entry>::Target(k.e);
        if (std::find(targets.begin(), targets.end(), target) == targets.end()) targets.push_back(target);
    }
    return targets;
}

template <PlacedEntry Entry>
std::map<int, Entry> StationLog::WaitingFor(const std::string& target) const {
    std::lock_guard lock(mutex_);
    std::map<int, Entry> waiting;
    for (const auto& k : log_->All<Entry>())
        if (LogKind<Entry>::Target(k.e) == target) waiting[LogKind<Entry>::Place(k.e)] = k.e;
    return waiting;
}

template <PlacedEntry Entry>
std::map<int, typename LogKind<Entry>::Value> StationLog::ValuesFor(const std::string& target) const {
    std::map<int, typename LogKind<Entry>::Value> values;
    for (const auto& [place, e] : WaitingFor<Entry>(target)) values[place] = LogKind<Entry>::ValueOf(e);
    return values;
}

template <PlacedEntry Entry>
FileResult StationLog::Remove(const std::string& target, const std::map<int, typename LogKind<Entry>::Value>& written) {
    using Kind = LogKind<Entry>;
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> seqs;
    for (const auto& k : log_->All<Entry>()) {
        if (Kind::Target(k.e) != target) continue;
        auto it = written.find(Kind::Place(k.e));
        if (it != written.end() && it->second == Kind::ValueOf(k.e)) seqs.push_back(k.seq);
    }
    return MarkDone(seqs);
}

std::vector<std::string> StationLog::JournalRecordsOf(const std::string& journal) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> records;
    for (const auto& k : log_->All<QueuedJournalLine>())
        if (k.e.Journal == journal) records.push_back(k.e.Record);
    return records;
}

size_t StationLog::JournalLineCount() const {
    std::lock_guard lock(mutex_);
    return log_->All<QueuedJournalLine>().size();
}

FileResult StationLog::RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> seqs;
    size_t next = 0;
    for (const auto& k : log_->All<QueuedJournalLine>()) {
        if (k.e.Journal != journal) continue;
        // The lines of the journal after one that was not written wait on.
        if (next >= written.size() || k.e.Record != written[next]) break;
        seqs.push_back(k.seq);
        ++next;
    }
    return MarkDone(seqs);
}

std::vector<QueuedFile> StationLog::WaitingFiles() const {
    std::lock_guard lock(mutex_);
    std::vector<QueuedFile> files;
    for (const auto& k : log_->All<QueuedFile>()) files.push_back(k.e);
    return files;
}

FileResult StationLog::RemoveFile(const QueuedFile& written) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> seqs;
    for (const auto& k : log_->All<QueuedFile>())
        if (k.e == written) seqs.push_back(k.seq);
    return MarkDone(seqs);
}

bool StationLog::FailedFor(const std::string& target, const std::string& reason) {
    std::lock_guard lock(mutex_);
    LogIndex& log = *log_;
    if (++log.tries[target] < kTriesBeforeAside) return false;
    log.tries.erase(target);
    return SetAsideLocked(target, reason);
}

void StationLog::SetAsideFor(const std::string& target, const std::string& reason) {
    std::lock_guard lock(mutex_);
    log_->tries.erase(target);
    SetAsideLocked(target, reason);
}

bool StationLog::SetAsideLocked(const std::string& target, const std::string& reason) {
    LogIndex& log = *log_;
    std::vector<std::uint64_t> seqs;
    log.EachKind([&](const auto& all) {
        for (const auto& k : all)
            if (LogKind<std::decay_t<decltype(k.e)>>::Target(k.e) == target) seqs.push_back(k.seq);
    });
    std::string marks;
    for (std::uint64_t seq : seqs) {
        log.Aside(seq, reason);
        marks += "a\t" + SeqText(seq) + "\t" + EscapedField(reason) + "\n";
    }
    if (!marks.empty()) static_cast<void>(Append(marks));
    return !seqs.empty();
}

void StationLog::DeliveredTo(const std::string& target) {
    std::lock_guard lock(mutex_);
    log_->tries.erase(target);
}

std::vector<SetAside> StationLog::SetAsideEntries() const {
    std::lock_guard lock(mutex_);
    std::vector<SetAside> all;
    for (const auto& k : log_->aside) all.push_back(k.e);
    return all;
}

// Every kind the log holds, for every use the station makes of it.
#define ZIV_LOG_KIND(Entry)                                                  \
    template FileResult StationLog::Put(const Entry&);                       \
    template std::vector<std::string> StationLog::Targets<Entry>() const;
ZIV_LOG_KIND(QueuedRow)
ZIV_LOG_KIND(QueuedRegistration)
ZIV_LOG_KIND(QueuedDesignation)
ZIV_LOG_KIND(QueuedJournalLine)
ZIV_LOG_KIND(QueuedFile)
#define ZIV_PLACED_KIND(Entry)                                                                          \
    template std::map<int, Entry> StationLog::WaitingFor(const std::string&) const;                     \
    template std::map<int, LogKind<Entry>::Value> StationLog::ValuesFor<Entry>(const std::string&) const; \
    template FileResult StationLog::Remove<Entry>(const std::string&, const std::map<int, LogKind<Entry>::Value>&);
ZIV_PLACED_KIND(QueuedRow)
ZIV_PLACED_KIND(QueuedRegistration)
ZIV_PLACED_KIND(QueuedDesignation)
#undef ZIV_LOG_KIND
#undef ZIV_PLACED_KIND

}  // namespace ziv
