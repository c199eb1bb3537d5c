#include "common/whole_in_range.h"

#include <charconv>

namespace ziv {

std::optional<int> WholeInRange(std::string_view text, int lo, int hi) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
    return value;
}

}  // namespace ziv
