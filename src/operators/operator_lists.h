#pragma once
// The operators: Users.dat (names) and Path.dat (folders), two lists kept in
// the same order, and the rule that turns a chosen path into an operator folder.
#include <string>
#include <vector>

#include "common/text_file.h"

namespace ziv {

struct OperatorLists {
    std::vector<std::string> Names;
    std::vector<std::string> Folders;
};

std::string UsersFilePath(const std::string& savePath);
std::string PathsFilePath(const std::string& savePath);

// Non-empty lines of Users.dat, then of Path.dat; Path.dat is read only when
// Users.dat exists.
OperatorLists LoadOperatorLists(const std::string& savePath, Disk& disk = RealDisk());
// Users.dat first, then the first n folders (n = number of names) to Path.dat.
// Refused, with nothing written, when a name or folder is empty or holds a line
// break: readers skip empty lines in each file on its own, so such an entry
// would pair every later name with another operator's folder.
FileResult SaveOperatorLists(const std::string& savePath, const OperatorLists& lists, Disk& disk = RealDisk());
// A name or folder that can stand on its own line of Users.dat or Path.dat.
bool IsOperatorEntry(const std::string& text);

// The folder of "新規登録": the chosen path with every occurrence of the chosen
// name followed by the separator removed, letters compared without case.
std::string RegisteredOperatorFolder(const std::string& chosenPath, const std::string& chosenName);

}  // namespace ziv
