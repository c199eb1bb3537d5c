#include "operators/operator_lists.h"

#include "platform/paths.h"

namespace ziv {
namespace {

std::vector<std::string> NonEmptyLines(const std::string& path, Disk& disk) {
    std::vector<std::string> out;
    if (auto lines = ReadTextLines(path, disk))
        for (auto& line : *lines)
            if (!line.empty()) out.push_back(std::move(line));
    return out;
}

std::string JoinLines(const std::vector<std::string>& lines, size_t count) {
    std::string text;
    for (size_t i = 0; i < count && i < lines.size(); ++i) text += lines[i] + "\r\n";
    return text;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string& text, size_t at, const std::string& pattern) {
    for (size_t k = 0; k < pattern.size(); ++k)
        if (FoldAscii(text[at + k]) != FoldAscii(pattern[k])) return false;
    return true;
}

}  // namespace

std::string UsersFilePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "Users.dat");
}

std::string PathsFilePath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "Path.dat");
}

OperatorLists LoadOperatorLists(const std::string& savePath, Disk& disk) {
    OperatorLists lists;
    if (!IsFile(UsersFilePath(savePath))) return lists;
    lists.Names = NonEmptyLines(UsersFilePath(savePath), disk);
    lists.Folders = NonEmptyLines(PathsFilePath(savePath), disk);
    return lists;
}

bool IsOperatorEntry(const std::string& text) { return !text.empty() && FitsOneLine(text); }

FileResult SaveOperatorLists(const std::string& savePath, const OperatorLists& lists, Disk& disk) {
    const std::string users = UsersFilePath(savePath);
    size_t count = lists.Names.size();
    for (size_t i = 0; i < count; ++i) {
        if (!IsOperatorEntry(lists.Names[i]) || (i < lists.Folders.size() && !IsOperatorEntry(lists.Folders[i])))
            return Refused(Failure::OperatorEntryRefused, users, lists.Names[i]);
    }
    // Names and folders pair by line: when Path.dat cannot follow, Users.dat
    // goes back to what it was, or every later name would get another's folder.
    std::optional<std::string> previous = ReadWholeFile(users, disk);
    if (auto r = WriteTextFile(users, JoinLines(lists.Names, lists.Names.size()), disk); !r) return r;
    FileResult r = WriteTextFile(PathsFilePath(savePath), JoinLines(lists.Folders, lists.Names.size()), disk);
    if (!r) {
        // Best effort: the failure the operator hears of is Path.dat's.
        if (previous) static_cast<void>(WriteFileAtomic(users, *previous, nullptr, {}, disk));
        else RemoveFile(users);
    }
    return r;
}

std::string RegisteredOperatorFolder(const std::string& chosenPath, const std::string& chosenName) {
    std::string pattern = chosenName + kPathSeparator;
    std::string out;
    size_t i = 0;
    while (i < chosenPath.size()) {
        if (!chosenName.empty() && i + pattern.size() <= chosenPath.size() &&
            SameIgnoringCase(chosenPath, i, pattern)) {
            i += pattern.size();
        } else {
            out += chosenPath[i++];
        }
    }
    return out;
}

}  // namespace ziv
