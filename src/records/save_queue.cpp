#include "records/save_queue.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>

#include "common/numbers.h"
#include "platform/paths.h"
#include "records/journal.h"
#include "records/product_registry.h"

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

std::optional<int> Whole(std::string_view text, int lo, int hi) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
    return value;
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
    auto machine = Whole(f[2], 0, kLastMachine);
    auto row = Whole(f[3], kFirstPoint, kLastPoint);
    if (f[1].empty() || !machine || !row) return std::nullopt;
    return QueuedRow{f[1], *machine, *row, {f[4], f[5], f[6], f[7]}};
}

std::optional<QueuedRegistration> RegistrationFrom(const std::vector<std::string>& f) {
    if (f.size() != 4) return std::nullopt;
    auto machine = Whole(f[2], 0, kLastMachine);
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
    auto point = Whole(f[2], kFirstPoint, kLastPoint);
    auto x = Coordinate(f[3]), y = Coordinate(f[4]);
    auto instrument = Whole(f[5], 0, 32767);
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

std::string QueueFileText(const QueueContent& content) {
    std::string text = std::string(kFirstLine) + "\n";
    for (const QueuedRow& r : content.rows) {
        const MeasuredRow& m = r.Measured;
        text += "R\t" + Escaped(r.Book) + "\t" + DecimalText(r.Machine) + "\t" + DecimalText(r.Row) + "\t" +
                Escaped(m.InputName) + "\t" + Escaped(m.Value) + "\t" + Escaped(m.Judgement) + "\t" +
                Escaped(m.Correction) + "\n";
    }
    for (const QueuedRegistration& d : content.registrations)
        text += "D\t" + Escaped(d.DirectoryFile) + "\t" + DecimalText(d.Machine) + "\t" + Escaped(d.ProductFolder) + "\n";
    for (const QueuedDesignation& p : content.designations)
        text += "P\t" + Escaped(p.PointFile) + "\t" + DecimalText(p.Point) + "\t" + CoordinateText(p.Designated.X) +
                "\t" + CoordinateText(p.Designated.Y) + "\t" + DecimalText(p.Designated.Instrument) + "\n";
    for (const QueuedJournalLine& j : content.journalLines)
        text += "J\t" + Escaped(j.Journal) + "\t" + Escaped(j.Record) + "\n";
    return text + "end\t" + DecimalText(static_cast<long long>(CountOf(content))) + "\n";
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
        count = Whole(lines.back().substr(4), 0, 1 << 30);
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

SaveQueue::Loaded SaveQueue::Load() {
    Loaded loaded;
    content_ = {};
    blocked_ = {};
    StampedRead file = ReadStamped(path_, disk_);
    if (file.missing()) return loaded;
    if (file.err) {
        loaded.status = ReadStatus::Unreadable;
        loaded.problem = Failed(Failure::Unreadable, path_, file.err);
    } else {
        loaded.status = ReadStatus::Read;
        QueueParse parse = ParseQueueFile(file.bytes);
        content_ = std::move(parse.content);
        if (!parse.damaged) return loaded;
        loaded.damaged = true;
        loaded.salvaged = Count();
    }
    loaded.keptAside = KeepAside();
    if (loaded.keptAside.empty()) {
        // Whatever it holds stays there for someone to look at.
        KeepFirst(loaded.problem, {Failure::WriteFailed, path_, errno, WriteStep::Rename, {}});
        blocked_ = loaded.problem;
    } else if (!Empty()) {
        // Moved aside, the file is gone: what was read of it is written anew at once.
        KeepFirst(loaded.problem, Store());
    }
    return loaded;
}

// Moves the file to the first free "<name>-damaged-<n>.dat" beside it; the
// new name, or empty when it could not be moved.
std::string SaveQueue::KeepAside() {
    std::string stem = path_.size() > 4 && path_.ends_with(".dat") ? path_.substr(0, path_.size() - 4) : path_;
    for (int n = 1; n < 1000; ++n) {
        std::string aside = stem + "-damaged-" + DecimalText(n) + ".dat";
        if (PathExists(aside)) continue;
        return std::rename(path_.c_str(), aside.c_str()) == 0 ? aside : std::string();
    }
    return {};
}

FileResult SaveQueue::Store() {
    if (!blocked_) return blocked_;
    return WriteFileAtomic(path_, QueueFileText(content_), nullptr, {}, disk_);
}

size_t SaveQueue::Count() const { return CountOf(content_); }

namespace {

// The three kinds of entry are alike: a file, a place in it (row, machine
// line, point) and what goes there. These work on any of them.
template <typename Entry>
std::vector<std::string> FilesOf(const std::vector<Entry>& all, std::string Entry::*file) {
    std::vector<std::string> files;
    for (const Entry& e : all)
        if (std::find(files.begin(), files.end(), e.*file) == files.end()) files.push_back(e.*file);
    return files;
}

template <typename Entry, typename Value>
std::map<int, Value> PlacesOf(const std::vector<Entry>& all, const std::string& of, std::string Entry::*file,
                              int Entry::*place, Value Entry::*value) {
    std::map<int, Value> places;
    for (const Entry& e : all)
        if (e.*file == of) places[e.*place] = e.*value;
    return places;
}

// The entry of the same file and place is replaced: the newer one wins.
template <typename Entry>
void PutInPlace(std::vector<Entry>& all, const Entry& entry, std::string Entry::*file, int Entry::*place) {
    auto same = [&](const Entry& e) { return e.*file == entry.*file && e.*place == entry.*place; };
    if (auto it = std::find_if(all.begin(), all.end(), same); it != all.end()) *it = entry;
    else all.push_back(entry);
}

// True when an entry of the file still held what was written, and went.
template <typename Entry, typename Value>
bool DropWritten(std::vector<Entry>& all, const std::string& of, const std::map<int, Value>& written,
                 std::string Entry::*file, int Entry::*place, Value Entry::*value) {
    auto done = [&](const Entry& e) {
        auto it = written.find(e.*place);
        return e.*file == of && it != written.end() && it->second == e.*value;
    };
    return std::erase_if(all, done) > 0;
}

}  // namespace

std::vector<std::string> SaveQueue::Books() const { return FilesOf(content_.rows, &QueuedRow::Book); }

std::map<int, MeasuredRow> SaveQueue::RowsOf(const std::string& book) const {
    return PlacesOf(content_.rows, book, &QueuedRow::Book, &QueuedRow::Row, &QueuedRow::Measured);
}

FileResult SaveQueue::PutRow(const QueuedRow& row) {
    PutInPlace(content_.rows, row, &QueuedRow::Book, &QueuedRow::Row);
    return Store();
}

FileResult SaveQueue::RemoveRows(const std::string& book, const std::map<int, MeasuredRow>& written) {
    bool dropped = DropWritten(content_.rows, book, written, &QueuedRow::Book, &QueuedRow::Row, &QueuedRow::Measured);
    return dropped ? Store() : FileResult{};
}

std::vector<std::string> SaveQueue::DirectoryFiles() const {
    return FilesOf(content_.registrations, &QueuedRegistration::DirectoryFile);
}

std::map<int, std::string> SaveQueue::RegistrationsOf(const std::string& directoryFile) const {
    return PlacesOf(content_.registrations, directoryFile, &QueuedRegistration::DirectoryFile,
                    &QueuedRegistration::Machine, &QueuedRegistration::ProductFolder);
}

FileResult SaveQueue::PutRegistration(const QueuedRegistration& registration) {
    PutInPlace(content_.registrations, registration, &QueuedRegistration::DirectoryFile, &QueuedRegistration::Machine);
    return Store();
}

FileResult SaveQueue::RemoveRegistrations(const std::string& directoryFile, const std::map<int, std::string>& written) {
    bool dropped = DropWritten(content_.registrations, directoryFile, written, &QueuedRegistration::DirectoryFile,
                               &QueuedRegistration::Machine, &QueuedRegistration::ProductFolder);
    return dropped ? Store() : FileResult{};
}

std::vector<std::string> SaveQueue::PointFiles() const {
    return FilesOf(content_.designations, &QueuedDesignation::PointFile);
}

std::map<int, DesignatedPoint> SaveQueue::DesignationsOf(const std::string& pointFile) const {
    return PlacesOf(content_.designations, pointFile, &QueuedDesignation::PointFile, &QueuedDesignation::Point,
                    &QueuedDesignation::Designated);
}

FileResult SaveQueue::PutDesignation(const QueuedDesignation& designation) {
    PutInPlace(content_.designations, designation, &QueuedDesignation::PointFile, &QueuedDesignation::Point);
    return Store();
}

FileResult SaveQueue::RemoveDesignations(const std::string& pointFile, const std::map<int, DesignatedPoint>& written) {
    bool dropped = DropWritten(content_.designations, pointFile, written, &QueuedDesignation::PointFile,
                               &QueuedDesignation::Point, &QueuedDesignation::Designated);
    return dropped ? Store() : FileResult{};
}

std::vector<std::string> SaveQueue::Journals() const {
    return FilesOf(content_.journalLines, &QueuedJournalLine::Journal);
}

std::vector<std::string> SaveQueue::JournalRecordsOf(const std::string& journal) const {
    std::vector<std::string> records;
    for (const QueuedJournalLine& j : content_.journalLines)
        if (j.Journal == journal) records.push_back(j.Record);
    return records;
}

FileResult SaveQueue::PutJournalLine(const QueuedJournalLine& line) {
    content_.journalLines.push_back(line);
    return Store();
}

FileResult SaveQueue::RemoveJournalLines(const std::string& journal, const std::vector<std::string>& written) {
    std::vector<QueuedJournalLine> kept;
    size_t next = 0, dropped = 0;
    for (QueuedJournalLine& j : content_.journalLines) {
        bool done = j.Journal == journal && next < written.size() && j.Record == written[next];
        if (done) ++next, ++dropped;
        // The lines of the journal after one that was not written wait on.
        else if (j.Journal == journal) next = written.size();
        if (!done) kept.push_back(std::move(j));
    }
    content_.journalLines = std::move(kept);
    return dropped > 0 ? Store() : FileResult{};
}

FileResult SaveWaitingJournalLines(SaveQueue& queue, Disk& disk) {
    FileResult queueProblem;
    for (const std::string& journal : queue.Journals())
        KeepFirst(queueProblem, SaveWaitingJournal(queue, journal, disk).queueProblem);
    return queueProblem;
}

FileResult SaveWaitingDesignations(SaveQueue& queue, Files files) {
    FileResult queueProblem;
    for (const std::string& file : queue.PointFiles()) {
        std::map<int, DesignatedPoint> waiting = queue.DesignationsOf(file);
        if (SaveDesignatedPoints(files, file, waiting)) KeepFirst(queueProblem, queue.RemoveDesignations(file, waiting));
    }
    return queueProblem;
}

FileResult SaveWaitingRegistrations(SaveQueue& queue, Files files) {
    FileResult queueProblem;
    for (const std::string& file : queue.DirectoryFiles()) {
        DirectoryRead now = ReadDirectoryFile(file, files.disk);
        if (now.status == ReadStatus::Unreadable) continue;
        std::map<int, std::string> waiting = queue.RegistrationsOf(file);
        ProductPathList paths = now.paths;
        std::vector<int> registeredHere;
        for (const auto& [machine, folder] : waiting) {
            paths.at(static_cast<size_t>(machine)) = folder;
            registeredHere.push_back(machine);
        }
        if (SaveDirectoryFile(files, file, paths, nullptr, registeredHere))
            KeepFirst(queueProblem, queue.RemoveRegistrations(file, waiting));
    }
    return queueProblem;
}

}  // namespace ziv
