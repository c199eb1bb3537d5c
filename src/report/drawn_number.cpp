#include "report/drawn_number.h"

#include <algorithm>

namespace ziv::report {

namespace {

constexpr int kMaxDigits = 30;

__int128 TenTo(int n) {
    __int128 p = 1;
    while (n-- > 0) p *= 10;
    return p;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<DrawnNumber> ParseDrawn(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    DrawnNumber n;
    int digits = 0;
    bool point = false, any = false;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (!IsDigit(c)) break;
        any = true;
        if (digits > 0 || c != '0') ++digits;
        if (digits > kMaxDigits) return std::nullopt;
        n.Digits = n.Digits * 10 + (c - '0');
        if (point) ++n.Places;
    }
    if (!any) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != 'E' && text[i] != 'e') return std::nullopt;
        std::string_view exponent = text.substr(i + 1);
        bool down = !exponent.empty() && exponent.front() == '-';
        if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) exponent.remove_prefix(1);
        if (exponent.empty() || exponent.size() > 2 || !std::all_of(exponent.begin(), exponent.end(), IsDigit))
            return std::nullopt;
        int shift = std::stoi(std::string(exponent));
        if (down) {
            n.Places += shift;
        } else {
            int fromPlaces = std::min(shift, n.Places);
            n.Places -= fromPlaces;
            if (digits + shift - fromPlaces > kMaxDigits) return std::nullopt;
            n.Digits *= TenTo(shift - fromPlaces);
        }
        if (n.Places > kMaxDigits) return std::nullopt;
    }
    if (negative) n.Digits = -n.Digits;
    return n;
}

std::string DrawnText(const DrawnNumber& number) {
    __int128 magnitude = number.Digits < 0 ? -number.Digits : number.Digits;
    // Written from the last digit backwards; at most 30 digits, a point, a "0" and a sign.
    char text[72];
    char* at = text + sizeof text;
    int written = 0;
    do {
        if (written == number.Places && number.Places > 0) *--at = '.';
        *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
        ++written;
    } while (magnitude > 0 || written <= number.Places);
    if (number.Digits < 0) *--at = '-';
    return std::string(at, static_cast<size_t>(text + sizeof text - at));
}

DrawnNumber WithPlaces(DrawnNumber number, int places) {
    if (places > number.Places && places <= kMaxDigits) {
        number.Digits *= TenTo(places - number.Places);
        number.Places = places;
    }
    return number;
}

DrawnNumber DrawnSum(const DrawnNumber& a, const DrawnNumber& b) {
    int places = std::max(a.Places, b.Places);
    return {WithPlaces(a, places).Digits + WithPlaces(b, places).Digits, places};
}

std::optional<std::string> LimitText(std::string_view nominal, std::string_view tolerance) {
    auto a = ParseDrawn(nominal), b = ParseDrawn(tolerance);
    if (!a || !b) return std::nullopt;
    return DrawnText(DrawnSum(*a, *b));
}

std::optional<int> PlacesOf(std::string_view text) {
    auto n = ParseDrawn(text);
    if (!n) return std::nullopt;
    return n->Places;
}

}  // namespace ziv::report
