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

}  // namespace

double NumberFromText(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsIgnoredInside(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '&') {
        char kind = text[i + 1];
        if (kind == 'H' || kind == 'h') return RadixNumber(text.substr(i + 2), 16);
        if (kind == 'O' || kind == 'o') return RadixNumber(text.substr(i + 2), 8);
        return 0;
    }
    // Collect the characters that form the number, dropping blanks inside.
    std::string number;
    bool sawDigit = false, sawPoint = false, sawExponent = false;
    size_t exponentStart = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
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
    if (!sawDigit) return 0;
    // An exponent marker without digits ("1e", "1e+") is not part of the number.
    if (sawExponent) {
        size_t digitsAt = exponentStart;
        if (digitsAt < number.size() && (number[digitsAt] == '+' || number[digitsAt] == '-')) ++digitsAt;
        if (digitsAt >= number.size()) number.erase(exponentStart - 1);
    }
    bool negative = number[0] == '-';
    size_t start = (number[0] == '+' || number[0] == '-') ? 1 : 0;
    double value = 0;
    auto res = std::from_chars(number.data() + start, number.data() + number.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        // Too large gives infinity, too small gives zero.
        bool tiny = number.find("e-") != std::string::npos;
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
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

std::string CompactDecimalText(double value) { return FormatDecimal(value, 15, false); }

std::string DecimalText(long long value) { return std::to_string(value); }

}  // namespace ziv
