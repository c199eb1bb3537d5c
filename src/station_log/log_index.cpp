#include "station_log/log_index.h"

#include <limits>

#include "common/numbers.h"
#include "common/whole_in_range.h"

namespace ziv {

std::string SeqText(std::uint64_t seq) { return DecimalText(static_cast<long long>(seq)); }

// A newer measurement replaces an older one of the same place, never the
// reverse; a text file put again replaces the one waiting and goes last;
// journal lines all wait.
template <typename Entry>
std::optional<std::uint64_t> LogIndex::Insert(Kept<Entry> k) {
    std::vector<Kept<Entry>>& all = All<Entry>();
    liveBytes += k.bytes;
    auto same = std::find_if(all.begin(), all.end(), [&](const Kept<Entry>& o) {
        using Kind = LogKind<Entry>;
        if constexpr (PlacedEntry<Entry>)
            return Kind::Target(o.e) == Kind::Target(k.e) && Kind::Place(o.e) == Kind::Place(k.e);
        else
            return std::is_same_v<Entry, QueuedFile> && Kind::Target(o.e) == Kind::Target(k.e);
    });
    if (same == all.end()) {
        all.push_back(std::move(k));
        return std::nullopt;
    }
    if constexpr (PlacedEntry<Entry>) {
        if (k.e.At.NewerThan(same->e.At) || k.e.At == same->e.At) std::swap(*same, k);
    } else {
        std::swap(*same, k);
        std::rotate(same, same + 1, all.end());
    }
    // k is now the one done with.
    liveBytes -= k.bytes;
    if (keepDoneIds) doneIds.insert(IdOf(k));
    return k.seq;
}

void LogIndex::Drop(const std::vector<std::uint64_t>& seqs) {
    EachKind([&](auto& all) {
        std::erase_if(all, [&](const auto& k) {
            bool done = std::find(seqs.begin(), seqs.end(), k.seq) != seqs.end();
            if (done) liveBytes -= k.bytes;
            if (done && keepDoneIds) doneIds.insert(IdOf(k));
            return done;
        });
    });
}

void LogIndex::Aside(std::uint64_t seq, const std::string& reason) {
    EachKind([&](auto& all) {
        auto it = std::find_if(all.begin(), all.end(), [&](const auto& k) { return k.seq == seq; });
        if (it == all.end()) return;
        using Entry = std::decay_t<decltype(it->e)>;
        std::string body = BodyOf(it->e);
        aside.push_back({seq, {body.substr(0, 1), LogKind<Entry>::Target(it->e), body, reason}, it->bytes, it->id});
        all.erase(it);
    });
}

std::vector<std::pair<std::uint64_t, std::string>> LogIndex::LiveLines(const std::set<std::uint64_t>* only) const {
    std::vector<std::pair<std::uint64_t, std::string>> lines;
    EachKind([&](const auto& all) {
        for (const auto& k : all)
            if (!only || only->count(k.seq)) lines.push_back({k.seq, LineOf(k.seq, k.id, k.e)});
    });
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::tuple<std::uint64_t, std::string, std::string>> LogIndex::Entries() const {
    std::vector<std::tuple<std::uint64_t, std::string, std::string>> entries;
    EachKind([&](const auto& all) {
        for (const auto& k : all) entries.emplace_back(k.seq, IdOf(k), BodyOf(k.e));
    });
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string LogIndex::LiveText() const {
    std::vector<std::pair<std::uint64_t, std::string>> lines = LiveLines();
    std::string asideMarks;
    for (const auto& k : aside) {
        lines.push_back({k.seq, SeqText(k.seq) + "\t" + EscapedField(k.id) + "\t" + k.e.What + "\n"});
        asideMarks += "a\t" + SeqText(k.seq) + "\t" + EscapedField(k.e.Reason) + "\n";
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (auto& [seq, line] : lines) text += line;
    return text + asideMarks;
}

namespace {

std::optional<std::uint64_t> Seq(std::string_view text) {
    auto seq = WholeInRange(text, std::int64_t{1}, std::numeric_limits<std::int64_t>::max());
    if (!seq) return std::nullopt;
    return static_cast<std::uint64_t>(*seq);
}

template <typename Entry>
bool InsertRead(LogIndex& log, std::optional<Entry> e, std::uint64_t seq, size_t bytes, std::string id) {
    if (e) log.Insert(Kept<Entry>{seq, std::move(*e), bytes, std::move(id)});
    return e.has_value();
}

}  // namespace

bool TakeLogLine(std::string_view line, LogIndex& log, bool withIds) {
    auto fields = FieldsOf(line);
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
    auto ns = NsFrom(f[2]);
    if (!ns) return false;
    const MeasuredAt at{*ns, f[3]};
    // The entries' readers take "<kind><TAB>…": the seq and the time taken
    // off, the rest is theirs.
    std::vector<std::string> rest{f[1]};
    rest.insert(rest.end(), f.begin() + 4, f.end());
    size_t bytes = line.size() + 1;
    auto stamped = [&](auto e) {
        if (e) e->At = at;
        return e;
    };
    if (f[1] == "R") return InsertRead(log, stamped(RowFrom(rest)), *seq, bytes, id);
    if (f[1] == "D") return InsertRead(log, stamped(RegistrationFrom(rest)), *seq, bytes, id);
    if (f[1] == "P") return InsertRead(log, stamped(DesignationFrom(rest)), *seq, bytes, id);
    if (f[1] == "J") return InsertRead(log, JournalLineFrom(rest), *seq, bytes, id);
    if (f[1] == "F") return InsertRead(log, FileFrom(rest), *seq, bytes, id);
    return false;
}

bool ParseLog(std::string_view text, LogIndex& log) {
    std::vector<std::string_view> lines = SplitAt(text, '\n');
    lines.pop_back();  // after the last line end: cut off, or nothing
    const bool withIds = !lines.empty() && lines.front() == kLogFirstLine;
    if (lines.empty() || (!withIds && lines.front() != kLogFirstLineV1)) return !text.empty();
    bool damaged = false;
    for (size_t i = 1; i < lines.size(); ++i)
        if (!TakeLogLine(lines[i], log, withIds)) damaged = true;
    return damaged;
}

template std::optional<std::uint64_t> LogIndex::Insert(Kept<QueuedRow>);
template std::optional<std::uint64_t> LogIndex::Insert(Kept<QueuedRegistration>);
template std::optional<std::uint64_t> LogIndex::Insert(Kept<QueuedDesignation>);
template std::optional<std::uint64_t> LogIndex::Insert(Kept<QueuedJournalLine>);
template std::optional<std::uint64_t> LogIndex::Insert(Kept<QueuedFile>);

}  // namespace ziv
