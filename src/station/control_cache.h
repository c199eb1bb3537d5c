#pragma once
// What the control watch keeps on the station's own disk between its reads
// of the journals, so that a pass reads only what the journals gained and a
// restart does not read a month of them again:
//
//   <root>/Config/ControlWatch.dat
//
// UTF-8, LF line ends, tab-separated fields written as common/tab_fields.h
// says. The first line names the format and its version; then, for each
// journal folder the watch reads:
//
//   ZIV-ControlWatch	1
//   folder	<journal folder>
//   watch	<product>	<machine>                  what the rest was read for
//   journal	<file name>	<device>	<inode>	<size>	<modified ns>	<taken>	<last line taken, hex>
//   cell	<product>	<machine>	<point>	<working date as days>	<operator>	<taken ms>	<value, or empty>
//
// A file that does not read whole is no cache at all: the journals are read again.
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "records/journal_follow.h"
#include "station/control_watch.h"

namespace ziv {

// One journal folder as the watch last read it.
struct FolderReading {
    std::set<std::pair<std::string, int>> Watched;  // product name, machine: what was kept
    std::map<std::string, JournalMark> Marks;       // by journal file name
    std::map<std::string, RecentValues> Recent;     // by product name
};
using ControlCache = std::map<std::string, FolderReading>;  // by journal folder

// <root>/Config/ControlWatch.dat
std::string ControlCachePath(const std::string& root);

std::string ControlCacheText(const ControlCache& cache);
// Nothing for a damaged file or one of another version.
std::optional<ControlCache> ParseControlCache(std::string_view text);

}  // namespace ziv
