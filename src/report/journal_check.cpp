#include "report/journal_check.h"

#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "common/numbers.h"
#include "common/station_limits.h"
#include "platform/shared_file.h"
#include "records/day_book.h"
#include "report/capability.h"
#include "report/journal_index.h"
#include "workbook/workbook.h"

namespace ziv::report {

namespace {

// Operator, machine, working date (days), point.
using PointKey = std::tuple<std::string, int, int, int>;

bool Newer(const JournalEntry& a, const JournalEntry& b) {
    if (a.Time.Utc != b.Time.Utc) return a.Time.Utc > b.Time.Utc;
    return a.Station > b.Station;
}

// The journal keeps the value as it was entered; the workbook may give a
// number back in its own form ("10.010" as "10.01").
bool SameValue(const std::string& inBook, const std::string& entered) {
    if (inBook == entered) return true;
    auto a = MeasuredNumber(inBook), b = MeasuredNumber(entered);
    return a && b && *a == *b;
}

WorkDate WorkDateOf(const Day& day) {
    return {DecimalText(static_cast<int>(day.year())), DecimalText(static_cast<int>(static_cast<unsigned>(day.month()))),
            DecimalText(static_cast<int>(static_cast<unsigned>(day.day())))};
}

std::map<PointKey, const JournalEntry*> NewestByPoint(const JournalIndex& journals) {
    std::map<PointKey, const JournalEntry*> newest;
    for (const JournalEntry& e : journals.Entries()) {
        // A refused reading left the cell as the entry before it did.
        if (!WritesCell(e)) continue;
        const JournalEntry*& slot = newest[{e.Operator, e.Machine, DaysOf(e.WorkDate), e.Point}];
        if (!slot || Newer(e, *slot)) slot = &e;
    }
    return newest;
}

// The workbook holds a newer measurement of the point than the entry: one
// whose journal line is still on its way, or one saved between the reading
// of the journals and of the book. Neither is a value lost, and writing the
// entry back would put an older value over it. The journal keeps ms; the
// same measurement kept to the ns is not newer.
bool BookHoldsNewer(const RowTimes& times, const JournalEntry& e) {
    auto kept = times.find(e.Point);
    if (kept == times.end()) return false;
    const std::int64_t keptMs = kept->second.Ns / 1'000'000, entryMs = e.Time.Utc.time_since_epoch().count();
    return keptMs != entryMs ? keptMs > entryMs : kept->second.Station > e.Station;
}

// The differences of one book, as read now; a problem when it cannot be read.
void CompareBook(const std::string& path, const std::vector<const JournalEntry*>& entries, Disk& disk,
                 JournalCheck& check) {
    FileResult why;
    std::optional<Workbook> book = Workbook::Open(path, &why, disk);
    bool missing = !book && why.failure == Failure::Missing;
    if (!book && !missing) {
        check.problems.push_back(why);
        return;
    }
    const RowTimes times = ReadRowTimes(RowTimesPath(path), disk);
    for (const JournalEntry* e : entries) {
        std::string found = book ? ReadDayBookRow(*book, e->Point).Value : std::string();
        if (!SameValue(found, e->Text) && !BookHoldsNewer(times, *e))
            check.differences.push_back({path, *e, found, missing, false});
    }
}

// A value written back carries its measurement time beside the book, as the
// station's writer keeps it: without it a value still waiting on another
// station, measured before this one, would take the cell again. The
// journal's time is in ms; a time kept in ns for the same value is kept.
void KeepRepairedTimes(const std::string& path, RowTimes times, const std::vector<JournalDifference*>& written,
                       Disk& disk) {
    for (const JournalDifference* d : written) {
        const JournalEntry& e = d->newest;
        MeasuredAt at{static_cast<std::int64_t>(e.Time.Utc.time_since_epoch().count()) * 1'000'000, e.Station};
        auto kept = times.find(e.Point);
        if (kept == times.end() || at.NewerThan(kept->second)) times[e.Point] = at;
    }
    static_cast<void>(WriteRowTimes(RowTimesPath(path), times, disk));
}

// Writes the book's differences back with one save under its lock. A point
// whose cell changed since it was compared, or whose kept time is newer than
// the entry's, is left: a station saved it just now.
FileResult RepairBook(const std::string& productDir, const std::string& path,
                      std::vector<JournalDifference*> differences, Files files) {
    std::optional<Workbook> master;
    auto masterOf = [&](int r) {
        if (!master) master = Workbook::Open(MasterBookPath(productDir), nullptr, files.disk);
        return master ? ReadMasterRow(*master, r) : MasterRow{};
    };
    return SaveUnderLock(files, path, LockWait::Patient, [&](const StampedRead& file, const FileLockHold& lock) {
        std::optional<Workbook> book;
        FileResult why;
        if (file.missing()) book = NewDayBook(kLastPoint, masterOf);
        else book = Workbook::OpenFromMemory(file.bytes, &why);
        if (!book) {
            why.path = path;
            return why;
        }
        const RowTimes times = ReadRowTimes(RowTimesPath(path), files.disk);
        std::vector<JournalDifference*> written;
        for (JournalDifference* d : differences) {
            if (!SameValue(ReadDayBookRow(*book, d->newest.Point).Value, d->found)) continue;
            if (BookHoldsNewer(times, d->newest)) continue;
            const JournalEntry& e = d->newest;
            if (!WriteDayBookRow(*book, e.Point, {e.Instrument, e.Text, e.Judgement, e.Correction}))
                return Failed(Failure::CellRefused, path);
            written.push_back(d);
        }
        if (written.empty()) return FileResult{};
        FileResult saved = book->SaveAs(path, nullptr, [&] { return lock.StillHeld(); }, files.disk);
        for (JournalDifference* d : written) d->repaired = static_cast<bool>(saved);
        if (saved) KeepRepairedTimes(path, times, written, files.disk);
        return saved;
    });
}

}  // namespace

size_t JournalCheck::Unrepaired() const {
    size_t n = 0;
    for (const JournalDifference& d : differences) n += !d.repaired;
    return n;
}

JournalCheck CheckJournals(const std::string& productDir, const Filter& range, Files files, bool repair,
                           const std::string& station) {
    JournalCheck check;
    JournalIndex journals = JournalIndex::Read(productDir, range);
    check.unreadableJournals = journals.Unreadable();
    check.damagedJournalLines = journals.Damaged();
    check.entriesRead = journals.Size();
    const std::string product = ProductNameOf(productDir);
    const std::string folder = AbsoluteFolder(productDir);
    auto bookOf = [&](const JournalEntry& e) {
        return DayBookPath(folder, e.Operator, product, e.Machine, WorkDateOf(e.WorkDate));
    };
    std::set<std::string> delivered;
    if (!station.empty())
        for (const JournalEntry& e : journals.Entries())
            if (e.Station == station && WritesCell(e)) delivered.insert(bookOf(e));
    std::map<std::string, std::vector<const JournalEntry*>> byBook;
    for (const auto& [key, entry] : NewestByPoint(journals)) {
        std::string path = bookOf(*entry);
        if (station.empty() || delivered.count(path)) byBook[path].push_back(entry);
    }
    for (const auto& [path, entries] : byBook) {
        size_t first = check.differences.size();
        CompareBook(path, entries, files.disk, check);
        if (!repair || first == check.differences.size()) continue;
        std::vector<JournalDifference*> ofBook;
        for (size_t i = first; i < check.differences.size(); ++i) ofBook.push_back(&check.differences[i]);
        if (FileResult saved = RepairBook(folder, path, ofBook, files); !saved) check.problems.push_back(saved);
    }
    return check;
}

}  // namespace ziv::report
