#pragma once
// A journal read bit by bit as it grows: a reader on a timer remembers how
// far it took a journal and, next time, takes only the bytes added since, so
// that fifty stations reading each other's journals every few minutes ask the
// file server for what is new, not for a month of history again.
//
// Journals only grow (see records/journal.h); one that shrank, or whose bytes
// before the mark are no longer those that were taken, was replaced (restored
// from a backup, copied over by hand) and is read again from the start. A
// record still being written, its line end not yet on the disk, is left for
// the next time.
#include <cstdint>
#include <string>
#include <vector>

#include "records/journal.h"

namespace ziv {

// How far a journal was taken, and what tells it is still the same file.
// Inode numbers are weak on network file systems (sshfs makes them up), so
// the last line taken is kept too and compared when the journal has changed:
// records end alike, but each begins with its own time.
struct JournalMark {
    std::uint64_t Device = 0, Inode = 0;
    std::uint64_t Size = 0;       // as last seen
    std::int64_t ModifiedNs = 0;  // as last seen
    std::uint64_t Taken = 0;      // bytes up to the end of the last whole line taken
    std::string Tail;             // the last line before Taken (its last kMarkTail bytes at most)
    bool operator==(const JournalMark&) const = default;
};
inline constexpr size_t kMarkTail = 512;

struct JournalFollow {
    int err = 0;          // the journal could not be looked at or read; the mark stays
    bool Again = false;   // it was replaced or shrank: the entries are all of it
    std::vector<JournalEntry> Entries;  // the whole records added since the mark
    size_t Damaged = 0;   // lines among them that are not whole records
    std::uint64_t BytesRead = 0;
    JournalMark Mark;     // the mark to keep for next time
};

// What the journal holds beyond `mark` (all of it for a first mark): a look
// at its size and time, and a read only when they changed.
JournalFollow FollowJournal(const std::string& path, const JournalMark& mark);

}  // namespace ziv
