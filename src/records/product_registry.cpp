#include "records/product_registry.h"

#include <algorithm>

#include "platform/shared_file.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// The version of each Directory.dat this process last read or wrote: a line
// that differs from it was registered here since; every other line is taken
// from the file as it is now (the operator may work on another station too).
SharedFileVersions<ProductPathList>& KnownDirectories() {
    static SharedFileVersions<ProductPathList> known;
    return known;
}

ProductPathList PathsFromBytes(const std::string& bytes) {
    ProductPathList paths{};
    auto lines = SplitLines(FromCp932(bytes));
    for (size_t k = 0; k < paths.size() && k < lines.size(); ++k) paths[k] = lines[k];
    return paths;
}

std::string DirectoryText(const ProductPathList& lines) {
    std::string all;
    for (const auto& p : lines) all += p + "\r\n";
    return all;
}

}  // namespace

std::string GetProductName(const std::string& path) { return LastPathComponent(path); }

std::string DirectoryFilePath(const std::string& userDir) { return JoinPath(userDir, "Directory.dat"); }

DirectoryRead ReadDirectoryFile(const std::string& path, Disk& disk) {
    StampedRead file = ReadStamped(path, disk);
    DirectoryRead result;
    if (file.missing()) {
        result.status = ReadStatus::Missing;
        KnownDirectories().Remember(path, {}, result.paths);
    } else if (file.err) {
        result.status = ReadStatus::Unreadable;
        result.problem = Failed(Failure::Unreadable, path, file.err);
    } else {
        result.status = ReadStatus::Read;
        result.paths = PathsFromBytes(file.bytes);
        KnownDirectories().Remember(path, file.stamp, result.paths);
    }
    return result;
}

std::optional<ProductPathList> LoadDirectoryFile(const std::string& path, Disk& disk) {
    DirectoryRead read = ReadDirectoryFile(path, disk);
    if (read.status != ReadStatus::Read) return std::nullopt;
    return read.paths;
}

FileResult SaveDirectoryFile(Files files, const std::string& path, const ProductPathList& paths, ProductPathList* saved,
                             const std::vector<int>& registeredHere) {
    for (const auto& p : paths)
        if (!FitsOneLine(p)) return Refused(Failure::ProductFolderLineBreak, path, p);
    auto merge = [&](const ProductPathList& mine, const ProductPathList& known, const ProductPathList& disk) {
        ProductPathList merged = mine;
        for (size_t k = 0; k < merged.size(); ++k) {
            bool here = std::find(registeredHere.begin(), registeredHere.end(), static_cast<int>(k)) !=
                        registeredHere.end();
            if (!here && mine[k] == known[k]) merged[k] = disk[k];
        }
        return merged;
    };
    return KnownDirectories().Save(files, path, path, paths, PathsFromBytes, merge, DirectoryText, saved);
}

std::string RegistrationTimesPath(const std::string& directoryFile) {
    return JoinPath(directoryFile.substr(0, directoryFile.find_last_of('/')), "Directory.times");
}

FileResult WriteRegistrations(Files files, const std::string& path, const std::map<int, TimedRegistration>& registrations,
                              ProductPathList* lines) {
    for (const auto& [machine, r] : registrations)
        if (!FitsOneLine(r.Folder)) return Refused(Failure::ProductFolderLineBreak, path, r.Folder);
    std::string timesPath = RegistrationTimesPath(path);
    return SaveUnderLock(files, path, LockWait::Patient, [&](const StampedRead& file, const FileLockHold& lock) {
        ProductPathList now = file.missing() ? ProductPathList{} : PathsFromBytes(file.bytes);
        LineTimes times = ReadLineTimes(timesPath, kRegistrationTimesFirstLine, 0, kLastMachine, files.disk);
        for (const auto& [machine, r] : registrations) {
            if (machine < 0 || machine > kLastMachine || !GoesIn(times, machine, r.At)) continue;
            now[static_cast<size_t>(machine)] = r.Folder;
            if (r.At.Ns != 0) times[machine] = r.At;
        }
        auto bytes = ToCp932(DirectoryText(now));
        if (!bytes) return Failed(Failure::NotShiftJis, path);
        FileStamp written;
        FileResult result = WriteFileAtomic(path, *bytes, &written, [&] { return lock.StillHeld(); }, files.disk);
        if (!result) return result;
        KnownDirectories().Remember(path, written, now);
        // Without the times a later registration elsewhere only counts these lines as old.
        if (!times.empty()) static_cast<void>(WriteLineTimes(timesPath, kRegistrationTimesFirstLine, times, files.disk));
        if (lines) *lines = now;
        return result;
    });
}

std::string ProductDrawingPath(const std::string& productPath, const std::string& productName) {
    return JoinPath(productPath, productName + ".jpg");
}

std::string PointTablePath(const std::string& productPath) { return JoinPath(productPath, "Data.dat"); }

}  // namespace ziv
