#pragma once
// When each line of a shared file was measured or designated, so that of two
// stations' entries for one line the newer wins. The times live in a file of
// their own beside the shared one, so that the shared file keeps exactly what
// every reader knows. Written only under the shared file's lock, right after it:
//
//   <first line naming the kind, e.g. "ZIV row times 1">
//   <line number><TAB><ns since the epoch, file server's clock><TAB><station>
//
// A line without a time counts as measured long ago.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "common/text_file.h"

namespace ziv {

// Every entry carries when it was measured (ns since the epoch, on the file
// server's clock as the station last knew it) and the station that took it:
// of two entries for one place the newer measurement wins, the station's
// identity breaking a tie.
struct MeasuredAt {
    std::int64_t Ns = 0;
    std::string Station;
    bool operator==(const MeasuredAt&) const = default;
    bool NewerThan(const MeasuredAt& other) const {
        return Ns != other.Ns ? Ns > other.Ns : Station > other.Station;
    }
};

using LineTimes = std::map<int, MeasuredAt>;

// Lines numbered outside first..last, and a file of another kind, read as no time.
LineTimes ReadLineTimes(const std::string& path, std::string_view firstLine, int first, int last, Disk& disk);
FileResult WriteLineTimes(const std::string& path, std::string_view firstLine, const LineTimes& times, Disk& disk);

// Whether an entry measured at `mine` goes into a line whose time the file
// gives in `times`: not when the file holds a newer one.
bool GoesIn(const LineTimes& times, int line, const MeasuredAt& mine);

}  // namespace ziv
