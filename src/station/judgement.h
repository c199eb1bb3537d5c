#pragma once
// Judging a measured value against its point's nominal size and tolerances,
// and the correction towards the target.
#include <optional>
#include <string>
#include <string_view>

namespace ziv {

enum class Judgement { None, Pass, Fail };

// "合", "不" or empty text, as the grid's 判定 column holds them.
std::string JudgementText(Judgement judgement);

// Empty nominal size or tolerance: no judgement. Otherwise pass when
// value < nominal + upper and value >= nominal + lower.
Judgement JudgeMeasuredValue(std::string_view nominal, std::string_view upper, std::string_view lower,
                             std::string_view value);

// target - value to three decimals, halves going up, in the general decimal
// form; nothing when the target is empty (the correction keeps its content).
std::optional<std::string> CorrectionText(std::string_view target, std::string_view value);

// The magnitude of the number in a text, as entries write it into the grid.
std::string MagnitudeText(std::string_view text);

// What the number box may hold (UTF-8): digits and "." only, since values
// are magnitudes; the input method's full-width digits and point mean the
// same and come back as "0"-"9" and ".". Nothing when any other character
// stands in it: no part of a foreign text ("1.5e3", "-2", "abc") may become
// a different number.
std::optional<std::string> MagnitudeEntry(std::string_view text);

}  // namespace ziv
