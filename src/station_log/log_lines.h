#pragma once
// The fields the station's log is written in, and each kind of entry as
// fields: read and written only here. Operator-typed texts and paths may hold
// anything: in every field a backslash is written "\\", a tab "\t", a line
// feed "\n", a carriage return "\r" and any other control character "\xHH";
// every other byte stands as it is.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "station_log/log_entries.h"

namespace ziv {

std::string EscapedField(const std::string& text);
std::vector<std::string_view> SplitAt(std::string_view text, char at);
// The fields of one line, split at tabs and unescaped; nothing when one holds
// a raw control character or an escape the writer never makes.
std::optional<std::vector<std::string>> FieldsOf(std::string_view line);

// An entry as "<kind><TAB><ns><TAB><station><TAB>…": its kind's letter, when
// it was measured (ns on the file server's clock, and the station; 0 and
// empty for the kinds that carry no time), then its own fields:
//   R  book, machine, row, input name, value, judgement, correction
//   D  Directory.dat, machine, product folder
//   P  Data.dat, point, x, y, instrument   (x, y: shortest text that reads back exactly)
//   J  journal, record                     (one journal record, without its line end)
//   F  path, content
std::string BodyOf(const QueuedRow& r);
std::string BodyOf(const QueuedRegistration& d);
std::string BodyOf(const QueuedDesignation& p);
std::string BodyOf(const QueuedJournalLine& j);
std::string BodyOf(const QueuedFile& f);

// An entry back from its fields without the time: "<kind><TAB>…" as above.
std::optional<QueuedRow> RowFrom(const std::vector<std::string>& f);
std::optional<QueuedRegistration> RegistrationFrom(const std::vector<std::string>& f);
std::optional<QueuedDesignation> DesignationFrom(const std::vector<std::string>& f);
std::optional<QueuedJournalLine> JournalLineFrom(const std::vector<std::string>& f);
std::optional<QueuedFile> FileFrom(const std::vector<std::string>& f);
std::optional<std::int64_t> NsFrom(std::string_view text);

}  // namespace ziv
