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

}  // namespace ziv
