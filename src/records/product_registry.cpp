#include "records/product_registry.h"

#include "platform/paths.h"

namespace ziv {

std::string GetProductName(const std::string& path) { return LastPathComponent(path); }

std::string DirectoryFilePath(const std::string& userDir) { return JoinPath(userDir, "Directory.dat"); }

DirectoryRead ReadDirectoryFile(const std::string& path) {
    TextRead text = ReadTextFile(path);
    DirectoryRead result;
    result.status = text.status;
    if (text.unreadable()) result.error = UnreadableFileMessage(path, text.error);
    for (size_t k = 0; k < result.paths.size() && k < text.lines.size(); ++k) result.paths[k] = text.lines[k];
    return result;
}

std::optional<ProductPathList> LoadDirectoryFile(const std::string& path) {
    DirectoryRead read = ReadDirectoryFile(path);
    if (read.status != ReadStatus::Read) return std::nullopt;
    return read.paths;
}

WriteResult SaveDirectoryFile(const std::string& path, const ProductPathList& paths) {
    std::string text;
    for (const auto& p : paths) {
        if (!FitsOneLine(p))
            return {false, "製品フォルダ \"" + p + "\" の名前に改行が含まれているため、\"" + path +
                               "\" に書き込めません。"};
        text += p + "\r\n";
    }
    if (DirectoryRead current = ReadDirectoryFile(path); current.status == ReadStatus::Unreadable)
        return {false, current.error};
    return WriteTextFile(path, text);
}

std::string ProductDrawingPath(const std::string& productPath, const std::string& productName) {
    return JoinPath(productPath, productName + ".jpg");
}

std::string PointTablePath(const std::string& productPath) { return JoinPath(productPath, "Data.dat"); }

}  // namespace ziv
