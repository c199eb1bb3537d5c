#pragma once
// CSV for other tools: RFC 4180 (fields with a comma, quote or line break in
// quotes, quotes doubled, CR LF after each record), UTF-8 with a byte-order
// mark so that spreadsheet programs open the Japanese texts intact.
#include <string>
#include <string_view>
#include <vector>

#include "report/capability.h"
#include "report/collect.h"

namespace ziv::report {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string CsvField(std::string_view text);
void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields);

// Byte-order mark and the header record of the value table.
std::string ValuesCsvStart();
// One record per measured value of the book (rows with an empty value are not
// values and are left out).
void AppendValueRecords(std::string& out, const DayBookData& book);

// The whole capability table, byte-order mark included; empty fields where a
// figure does not exist.
std::string CapabilityCsv(const std::vector<PointCapability>& table);

// "OK 3", "NG 1" and the other texts with their counts, joined for one cell.
std::string OtherTextsSummary(const PointCapability& point);

}  // namespace ziv::report
