#include "platform/paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace ziv {

std::string InstallationRoot() {
    if (const char* root = std::getenv("ZIV_ROOT"); root && *root) return root;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) return JoinPath(data, "ZIV");
    const char* home = std::getenv("HOME");
    return JoinPath(JoinPath(JoinPath(home ? home : ".", ".local"), "share"), "ZIV");
}

std::string DefaultProductFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/";
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    return folder + kPathSeparator + name;
}

std::string LastPathComponent(const std::string& path) {
    auto pos = path.find_last_of(kPathSeparator);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

bool PathExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

bool IsFolder(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool MakeFolder(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    // Another station sharing the folder may make it at the same moment: its
    // folder is as good as ours.
    if (::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST) return IsFolder(path);
    return false;
}

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    if (IsFolder(path)) return true;
    auto slash = path.find_last_of(kPathSeparator);
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash))) return false;
    return MakeFolder(path);
}

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    return fs::remove(path, ec);
}

}  // namespace ziv
