#include "records/journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <utility>

#include "common/whole_in_range.h"
#include "common/numbers.h"
#include "common/station_limits.h"
#include "platform/paths.h"
#include "common/durable_file.h"

namespace ziv {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::array<std::string_view, 17> kColumns = {
    "日時", "作業日", "ステーション", "測定者", "製品", "号機", "番号", "入力", "判定",
    "補正", "入力方法", "測定器", "管理番号", "校正期限", "校正期限切れ", "受信", "前の値"};
constexpr std::string_view kTyped = "手入力";
constexpr std::string_view kEmptied = "消去";
constexpr std::string_view kRefused = " 数値なし";  // after the key: "F3 数値なし"
constexpr std::string_view kSignal = "管理信号";
constexpr std::string_view kReaction = "対処";
constexpr std::string_view kCutOff = "\x18";  // CAN

// A control character's picture: U+2400 + code (three bytes E2 90 80+code),
// U+2421 for DEL.
void AppendPicture(std::string& out, unsigned char c) {
    unsigned code = c == 0x7F ? 0x21 : c;
    out += '\xE2';
    out += static_cast<char>(0x90);
    out += static_cast<char>(0x80 + code);
}

// The picture at text[i], if one stands there: the control character it shows.
std::optional<char> PictureAt(std::string_view text, size_t i) {
    if (i + 2 >= text.size() || text[i] != '\xE2' || text[i + 1] != '\x90') return std::nullopt;
    unsigned last = static_cast<unsigned char>(text[i + 2]);
    if (last >= 0x80 && last <= 0x9F) return static_cast<char>(last - 0x80);
    if (last == 0xA1) return '\x7F';
    return std::nullopt;
}

std::string Cell(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) AppendPicture(shown, c);
        else shown += ch;
    }
    if (shown.find_first_of(",\"") == std::string::npos) return shown;
    std::string quoted = "\"";
    for (char c : shown) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string FromCell(std::string_view shown) {
    std::string text;
    text.reserve(shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        if (auto c = PictureAt(shown, i)) {
            text += *c;
            i += 2;
        } else {
            text += shown[i];
        }
    }
    return text;
}

// The cells of one line; nothing when its quotes do not close, a quote stands
// inside an unquoted cell, or the line holds a raw control character.
std::optional<std::vector<std::string>> SplitRecord(std::string_view line) {
    std::vector<std::string> cells;
    size_t i = 0;
    for (;;) {
        std::string cell;
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) return std::nullopt;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        cell += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                cell += line[i++];
            }
        } else {
            while (i < line.size() && line[i] != ',') {
                if (line[i] == '"') return std::nullopt;
                cell += line[i++];
            }
        }
        for (char c : cell)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
        cells.push_back(FromCell(cell));
        if (i == line.size()) return cells;
        if (line[i] != ',') return std::nullopt;
        ++i;
    }
}

// "F1".."F10", or a refused reading "F1 数値なし".."F10 数値なし".
bool TakeReadingKey(std::string_view text, JournalEntry& e) {
    e.Way = text.ends_with(kRefused) ? EntryWay::Refused : EntryWay::Reading;
    if (e.Way == EntryWay::Refused) text.remove_suffix(kRefused.size());
    auto key = text.starts_with("F") ? WholeInRange(text.substr(1), 1, 10) : std::nullopt;
    if (!key || text[1] == '0') return false;
    e.Key = *key;
    return true;
}

bool TakeWay(std::string_view text, JournalEntry& e) {
    if (text == kTyped) e.Way = EntryWay::Typed;
    else if (text == kEmptied) e.Way = EntryWay::Emptied;
    else if (text == "F11") e.Way = EntryWay::Fail;
    else if (text == "F12") e.Way = EntryWay::Pass;
    else if (text == kSignal) e.Way = EntryWay::Signal;
    else if (text == kReaction) e.Way = EntryWay::Reaction;
    else return TakeReadingKey(text, e);
    return true;
}

std::optional<JournalEntry> EntryFrom(const std::vector<std::string>& c) {
    if (c.size() != kColumns.size()) return std::nullopt;
    JournalEntry e;
    auto time = ParseTimestamp(c[0]);
    auto workDate = ParseDay(c[1]);
    auto machine = WholeInRange(c[5], 0, kLastMachine);
    auto point = WholeInRange(c[6], kFirstPoint, kLastPoint);
    if (!time || !workDate || !machine || !point || !TakeWay(c[10], e)) return std::nullopt;
    if (!c[13].empty()) {
        e.GaugeDue = ParseDay(c[13]);
        if (!e.GaugeDue) return std::nullopt;
    }
    if (c[14] != "0" && c[14] != "1") return std::nullopt;
    e.Time = *time;
    e.WorkDate = *workDate;
    e.Station = c[2];
    e.Operator = c[3];
    e.Product = c[4];
    e.Machine = *machine;
    e.Point = *point;
    e.Text = c[7];
    e.Judgement = c[8];
    e.Correction = c[9];
    e.Instrument = c[11];
    e.Gauge = c[12];
    e.GaugeOverdue = c[14] == "1";
    e.Reply = c[15];
    e.Replaced = c[16];
    return e;
}

