#pragma once
// Which product folder is registered for each machine: the operator's
// Directory.dat, one line per machine number.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include <map>
#include <string_view>

#include "common/station_limits.h"
#include "common/text_file.h"
#include "platform/file_lock.h"
#include "records/line_times.h"

namespace ziv {

using ProductPathList = std::array<std::string, kMachineCount>;

// The product name is the folder's last path component.
std::string GetProductName(const std::string& path);

std::string DirectoryFilePath(const std::string& userDir);

struct DirectoryRead {
    ReadStatus status = ReadStatus::Missing;
    ProductPathList paths{};  // only when read
    FileResult problem;       // Unreadable, naming the file, when it cannot be read
};

// The first 48 lines; missing lines are machines without a product. A file
// that exists but cannot be read is reported as such, never as missing.
DirectoryRead ReadDirectoryFile(const std::string& path, Disk& disk = RealDisk());
// The paths of ReadDirectoryFile; nothing when the file is missing or unreadable.
std::optional<ProductPathList> LoadDirectoryFile(const std::string& path, Disk& disk = RealDisk());
// Exactly 48 lines, each ended by CR LF. Refused, with nothing written, when a
// path holds a line break (every later machine would shift) or when the file
// exists but cannot be read (its registrations would be lost).
// An operator may work on two stations: under the lock beside the file, the
// machines registered here (registeredHere: also when the product is the one
// the file held when this process last read it) and every line of paths that
// differs from that version win; every other line comes from the file as it
// is now. Refused when the lock cannot be had in a few seconds. *saved
// receives the lines as written.
FileResult SaveDirectoryFile(Files files, const std::string& path, const ProductPathList& paths,
                             ProductPathList* saved = nullptr, const std::vector<int>& registeredHere = {});

// <operator folder>/Directory.times: when each line of Directory.dat was
// registered (records/line_times.h), lines numbered by machine.
inline constexpr std::string_view kRegistrationTimesFirstLine = "ZIV registration times 1";
std::string RegistrationTimesPath(const std::string& directoryFile);

// One machine's line as registered on a station, and when.
struct TimedRegistration {
    std::string Folder;  // empty: the product unregistered
    MeasuredAt At;
    bool operator==(const TimedRegistration&) const = default;
};
// Writes registrations into the Directory.dat at path as the file is now,
// under its lock (a missing file is made with every other line empty): a
// line the file's times say was registered later than the one given stays,
// every line not given stays as the file holds it. Refused as
// SaveDirectoryFile refuses. *lines receives the file's lines as written.
FileResult WriteRegistrations(Files files, const std::string& path, const std::map<int, TimedRegistration>& registrations,
                              ProductPathList* lines = nullptr);

// <product>/<product name>.jpg
std::string ProductDrawingPath(const std::string& productPath, const std::string& productName);
// <product>/Data.dat
std::string PointTablePath(const std::string& productPath);

}  // namespace ziv
