#include "common/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace ziv {
namespace {

bool IsIgnoredInside(char c) { return c == ' ' || c == '\t' || c == '\n'; }

// A hexadecimal or octal whole number after "&H" / "&O"; stops at the first
// character that is not a digit of that base.
double RadixNumber(std::string_view digits, int base) {
    double value = 0;
    for (char c : digits) {
        if (IsIgnoredInside(c)) continue;
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        if (d >= base) break;
        value = value * base + d;
    }
    return value;
}

// Formats with `digits` significant digits and no trailing zeros; switches to
// exponent form ("1E-05", "1.5E+15") for magnitudes below 1E-4 or from 10^digits on.
std::string FormatDecimal(double value, int digits, bool zeroBeforePoint) {
    if (std::isnan(value)) return "0";
    if (std::isinf(value)) return value < 0 ? "-1E+308" : "1E+308";
    if (value == 0) return "0";
    // Built in fixed buffers: every cell of a workbook read goes through here,
    // and temporary strings cost more than the conversion itself.
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, digits - 1);
    // buf: [-]d.ddddde[+-]xx
    const char* p = buf;
    bool negative = *p == '-';
    if (negative) ++p;
    const char* ePos = std::find(p, static_cast<const char*>(res.ptr), 'e');
    const char* x = ePos + 1;
    bool exponentNegative = *x == '-';
    if (*x == '-' || *x == '+') ++x;
    int exponent = 0;
    std::from_chars(x, res.ptr, exponent);
    if (exponentNegative) exponent = -exponent;
    char mantissa[64];
    size_t n = 0;
    for (const char* q = p; q < ePos; ++q)
        if (*q != '.') mantissa[n++] = *q;
    while (n > 1 && mantissa[n - 1] == '0') --n;

    char out[96];
    size_t o = 0;
    auto put = [&](const char* from, size_t count) {
        std::memcpy(out + o, from, count);
        o += count;
    };
    if (negative) out[o++] = '-';
    if (exponent >= digits || exponent < -4) {
        out[o++] = mantissa[0];
        if (n > 1) {
            out[o++] = '.';
            put(mantissa + 1, n - 1);
        }
        out[o++] = 'E';
        out[o++] = exponent < 0 ? '-' : '+';
        int magnitude = std::abs(exponent);
        if (magnitude < 10) out[o++] = '0';
        o = static_cast<size_t>(std::to_chars(out + o, out + sizeof out, magnitude).ptr - out);
    } else if (exponent < 0) {
        if (zeroBeforePoint) out[o++] = '0';
        out[o++] = '.';
        for (int z = 0; z < -exponent - 1; ++z) out[o++] = '0';
        put(mantissa, n);
    } else {
        size_t intDigits = static_cast<size_t>(exponent) + 1;
        if (n <= intDigits) {
            put(mantissa, n);
            for (size_t z = n; z < intDigits; ++z) out[o++] = '0';
        } else {
            put(mantissa, intDigits);
            out[o++] = '.';
            put(mantissa + intDigits, n - intDigits);
        }
    }
    return std::string(out, o);
}

// The characters of the decimal number at the start of a text, blanks inside
// dropped and an exponent marker without digits ("1e", "1e+") left off, with
// "e" for the exponent; nothing when no digit stands before any exponent.
std::optional<std::string> DecimalCharacters(std::string_view text) {
    std::string number;
    bool sawDigit = false, sawPoint = false, sawExponent = false;
    size_t exponentStart = 0;
    for (char c : text) {
        if (IsIgnoredInside(c)) continue;
        if ((c == '+' || c == '-') && (number.empty() || (sawExponent && number.size() == exponentStart))) {
            number += c;
        } else if (c >= '0' && c <= '9') {
            number += c;
            if (!sawExponent) sawDigit = true;
        } else if (c == '.' && !sawPoint && !sawExponent) {
            number += c;
            sawPoint = true;
        } else if ((c == 'E' || c == 'e' || c == 'D' || c == 'd') && !sawExponent && sawDigit) {
            number += 'e';
            sawExponent = true;
            exponentStart = number.size();
        } else {
            break;
        }
    }
    if (!sawDigit) return std::nullopt;
    if (sawExponent) {
        size_t digitsAt = exponentStart;
        if (digitsAt < number.size() && (number[digitsAt] == '+' || number[digitsAt] == '-')) ++digitsAt;
        if (digitsAt >= number.size()) number.erase(exponentStart - 1);
    }
    return number;
}

// Where the number of a text starts, leading blanks skipped, and its base:
// 16 after "&H", 8 after "&O", 0 for a text that is no number at all ("&X").
struct NumberStart {
    std::string_view rest;
    int base = 10;
};
NumberStart FindNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsIgnoredInside(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '&') {
        char kind = text[i + 1];
        if (kind == 'H' || kind == 'h') return {text.substr(i + 2), 16};
        if (kind == 'O' || kind == 'o') return {text.substr(i + 2), 8};
        return {{}, 0};
    }
    return {text.substr(i), 10};
}