std::string ColumnNames() {
    std::string line;
    for (std::string_view name : kColumns) {
        if (!line.empty()) line += ',';
        line += name;
    }
    return line;
}

std::string FolderOf(const std::string& path) {
    auto slash = path.find_last_of(kPathSeparator);
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

FileResult AppendFailed(const std::string& path, WriteStep step, int err) {
    FileResult result = Failed(Failure::WriteFailed, path, err);
    result.step = step;
    return result;
}

std::string Lines(const std::vector<std::string>& records) {
    std::string text;
    for (const std::string& r : records) text += r + "\r\n";
    return text;
}

// Whether the file ends with a line end, or is empty; reads its last byte.
}  // namespace

bool WritesCell(const JournalEntry& e) {
    return e.Way != EntryWay::Refused && e.Way != EntryWay::Signal && e.Way != EntryWay::Reaction;
}

std::string EntryWayText(const JournalEntry& e) {
    switch (e.Way) {
        case EntryWay::Reading: return "F" + DecimalText(e.Key);
        case EntryWay::Fail: return "F11";
        case EntryWay::Pass: return "F12";
        case EntryWay::Typed: return std::string(kTyped);
        case EntryWay::Emptied: return std::string(kEmptied);
        case EntryWay::Refused: return "F" + DecimalText(e.Key) + std::string(kRefused);
        case EntryWay::Signal: return std::string(kSignal);
        case EntryWay::Reaction: return std::string(kReaction);
    }
    return {};
}

std::string JournalFileName(const Day& workDate, const std::string& station) {
    return std::string(kJournalPrefix) + DayText(workDate) + "_" + station + std::string(kJournalExtension);
}

std::optional<Day> JournalFileDay(std::string_view fileName) {
    constexpr size_t kDate = 10;  // "2024-03-07"
    if (!fileName.starts_with(kJournalPrefix) || !fileName.ends_with(kJournalExtension)) return std::nullopt;
    fileName.remove_prefix(kJournalPrefix.size());
    if (fileName.size() < kDate + 1 + kJournalExtension.size() || fileName[kDate] != '_') return std::nullopt;
    // Only the form the station writes, "2024-03-07".
    auto day = ParseDay(fileName.substr(0, kDate));
    if (!day || DayText(*day) != fileName.substr(0, kDate)) return std::nullopt;
    return day;
}

std::string JournalFolder(const std::string& productFolder) { return JoinPath(productFolder, kLogFolderName); }

std::string JournalPath(const std::string& productFolder, const Day& workDate, const std::string& station) {
    return JoinPath(JournalFolder(productFolder), JournalFileName(workDate, station));
}

std::string JournalStart() { return std::string(kBom) + ColumnNames() + "\r\n"; }

std::string JournalRecord(const JournalEntry& e) {
    const std::string cells[] = {TimestampText(e.Time),
                                 DayText(e.WorkDate),
                                 e.Station,
                                 e.Operator,
                                 e.Product,
                                 DecimalText(e.Machine),
                                 DecimalText(e.Point),
                                 e.Text,
                                 e.Judgement,
                                 e.Correction,
                                 EntryWayText(e),
                                 e.Instrument,
                                 e.Gauge,
                                 e.GaugeDue ? DayText(*e.GaugeDue) : std::string(),
                                 e.GaugeOverdue ? "1" : "0",
                                 e.Reply,
                                 e.Replaced};
    std::string record;
    for (const std::string& c : cells) {
        if (&c != cells) record += ',';
        record += Cell(c);
    }
    return record;
}

JournalRead ParseJournal(std::string_view bytes) {
    JournalRead read;
    read.status = ReadStatus::Read;
    if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
    const std::string names = ColumnNames();
    while (!bytes.empty()) {
        size_t end = bytes.find('\n');
        if (end == std::string_view::npos) {
            // Cut off before its line end: never taken, however whole it looks.
            ++read.damaged;
            break;
        }
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end + 1);
        if (line.ends_with('\r')) line.remove_suffix(1);
        // The column names stand first; a station that found the journal
        // empty, its maker gone before it wrote them, wrote them again.
        if (line.starts_with(kBom)) line.remove_prefix(kBom.size());
        if (line == names) continue;
        auto cells = SplitRecord(line);
        auto entry = cells ? EntryFrom(*cells) : std::nullopt;
        if (entry) read.entries.push_back(std::move(*entry));
        else ++read.damaged;
    }
    return read;
}

