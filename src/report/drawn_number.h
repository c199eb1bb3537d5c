#pragma once
// Numbers as the drawing gives them: "0.010" says the gauge reads thousandths,
// and a limit worked out from two such texts must come out as a person would
// write it ("3.15", never "3.1500000000000004"). So the arithmetic here is
// decimal, on the texts, and keeps the places the texts carry.
#include <optional>
#include <string>
#include <string_view>

namespace ziv::report {

// A decimal number held exactly: Digits / 10^Places.
struct DrawnNumber {
    __int128 Digits = 0;
    int Places = 0;  // from 0
};

// A text that is wholly a decimal number ("10", "-0.010", "+.5", "1E-05"),
// blanks around it allowed; nothing for any other text or more than 30 digits.
std::optional<DrawnNumber> ParseDrawn(std::string_view text);
// Fixed decimals, "0" before the point: "-0.010".
std::string DrawnText(const DrawnNumber& number);
// a + b, with the places of the finer of the two.
DrawnNumber DrawnSum(const DrawnNumber& a, const DrawnNumber& b);
// The same number with at least `places` decimals ("0.01", 3 -> "0.010").
DrawnNumber WithPlaces(DrawnNumber number, int places);
// nominal + tolerance as text ("3" and "0.15" -> "3.15"); nothing when
// either is not a decimal number.
std::optional<std::string> LimitText(std::string_view nominal, std::string_view tolerance);
// The decimals a number text shows ("0.010" -> 3, "10" -> 0); nothing for no number.
std::optional<int> PlacesOf(std::string_view text);

}  // namespace ziv::report
