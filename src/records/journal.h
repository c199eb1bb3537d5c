#pragma once
// The measurement journal: every entry a station makes (a reading, a typed
// number or text, F11/F12, an emptied value), appended at once and durably,
// so that a value measured again does not take the first one with it, and
// every value keeps when, by whom and with which gauge it was taken.
//
// One file per station and working date in the product folder setting's
// ＺＩＶログ folder:
//
//   <product folder>/ＺＩＶログ/journal_<yyyy-mm-dd>_<station>.csv
//
// where the date is the working date the entries were made under (that of the
// day workbooks they went into, also when it was set back in the calendar) and
// the station is the installation root's identity (Config/Station.dat). Each
// station writes only its own files, so no lock is needed: one writer per file.
//
// The file is CSV (RFC 4180), UTF-8 with a byte-order mark, CR LF after each
// record; the first record names the columns:
//
//   日時         2024-03-07T14:05:09.123+09:00 (the station's clock and time zone)
//   作業日       the working date, 2024-03-07
//   ステーション the station's identity
//   測定者       the operator
//   製品         the product (the product folder's name)
//   号機         the machine number, 0..47
//   番号         the point, 1..100
//   入力         what went into the point: the value or text as the grid shows it; empty when emptied
//   判定         合, 不 or empty
//   補正         the correction, or empty
//   入力方法     F1..F10 for a reading, F11, F12, 手入力 (typed), 消去 (emptied);
//                "F3 数値なし" for a reading of F3 refused because its reply held no
//                number ("ERR", "-----"): 入力, 判定 and 補正 empty, the point unchanged;
//                events of the control watch, the point unchanged too: "管理信号"
//                right after a value that broke fixed control limits, 入力 naming the
//                rule ("管理限界外", "6点連続の増加"), and "対処" for what the operator
//                did about it, 入力 saying what ("工具交換", "その他: 刃先欠け")
//   測定器       the instrument's name for a reading
//   管理番号     the gauge's control number, when one is set for the key
//   校正期限     its calibration due date, 2025-03-31, when one is set
//   校正期限切れ 1 when the reading was taken past that date, else 0
//   受信         the instrument's reply as received, for a reading
//   前の値       what the point held before this entry
//
// Every cell holds its text exactly as entered, also one that begins with =,
// +, - or @: values such as -0.012 must stay numbers for pandas and for a
// spreadsheet, and the journal is data, not a sheet to be opened and saved
// again. Only control characters (a reply's CR, say) are written as their
// Unicode control pictures (U+2400 + code, U+2421 for DEL: "␍"), so that
// every record is one line and a cut-off record can never swallow the next;
// the reader turns them back.
//
// A record counts only once its line end is on disk. A crash in the middle of
// an append leaves part of one line: the reader skips it (and any other line
// that does not read as a record) and counts it as damaged. The next append
// first ends that line with the control character CAN (U+0018) and a line
// end, so that it never reads as a record (it may have been cut inside a value
// that still reads as one), and starts on a fresh line.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure.h"
#include "common/text_file.h"
#include "common/timestamp.h"

namespace ziv {

enum class EntryWay {
    Reading,  // from the instrument of an F-key
    Typed,    // a number or text typed by hand
    Fail,     // F11
    Pass,     // F12
    Emptied,  // the value taken out
    Refused,  // a reading whose reply held no number: nothing went into the point
    // Events of the control watch, nothing went into the point either:
    Signal,    // the value entered just before raised a signal; Text names the rule
    Reaction,  // what the operator did about a signal; Text says it
};

struct JournalEntry {
    Timestamp Time;
    Day WorkDate{};
    std::string Station, Operator, Product;
    int Machine = 0;
    int Point = 0;
    std::string Text, Judgement, Correction;
    EntryWay Way = EntryWay::Typed;
    int Key = 0;             // 1..10: the F-key of a reading
    std::string Instrument;  // the instrument's name, for a reading
    std::string Gauge;       // its control number (管理番号); empty when none is set
    std::optional<Day> GaugeDue;
    bool GaugeOverdue = false;
    std::string Reply;     // the reply as received, for a reading
    std::string Replaced;  // what the point held before
    bool operator==(const JournalEntry&) const = default;
};

// Whether the entry put something into its point's cell (or emptied it): a
// refused reading and the control watch's events left the cell as it was.
bool WritesCell(const JournalEntry& entry);

// "F3", "F11", "F12", "手入力", "消去", "F3 数値なし", "管理信号", "対処": the 入力方法 column.
std::string EntryWayText(const JournalEntry& entry);

inline constexpr std::string_view kJournalPrefix = "journal_", kJournalExtension = ".csv";
// "journal_2024-03-07_<station>.csv"
std::string JournalFileName(const Day& workDate, const std::string& station);
// The working date of a journal's file name; nothing for another file.
std::optional<Day> JournalFileDay(std::string_view fileName);
// The logs' folder in the product folder setting: journals, rejections,
// operator records.
inline constexpr char kLogFolderName[] = "ＺＩＶログ";
// <product folder>/ＺＩＶログ
std::string JournalFolder(const std::string& productFolder);
// <product folder>/ＺＩＶログ/<JournalFileName>
std::string JournalPath(const std::string& productFolder, const Day& workDate, const std::string& station);

// The byte-order mark and the column names, with the line end.
std::string JournalStart();
// One entry as a record, without its line end.
std::string JournalRecord(const JournalEntry& entry);

struct JournalRead {
    ReadStatus status = ReadStatus::Missing;
    int err = 0;  // why it could not be read
    std::vector<JournalEntry> entries;
    // Lines that are not whole records: a record cut off by a crash, or a
    // line damaged otherwise (a first line that is not the column names too).
    size_t damaged = 0;
};
JournalRead ReadJournal(const std::string& path, Disk& disk = RealDisk());
// The same, from the bytes of a journal.
JournalRead ParseJournal(std::string_view bytes);

// Appends records (each without its line end) to a journal with one write,
// then syncs it; a journal that does not exist yet is made exclusively and
// given its column names and these records in the same write. It is never
// put in place by a rename, which would drop what another writer made it with
// meanwhile; an append that finds it just made and still empty waits a moment
// for its column names. The journal's folder is made when missing,
// but not the folders above it (a share that is gone must not be made anew
// on the local disk).
// With `already`, the records the journal already ends with (an append that
// was done, though it could not be reported done: a crash right after it, a
// sync that failed) are not made twice, and *already receives their count.
FileResult AppendToJournal(const std::string& path, const std::vector<std::string>& records,
                           Disk& disk = RealDisk(), size_t* already = nullptr);

// What became of an entry.
struct JournalWrite {
    FileResult problem;       // why it could not go into the journal now; none when it did
    FileResult queueProblem;  // the station's log could not keep it on disk: it is held in memory only
    bool Written() const { return static_cast<bool>(problem); }
};

}  // namespace ziv
