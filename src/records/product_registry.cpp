#include "records/product_registry.h"

#include <map>
#include <mutex>
#include <optional>

#include "platform/file_lock.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// The version of each Directory.dat this process last read or wrote: a line
// that differs from it was registered here since; every other line is taken
// from the file as it is now (the operator may work on another station too).
struct KnownDirectory {
    FileStamp stamp;
    ProductPathList paths{};
};
std::mutex knownMutex;
std::map<std::string, KnownDirectory>& KnownDirectories() {
    static std::map<std::string, KnownDirectory> known;
    return known;
}

void Remember(const std::string& path, const FileStamp& stamp, const ProductPathList& paths) {
    std::lock_guard<std::mutex> guard(knownMutex);
    KnownDirectories()[path] = {stamp, paths};
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

DirectoryRead ReadDirectoryFile(const std::string& path) {
    StampedRead file = ReadStamped(path);
    DirectoryRead result;
    if (file.missing()) {
        result.status = ReadStatus::Missing;
        Remember(path, {}, result.paths);
    } else if (file.err) {
        result.status = ReadStatus::Unreadable;
        result.error = UnreadableFileMessage(path, ReadFailureText(file.err));
    } else {
        result.status = ReadStatus::Read;
        result.paths = PathsFromBytes(file.bytes);
        Remember(path, file.stamp, result.paths);
    }
    return result;
}

std::optional<ProductPathList> LoadDirectoryFile(const std::string& path) {
    DirectoryRead read = ReadDirectoryFile(path);
    if (read.status != ReadStatus::Read) return std::nullopt;
    return read.paths;
}

WriteResult SaveDirectoryFile(const std::string& path, const ProductPathList& paths, ProductPathList* saved) {
    for (const auto& p : paths)
        if (!FitsOneLine(p))
            return {false, "製品フォルダ \"" + p + "\" の名前に改行が含まれているため、\"" + path +
                               "\" に書き込めません。"};
    auto lock = LockSharedFile(path);
    if (!lock)
        return {false, "ファイル \"" + path +
                           "\" は他のステーションが書き込み中です。登録はこのステーションに残り、次の登録で保存されます。"};
    StampedRead file = ReadStamped(path);
    if (file.err && !file.missing()) return {false, UnreadableFileMessage(path, ReadFailureText(file.err))};
    ProductPathList merged = paths;
    std::optional<KnownDirectory> known;
    {
        std::lock_guard<std::mutex> guard(knownMutex);
        if (auto it = KnownDirectories().find(path); it != KnownDirectories().end()) known = it->second;
    }
    if (!file.err && known && !(file.stamp == known->stamp)) {
        ProductPathList disk = PathsFromBytes(file.bytes);
        for (size_t k = 0; k < merged.size(); ++k)
            if (paths[k] == known->paths[k]) merged[k] = disk[k];
    }
    std::string text;
    for (const auto& p : merged) text += p + "\r\n";
    auto bytes = ToCp932(text);
    if (!bytes) return {false, "ファイル \"" + path + "\" に Shift_JIS で書けない文字が含まれています。"};
    FileStamp written;
    WriteResult result = WriteFileAtomic(path, *bytes, &written);
    if (result) {
        Remember(path, written, merged);
        if (saved) *saved = merged;
    }
    return result;
}

std::string ProductDrawingPath(const std::string& productPath, const std::string& productName) {
    return JoinPath(productPath, productName + ".jpg");
}

std::string PointTablePath(const std::string& productPath) { return JoinPath(productPath, "Data.dat"); }

}  // namespace ziv
