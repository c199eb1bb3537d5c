#pragma once
// CSV for other tools: RFC 4180 (fields with a comma, quote or line break in
// quotes, quotes doubled, CR LF after each record), UTF-8 with a byte-order
// mark so that spreadsheet programs open the Japanese texts intact.
#include <string>
#include <string_view>
#include <vector>

#include "report/capability.h"
#include "report/collect.h"
#include "report/journal_index.h"

namespace ziv::report {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string CsvField(std::string_view text);
// A text cell that a spreadsheet would take for a formula ("=", "+", "-", "@",
// tab or CR first) gets a leading "'", which spreadsheets show as text;
// numbers ("-0.02") stay numbers. Every record goes through it.
std::string InertText(std::string_view text);
void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields);

// Byte-order mark and the header record of the value table.
std::string ValuesCsvStart();
// One record per measured value of the book (rows with an empty value are not
// values and are left out); the time, station and gauge come from the
// journal, where it knows the value.
void AppendValueRecords(std::string& out, const DayBookData& book, const JournalIndex* journal = nullptr);

// The history of a point: every journal entry, re-measurements marked.
std::string HistoryCsvStart();
std::vector<std::string> HistoryTitles();
std::vector<std::string> HistoryTexts(const JournalEntry& entry);
void AppendHistoryRecord(std::string& out, const JournalEntry& entry);

// The whole capability table, byte-order mark included; every figure as the
// shortest text that reads back exactly, empty where it does not exist.
std::string CapabilityCsv(const std::vector<CapabilityRow>& table);

// "OK 3", "NG 1" and the other texts with their counts, joined for one cell.
std::string OtherTextsSummary(const CapabilityRow& row);

// The machine of a row: its number, or that every machine is pooled.
inline constexpr std::string_view kPooledMachines = "全号機(参考)";
std::string MachineText(const CapabilityRow& row);

}  // namespace ziv::report
