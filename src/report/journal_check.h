#pragma once
// The journals are the truth of what was entered: every value with its time,
// from every station. A day workbook may lose a value all the same: a rename
// that a computer's link delivered late, after another station had taken the
// lock over and saved, puts the older workbook back over the newer one (no
// lock can take back a request already on its way). The check finds every
// point whose newest journal entry the workbook does not hold, and repairs
// it by writing that entry's value back through the workbook's lock.
#include <string>
#include <vector>

#include "common/failure.h"
#include "platform/file_lock.h"
#include "records/journal.h"
#include "report/collect.h"

namespace ziv::report {

// A point whose workbook does not hold what the journals last say of it.
struct JournalDifference {
    std::string book;     // the day workbook's path
    JournalEntry newest;  // the newest entry of the point: what belongs there
    std::string found;    // what the workbook holds (empty also when it is missing)
    bool bookMissing = false;
    bool repaired = false;
};

struct JournalCheck {
    std::vector<JournalDifference> differences;  // by book, then point
    // Workbooks that could not be read, or not be written when repairing.
    std::vector<FileResult> problems;
    std::vector<std::string> unreadableJournals;
    size_t damagedJournalLines = 0;
    size_t entriesRead = 0;
    size_t Unrepaired() const;
};

// Checks the day workbooks of a product folder for the range against the
// journals of every station (the nearest ＺＩＶログ above the product). Per
// operator, machine, working date and point the newest entry is the truth
// (the station's identity breaks a tie); an emptied value counts as empty.
// With repair, each book's missing values are written back under its lock
// with one save, a missing book made from the product's master; a point that
// changed since it was read (a station saving right now) is left alone.
//
// A point whose workbook keeps a newer measurement time than its newest
// entry is no difference: that value's journal line is on its way.
//
// A station calls it at start-up, after its share came back and after one of
// its own replaces landed late, with the dates it delivered to and its own
// identity as `station`: only the books that station has entries in are
// checked, every station's points of them. So it heals what a late write
// from another computer undid of its values, and what a late write of its
// own computer undid of another station's (which that station, its share
// never away, would not look for).
JournalCheck CheckJournals(const std::string& productDir, const Filter& range, Files files, bool repair,
                           const std::string& station = {});

}  // namespace ziv::report
