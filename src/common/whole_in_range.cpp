#include "common/whole_in_range.h"

#include <charconv>

namespace ziv {

namespace {

template <typename Whole>
std::optional<Whole> Strict(std::string_view text, Whole lo, Whole hi) {
    Whole value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) return std::nullopt;
    return value;
}

}  // namespace

std::optional<int> WholeInRange(std::string_view text, int lo, int hi) { return Strict(text, lo, hi); }

std::optional<std::int64_t> WholeInRange(std::string_view text, std::int64_t lo, std::int64_t hi) {
    return Strict(text, lo, hi);
}

}  // namespace ziv
