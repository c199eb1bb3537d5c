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

// No nominal size, or neither tolerance (a reference dimension): no
// judgement. Otherwise the value passes below nominal + upper and from
// nominal + lower on, each limit only where its tolerance is given. The sums
// are made in decimal on the texts, so that the lower limit itself is always
// inside and the upper one always outside, whatever binary rounding would do.
Judgement JudgeMeasuredValue(std::string_view nominal, std::string_view upper, std::string_view lower,
                             std::string_view value);

// Whether a point's values keep their sign: its lower limit (nominal + lower
// tolerance) lies below zero, as on a deviation from a master, and there a
// magnitude would be judged wrongly. Everywhere else values are magnitudes.
bool KeepsSign(std::string_view nominal, std::string_view lower);

// target - value to three decimals, halves going up, in the general decimal
// form; nothing when the target is empty (the correction keeps its content).
std::optional<std::string> CorrectionText(std::string_view target, std::string_view value);

// The magnitude of the number in a text, as entries write it into the grid.
std::string MagnitudeText(std::string_view text);

// The number in a text as an entry writes it into the grid: its magnitude,
// or the number with its sign on a point that keeps it; general decimal form.
std::string EnteredValueText(std::string_view text, bool keepSign);

// The number the number box holds (UTF-8): digits with at most one ".", and
// a leading "-" where the point keeps its sign; the input method's
// full-width digits, point and minus mean the same and come back as "0"-"9",
// "." and "-". Nothing when anything else stands in it: no part of a typo
// ("12,06", "90.0190.01", "1.5e3", "+2") may become a different number.
std::optional<std::string> NumberBoxEntry(std::string_view text, bool minusAllowed = false);

}  // namespace ziv
