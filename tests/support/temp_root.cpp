#include "temp_root.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TempRoot::TempRoot() {
    const char* prev = std::getenv("ZIV_ROOT");
    if (prev) {
        hadPrevious_ = true;
        previous_ = prev;
    }
    std::string base = std::filesystem::temp_directory_path().string() + "/ziv-test-XXXXXX";
    char* made = mkdtemp(base.data());
    path_ = made ? made : base;
    setenv("ZIV_ROOT", path_.c_str(), 1);
}

TempRoot::~TempRoot() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
    if (hadPrevious_)
        setenv("ZIV_ROOT", previous_.c_str(), 1);
    else
        unsetenv("ZIV_ROOT");
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }
