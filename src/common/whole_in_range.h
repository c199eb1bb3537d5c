#pragma once
// A whole number in a field of a file this system writes itself (the
// journal, the station's log, the limits file): the field must be the number
// and nothing else, unlike NumberFromText, which reads what people typed.
#include <cstdint>
#include <optional>
#include <string_view>

namespace ziv {

// Nothing for any other text, or a number outside lo..hi.
std::optional<int> WholeInRange(std::string_view text, int lo, int hi);
// The same for times in ns and counters that outgrow an int.
std::optional<std::int64_t> WholeInRange(std::string_view text, std::int64_t lo, std::int64_t hi);

}  // namespace ziv
