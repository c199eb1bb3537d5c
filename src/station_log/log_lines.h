#pragma once
// Each kind of entry of the station's log as fields (common/tab_fields.h):
// read and written only here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/tab_fields.h"
#include "station_log/log_entries.h"

namespace ziv {

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
