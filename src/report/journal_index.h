#pragma once
// The measurement journals of a product read for a range of working dates:
// every entry the stations made, so that the report can show a point's
// history (re-measurements included) and give each value of a day workbook
// the time, station and gauge it was taken with.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "records/journal.h"
#include "report/collect.h"

namespace ziv::report {

class JournalIndex {
public:
    // The product's entries of the journals whose working date the filter's
    // range holds, from the ＺＩＶログ folder nearest above the product folder
    // (the product folder setting's, below which products are chosen);
    // entries of other machines or operators than the filter's are left out.
    // No folder, no journals: an empty index.
    static JournalIndex Read(const std::string& productDir, const Filter& filter);

    bool Empty() const { return entries_.empty(); }
    // Every entry, in time order.
    const std::vector<JournalEntry>& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }
    // Lines of the journals that were not whole records, and journals that
    // could not be read at all.
    size_t Damaged() const { return damaged_; }
    const std::vector<std::string>& Unreadable() const { return unreadable_; }

    // Every entry of a point (on one machine, or on all), in time order.
    std::vector<const JournalEntry*> History(int point, std::optional<int> machine) const;
    // The entry that put a day workbook's value into its cell: the last one
    // of that book's working date, operator, machine and point, if it holds
    // the same value (the same text, or the same number where the book keeps
    // the value as a number). Nothing when the journal does not know it.
    const JournalEntry* EntryOf(const DayBookName& book, int point, std::string_view text,
                                std::optional<double> number = std::nullopt) const;

private:
    using Key = std::tuple<int, int, int>;  // machine, point, working date as days
    std::vector<JournalEntry> entries_;     // in time order
    std::map<Key, std::vector<std::uint32_t>> byPoint_;
    size_t damaged_ = 0;
    std::vector<std::string> unreadable_;
};

// The ＺＩＶログ folder nearest above the product folder (or the product's
// own) that exists; nothing when the stations kept no journal yet.
std::optional<std::string> JournalFolderAbove(const std::string& productDir);
// Hands every entry of the folder's journals whose working date the range
// holds to `take`, journal by journal (not in time order); the names of
// journals that could not be read, and the count of damaged lines, where
// asked. One reading serves every product measured there.
void ReadJournalsOfRange(const std::string& folder, const Filter& range,
                         const std::function<void(JournalEntry&&)>& take,
                         std::vector<std::string>* unreadable = nullptr, size_t* damaged = nullptr);

// An entry that put a value where another stood: measured again.
bool IsRemeasurement(const JournalEntry& entry);
// The local date and time the operator saw, "2026-03-07 14:05:09".
std::string LocalTimeText(const Timestamp& time);
// Whole days since 1970-01-01 of a report date or a journal day.
int DaysOf(const Date& date);
int DaysOf(const Day& day);
// The report date of a count of days since 1970-01-01.
Date DateOfDays(int days);

}  // namespace ziv::report
