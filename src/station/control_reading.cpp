// The control watch's read of the file server, every few minutes on every
// station: what it costs the server is multiplied by the shop's stations, so
// it reads only what the journals gained since the last read, and of the
// older working dates only as many as the watched points' last values need.
#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>

#include "common/text_file.h"
#include "platform/paths.h"
#include "report/journal_index.h"
#include "station/control_cache.h"
#include "station/control_watch.h"

namespace ziv {

namespace {

namespace fs = std::filesystem;

// Journals of these last working dates may still grow (a night shift, a
// station delivering after an outage) and are looked at on every read; older
// ones read once are taken as they were.
constexpr int kLiveDays = 3;
// A few cells more than the watch uses: a value emptied later leaves its
// cell without one, and the cell being written again is left out.
constexpr size_t kKeptCells = kRecentValues + 8;

// What one journal folder is read for: the products measured there and, of
// each, the machines watched and the watched points (point, machine).
struct FolderWatch {
    std::map<std::string, std::vector<int>> Machines;
    std::map<std::string, std::vector<std::pair<int, int>>> Points;
    bool Holds(const JournalEntry& e) const {
        auto it = Machines.find(e.Product);
        return it != Machines.end() && std::count(it->second.begin(), it->second.end(), e.Machine);
    }
    std::set<std::pair<std::string, int>> Scope() const {
        std::set<std::pair<std::string, int>> scope;
        for (const auto& [product, machines] : Machines)
            for (int m : machines) scope.emplace(product, m);
        return scope;
    }
};

// The journal folder's journals by working date, newest first: one listing.
std::map<int, std::vector<std::string>, std::greater<>> JournalsByDay(const std::string& folder) {
    std::map<int, std::vector<std::string>, std::greater<>> days;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (auto day = JournalFileDay(name)) days[report::DaysOf(*day)].push_back(std::move(name));
    }
    return days;
}

bool Enough(const FolderReading& reading, const FolderWatch& watch) {
    for (const auto& [product, points] : watch.Points) {
        auto recent = reading.Recent.find(product);
        for (const auto& [point, machine] : points)
            if (recent == reading.Recent.end() || recent->second.Valued(point, machine) < kKeptCells) return false;
    }
    return true;
}

// The reading kept for a folder serves when it was made for at least what is
// watched now; what is no longer watched leaves it.
void FitTo(FolderReading& reading, const FolderWatch& watch) {
    const auto scope = watch.Scope();
    if (!std::includes(reading.Watched.begin(), reading.Watched.end(), scope.begin(), scope.end())) {
        reading = FolderReading{};
    } else if (reading.Watched != scope) {
        std::map<std::string, RecentValues> kept;
        for (const auto& [product, recent] : reading.Recent)
            for (const RecentCell& c : recent.Cells())
                if (scope.count({product, c.Machine})) kept[product].Add(c);
        reading.Recent = std::move(kept);
    }
    reading.Watched = scope;
}

// Takes what one journal gained into the reading; the bytes it read.
std::uint64_t Follow(const std::string& folder, const std::string& name, const FolderWatch& watch,
                     FolderReading& reading) {
    auto mark = reading.Marks.find(name);
    JournalFollow follow = FollowJournal(JoinPath(folder, name), mark == reading.Marks.end() ? JournalMark{} : mark->second);
    if (follow.err) return follow.BytesRead;
    reading.Marks[name] = follow.Mark;
    for (const JournalEntry& e : follow.Entries)
        if (watch.Holds(e)) reading.Recent[e.Product].Add(e);
    return follow.BytesRead;
}

// Newest working dates first, down to the first older date by which every
// watched point has its values; journals of older dates are read once only.
std::uint64_t CatchUp(const std::string& folder, const FolderWatch& watch, int today, FolderReading& reading) {
    auto days = JournalsByDay(folder);
    std::set<std::string> listed;
    for (const auto& [day, names] : days) listed.insert(names.begin(), names.end());
    std::erase_if(reading.Marks, [&](const auto& m) { return !listed.count(m.first); });
    std::uint64_t bytes = 0;
    for (const auto& [day, names] : days) {
        const bool settled = day < today - kLiveDays;
        if (settled && Enough(reading, watch)) break;
        for (const std::string& name : names)
            if (!settled || !reading.Marks.count(name)) bytes += Follow(folder, name, watch, reading);
    }
    for (auto& [product, recent] : reading.Recent) recent.KeepNewest(kKeptCells);
    return bytes;
}

// The limits of each machine's product; what they watch, by journal folder.
std::map<std::string, FolderWatch> ReadLimits(const ProductPathList& products, ControlData& data) {
    std::map<std::string, std::vector<int>> machinesOf;
    for (int m = 0; m < static_cast<int>(products.size()); ++m)
        if (!products[m].empty()) machinesOf[products[m]].push_back(m);
    std::map<std::string, FolderWatch> watched;
    for (const auto& [product, machines] : machinesOf) {
        report::FixedLimitsRead read = report::ReadFixedLimits(report::FixedLimitsPath(product));
        if (!read.problem) data.Problems.push_back(read.problem);
        std::vector<std::pair<int, int>> points;
        std::vector<int> limited;
        for (const auto& [key, limit] : report::CurrentFixedLimits(read.limits)) {
            if (!std::count(machines.begin(), machines.end(), key.second)) continue;
            data.Limits.emplace(key, limit);
            points.push_back(key);
            if (!std::count(limited.begin(), limited.end(), key.second)) limited.push_back(key.second);
        }
        if (limited.empty()) continue;
        if (auto folder = report::JournalFolderAbove(product)) {
            const std::string name = report::ProductNameOf(product);
            watched[*folder].Machines[name] = limited;
            watched[*folder].Points[name] = points;
        }
    }
    return watched;
}

ControlCache ReadCache(const std::string& path, std::string& text) {
    StampedRead file = ReadStamped(path);
    text = file.err ? std::string() : file.bytes;
    return ParseControlCache(text).value_or(ControlCache{});
}

}  // namespace

ControlData ReadControlData(const ProductPathList& products, const Day& today, const std::string& cachePath) {
    ControlData data;
    const std::map<std::string, FolderWatch> watched = ReadLimits(products, data);
    std::string before;
    ControlCache old = ReadCache(cachePath, before), cache;
    for (const auto& [folder, watch] : watched) {
        FolderReading& reading = cache[folder] = std::move(old[folder]);
        FitTo(reading, watch);
        data.JournalBytesRead += CatchUp(folder, watch, report::DaysOf(today), reading);
        for (const auto& [product, recent] : reading.Recent) data.Recent.Add(recent);
    }
    // Kept only to spare the server: when it cannot be written, the next
    // read takes the journals again and the watch misses nothing.
    std::string after = ControlCacheText(cache);
    if (after != before) static_cast<void>(WriteFileAtomic(cachePath, after));
    return data;
}

}  // namespace ziv
