// libFuzzer target: any bytes as Users.dat and Path.dat (split at the first
// NUL byte; no NUL, no Path.dat; no bytes, no Users.dat either). The lists
// must be the non-empty lines, must save and read back paired, a refused save
// must leave both files as they were, and the folder rule must only remove.
#include <optional>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "fuzz_support.h"
#include "operators/operator_lists.h"
#include "platform/paths.h"

namespace ziv::fuzz::operators {

std::vector<std::string> NonEmptyLines(std::string_view bytes) {
    std::vector<std::string> out;
    for (auto& line : SplitLines(FromCp932(bytes)))
        if (!line.empty()) out.push_back(line);
    return out;
}

std::string Root(const std::string& name) {
    std::string root = ScratchPath(name);
    MakeFolders(JoinPath(root, "Config"));
    return root;
}

void Lay(const std::string& path, std::optional<std::string_view> bytes) {
    if (bytes) PutFile(path, *bytes);
    else RemoveFile(path);
}

void CheckSaved(const OperatorLists& lists) {
    const std::string root = Root("saved");
    auto usersBefore = ReadWholeFile(UsersFilePath(root));
    auto pathsBefore = ReadWholeFile(PathsFilePath(root));
    if (!SaveOperatorLists(root, lists)) {
        ZIV_FUZZ_CHECK(ReadWholeFile(UsersFilePath(root)) == usersBefore);
        ZIV_FUZZ_CHECK(ReadWholeFile(PathsFilePath(root)) == pathsBefore);
        return;
    }
    OperatorLists again = LoadOperatorLists(root);
    ZIV_FUZZ_CHECK(again.Names == lists.Names);
    size_t paired = std::min(lists.Names.size(), lists.Folders.size());
    ZIV_FUZZ_CHECK(again.Folders == std::vector<std::string>(lists.Folders.begin(), lists.Folders.begin() + paired));
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void CheckFolderRule(const std::string& path, const std::string& name) {
    std::string folder = RegisteredOperatorFolder(path, name);
    ZIV_FUZZ_CHECK(folder.size() <= path.size());
    if (LowerAscii(path).find(LowerAscii(name) + kPathSeparator) == std::string::npos) ZIV_FUZZ_CHECK(folder == path);
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    size_t nul = bytes.find('\0');
    std::optional<std::string_view> users, paths;
    if (!bytes.empty()) users = bytes.substr(0, nul);
    if (nul != std::string_view::npos) paths = bytes.substr(nul + 1);

    const std::string root = Root("input");
    Lay(UsersFilePath(root), users);
    Lay(PathsFilePath(root), paths);
    OperatorLists lists = LoadOperatorLists(root);
    ZIV_FUZZ_CHECK(lists.Names == (users ? NonEmptyLines(*users) : std::vector<std::string>()));
    ZIV_FUZZ_CHECK(lists.Folders == (users && paths ? NonEmptyLines(*paths) : std::vector<std::string>()));

    CheckSaved(lists);
    for (size_t n = 0; n < lists.Names.size() && n < lists.Folders.size(); ++n)
        CheckFolderRule(lists.Folders[n], lists.Names[n]);
    return 0;
}

}  // namespace ziv::fuzz::operators

ZIV_FUZZ_ENTRY_POINT(operators)
