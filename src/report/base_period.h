#pragma once
// A base period checked before control limits are fixed from it, as a
// quality engineer checks one (AIAG SPC, Phase I): enough values, no signal
// left among the values the limits come from, and a reading step fine enough
// for the variation. Limits fixed from anything would warn at the machine
// about an in-control process, or never warn at all.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/capability.h"
#include "report/fixed_limits.h"
#include "report/spc.h"

namespace ziv::report {

// AIAG asks for 20 to 25 values; with fewer, MR-bar swings so widely that
// the limits flag an in-control process far more often than 0.27 %.
inline constexpr std::size_t kBaseValues = 20;

// A value the person fixing leaves out, and why: "P,M,DATE[,K]=REASON".
struct Exclusion {
    int Point = 0, Machine = 0;
    Date Day;
    std::optional<int> Order;  // the Order-th value of that working date; needed where it has several
    std::string Reason;
};
std::optional<Exclusion> ParseExclusion(std::string_view text);

// Which value of its working date values[at] is, from 1: what an exclusion
// and the limits file name it by.
int OrderInDay(const std::vector<Sample>& values, std::size_t at);

// Why an exclusion names no value of the base period.
enum class Miss { NoValue, Ambiguous };

struct BaseReview {
    int Point = 0, Machine = 0;
    std::vector<Sample> Values;          // the period's values under its last set of tolerances, in order
    std::vector<std::size_t> Excluded;   // into Values, ascending
    std::optional<FixedLimit> Limit;     // from the values kept, with Base filled in; none without spread
    std::vector<RuleSignal> Signals;     // of the values kept against that limit; Index: into Values
    std::size_t ZeroRanges = 0, Ranges = 0;  // moving ranges of the values kept, and how many are 0
    std::vector<std::pair<Exclusion, Miss>> Misses;

    std::size_t Kept() const { return Values.size() - Excluded.size(); }
    bool TooFew() const { return Kept() < kBaseValues; }
    std::size_t SignalPoints() const;
};

// The base period of one capability row (a machine's row; `values` its
// samples) with the exclusions that name its point and machine left out.
BaseReview ReviewBase(const CapabilityRow& row, const std::vector<Sample>& values,
                      const std::vector<Exclusion>& exclusions);

// A reading step too coarse for the variation: most moving ranges read as 0,
// or the step larger than MR-bar. The limits then stand on the gauge's
// rounding, and whole steps fall outside them.
bool CoarseStep(double step, std::size_t zeroRanges, std::size_t ranges, double meanMovingRange);

// What the person fixing lets pass, each recorded in the file.
struct Allowance {
    bool Few = false;      // fewer than kBaseValues values
    bool Signals = false;  // signals left among the values kept
};
// Whether limits may be fixed from the review.
bool Acceptable(const BaseReview& review, const Allowance& allowed);

}  // namespace ziv::report
