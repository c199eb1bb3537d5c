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
    auto text = [](const ProductPathList& lines) {
        std::string all;
        for (const auto& p : lines) all += p + "\r\n";
        return all;
    };
    return KnownDirectories().Save(files, path, path, paths, PathsFromBytes, merge, text, saved);
}

std::string ProductDrawingPath(const std::string& productPath, const std::string& productName) {
    return JoinPath(productPath, productName + ".jpg");
}

std::string PointTablePath(const std::string& productPath) { return JoinPath(productPath, "Data.dat"); }

}  // namespace ziv
