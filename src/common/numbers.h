#pragma once
// Reading numbers from text and writing them back, always with "." as the
// decimal point whatever the locale.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ziv {

// The numeric value at the start of a text: leading blanks skipped, blanks,
// tabs and line feeds inside ignored, optional sign, digits with one ".",
// exponent with E or D; "&H"/"&O" give hexadecimal/octal whole numbers.
// Reading stops at the first character that cannot continue; no number is 0.
double NumberFromText(std::string_view text);

// Whether NumberFromText finds a number in the text at all, that is a digit:
// "ERR", "-----", "OVER", "-" and "" hold none (and read as 0).
bool HoldsNumber(std::string_view text);

// A number exactly as its text writes it: digits × 10^exponent, without the
// rounding of a binary double (3.2 - 0.05 is 3.15 here, not 3.1500000000000004).
struct ExactDecimal {
    bool negative = false;
    std::uint64_t digits = 0;
    int exponent = 0;
};
inline constexpr int kExactDigits = 18;
// The number NumberFromText reads, exactly; a text without a number is 0.
// Nothing for more than kExactDigits significant digits or an exponent beyond ±400.
std::optional<ExactDecimal> ExactDecimalFromText(std::string_view text);
// a + b compared with c: negative, zero or positive, exactly; nothing when
// their scales lie too far apart to be compared exactly.
std::optional<int> CompareExactSum(const ExactDecimal& a, const ExactDecimal& b, const ExactDecimal& c);

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// NumberFromText rounded half-to-even; nothing when it does not fit 32 bits.
std::optional<std::int32_t> WholeNumberFromText(std::string_view text);

// Same, clamped into [lo, hi]; used where a small whole number is needed and a
// damaged text must not overflow (window state, instrument index).
std::int32_t WholeNumberClamped(std::string_view text, std::int32_t lo, std::int32_t hi);

// Grid cells: "12.5", "0.25", "10", "1E-05"; up to 15 significant digits.
std::string GeneralDecimalText(double value);

// The editor's files: one blank before zero and positive values, a minus for
// negative ones, no "0" before the point ("-350", " 615", " .5"); 7 significant
// digits, as a single-precision value is written.
std::string SignColumnText(double value);

// Decimal text of a whole number, no blanks or padding ("3", "-12").
std::string DecimalText(long long value);

}  // namespace ziv
