#pragma once
#include <string>

// A fresh installation root for one test: a temporary folder that ZIV_ROOT
// points at while the object lives; removed with everything in it afterwards.
class TempRoot {
public:
    TempRoot();
    ~TempRoot();
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

private:
    std::string path_;
    std::string previous_;
    bool hadPrevious_ = false;
};

// Whole file contents as bytes; empty when missing.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
