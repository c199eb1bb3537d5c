// libFuzzer target: reading numbers from any text, and writing any double in
// the two number forms. Reading must never give NaN, must treat leading
// blanks, a sign and a stop character the same way whatever follows, and the
// written forms must read back as the value they were written from.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "fuzz_support.h"
#include "common/numbers.h"

namespace ziv::fuzz::numbers {

bool Near(double read, double written, double relative) {
    return std::fabs(read - written) <= relative * std::fabs(written) + std::numeric_limits<double>::denorm_min();
}

constexpr double kLargestFifteenDigits = 1.79769313486231e308;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckReading(const std::string& text) {
    double value = NumberFromText(text);
    ZIV_FUZZ_CHECK(!std::isnan(value));
    // A text without a number reads as 0, and an exact decimal agrees with its sign.
    if (!HoldsNumber(text)) ZIV_FUZZ_CHECK(value == 0);
    if (auto exact = ExactDecimalFromText(text); exact && exact->digits != 0)
        ZIV_FUZZ_CHECK(exact->negative ? value <= 0 : value >= 0);
    ZIV_FUZZ_CHECK(NumberFromText(" \t" + text) == value);
    // 'x' continues no number form, not even a hexadecimal one.
    ZIV_FUZZ_CHECK(NumberFromText(text + "x") == value);
    if (!text.empty() && IsDigit(text[0])) {
        ZIV_FUZZ_CHECK(NumberFromText("-" + text) == -value);
        ZIV_FUZZ_CHECK(NumberFromText(text.substr(0, 1) + " " + text.substr(1)) == value);
    }

    double whole = RoundHalfEven(value);
    if (std::isfinite(value)) ZIV_FUZZ_CHECK(std::fabs(whole - value) <= 0.5);
    auto fitted = WholeNumberFromText(text);
    bool fits = whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max();
    ZIV_FUZZ_CHECK(fitted.has_value() == fits);
    if (fitted) ZIV_FUZZ_CHECK(*fitted == whole);
    std::int32_t clamped = WholeNumberClamped(text, -100, 100);
    ZIV_FUZZ_CHECK(clamped == std::fmax(-100.0, std::fmin(100.0, whole)));
}

void CheckWriting(double value) {
    std::string general = GeneralDecimalText(value);
    std::string column = SignColumnText(value);
    ZIV_FUZZ_CHECK(!general.empty());
    ZIV_FUZZ_CHECK(general.find_first_of(" ,") == std::string::npos);
    ZIV_FUZZ_CHECK(column.size() >= 2 && (column[0] == ' ' || column[0] == '-'));
    if (!std::isfinite(value)) return;

    // Fifteen digits round the largest doubles up past the largest double.
    if (std::fabs(value) > kLargestFifteenDigits) return;
    ZIV_FUZZ_CHECK(Near(NumberFromText(general), value, 1e-14));
    // Fifteen significant digits survive a trip through a double unchanged.
    if (std::fabs(value) >= DBL_MIN) ZIV_FUZZ_CHECK(GeneralDecimalText(NumberFromText(general)) == general);
    if (std::fabs(value) <= FLT_MAX) {
        float single = static_cast<float>(value);
        ZIV_FUZZ_CHECK(Near(NumberFromText(column), single, 1e-6));
    }
}

int OneInput(const uint8_t* data, size_t size) {
    std::string text(Bytes(data, size));
    CheckReading(text);
    CheckWriting(NumberFromText(text));
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        CheckWriting(raw);
    }
    return 0;
}

}  // namespace ziv::fuzz::numbers

ZIV_FUZZ_ENTRY_POINT(numbers)
