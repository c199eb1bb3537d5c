#include "report/capability_table.h"

#include "common/numbers.h"
#include "report/report_csv.h"

namespace ziv::report {

namespace {

std::string RuleText(const CapabilityRow& row) {
    if (!row.Machine) return "—";
    if (row.RuleSignals() == 0) return "0";
    std::string text;
    for (int rule = 1; rule <= 4; ++rule) {
        size_t n = row.Rules[static_cast<size_t>(rule)];
        if (n == 0) continue;
        if (!text.empty()) text += " ";
        text += DecimalText(rule) + ":" + DecimalText(static_cast<long long>(n));
    }
    return text;
}

std::string RangeText(const CapabilityRow& row) {
    if (!row.First) return "—";
    auto text = [](const Date& d, bool year) {
        return (year ? DecimalText(d.Year) + "/" : std::string()) + DecimalText(d.Month) + "/" + DecimalText(d.Day);
    };
    // The year stands in the range above the table; only a range over the
    // turn of a year needs it here.
    bool years = row.First->Year != row.Last->Year;
    return text(*row.First, years) + "〜" + text(*row.Last, years);
}

std::string NoteText(const CapabilityRow& row) {
    std::string note = row.LimitsChanged ? "規格変更" : "";
    std::string other = OtherTextsSummary(row);
    if (!other.empty()) note += (note.empty() ? "" : "  ") + other;
    return note;
}

std::string Count(size_t n) { return DecimalText(static_cast<long long>(n)); }

}  // namespace

std::vector<std::string> CapabilityRowTexts(const CapabilityRow& row) {
    const Spread& s = row.Stats;
    auto sigma = [&](std::optional<double> v) {
        return v ? FixedText(v, SpreadDecimals(*v, row.Decimals)) : std::string("—");
    };
    auto index = [](std::optional<double> v) { return FixedText(v, 2); };
    return {DecimalText(row.Point), MachineText(row), row.Limits.Nominal, row.Limits.Upper, row.Limits.Lower,
            SidesText(row), RangeText(row), Count(s.N), FixedText(s.Mean, row.Decimals),
            sigma(s.WithinSigma), sigma(s.OverallSigma), index(row.Index.Cp), index(row.Index.Cpk),
            index(row.Index.CpkLower95), index(row.Index.Pp), index(row.Index.Ppk), RuleText(row),
            Count(row.Failed), Count(row.Unjudged), Count(row.OkCount), Count(row.NgCount),
            row.Normal ? FixedText(row.Normal->PValue, 3) : "—", NoteText(row)};
}

}  // namespace ziv::report
