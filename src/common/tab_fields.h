#pragma once
// Lines of tab-separated fields that may hold anything an operator types or a
// path holds: in every field a backslash is written "\\", a tab "\t", a line
// feed "\n", a carriage return "\r" and any other control character "\xHH";
// every other byte stands as it is. The station's own files of this kind
// (its log, the control watch's memory) all write their fields so.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ziv {

std::string EscapedField(const std::string& text);
std::vector<std::string_view> SplitAt(std::string_view text, char at);
// The fields of one line, split at tabs and unescaped; nothing when one holds
// a raw control character or an escape the writer never makes.
std::optional<std::vector<std::string>> FieldsOf(std::string_view line);

}  // namespace ziv
