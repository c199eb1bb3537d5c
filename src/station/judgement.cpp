#include "station/judgement.h"

#include <cmath>

#include "common/numbers.h"

namespace ziv {

std::string JudgementText(Judgement judgement) {
    switch (judgement) {
        case Judgement::Pass: return "合";
        case Judgement::Fail: return "不";
        default: return "";
    }
}

namespace {

// The value against nominal + tolerance: below it (negative), on it (zero) or
// above it (positive). Texts too long for exact decimals are compared as
// doubles, as before.
int AgainstLimit(std::string_view nominal, std::string_view tolerance, std::string_view value) {
    auto n = ExactDecimalFromText(nominal), t = ExactDecimalFromText(tolerance), v = ExactDecimalFromText(value);
    if (n && t && v)
        if (auto limitAgainstValue = CompareExactSum(*n, *t, *v)) return -*limitAgainstValue;
    double limit = NumberFromText(nominal) + NumberFromText(tolerance);
    double x = NumberFromText(value);
    return x < limit ? -1 : (x > limit ? 1 : 0);
}

}  // namespace

Judgement JudgeMeasuredValue(std::string_view nominal, std::string_view upper, std::string_view lower,
                             std::string_view value) {
    if (nominal.empty() || (upper.empty() && lower.empty())) return Judgement::None;
    bool belowUpper = upper.empty() || AgainstLimit(nominal, upper, value) < 0;
    bool fromLower = lower.empty() || AgainstLimit(nominal, lower, value) >= 0;
    return belowUpper && fromLower ? Judgement::Pass : Judgement::Fail;
}

bool KeepsSign(std::string_view nominal, std::string_view lower) {
    return !nominal.empty() && !lower.empty() && AgainstLimit(nominal, lower, "0") > 0;
}

std::optional<std::string> CorrectionText(std::string_view target, std::string_view value) {
    if (target.empty()) return std::nullopt;
    double t = NumberFromText(target);
    double v = NumberFromText(value);
    double c = std::floor((t - v) * 1000 + 0.5) / 1000;
    return GeneralDecimalText(c);
}

std::string MagnitudeText(std::string_view text) { return GeneralDecimalText(std::fabs(NumberFromText(text))); }

std::string EnteredValueText(std::string_view text, bool keepSign) {
    return keepSign ? GeneralDecimalText(NumberFromText(text)) : MagnitudeText(text);
}

std::optional<std::string> NumberBoxEntry(std::string_view text, bool minusAllowed) {
    // Full-width "０"-"９" are EF BC 90-99, "．" is EF BC 8E and "－" EF BC 8D in UTF-8.
    std::string entry;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size()) {
            unsigned char last = static_cast<unsigned char>(text[i + 2]);
            if (last >= 0x90 && last <= 0x99) c = static_cast<char>('0' + (last - 0x90));
            else if (last == 0x8E) c = '.';
            else if (last == 0x8D) c = '-';
            else return std::nullopt;
            i += 2;
        }
        // A second point would cut the number short: "90.0190.01" is a typo, not 90.019.
        bool digit = c >= '0' && c <= '9', point = c == '.' && entry.find('.') == std::string::npos;
        if (!digit && !point && !(c == '-' && entry.empty() && minusAllowed)) return std::nullopt;
        entry += c;
    }
    return entry;
}

}  // namespace ziv
