#pragma once
// The station's log as memory holds it, and its lines read back into it: for
// the log's own files alone (the station's log and the take-in of earlier runs).
#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "station_log/log_entries.h"
#include "station_log/log_lines.h"

namespace ziv {

inline const char* const kLogFirstLine = "ZIV station log 2";
// Logs of earlier versions: their entry lines carry no identity.
inline const char* const kLogFirstLineV1 = "ZIV station log 1";

std::string SeqText(std::uint64_t seq);
// A run's hold on its log file: others take in only files nobody holds.
bool HoldLogFile(int fd);

template <typename Entry>
struct Kept {
    std::uint64_t seq = 0;
    Entry e;
    size_t bytes = 0;  // of its line in the log
    // Where the entry was first made ("<log name>:<seq>"); empty: this file, this seq.
    std::string id;
};

template <typename Entry>
std::string LineOf(std::uint64_t seq, const std::string& id, const Entry& e) {
    return SeqText(seq) + "\t" + EscapedField(id) + "\t" + BodyOf(e) + "\n";
}

struct LogIndex {
    std::string folder;
    std::string path;  // empty until the first entry
    std::string name;  // of path, without ".log": own entries' identities start with it
    int fd = -1;
    bool cutOff = false;  // an append failed part way: the next one starts at fileBytes again
    std::uint64_t nextSeq = 1, fileBytes = 0, liveBytes = 0, written = 0;
    // The waiting entries of each kind, each in the order they came.
    std::tuple<std::vector<Kept<QueuedJournalLine>>, std::vector<Kept<QueuedRow>>,
               std::vector<Kept<QueuedRegistration>>, std::vector<Kept<QueuedDesignation>>,
               std::vector<Kept<QueuedFile>>>
        kinds;
    std::vector<Kept<SetAside>> aside;  // e: the entry's line kept whole in What
    std::map<std::string, int> tries;
    // Entries held in memory whose lines the disk refused: tried again with the next append.
    std::set<std::uint64_t> unsynced;
    // While another run's log is read for the take-in: identities it delivered.
    bool keepDoneIds = false;
    std::set<std::string> doneIds;

    template <typename Entry>
    std::vector<Kept<Entry>>& All() {
        return std::get<std::vector<Kept<Entry>>>(kinds);
    }
    template <typename Entry>
    const std::vector<Kept<Entry>>& All() const {
        return std::get<std::vector<Kept<Entry>>>(kinds);
    }
    // f(entries) for the waiting entries of each kind.
    template <typename F>
    void EachKind(F f) const {
        std::apply([&](const auto&... all) { (f(all), ...); }, kinds);
    }
    template <typename F>
    void EachKind(F f) {
        std::apply([&](auto&... all) { (f(all), ...); }, kinds);
    }
    size_t Count() const {
        size_t n = 0;
        EachKind([&](const auto& all) { n += all.size(); });
        return n;
    }
    template <typename Entry>
    std::string IdOf(const Kept<Entry>& k) const {
        return k.id.empty() ? name + ":" + SeqText(k.seq) : k.id;
    }
    // The seq of an entry done with once this one is in: the one it replaced.
    template <typename Entry>
    std::optional<std::uint64_t> Insert(Kept<Entry> k);
    void Drop(const std::vector<std::uint64_t>& seqs);
    void Aside(std::uint64_t seq, const std::string& reason);
    // Every line that still counts, by seq; with only, those of these seqs.
    std::vector<std::pair<std::uint64_t, std::string>> LiveLines(const std::set<std::uint64_t>* only = nullptr) const;
    // Every waiting entry as seq, identity and body, in the order they came.
    std::vector<std::tuple<std::uint64_t, std::string, std::string>> Entries() const;
    // The whole log as it is to be written anew, in the order the entries came.
    std::string LiveText() const;
};

// One line of a log into memory; false when it does not read.
// withIds: the line's entry carries its identity after its seq.
bool TakeLogLine(std::string_view line, LogIndex& log, bool withIds = true);
// A log file's text into memory; true when a whole line did not read (a
// cut-off last line is not damage: a crash made it).
bool ParseLog(std::string_view text, LogIndex& log);

}  // namespace ziv
