#pragma once
// Where the installation root lies and how paths are joined on this platform.
#include <string>

namespace ziv {

// The platform's path separator: what "\" stands for in every stored path.
constexpr char kPathSeparator = '/';

// Installation root (SavePath): ZIV_ROOT when set, otherwise
// $XDG_DATA_HOME/ZIV, otherwise ~/.local/share/ZIV.
std::string InstallationRoot();

// Default product folder setting: the user's home folder.
std::string DefaultProductFolder();

// folder + separator + name.
std::string JoinPath(const std::string& folder, const std::string& name);

// The part after the last separator; the whole text when there is none, empty
// when the path ends with one.
std::string LastPathComponent(const std::string& path);

bool PathExists(const std::string& path);
bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);
// Creates one folder level; true when the folder exists afterwards, also when
// another process made it first.
bool MakeFolder(const std::string& path);
// Creates the folder and any missing parents, with the same tolerance.
bool MakeFolders(const std::string& path);
bool RemoveFile(const std::string& path);

}  // namespace ziv