JournalRead ReadJournal(const std::string& path, Disk& disk) {
    StampedRead file = ReadStamped(path, disk);
    if (file.missing()) return {};
    if (file.err) {
        JournalRead read;
        read.status = ReadStatus::Unreadable;
        read.err = file.err;
        return read;
    }
    return ParseJournal(file.bytes);
}

namespace {

// How long an append that finds a journal just made, still empty, waits for
// its maker's column names: the maker writes them at once, but on a share the
// making and the writing are two requests.
constexpr int kNamesWaitMs = 2000, kNamesPollMs = 50;

// The size of an open journal, once it is no longer a file that another
// station has just made and not yet given its column names; 0 when its maker
// left it empty for good.
off_t SizeOnceNamed(int fd) {
    struct stat st {};
    for (int waited = 0;; waited += kNamesPollMs) {
        if (fstat(fd, &st) != 0) return -1;
        if (st.st_size > 0 || waited >= kNamesWaitMs) return st.st_size;
        ::usleep(kNamesPollMs * 1000);
    }
}

// The end of an open journal of `size` bytes: enough for the last of
// `records` and whatever a cut-off append of all of them left after it.
std::string TailOf(int fd, off_t size, const std::vector<std::string>& records) {
    size_t longest = 0, all = 0;
    for (const std::string& r : records) {
        longest = std::max(longest, r.size());
        all += r.size() + 2;
    }
    std::string tail(std::min(static_cast<size_t>(size), all + longest + 3), '\0');
    ssize_t n = ::pread(fd, tail.data(), tail.size(), size - static_cast<off_t>(tail.size()));
    tail.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return tail;
}

// How many of `records`, from the first, the tail ends with. Each record
// carries its time to the millisecond: the one the journal ends with shows
// how far the records went in. A cut-off line at the end is none of them.
size_t RecordsAtTheEnd(const std::string& tail, const std::vector<std::string>& records) {
    size_t lastEnd = tail.rfind('\n');
    if (lastEnd == std::string::npos) return 0;
    std::string_view whole(tail.data(), lastEnd + 1);
    for (size_t k = records.size(); k > 0; --k) {
        const std::string& r = records[k - 1];
        if (whole.size() < r.size() + 3) continue;
        std::string_view at = whole.substr(whole.size() - r.size() - 3);
        if (at[0] == '\n' && at.substr(1, r.size()) == r && at.ends_with("\r\n")) return k;
    }
    return 0;
}

}  // namespace

// A journal is made exclusively and then only appended to, never put in place
// by a rename: two stations (or two PCs cloned with one identity) making the
// same journal at once would otherwise each replace the other's first line.
FileResult AppendToJournal(const std::string& path, const std::vector<std::string>& records, Disk& disk,
                           size_t* already) {
    if (already) *already = 0;
    if (records.empty()) return {};
    int err = disk.AppendFault(WriteStep::Open, path);
    bool made = false;
    int fd = -1;
    for (int tries = 0; !err && fd < 0 && tries < 3; ++tries) {
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
        if (fd >= 0 || errno != ENOENT) break;
        std::string folder = FolderOf(path);
        if (!IsFolder(folder) && !MakeFolder(folder) && !IsFolder(folder))
            return Failed(Failure::FolderNotMade, folder);
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        made = fd >= 0;
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0 && !err) err = errno ? errno : EIO;
    if (err) return AppendFailed(path, WriteStep::Open, err);
    auto fail = [&](WriteStep step, int e) {
        ::close(fd);
        return AppendFailed(path, step, e);
    };
    off_t size = made ? 0 : SizeOnceNamed(fd);
    if (size < 0) return fail(WriteStep::Open, errno);
    // Read through the descriptor the append goes through: one opening of the share.
    const std::string tail = size == 0 ? std::string() : TailOf(fd, size, records);
    const size_t done = already ? RecordsAtTheEnd(tail, records) : 0;
    if (already) *already = done;
    if (done == records.size()) return ::close(fd) == 0 ? FileResult{} : AppendFailed(path, WriteStep::Close, errno);
    std::string text = Lines({records.begin() + static_cast<std::ptrdiff_t>(done), records.end()});
    if (size == 0) text = JournalStart() + text;
    // What a crash cut off might read as a record once a line end followed it,
    // a value cut short included: a control character, which no record holds,
    // ends it for good.
    else if (!tail.ends_with('\n')) text = std::string(kCutOff) + "\r\n" + text;
    WriteStep step{};
    if ((err = WriteAndSync(disk, Growth::Append, path, fd, text, 0, &step))) return fail(step, err);
    if (::close(fd) != 0) return AppendFailed(path, WriteStep::Close, errno);
    if (made) SyncFolder(FolderOf(path));
    return {};
}

}  // namespace ziv
