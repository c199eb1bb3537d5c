#pragma once
// A whole number in a field of a file this system writes itself (the
// journal, the station's log, the limits file): the field must be the number
// and nothing else, unlike NumberFromText, which reads what people typed.
#include <optional>
#include <string_view>

namespace ziv {

// Nothing for any other text, or a number outside lo..hi.
std::optional<int> WholeInRange(std::string_view text, int lo, int hi);

}  // namespace ziv
