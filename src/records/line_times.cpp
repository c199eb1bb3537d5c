#include "records/line_times.h"

#include <limits>

#include "common/numbers.h"
#include "common/whole_in_range.h"
#include "platform/paths.h"

namespace ziv {

LineTimes ReadLineTimes(const std::string& path, std::string_view firstLine, int first, int last, Disk& disk) {
    LineTimes times;
    auto text = ReadWholeFile(path, disk, 1u << 20);
    if (!text || !text->starts_with(firstLine)) return times;
    for (const std::string& line : SplitLines(*text)) {
        size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        auto number = WholeInRange(std::string_view(line).substr(0, a), first, last);
        auto ns = WholeInRange(std::string_view(line).substr(a + 1, b - a - 1), std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
        if (number && ns) times[*number] = {*ns, line.substr(b + 1)};
    }
    return times;
}

FileResult WriteLineTimes(const std::string& path, std::string_view firstLine, const LineTimes& times, Disk& disk) {
    std::string text = std::string(firstLine) + "\n";
    for (const auto& [n, when] : times)
        text += DecimalText(n) + "\t" + DecimalText(static_cast<long long>(when.Ns)) + "\t" + when.Station + "\n";
    std::string folder = path.substr(0, path.find_last_of('/'));
    if (!IsFolder(folder) && !MakeFolder(folder)) return Failed(Failure::FolderNotMade, folder);
    return WriteFileAtomic(path, text, nullptr, {}, disk);
}

bool GoesIn(const LineTimes& times, int line, const MeasuredAt& mine) {
    auto theirs = times.find(line);
    return theirs == times.end() || !theirs->second.NewerThan(mine);
}

}  // namespace ziv
