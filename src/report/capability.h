#pragma once
// Process capability of every point over the day workbooks of a range.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/collect.h"

namespace ziv::report {

// The value of a text that is wholly a decimal number ("10.012", "-0.5",
// "1E-05"); nothing for "OK", "NG", other texts and empty text.
std::optional<double> MeasuredNumber(std::string_view text);

// Upper and lower specification limits of a row: nominal + upper and nominal +
// lower, each read as the station's judgement reads them; a limit whose
// tolerance (or the nominal size) is empty is absent.
struct Limits {
    std::optional<double> Upper, Lower;
};
Limits LimitsOf(std::string_view nominal, std::string_view upper, std::string_view lower);
// Outside as the station's judgement fails it: at or above the upper limit,
// or below the lower one.
bool IsOutside(double value, const Limits& limits);

struct Statistics {
    size_t N = 0;
    std::optional<double> Mean, StdDev, Min, Max;  // StdDev with n - 1, from n = 2
    // None when sigma is 0 or n < 2; Cp needs both limits, Cpk one of them.
    std::optional<double> Cp, Cpk;
};
Statistics ComputeStatistics(const std::vector<double>& values, const Limits& limits);

struct Sample {
    Date Day;
    int Machine = 0;
    double Value = 0;
    bool Outside = false;  // against its own book's limits
};

struct PointCapability {
    int Point = 0;
    // Limits of the latest book in the range, as texts; LimitsChanged when an
    // earlier book of the range held others.
    std::string Nominal, Upper, Lower;
    bool LimitsChanged = false;
    Statistics Stats;
    size_t Outside = 0;
    std::optional<double> OutsideShare;  // Outside / N, when N > 0
    size_t OkCount = 0, NgCount = 0;
    std::vector<std::pair<std::string, size_t>> OtherTexts;  // text and how often
};

// Takes the books in date order (as ReadDayBooks hands them over) and keeps
// one number per value: a year of a shop's books fits in a few megabytes.
class CapabilityBuilder {
public:
    CapabilityBuilder();
    void Add(const DayBookData& book);
    // Points with anything measured or a nominal size, in point order.
    std::vector<PointCapability> Result() const;
    // The numeric values of a point in the order they were added.
    const std::vector<Sample>& Samples(int point) const;

private:
    struct PointState {
        std::string Nominal, Upper, Lower;
        Limits RowLimits;  // of the texts above
        bool HasLimits = false, LimitsChanged = false;
        std::vector<Sample> Samples;
        size_t Outside = 0, Ok = 0, Ng = 0;
        std::vector<std::pair<std::string, size_t>> Other;
    };
    std::vector<PointState> points_;  // index = point number
};

// "—" for none; otherwise fixed decimals, "." whatever the locale.
std::string FixedText(std::optional<double> value, int decimals, std::string_view none = "—");

}  // namespace ziv::report
