#pragma once
// What the station's log holds: everything the station is to write onto the
// file server, one entry each. Five kinds, which differ in the file they go
// to (their target) and, for three of them, the place in it they fill.
#include <map>
#include <string>

#include "drawing/point_table.h"
#include "records/day_book.h"

namespace ziv {

// One measured row of a day workbook, as it is to be written there.
struct QueuedRow {
    std::string Book;  // the day workbook's path
    int Machine = 0;
    int Row = 0;
    MeasuredRow Measured;
    MeasuredAt At{};
    bool operator==(const QueuedRow&) const = default;
};

// One machine line of an operator's Directory.dat.
struct QueuedRegistration {
    std::string DirectoryFile;
    int Machine = 0;
    std::string ProductFolder;  // empty: the product unregistered
    MeasuredAt At{};
    bool operator==(const QueuedRegistration&) const = default;
};

// One point of a product's Data.dat, as designated in the drawing editor.
struct QueuedDesignation {
    std::string PointFile;
    int Point = 0;
    DesignatedPoint Designated;
    MeasuredAt At{};
    bool operator==(const QueuedDesignation&) const = default;
};

// One record of a station's journal (see records/journal.h), waiting to be
// appended to it.
struct QueuedJournalLine {
    std::string Journal;  // the journal's path
    std::string Record;   // the record, without its line end
    bool operator==(const QueuedJournalLine&) const = default;
};

// A small text file written whole: a rejection record, the operator record.
struct QueuedFile {
    std::string Path;
    std::string Content;  // UTF-8, written as the file's own encoding asks
    bool operator==(const QueuedFile&) const = default;
};

// An entry that will not go in (its folder removed, its file unreadable for
// good), kept after kTriesBeforeAside tries.
struct SetAside {
    std::string Kind;     // "R", "D", "P", "J", "F"
    std::string Target;   // the file it was for
    std::string What;     // the entry, as the log holds it
    std::string Reason;
};
inline constexpr int kTriesBeforeAside = 20;

// Each kind's target, and for the kinds that fill a place of their file
// (a row, a machine line, a point) that place and what stands there: of two
// entries for one place, the later measured stands.
template <typename Entry>
struct LogKind;

template <>
struct LogKind<QueuedRow> {
    static constexpr char kLetter = 'R';
    using Value = MeasuredRow;
    static const std::string& Target(const QueuedRow& e) { return e.Book; }
    static int Place(const QueuedRow& e) { return e.Row; }
    static const Value& ValueOf(const QueuedRow& e) { return e.Measured; }
};

template <>
struct LogKind<QueuedRegistration> {
    static constexpr char kLetter = 'D';
    using Value = std::string;
    static const std::string& Target(const QueuedRegistration& e) { return e.DirectoryFile; }
    static int Place(const QueuedRegistration& e) { return e.Machine; }
    static const Value& ValueOf(const QueuedRegistration& e) { return e.ProductFolder; }
};

template <>
struct LogKind<QueuedDesignation> {
    static constexpr char kLetter = 'P';
    using Value = DesignatedPoint;
    static const std::string& Target(const QueuedDesignation& e) { return e.PointFile; }
    static int Place(const QueuedDesignation& e) { return e.Point; }
    static const Value& ValueOf(const QueuedDesignation& e) { return e.Designated; }
};

// Journal lines go in the order they came, every one; a text file put again
// replaces the one waiting for the same path.
template <>
struct LogKind<QueuedJournalLine> {
    static constexpr char kLetter = 'J';
    static const std::string& Target(const QueuedJournalLine& e) { return e.Journal; }
};

template <>
struct LogKind<QueuedFile> {
    static constexpr char kLetter = 'F';
    static const std::string& Target(const QueuedFile& e) { return e.Path; }
};

// The kinds that fill a place of their file.
template <typename Entry>
concept PlacedEntry = requires(const Entry& e) { LogKind<Entry>::Place(e); };

}  // namespace ziv
