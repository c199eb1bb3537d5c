#include "records/save_queue.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <limits>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <random>
#include <set>
#include <tuple>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

#include "common/whole_in_range.h"
#include "common/write_all.h"
#include "common/numbers.h"
#include "platform/paths.h"
#include "records/journal.h"

namespace ziv {

namespace {

const char* const kFirstLine = "ZIV save queue 1";
const char* const kHex = "0123456789ABCDEF";

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        else out += static_cast<char>(c);
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Nothing when the field holds a raw control character or an escape the
// writer never makes.
std::optional<std::string> Unescaped(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(field[i]);
        if (c < 0x20 || c == 0x7F) return std::nullopt;
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (++i >= field.size()) return std::nullopt;
        char e = field[i];
        if (e == '\\') out += '\\';
        else if (e == 't') out += '\t';
        else if (e == 'n') out += '\n';
        else if (e == 'r') out += '\r';
        else if (e == 'x' && i + 2 < field.size() && HexDigit(field[i + 1]) >= 0 && HexDigit(field[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(field[i + 1]) * 16 + HexDigit(field[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::vector<std::string_view> Split(std::string_view text, char at) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(at, start)) != std::string_view::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The fields of one entry line, unescaped; nothing when one is damaged.
std::optional<std::vector<std::string>> Fields(const std::vector<std::string_view>& raw) {
    std::vector<std::string> fields;
    for (std::string_view f : raw) {
        auto text = Unescaped(f);
        if (!text) return std::nullopt;
        fields.push_back(std::move(*text));
    }
    return fields;
}

std::optional<QueuedRow> RowFrom(const std::vector<std::string>& f) {
    if (f.size() != 8) return std::nullopt;
    auto machine = WholeInRange(f[2], 0, kLastMachine);
    auto row = WholeInRange(f[3], kFirstPoint, kLastPoint);
    if (f[1].empty() || !machine || !row) return std::nullopt;
    return QueuedRow{f[1], *machine, *row, {f[4], f[5], f[6], f[7]}};
}

std::optional<QueuedRegistration> RegistrationFrom(const std::vector<std::string>& f) {
    if (f.size() != 4) return std::nullopt;
    auto machine = WholeInRange(f[2], 0, kLastMachine);
    if (f[1].empty() || !machine) return std::nullopt;
    return QueuedRegistration{f[1], *machine, f[3]};
}

std::optional<float> Coordinate(const std::string& text) {
    float value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string CoordinateText(float value) {
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return std::string(text, ec == std::errc() ? end : text);
}

std::optional<QueuedDesignation> DesignationFrom(const std::vector<std::string>& f) {
    if (f.size() != 6) return std::nullopt;
    auto point = WholeInRange(f[2], kFirstPoint, kLastPoint);
    auto x = Coordinate(f[3]), y = Coordinate(f[4]);
    auto instrument = WholeInRange(f[5], 0, 32767);
    if (f[1].empty() || !point || !x || !y || !instrument) return std::nullopt;
    return QueuedDesignation{f[1], *point, {*x, *y, static_cast<std::int16_t>(*instrument)}};
}

std::optional<QueuedJournalLine> JournalLineFrom(const std::vector<std::string>& f) {
    if (f.size() != 3 || f[1].empty()) return std::nullopt;
    return QueuedJournalLine{f[1], f[2]};
}

// Takes one entry line into content; false when it does not read whole.
bool TakeEntry(std::string_view line, QueueContent& content) {
    auto fields = Fields(Split(line, '\t'));
    if (!fields || fields->empty()) return false;
    if ((*fields)[0] == "R") {
        auto row = RowFrom(*fields);
        if (row) content.rows.push_back(std::move(*row));
        return row.has_value();
    }
    if ((*fields)[0] == "D") {
        auto registration = RegistrationFrom(*fields);
        if (registration) content.registrations.push_back(std::move(*registration));
        return registration.has_value();
    }
    if ((*fields)[0] == "P") {
        auto designation = DesignationFrom(*fields);
        if (designation) content.designations.push_back(std::move(*designation));
        return designation.has_value();
    }
    if ((*fields)[0] == "J") {
        auto journalLine = JournalLineFrom(*fields);
        if (journalLine) content.journalLines.push_back(std::move(*journalLine));
        return journalLine.has_value();
    }
    return false;
}

size_t CountOf(const QueueContent& content) {
    return content.rows.size() + content.registrations.size() + content.designations.size() +
           content.journalLines.size();
}

struct QueueParse {
    QueueContent content;
    bool damaged = false;
};

// Every entry line that reads whole; damaged when anything else is found,
// the first line is not this format's or the file does not end as written.
// A last line without its line end may be cut anywhere, even inside a value
// that would still read as a number: it is never taken.
QueueParse ParseQueueFile(std::string_view text) {
    QueueParse parse;
    std::vector<std::string_view> lines = Split(text, '\n');
    if (lines.front() != kFirstLine) {
        parse.damaged = true;
        return parse;
    }
    lines.pop_back();
    std::optional<int> count;
    if (lines.size() > 1 && lines.back().starts_with("end\t")) {
        count = WholeInRange(lines.back().substr(4), 0, 1 << 30);
        lines.pop_back();
    }
    for (size_t i = 1; i < lines.size(); ++i)
        if (!TakeEntry(lines[i], parse.content)) parse.damaged = true;
    if (!count || static_cast<size_t>(*count) != CountOf(parse.content)) parse.damaged = true;
    return parse;
}

void KeepFirst(FileResult& first, FileResult result) {
    if (first && !result) first = std::move(result);
}

}  // namespace

std::string SaveQueuePath(const std::string& savePath) { return JoinPath(JoinPath(savePath, "Config"), "SaveQueue.dat"); }

std::string StationLogFolder(const std::string& queuePath) {
    return JoinPath(queuePath.substr(0, queuePath.find_last_of('/')), "StationLog");
}

namespace {

const char* const kLogFirstLine = "ZIV station log 2";
// Logs of earlier versions: their entry lines carry no identity.
const char* const kLogFirstLineV1 = "ZIV station log 1";
// A damaged log kept aside ends so: the take-in reads only ".log".
const char* const kKeptAsideExt = ".kept";
// The log is written anew once what was delivered is this many times what waits.
constexpr std::uint64_t kCompactBelowBytes = 64 * 1024;
constexpr std::uint64_t kDeadPerLive = 3;

template <typename Entry>
struct Kept {
    std::uint64_t seq = 0;
    Entry e;
    size_t bytes = 0;  // of its line in the log
    // Where the entry was first made ("<log name>:<seq>"); empty: this file, this seq.
    std::string id;
};

std::string AtFields(const MeasuredAt& at) {
    return DecimalText(static_cast<long long>(at.Ns)) + "\t" + Escaped(at.Station);
}

std::string BodyOf(const QueuedRow& r) {
    const MeasuredRow& m = r.Measured;
    return "R\t" + AtFields(r.At) + "\t" + Escaped(r.Book) + "\t" + DecimalText(r.Machine) + "\t" + DecimalText(r.Row) +
           "\t" + Escaped(m.InputName) + "\t" + Escaped(m.Value) + "\t" + Escaped(m.Judgement) + "\t" +
           Escaped(m.Correction);
}
std::string BodyOf(const QueuedRegistration& d) {
    return "D\t" + AtFields(d.At) + "\t" + Escaped(d.DirectoryFile) + "\t" + DecimalText(d.Machine) + "\t" +
           Escaped(d.ProductFolder);
}
std::string BodyOf(const QueuedDesignation& p) {
    return "P\t" + AtFields(p.At) + "\t" + Escaped(p.PointFile) + "\t" + DecimalText(p.Point) + "\t" +
           CoordinateText(p.Designated.X) + "\t" + CoordinateText(p.Designated.Y) + "\t" +
           DecimalText(p.Designated.Instrument);
}
std::string BodyOf(const QueuedJournalLine& j) { return "J\t0\t\t" + Escaped(j.Journal) + "\t" + Escaped(j.Record); }
std::string BodyOf(const QueuedFile& f) { return "F\t0\t\t" + Escaped(f.Path) + "\t" + Escaped(f.Content); }

std::string SeqText(std::uint64_t seq) { return DecimalText(static_cast<long long>(seq)); }

template <typename Entry>
std::string LineOf(std::uint64_t seq, const std::string& id, const Entry& e) {
    return SeqText(seq) + "\t" + Escaped(id) + "\t" + BodyOf(e) + "\n";
}

std::optional<std::int64_t> Ns(std::string_view text) {
    return WholeInRange(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

std::optional<std::uint64_t> Seq(std::string_view text) {
    auto seq = WholeInRange(text, std::int64_t{1}, std::numeric_limits<std::int64_t>::max());
    if (!seq) return std::nullopt;
    return static_cast<std::uint64_t>(*seq);
}

bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// A run's hold on its log file: others take in only files nobody holds.
bool HoldFile(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

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

struct SaveQueue::Log {
    std::string folder;
    std::string path;  // empty until the first entry
    std::string name;  // of path, without ".log": own entries' identities start with it
    int fd = -1;
    bool cutOff = false;  // an append failed part way: the next one starts at fileBytes again
    std::uint64_t nextSeq = 1, fileBytes = 0, liveBytes = 0, written = 0;
    std::vector<Kept<QueuedRow>> rows;
    std::vector<Kept<QueuedRegistration>> registrations;
    std::vector<Kept<QueuedDesignation>> designations;
    std::vector<Kept<QueuedJournalLine>> journalLines;
    std::vector<Kept<QueuedFile>> files;
    std::vector<Kept<SetAside>> aside;  // e: the entry's line kept whole in What
    std::map<std::string, int> tries;
    // Entries held in memory whose lines the disk refused: tried again with the next append.
    std::set<std::uint64_t> unsynced;
    // While another run's log is read for the take-in: identities it delivered.
    bool keepDoneIds = false;
    std::set<std::string> doneIds;

    size_t Count() const {
        return rows.size() + registrations.size() + designations.size() + journalLines.size() + files.size();
    }
    // f(entries) for the waiting entries of each kind, in the order the kinds are delivered.
    template <typename F>
    void EachKind(F f) const {
        f(rows);
        f(registrations);
        f(designations);
        f(journalLines);
        f(files);
    }
    template <typename Entry>
    std::string IdOf(const Kept<Entry>& k) const {
        return k.id.empty() ? name + ":" + SeqText(k.seq) : k.id;
    }

    // The same place: a newer measurement replaces an older, never the reverse.
    template <typename Entry, typename Same>
    std::optional<std::uint64_t> Place(std::vector<Kept<Entry>>& all, Kept<Entry> k, Same same) {
        auto it = std::find_if(all.begin(), all.end(), [&](const Kept<Entry>& o) { return same(o.e, k.e); });
        liveBytes += k.bytes;
        if (it == all.end()) {
            all.push_back(std::move(k));
            return std::nullopt;
        }
        if (k.e.At.NewerThan(it->e.At) || k.e.At == it->e.At) std::swap(*it, k);
        liveBytes -= k.bytes;
        if (keepDoneIds) doneIds.insert(IdOf(k));
        return k.seq;  // the one done with
    }

    std::optional<std::uint64_t> Insert(Kept<QueuedRow> k) {
        return Place(rows, std::move(k),
                     [](const QueuedRow& a, const QueuedRow& b) { return a.Book == b.Book && a.Row == b.Row; });
    }
    std::optional<std::uint64_t> Insert(Kept<QueuedRegistration> k) {
        return Place(registrations, std::move(k), [](const auto& a, const auto& b) {
            return a.DirectoryFile == b.DirectoryFile && a.Machine == b.Machine;
        });
    }
    std::optional<std::uint64_t> Insert(Kept<QueuedDesignation> k) {
        return Place(designations, std::move(k),
                     [](const auto& a, const auto& b) { return a.PointFile == b.PointFile && a.Point == b.Point; });
    }
    std::optional<std::uint64_t> Insert(Kept<QueuedJournalLine> k) {
        liveBytes += k.bytes;
        journalLines.push_back(std::move(k));
        return std::nullopt;
    }
    std::optional<std::uint64_t> Insert(Kept<QueuedFile> k) {
        liveBytes += k.bytes;
        auto it = std::find_if(files.begin(), files.end(), [&](const auto& o) { return o.e.Path == k.e.Path; });
        if (it == files.end()) {
            files.push_back(std::move(k));
            return std::nullopt;
        }
        std::uint64_t old = it->seq;
        if (keepDoneIds) doneIds.insert(IdOf(*it));
        liveBytes -= it->bytes;
        files.erase(it);
        files.push_back(std::move(k));
        return old;
    }

    template <typename Entry>
    void DropSeqs(std::vector<Kept<Entry>>& all, const std::vector<std::uint64_t>& seqs) {
        std::erase_if(all, [&](const Kept<Entry>& k) {
            bool done = std::find(seqs.begin(), seqs.end(), k.seq) != seqs.end();
            if (done) liveBytes -= k.bytes;
            if (done && keepDoneIds) doneIds.insert(IdOf(k));
            return done;
        });
    }
    void Drop(const std::vector<std::uint64_t>& seqs) {
        DropSeqs(rows, seqs);
        DropSeqs(registrations, seqs);
        DropSeqs(designations, seqs);
        DropSeqs(journalLines, seqs);
        DropSeqs(files, seqs);
    }

    template <typename Entry>
    bool AsideFrom(std::vector<Kept<Entry>>& all, std::uint64_t seq, const std::string& reason,
                   const std::string& target) {
        auto it = std::find_if(all.begin(), all.end(), [&](const Kept<Entry>& k) { return k.seq == seq; });
        if (it == all.end()) return false;
        std::string body = BodyOf(it->e);
        aside.push_back({seq, {body.substr(0, 1), target, body, reason}, it->bytes, it->id});
        all.erase(it);
        return true;
    }
    void Aside(std::uint64_t seq, const std::string& reason) {
        for (auto& r : rows)
            if (r.seq == seq) return (void)AsideFrom(rows, seq, reason, r.e.Book);
        for (auto& d : registrations)
            if (d.seq == seq) return (void)AsideFrom(registrations, seq, reason, d.e.DirectoryFile);
        for (auto& p : designations)
            if (p.seq == seq) return (void)AsideFrom(designations, seq, reason, p.e.PointFile);
        for (auto& j : journalLines)
            if (j.seq == seq) return (void)AsideFrom(journalLines, seq, reason, j.e.Journal);
        for (auto& f : files)
            if (f.seq == seq) return (void)AsideFrom(files, seq, reason, f.e.Path);
    }

    // Every line that still counts, by seq; with only, those of these seqs.
    std::vector<std::pair<std::uint64_t, std::string>> LiveLines(const std::set<std::uint64_t>* only = nullptr) const {
        std::vector<std::pair<std::uint64_t, std::string>> lines;
        EachKind([&](const auto& all) {
            for (const auto& k : all)
                if (!only || only->count(k.seq)) lines.push_back({k.seq, LineOf(k.seq, k.id, k.e)});
        });
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    // Every waiting entry as seq, identity and body, in the order they came.
    std::vector<std::tuple<std::uint64_t, std::string, std::string>> Entries() const {
        std::vector<std::tuple<std::uint64_t, std::string, std::string>> entries;
        EachKind([&](const auto& all) {
            for (const auto& k : all) entries.emplace_back(k.seq, IdOf(k), BodyOf(k.e));
        });
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    // The whole log as it is to be written anew, in the order the entries came.
    std::string LiveText() const {
        std::vector<std::pair<std::uint64_t, std::string>> lines = LiveLines();
        std::string asideMarks;
        for (const auto& k : aside) {
            lines.push_back({k.seq, SeqText(k.seq) + "\t" + Escaped(k.id) + "\t" + k.e.What + "\n"});
            asideMarks += "a\t" + SeqText(k.seq) + "\t" + Escaped(k.e.Reason) + "\n";
        }
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (auto& [seq, line] : lines) text += line;
        return text + asideMarks;
    }
};

namespace {

// One line of the log into log's memory; false when it does not read.
// withIds: the line's entry carries its identity after its seq.
bool TakeLogLine(std::string_view line, SaveQueue::Log& log, bool withIds = true);

}  // namespace

// Reads a log file into a Log of memory alone; damaged when a whole line
// does not read (a cut-off last line is not damage: a crash made it).
struct LogParse {
    bool damaged = false;
};

static LogParse ParseLog(std::string_view text, SaveQueue::Log& log) {
    LogParse parse;
    std::vector<std::string_view> lines = Split(text, '\n');
    lines.pop_back();  // after the last line end: cut off, or nothing
    const bool withIds = !lines.empty() && lines.front() == kLogFirstLine;
    if (lines.empty() || (!withIds && lines.front() != kLogFirstLineV1)) {
        parse.damaged = !text.empty();
        return parse;
    }
    for (size_t i = 1; i < lines.size(); ++i)
        if (!TakeLogLine(lines[i], log, withIds)) parse.damaged = true;
    return parse;
}

namespace {

std::optional<MeasuredAt> AtFrom(const std::vector<std::string>& f) {
    auto ns = Ns(f[2]);
    if (!ns) return std::nullopt;
    return MeasuredAt{*ns, f[3]};
}

template <typename Entry>
bool InsertRead(SaveQueue::Log& log, std::optional<Entry> e, std::uint64_t seq, size_t bytes, std::string id) {
    if (e) log.Insert(Kept<Entry>{seq, std::move(*e), bytes, std::move(id)});
    return e.has_value();
}

bool TakeLogLine(std::string_view line, SaveQueue::Log& log, bool withIds) {
    auto fields = Fields(Split(line, '\t'));
    if (!fields || fields->size() < 2) return false;
    std::vector<std::string>& f = *fields;
    if (f[0] == "x") {
        std::vector<std::uint64_t> seqs;
        for (size_t i = 1; i < f.size(); ++i) {
            auto seq = Seq(f[i]);
            if (!seq) return false;
            seqs.push_back(*seq);
        }
        log.Drop(seqs);
        return true;
    }
    if (f[0] == "a") {
        auto seq = Seq(f[1]);
        if (!seq || f.size() != 3) return false;
        log.Aside(*seq, f[2]);
        return true;
    }
    auto seq = Seq(f[0]);
    if (!seq) return false;
    std::string id;
    if (withIds) {
        id = f[1];
        f.erase(f.begin() + 1);
    } else {
        // An entry of an earlier version is known by the file it was made in.
        id = log.name + ":" + f[0];
    }
    if (f.size() < 4) return false;
    log.nextSeq = std::max(log.nextSeq, *seq + 1);
    auto at = AtFrom(f);
    if (!at) return false;
    // The entry parsers of the old queue read "<kind><TAB>…": the seq and
    // the time taken off, the rest is theirs.
    std::vector<std::string> rest{f[1]};
    rest.insert(rest.end(), f.begin() + 4, f.end());
    size_t bytes = line.size() + 1;
    auto stamped = [&](auto e) {
        if (e) e->At = *at;
        return e;
    };
    if (f[1] == "R") return InsertRead(log, stamped(RowFrom(rest)), *seq, bytes, id);
    if (f[1] == "D") return InsertRead(log, stamped(RegistrationFrom(rest)), *seq, bytes, id);
    if (f[1] == "P") return InsertRead(log, stamped(DesignationFrom(rest)), *seq, bytes, id);
    if (f[1] == "J") return InsertRead(log, JournalLineFrom(rest), *seq, bytes, id);
    if (f[1] == "F" && rest.size() == 3 && !rest[1].empty())
        return InsertRead(log, std::optional(QueuedFile{rest[1], rest[2]}), *seq, bytes, id);
    return false;
}

}  // namespace

SaveQueue::SaveQueue(std::string path, Disk& disk)
    : path_(std::move(path)), disk_(disk), log_(std::make_unique<Log>()) {
    log_->folder = StationLogFolder(path_);
    log_->name = NewLogName();
}

SaveQueue::SaveQueue(SaveQueue&& other) noexcept
    : path_(std::move(other.path_)), disk_(other.disk_), log_(std::move(other.log_)) {}

SaveQueue::~SaveQueue() {
    if (!log_ || log_->fd < 0) return;
    // Everything delivered: nothing for the next run to take in.
    if (log_->Count() == 0 && log_->aside.empty()) ::unlink(log_->path.c_str());
    ::close(log_->fd);
}

std::string SaveQueue::LogPath() const {
    std::lock_guard lock(mutex_);
    return log_->path;
}

std::uint64_t SaveQueue::BytesWritten() const {
    std::lock_guard lock(mutex_);
    return log_->written;
}

FileResult SaveQueue::Append(const std::string& lines) {
    Log& log = *log_;
    if (log.fd < 0) {
        if (!IsFolder(log.folder) && !MakeFolders(log.folder)) return Failed(Failure::FolderNotMade, log.folder);
        std::string path = JoinPath(log.folder, log.name + ".log");
        if (int err = disk_.AppendFault(WriteStep::Open, path)) return {Failure::WriteFailed, path, err, WriteStep::Open, {}};
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) return {Failure::WriteFailed, path, errno, WriteStep::Open, {}};
        HoldFile(fd);
        std::string first = std::string(kLogFirstLine) + "\n";
        if (!WriteAllAt(fd, first, 0) || ::fdatasync(fd) != 0 || !SyncFolder(log.folder)) {
            int err = errno;
            ::close(fd);
            ::unlink(path.c_str());
            return {Failure::WriteFailed, path, err, WriteStep::Write, {}};
        }
        log.fd = fd;
        log.path = path;
        log.fileBytes = first.size();
        log.written += first.size();
    }
    auto failed = [&](WriteStep step, int err) {
        log.cutOff = true;
        return FileResult{Failure::WriteFailed, log.path, err, step, {}};
    };
    // Lines the disk refused before go first, in the order they came.
    std::string text;
    if (!log.unsynced.empty())
        for (const auto& [seq, line] : log.LiveLines(&log.unsynced)) text += line;
    text += lines;
    if (int err = disk_.AppendFault(WriteStep::Write, log.path)) return failed(WriteStep::Write, err);
    if (log.cutOff && ::ftruncate(log.fd, static_cast<off_t>(log.fileBytes)) != 0) return failed(WriteStep::Write, errno);
    if (!WriteAllAt(log.fd, text, static_cast<off_t>(log.fileBytes))) return failed(WriteStep::Write, errno);
    if (int err = disk_.AppendFault(WriteStep::Sync, log.path)) return failed(WriteStep::Sync, err);
    if (::fdatasync(log.fd) != 0) return failed(WriteStep::Sync, errno);
    log.cutOff = false;
    log.unsynced.clear();
    log.fileBytes += text.size();
    log.written += text.size();
    return {};
}

FileResult SaveQueue::MarkDone(const std::vector<std::uint64_t>& seqs) {
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
void SaveQueue::CompactIfWorthIt() {
    Log& log = *log_;
    if (log.fd < 0 || log.fileBytes < kCompactBelowBytes || log.liveBytes * (kDeadPerLive + 1) > log.fileBytes) return;
    std::string text = std::string(kLogFirstLine) + "\n" + log.LiveText();
    std::string temp = log.path + ".new";
    int fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return;
    HoldFile(fd);
    if (!WriteAllAt(fd, text, 0) || ::fdatasync(fd) != 0 || ::rename(temp.c_str(), log.path.c_str()) != 0) {
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


// An earlier run's log file as read for the take-in.
struct SaveQueue::Earlier {
    std::string path;
    int fd = -1;
    int readErr = 0;
    LogParse parse;
    std::unique_ptr<SaveQueue::Log> log = std::make_unique<SaveQueue::Log>();
};

namespace {

// Every identity a log holds, waiting or set aside.
std::set<std::string> IdsIn(const SaveQueue::Log& log) {
    std::set<std::string> ids;
    auto add = [&](const auto& all) {
        for (const auto& k : all) ids.insert(log.IdOf(k));
    };
    log.EachKind(add);
    add(log.aside);
    return ids;
}

// Earlier runs' log files in StationLogFolder (never this run's), oldest first.
std::vector<std::string> EarlierLogs(const std::string& folder, const std::string& own) {
    std::error_code ec;
    std::vector<std::string> earlier;
    for (const auto& item : std::filesystem::directory_iterator(folder, ec))
        if (item.path().extension() == ".log" && item.path().string() != own) earlier.push_back(item.path());
    std::sort(earlier.begin(), earlier.end());
    return earlier;
}


// Reads one earlier log into memory, remembering what it delivered.
void ReadEarlier(SaveQueue::Earlier& e, Disk& disk) {
    StampedRead file = ReadStamped(e.path, disk);
    e.readErr = file.err;
    std::string base = e.path.substr(e.path.find_last_of('/') + 1);
    e.log->name = base.substr(0, base.size() - 4);
    e.log->keepDoneIds = true;
    e.parse = ParseLog(file.bytes, *e.log);
}

// The earlier logs nobody holds any more (hold: and this run holds them now).
std::vector<SaveQueue::Earlier> ReadEarlierLogs(const std::string& folder, const std::string& own, bool hold, Disk& disk) {
    std::vector<SaveQueue::Earlier> earlier;
    for (const std::string& path : EarlierLogs(folder, own)) {
        int fd = -1;
        if (hold) {
            fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd < 0) continue;
            // Another run of the program still writes it.
            if (!HoldFile(fd)) {
                ::close(fd);
                continue;
            }
        }
        SaveQueue::Earlier& e = earlier.emplace_back();
        e.path = path;
        e.fd = fd;
        ReadEarlier(e, disk);
    }
    return earlier;
}

// What the earlier logs delivered: never taken again from another file.
std::set<std::string> DoneIn(const std::vector<SaveQueue::Earlier>& earlier) {
    std::set<std::string> done;
    for (const SaveQueue::Earlier& e : earlier) done.insert(e.log->doneIds.begin(), e.log->doneIds.end());
    return done;
}

// The old queue's entries are known by their place in it.
std::string LegacyId(std::uint64_t place) { return "SaveQueue.dat:" + SeqText(place); }

}  // namespace

SaveQueue::Loaded SaveQueue::Load() {
    std::lock_guard lock(mutex_);
    Loaded loaded;
    std::vector<SaveQueue::Earlier> earlier =
        ReadEarlierLogs(log_->folder, JoinPath(log_->folder, log_->name + ".log"), true, disk_);
    std::set<std::string> known = IdsIn(*log_);
    known.merge(DoneIn(earlier));
    TakeLegacy(loaded, known);
    TakeEarlierLogs(loaded, earlier, known);
    return loaded;
}

// The old whole-file queue: its entries into the log, then the file gone.
// Its entries are known by their place in it, so that a start killed before
// the file is gone takes none of them twice.
void SaveQueue::TakeLegacy(Loaded& loaded, std::set<std::string>& known) {
    StampedRead file = ReadStamped(path_, disk_);
    if (file.missing()) return;
    QueueParse parse;
    if (file.err) {
        loaded.status = ReadStatus::Unreadable;
        loaded.problem = Failed(Failure::Unreadable, path_, file.err);
    } else {
        loaded.status = ReadStatus::Read;
        parse = ParseQueueFile(file.bytes);
    }
    std::string lines;
    Log& log = *log_;
    std::uint64_t place = 0;
    std::set<std::uint64_t> taken;
    auto put = [&](auto entry) {
        std::string id = LegacyId(++place);
        if (!known.insert(id).second) return;
        std::uint64_t seq = log.nextSeq++;
        std::string line = LineOf(seq, id, entry);
        lines += line;
        taken.insert(seq);
        log.Insert(Kept<decltype(entry)>{seq, std::move(entry), line.size(), id});
    };
    for (const auto& r : parse.content.rows) put(r);
    for (const auto& d : parse.content.registrations) put(d);
    for (const auto& p : parse.content.designations) put(p);
    for (const auto& j : parse.content.journalLines) put(j);
    size_t count = CountOf(parse.content);
    FileResult appended = lines.empty() ? FileResult{} : Append(lines);
    if (!appended) log.unsynced.insert(taken.begin(), taken.end());
    KeepFirst(loaded.problem, appended);
    if (file.err || parse.damaged) {
        loaded.damaged = parse.damaged;
        loaded.salvaged = count;
        loaded.keptAside = KeepAside(path_);
        if (loaded.keptAside.empty())
            KeepFirst(loaded.problem, {Failure::WriteFailed, path_, errno, WriteStep::Rename, {}});
        return;
    }
    // Only once its entries are synced in the log: never lost between the two.
    if (appended) ::unlink(path_.c_str());
}

// The log files of runs that ended: what waits in them into this run's file.
// Every entry keeps the identity it was made with, so that one taken in
// before (a start killed after its log was synced and before the earlier
// file went) or already delivered from another file is not taken again.
void SaveQueue::TakeEarlierLogs(Loaded& loaded, std::vector<SaveQueue::Earlier>& earlier, std::set<std::string>& known) {
    Log& log = *log_;
    for (SaveQueue::Earlier& e : earlier) {
        Log& other = *e.log;
        std::string lines;
        std::set<std::uint64_t> taken;
        for (const auto& [oldSeq, id, body] : other.Entries()) {
            if (!known.insert(id).second) continue;
            std::uint64_t seq = log.nextSeq++;
            std::string line = SeqText(seq) + "\t" + Escaped(id) + "\t" + body + "\n";
            TakeLogLine(std::string_view(line).substr(0, line.size() - 1), log);
            taken.insert(seq);
            lines += line;
        }
        for (const auto& k : other.aside) {
            if (!known.insert(other.IdOf(k)).second) continue;
            std::uint64_t seq = log.nextSeq++;
            std::string line = SeqText(seq) + "\t" + Escaped(other.IdOf(k)) + "\t" + k.e.What + "\n";
            std::string mark = "a\t" + SeqText(seq) + "\t" + Escaped(k.e.Reason) + "\n";
            TakeLogLine(std::string_view(line).substr(0, line.size() - 1), log);
            TakeLogLine(std::string_view(mark).substr(0, mark.size() - 1), log);
            lines += line + mark;
        }
        FileResult appended = lines.empty() ? FileResult{} : Append(lines);
        if (!appended) log.unsynced.insert(taken.begin(), taken.end());
        KeepFirst(loaded.problem, appended);
        if (e.readErr) KeepFirst(loaded.problem, Failed(Failure::Unreadable, e.path, e.readErr));
        if (e.parse.damaged || e.readErr) {
            loaded.damaged = loaded.damaged || e.parse.damaged;
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

// Moves the file to the first free "<name>-damaged-<n><ext>" beside it (ext:
// the file's own unless given); the new name, or empty when it could not be moved.
std::string SaveQueue::KeepAside(const std::string& path, const std::string& newExt) {
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

SaveQueue::Survey SaveQueue::Look(const std::string& queuePath) {
    Survey survey;
    std::string folder = StationLogFolder(queuePath);
    std::vector<SaveQueue::Earlier> logs = ReadEarlierLogs(folder, {}, false, RealDisk());
    std::set<std::string> known = DoneIn(logs);
    StampedRead legacy = ReadStamped(queuePath);
    if (!legacy.missing())
        for (size_t place = 1; place <= CountOf(ParseQueueFile(legacy.bytes).content); ++place)
            if (known.insert(LegacyId(place)).second) ++survey.waiting;
    for (const SaveQueue::Earlier& e : logs) {
        const Log& l = *e.log;
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

size_t SaveQueue::Count() const {
    std::lock_guard lock(mutex_);
    return log_->Count() + log_->aside.size();
}

size_t SaveQueue::JournalLineCount() const {
    std::lock_guard lock(mutex_);
    return log_->journalLines.size();
}

namespace {

template <typename Entry, typename FileOf>
std::vector<std::string> FilesOf(const std::vector<Kept<Entry>>& all, FileOf fileOf) {
    std::vector<std::string> files;
    for (const auto& k : all)
        if (std::find(files.begin(), files.end(), fileOf(k.e)) == files.end()) files.push_back(fileOf(k.e));
    return files;
}

// The waiting entries of one file by their place in it (row, machine line,
// point); of two for one place, the later. place(e) gives whether e is of the
// file, and its place.
template <typename Entry, typename Place>
std::map<int, Entry> EntriesOf(const std::vector<Kept<Entry>>& all, Place place) {
    std::map<int, Entry> of;
    for (const auto& k : all)
        if (auto [inFile, at] = place(k.e); inFile) of[at] = k.e;
    return of;
}

// The entries of one file whose place still holds what was written.
template <typename Entry, typename Value, typename Key>
std::vector<std::uint64_t> WrittenSeqs(const std::vector<Kept<Entry>>& all, const std::map<int, Value>& written,
                                       Key key) {
    std::vector<std::uint64_t> seqs;
    for (const auto& k : all) {
        auto [inFile, place, value] = key(k.e);
        if (!inFile) continue;
        auto it = written.find(place);
        if (it != written.end() && it->second == value) seqs.push_back(k.seq);
    }
    return seqs;
}

}  // namespace

std::vector<std::string> SaveQueue::Books() const {
    std::lock_guard lock(mutex_);
    return FilesOf(log_->rows, [](const QueuedRow& r) { return r.Book; });
}

std::map<int, MeasuredRow> SaveQueue::RowsOf(const std::string& book) const {
    std::map<int, MeasuredRow> rows;
    for (const auto& [r, queued] : QueuedRowsOf(book)) rows[r] = queued.Measured;
    return rows;
}

std::map<int, QueuedRow> SaveQueue::QueuedRowsOf(const std::string& book) const {
    std::lock_guard lock(mutex_);
    return EntriesOf(log_->rows, [&](const QueuedRow& r) { return std::pair{r.Book == book, r.Row}; });
}

// In memory first, then appended: should the append fail, the entry still
// waits in memory, is counted as not on disk, goes with the next append that
// the disk takes, and the caller is told.
template <typename Entry>
FileResult SaveQueue::Put(const Entry& entry) {
    std::lock_guard lock(mutex_);
    Log& log = *log_;
    std::uint64_t seq = log.nextSeq++;
    std::string line = LineOf(seq, {}, entry);
    auto replaced = log.Insert(Kept<Entry>{seq, entry, line.size(), {}});
    FileResult r = Append(line);
    if (!r) log.unsynced.insert(seq);
    if (replaced && r) r = MarkDone({*replaced});
    return r;
}

FileResult SaveQueue::Resync() {
    std::lock_guard lock(mutex_);
    return log_->unsynced.empty() ? FileResult{} : Append({});
}

SaveQueue::Tally SaveQueue::Counted() const {
    std::lock_guard lock(mutex_);
    const Log& log = *log_;
    Tally tally;
    auto count = [&](const auto& all, size_t& waiting, size_t& notOnDisk) {
        waiting += all.size();
        for (const auto& k : all) notOnDisk += log.unsynced.count(k.seq);
    };
    count(log.rows, tally.values, tally.valuesNotOnDisk);
    count(log.registrations, tally.values, tally.valuesNotOnDisk);
    count(log.designations, tally.values, tally.valuesNotOnDisk);
    count(log.journalLines, tally.records, tally.recordsNotOnDisk);
    count(log.files, tally.records, tally.recordsNotOnDisk);
    tally.aside = log.aside.size();
    return tally;
}

FileResult SaveQueue::PutRow(const QueuedRow& row) { return Put(row); }

FileResult SaveQueue::RemoveRows(const std::string& book, const std::map<int, MeasuredRow>& written) {
    std::lock_guard lock(mutex_);
    return MarkDone(WrittenSeqs(log_->rows, written, [&](const QueuedRow& r) {
        return std::tuple{r.Book == book, r.Row, r.Measured};
    }));
}

std::vector<std::string> SaveQueue::DirectoryFiles() const {
    std::lock_guard lock(mutex_);
    return FilesOf(log_->registrations, [](const QueuedRegistration& d) { return d.DirectoryFile; });
}

std::map<int, std::string> SaveQueue::RegistrationsOf(const std::string& directoryFile) const {
    std::lock_guard lock(mutex_);
    std::map<int, std::string> lines;
    for (const auto& k : log_->registrations)
        if (k.e.DirectoryFile == directoryFile) lines[k.e.Machine] = k.e.ProductFolder;
    return lines;
}

FileResult SaveQueue::PutRegistration(const QueuedRegistration& registration) { return Put(registration); }

FileResult SaveQueue::RemoveRegistrations(const std::string& directoryFile, const std::map<int, std::string>& written) {
    std::lock_guard lock(mutex_);
    return MarkDone(WrittenSeqs(log_->registrations, written, [&](const QueuedRegistration& d) {
        return std::tuple{d.DirectoryFile == directoryFile, d.Machine, d.ProductFolder};
    }));
}

std::vector<std::string> SaveQueue::PointFiles() const {
    std::lock_guard lock(mutex_);
    return FilesOf(log_->designations, [](const QueuedDesignation& p) { return p.PointFile; });
}

std::map<int, QueuedRegistration> SaveQueue::QueuedRegistrationsOf(const std::string& directoryFile) const {
    std::lock_guard lock(mutex_);
    return EntriesOf(log_->registrations, [&](const QueuedRegistration& d) {
        return std::pair{d.DirectoryFile == directoryFile, d.Machine};
    });
}

std::map<int, QueuedDesignation> SaveQueue::QueuedDesignationsOf(const std::string& pointFile) const {
    std::lock_guard lock(mutex_);
    return EntriesOf(log_->designations,
                     [&](const QueuedDesignation& p) { return std::pair{p.PointFile == pointFile, p.Point}; });
}

std::map<int, DesignatedPoint> SaveQueue::DesignationsOf(const std::string& pointFile) const {
    std::map<int, DesignatedPoint> points;
    for (const auto& [p, queued] : QueuedDesignationsOf(pointFile)) points[p] = queued.Designated;
    return points;
}

FileResult SaveQueue::PutDesignation(const QueuedDesignation& designation) { return Put(designation); }

FileResult SaveQueue::RemoveDesignations(const std::string& pointFile, const std::map<int, DesignatedPoint>& written) {
    std::lock_guard lock(mutex_);
    return MarkDone(WrittenSeqs(log_->designations, written, [&](const QueuedDesignation& p) {
        return std::tuple{p.PointFile == pointFile, p.Point, p.Designated};
    }));
}

std::vector<std::string> SaveQueue::Journals() const {
    std::lock_guard lock(mutex_);
    return FilesOf(log_->journalLines, [](const QueuedJournalLine& j) { return j.Journal; });
}

std::vector<std::string> SaveQueue::JournalRecordsOf(const std::string& journal) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> records;
    for (const auto& k : log_->journalLines)
        if (k.e.Journal == journal) records.push_back(k.e.Record);
    return records;
}

FileResult SaveQueue::PutJournalLine(const QueuedJournalLine& journalLine) { return Put(journalLine); }

FileResult SaveQueue::RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> seqs;
    size_t next = 0;
    for (const auto& k : log_->journalLines) {
        if (k.e.Journal != journal) continue;
        // The lines of the journal after one that was not written wait on.
        if (next >= written.size() || k.e.Record != written[next]) break;
        seqs.push_back(k.seq);
        ++next;
    }
    return MarkDone(seqs);
}

std::vector<QueuedFile> SaveQueue::WaitingFiles() const {
    std::lock_guard lock(mutex_);
    std::vector<QueuedFile> files;
    for (const auto& k : log_->files) files.push_back(k.e);
    return files;
}

FileResult SaveQueue::PutFile(const QueuedFile& file) { return Put(file); }

FileResult SaveQueue::RemoveFile(const QueuedFile& written) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> seqs;
    for (const auto& k : log_->files)
        if (k.e == written) seqs.push_back(k.seq);
    return MarkDone(seqs);
}

bool SaveQueue::FailedFor(const std::string& target, const std::string& reason) {
    std::lock_guard lock(mutex_);
    Log& log = *log_;
    if (++log.tries[target] < kTriesBeforeAside) return false;
    log.tries.erase(target);
    return SetAsideLocked(target, reason);
}

void SaveQueue::SetAsideFor(const std::string& target, const std::string& reason) {
    std::lock_guard lock(mutex_);
    log_->tries.erase(target);
    SetAsideLocked(target, reason);
}

bool SaveQueue::SetAsideLocked(const std::string& target, const std::string& reason) {
    Log& log = *log_;
    std::vector<std::uint64_t> seqs;
    auto collect = [&](const auto& all, auto fileOf) {
        for (const auto& k : all)
            if (fileOf(k.e) == target) seqs.push_back(k.seq);
    };
    collect(log.rows, [](const QueuedRow& r) { return r.Book; });
    collect(log.registrations, [](const QueuedRegistration& d) { return d.DirectoryFile; });
    collect(log.designations, [](const QueuedDesignation& p) { return p.PointFile; });
    collect(log.journalLines, [](const QueuedJournalLine& j) { return j.Journal; });
    collect(log.files, [](const QueuedFile& f) { return f.Path; });
    std::string marks;
    for (std::uint64_t seq : seqs) {
        log.Aside(seq, reason);
        marks += "a\t" + DecimalText(static_cast<long long>(seq)) + "\t" + Escaped(reason) + "\n";
    }
    if (!marks.empty()) static_cast<void>(Append(marks));
    return !seqs.empty();
}

void SaveQueue::DeliveredTo(const std::string& target) {
    std::lock_guard lock(mutex_);
    log_->tries.erase(target);
}

std::vector<SetAside> SaveQueue::SetAsideEntries() const {
    std::lock_guard lock(mutex_);
    std::vector<SetAside> all;
    for (const auto& k : log_->aside) all.push_back(k.e);
    return all;
}
FileResult SaveWaitingJournalLines(SaveQueue& queue, Disk& disk) {
    FileResult first;
    for (const std::string& journal : queue.Journals()) {
        JournalWrite written = SaveWaitingJournal(queue, journal, disk);
        KeepFirst(first, written.problem);
        KeepFirst(first, written.queueProblem);
    }
    return first;
}

FileResult SaveWaitingFiles(SaveQueue& queue, Disk& disk) {
    FileResult queueProblem;
    for (const QueuedFile& file : queue.WaitingFiles()) {
        std::string folder = file.Path.substr(0, file.Path.find_last_of('/'));
        if (!IsFolder(folder)) MakeFolder(folder);
        FileResult written = WriteTextFile(file.Path, file.Content, disk);
        // A text the file's encoding cannot hold never goes in: kept, not tried again.
        if (written.failure == Failure::NotShiftJis) queue.SetAsideFor(file.Path, "NotShiftJis");
        KeepFirst(queueProblem, written ? queue.RemoveFile(file) : written);
    }
    return queueProblem;
}

FileResult SaveWaitingDesignationsOf(SaveQueue& queue, Files files, const std::string& pointFile, PointTable* written,
                                     FileResult* queueProblem) {
    std::map<int, QueuedDesignation> waiting = queue.QueuedDesignationsOf(pointFile);
    if (waiting.empty()) return {};
    std::map<int, TimedDesignation> timed;
    std::map<int, DesignatedPoint> points;
    for (const auto& [p, d] : waiting) {
        timed[p] = {d.Designated, d.At};
        points[p] = d.Designated;
    }
    FileResult saved = SaveDesignatedPoints(files, pointFile, timed, written);
    if (!saved) return saved;
    queue.DeliveredTo(pointFile);
    // Written, or older than what the file holds: done with either way.
    FileResult removed = queue.RemoveDesignations(pointFile, points);
    if (queueProblem) *queueProblem = removed;
    return saved;
}

FileResult SaveWaitingDesignations(SaveQueue& queue, Files files, std::vector<std::pair<std::string, PointTable>>* written) {
    FileResult first;
    for (const std::string& file : queue.PointFiles()) {
        PointTable table;
        FileResult removed;
        FileResult saved = SaveWaitingDesignationsOf(queue, files, file, &table, &removed);
        if (saved && written) written->push_back({file, table});
        KeepFirst(first, saved);
        KeepFirst(first, removed);
    }
    return first;
}

}  // namespace ziv
