#include "records/product_registry.h"

#include "platform/paths.h"

namespace ziv {

std::string GetProductName(const std::string& path) { return LastPathComponent(path); }

std::string DirectoryFilePath(const std::string& userDir) { return JoinPath(userDir, "Directory.dat"); }

std::optional<ProductPathList> LoadDirectoryFile(const std::string& path) {
    auto lines = ReadTextLines(path);
    if (!lines) return std::nullopt;
    ProductPathList paths;
    for (size_t k = 0; k < paths.size() && k < lines->size(); ++k) paths[k] = (*lines)[k];
    return paths;
}

WriteResult SaveDirectoryFile(const std::string& path, const ProductPathList& paths) {
    std::string text;
    for (const auto& p : paths) text += p + "\r\n";
    return WriteTextFile(path, text);
}

std::string ProductDrawingPath(const std::string& productPath, const std::string& productName) {
    return JoinPath(productPath, productName + ".jpg");
}

std::string PointTablePath(const std::string& productPath) { return JoinPath(productPath, "Data.dat"); }

}  // namespace ziv
