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

Judgement JudgeMeasuredValue(std::string_view nominal, std::string_view upper, std::string_view lower,
                             std::string_view value) {
    if (nominal.empty() || upper.empty() || lower.empty()) return Judgement::None;
    double n = NumberFromText(nominal);
    double upperLimit = n + NumberFromText(upper);
    double lowerLimit = n + NumberFromText(lower);
    double v = NumberFromText(value);
    return (v < upperLimit && v >= lowerLimit) ? Judgement::Pass : Judgement::Fail;
}

std::optional<std::string> CorrectionText(std::string_view target, std::string_view value) {
    if (target.empty()) return std::nullopt;
    double t = NumberFromText(target);
    double v = NumberFromText(value);
    double c = std::floor((t - v) * 1000 + 0.5) / 1000;
    return GeneralDecimalText(c);
}

std::string MagnitudeText(std::string_view text) { return GeneralDecimalText(std::fabs(NumberFromText(text))); }

std::optional<std::string> MagnitudeEntry(std::string_view text) {
    // Full-width "０"-"９" are EF BC 90-99 and "．" is EF BC 8E in UTF-8.
    std::string entry;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if ((c >= '0' && c <= '9') || c == '.') {
            entry += c;
        } else if (text.substr(i, 2) == "\xEF\xBC" && i + 2 < text.size()) {
            unsigned char last = static_cast<unsigned char>(text[i + 2]);
            if (last >= 0x90 && last <= 0x99) entry += static_cast<char>('0' + (last - 0x90));
            else if (last == 0x8E) entry += '.';
            else return std::nullopt;
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return entry;
}

}  // namespace ziv
