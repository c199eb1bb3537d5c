#include "report/capability.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/numbers.h"

namespace ziv::report {

std::optional<double> MeasuredNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    // from_chars would also take "inf" and "nan"; a measured value is digits.
    char first = text.front() == '-' && text.size() > 1 ? text[1] : text.front();
    if (!(first >= '0' && first <= '9') && first != '.') return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

Limits LimitsOf(std::string_view nominal, std::string_view upper, std::string_view lower) {
    Limits limits;
    if (nominal.empty()) return limits;
    double base = NumberFromText(nominal);
    if (!upper.empty()) limits.Upper = base + NumberFromText(upper);
    if (!lower.empty()) limits.Lower = base + NumberFromText(lower);
    return limits;
}

bool IsOutside(double value, const Limits& limits) {
    return (limits.Upper && value >= *limits.Upper) || (limits.Lower && value < *limits.Lower);
}

Statistics ComputeStatistics(const std::vector<double>& values, const Limits& limits) {
    Statistics stats;
    stats.N = values.size();
    if (values.empty()) return stats;
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    stats.Min = *lo;
    stats.Max = *hi;
    double sum = 0;
    for (double v : values) sum += v;
    double mean = sum / static_cast<double>(values.size());
    // Equal values have no spread, whatever rounding the mean picked up.
    if (*lo == *hi) mean = *lo;
    stats.Mean = mean;
    if (values.size() < 2) return stats;
    double squares = 0;
    for (double v : values) squares += (v - mean) * (v - mean);
    double sigma = *lo == *hi ? 0.0 : std::sqrt(squares / static_cast<double>(values.size() - 1));
    stats.StdDev = sigma;
    if (!(sigma > 0)) return stats;
    if (limits.Upper && limits.Lower) stats.Cp = (*limits.Upper - *limits.Lower) / (6 * sigma);
    if (limits.Upper && limits.Lower)
        stats.Cpk = std::min(*limits.Upper - mean, mean - *limits.Lower) / (3 * sigma);
    else if (limits.Upper)
        stats.Cpk = (*limits.Upper - mean) / (3 * sigma);
    else if (limits.Lower)
        stats.Cpk = (mean - *limits.Lower) / (3 * sigma);
    return stats;
}

CapabilityBuilder::CapabilityBuilder() : points_(kLastPoint + 1) {}

void CapabilityBuilder::Add(const DayBookData& book) {
    for (const PointRow& row : book.Rows) {
        if (row.Point < kFirstPoint || row.Point > kLastPoint) continue;
        PointState& point = points_[static_cast<size_t>(row.Point)];
        // The limits rarely change from book to book: read them only when they do.
        if (!point.HasLimits || point.Nominal != row.Nominal || point.Upper != row.Upper ||
            point.Lower != row.Lower) {
            if (point.HasLimits) point.LimitsChanged = true;
            point.Nominal = row.Nominal;
            point.Upper = row.Upper;
            point.Lower = row.Lower;
            point.RowLimits = LimitsOf(row.Nominal, row.Upper, row.Lower);
            point.HasLimits = true;
        }
        if (row.Value.empty() && !row.Measured) continue;
        if (auto value = row.Measured ? row.Measured : MeasuredNumber(row.Value)) {
            bool outside = IsOutside(*value, point.RowLimits);
            point.Samples.push_back({book.Name.WorkDate, book.Name.Machine, *value, outside});
            if (outside) ++point.Outside;
        } else if (row.Value == "OK") {
            ++point.Ok;
        } else if (row.Value == "NG") {
            ++point.Ng;
        } else {
            auto it = std::find_if(point.Other.begin(), point.Other.end(),
                                   [&](const auto& entry) { return entry.first == row.Value; });
            if (it != point.Other.end())
                ++it->second;
            else
                point.Other.emplace_back(row.Value, 1);
        }
    }
}

std::vector<PointCapability> CapabilityBuilder::Result() const {
    std::vector<PointCapability> result;
    std::vector<double> values;
    for (int p = kFirstPoint; p <= kLastPoint; ++p) {
        const PointState& point = points_[static_cast<size_t>(p)];
        bool anything = !point.Samples.empty() || point.Ok || point.Ng || !point.Other.empty();
        if (!anything && point.Nominal.empty()) continue;
        PointCapability capability;
        capability.Point = p;
        capability.Nominal = point.Nominal;
        capability.Upper = point.Upper;
        capability.Lower = point.Lower;
        capability.LimitsChanged = point.LimitsChanged;
        values.clear();
        for (const Sample& s : point.Samples) values.push_back(s.Value);
        capability.Stats = ComputeStatistics(values, LimitsOf(point.Nominal, point.Upper, point.Lower));
        capability.Outside = point.Outside;
        if (!values.empty())
            capability.OutsideShare = static_cast<double>(point.Outside) / static_cast<double>(values.size());
        capability.OkCount = point.Ok;
        capability.NgCount = point.Ng;
        capability.OtherTexts = point.Other;
        result.push_back(std::move(capability));
    }
    return result;
}

const std::vector<Sample>& CapabilityBuilder::Samples(int point) const {
    static const std::vector<Sample> kNone;
    if (point < kFirstPoint || point > kLastPoint) return kNone;
    return points_[static_cast<size_t>(point)].Samples;
}

std::string FixedText(std::optional<double> value, int decimals, std::string_view none) {
    if (!value || !std::isfinite(*value)) return std::string(none);
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return std::string(none);
    std::string text(buffer, end);
    if (text.starts_with("-") && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

}  // namespace ziv::report