bool IsDigitOf(char c, int base) {
    if (c >= '0' && c <= '9') return c - '0' < base;
    return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

}  // namespace

double NumberFromText(std::string_view text) {
    NumberStart start = FindNumber(text);
    if (start.base == 0) return 0;
    if (start.base != 10) return RadixNumber(start.rest, start.base);
    auto found = DecimalCharacters(start.rest);
    if (!found) return 0;
    const std::string& number = *found;
    bool negative = number[0] == '-';
    size_t first = (number[0] == '+' || number[0] == '-') ? 1 : 0;
    double value = 0;
    auto res = std::from_chars(number.data() + first, number.data() + number.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small gives zero.
        bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

bool HoldsNumber(std::string_view text) {
    NumberStart start = FindNumber(text);
    if (start.base == 0) return false;
    if (start.base == 10) return DecimalCharacters(start.rest).has_value();
    for (char c : start.rest) {
        if (IsIgnoredInside(c)) continue;
        return IsDigitOf(c, start.base);
    }
    return false;
}

std::optional<ExactDecimal> ExactDecimalFromText(std::string_view text) {
    NumberStart start = FindNumber(text);
    if (start.base == 0) return ExactDecimal{};
    if (start.base != 10) {
        // Whole numbers: exact while they fit the digits kept.
        double whole = RadixNumber(start.rest, start.base);
        if (whole >= 1e18) return std::nullopt;
        return ExactDecimal{false, static_cast<std::uint64_t>(whole), 0};
    }
    auto found = DecimalCharacters(start.rest);
    if (!found) return ExactDecimal{};
    std::string_view number = *found;
    ExactDecimal d;
    d.negative = number[0] == '-';
    if (number[0] == '+' || number[0] == '-') number.remove_prefix(1);
    // Zeros after the last other digit wait: they only scale what came before.
    int significant = 0, waitingZeros = 0;
    bool afterPoint = false;
    size_t i = 0;
    for (; i < number.size() && number[i] != 'e'; ++i) {
        if (number[i] == '.') {
            afterPoint = true;
            continue;
        }
        if (afterPoint) --d.exponent;
        int digit = number[i] - '0';
        if (digit == 0) {
            if (significant > 0) ++waitingZeros;
            continue;
        }
        significant += waitingZeros + 1;
        if (significant > kExactDigits) return std::nullopt;
        for (; waitingZeros > 0; --waitingZeros) d.digits *= 10;
        d.digits = d.digits * 10 + static_cast<std::uint64_t>(digit);
    }
    d.exponent += waitingZeros;
    if (i < number.size()) {
        std::string_view exponent = number.substr(i + 1);
        if (!exponent.empty() && exponent[0] == '+') exponent.remove_prefix(1);
        int e = 0;
        auto [end, ec] = std::from_chars(exponent.data(), exponent.data() + exponent.size(), e);
        if (ec != std::errc() || end != exponent.data() + exponent.size() || e > 400 || e < -400)
            return std::nullopt;
        d.exponent += e;
    }
    if (d.digits == 0) return ExactDecimal{};
    return d;
}

namespace {
using Wide = __int128;

// The decimal's value in units of 10^unit; nothing when that does not fit.
std::optional<Wide> InUnits(const ExactDecimal& d, int unit) {
    if (d.digits == 0) return Wide{0};
    int shift = d.exponent - unit;
    // 18 digits and 19 more stay below 2^126: a sum of two still fits.
    if (shift < 0 || shift > 19) return std::nullopt;
    Wide value = static_cast<Wide>(d.digits);
    for (int k = 0; k < shift; ++k) value *= 10;
    return d.negative ? -value : value;
}
}  // namespace

std::optional<int> CompareExactSum(const ExactDecimal& a, const ExactDecimal& b, const ExactDecimal& c) {
    int unit = std::numeric_limits<int>::max();
    for (const ExactDecimal* d : {&a, &b, &c})
        if (d->digits != 0) unit = std::min(unit, d->exponent);
    if (unit == std::numeric_limits<int>::max()) return 0;
    auto x = InUnits(a, unit), y = InUnits(b, unit), z = InUnits(c, unit);
    if (!x || !y || !z) return std::nullopt;
    Wide difference = *x + *y - *z;
    return difference < 0 ? -1 : difference > 0 ? 1 : 0;
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

std::optional<std::int32_t> WholeNumberFromText(std::string_view text) {
    double v = RoundHalfEven(NumberFromText(text));
    if (!(v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

std::int32_t WholeNumberClamped(std::string_view text, std::int32_t lo, std::int32_t hi) {
    double v = RoundHalfEven(NumberFromText(text));
    if (std::isnan(v)) return lo;
    if (v < lo) return lo;
    if (v > hi) return hi;
    return static_cast<std::int32_t>(v);
}

std::string GeneralDecimalText(double value) { return FormatDecimal(value, 15, true); }

std::string SignColumnText(double value) {
    float single = static_cast<float>(value);
    std::string text = FormatDecimal(single, 7, false);
    return text[0] == '-' ? text : " " + text;
}

std::string DecimalText(long long value) { return std::to_string(value); }

}  // namespace ziv
