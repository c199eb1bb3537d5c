#include "report/journal_index.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "platform/paths.h"
#include "report/capability.h"

namespace ziv::report {

namespace fs = std::filesystem;

int DaysOf(const Day& day) { return std::chrono::sys_days(day).time_since_epoch().count(); }

int DaysOf(const Date& date) {
    using namespace std::chrono;
    return DaysOf(Day{year(date.Year), month(static_cast<unsigned>(date.Month)), day(static_cast<unsigned>(date.Day))});
}

Date DateOfDays(int days) {
    Day d{std::chrono::sys_days(std::chrono::days(days))};
    return {static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
            static_cast<int>(static_cast<unsigned>(d.day()))};
}

// The stations keep their journals in the product folder setting's ＺＩＶログ,
// and products are chosen somewhere below that folder.
std::optional<std::string> JournalFolderAbove(const std::string& productDir) {
    std::error_code ec;
    for (fs::path folder(AbsoluteFolder(productDir));; folder = folder.parent_path()) {
        fs::path journals(JournalFolder(folder.string()));
        if (fs::is_directory(journals, ec)) return journals.string();
        if (folder == folder.parent_path()) return std::nullopt;
    }
}

void ReadJournalsOfRange(const std::string& folder, const Filter& range,
                         const std::function<void(JournalEntry&&)>& take, std::vector<std::string>* unreadable,
                         size_t* damaged) {
    for (const std::string& path : FilesWithArchive(folder)) {
        auto day = JournalFileDay(path.substr(path.find_last_of('/') + 1));
        if (!day) continue;
        if ((range.From && DaysOf(*day) < DaysOf(*range.From)) || (range.To && DaysOf(*day) > DaysOf(*range.To)))
            continue;
        JournalRead read = ReadJournal(path);
        if (read.status != ReadStatus::Read) {
            if (unreadable) unreadable->push_back(path);
            continue;
        }
        if (damaged) *damaged += read.damaged;
        for (JournalEntry& entry : read.entries) take(std::move(entry));
    }
}

JournalIndex JournalIndex::Read(const std::string& productDir, const Filter& filter) {
    JournalIndex index;
    auto folder = JournalFolderAbove(productDir);
    if (!folder) return index;  // no journals: the stations kept none yet
    const std::string product = ProductNameOf(productDir);
    ReadJournalsOfRange(
        *folder, filter,
        [&](JournalEntry&& entry) {
            // One journal holds every product the station measured that day.
            if (entry.Product != product) return;
            if (filter.Machine && entry.Machine != *filter.Machine) return;
            if (filter.Operator && entry.Operator != *filter.Operator) return;
            index.entries_.push_back(std::move(entry));
        },
        &index.unreadable_, &index.damaged_);
    std::stable_sort(index.entries_.begin(), index.entries_.end(),
                     [](const JournalEntry& a, const JournalEntry& b) { return a.Time.Utc < b.Time.Utc; });
    for (std::uint32_t i = 0; i < index.entries_.size(); ++i) {
        const JournalEntry& e = index.entries_[i];
        index.byPoint_[{e.Machine, e.Point, DaysOf(e.WorkDate)}].push_back(i);
    }
    return index;
}

std::vector<const JournalEntry*> JournalIndex::History(int point, std::optional<int> machine) const {
    std::vector<const JournalEntry*> history;
    for (const JournalEntry& e : entries_)
        if (e.Point == point && (!machine || e.Machine == *machine)) history.push_back(&e);
    return history;
}

const JournalEntry* JournalIndex::EntryOf(const DayBookName& book, int point, std::string_view text,
                                          std::optional<double> number) const {
    auto it = byPoint_.find({book.Machine, point, DaysOf(book.WorkDate)});
    if (it == byPoint_.end()) return nullptr;
    // The last entry of the operator's book decides what its cell holds.
    for (auto i = it->second.rbegin(); i != it->second.rend(); ++i) {
        const JournalEntry& e = entries_[*i];
        if (e.Operator != book.Operator || e.Product != book.Product || !WritesCell(e)) continue;
        bool same = number ? MeasuredNumber(e.Text) == number : e.Text == text;
        return same ? &e : nullptr;
    }
    return nullptr;
}

bool IsRemeasurement(const JournalEntry& entry) {
    return !entry.Replaced.empty() && entry.Way != EntryWay::Emptied && WritesCell(entry);
}

std::string LocalTimeText(const Timestamp& time) {
    auto clock = time.LocalTimeOfDay();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " %02d:%02d:%02d", static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    return DayText(time.LocalDay()) + buffer;
}

}  // namespace ziv::report
