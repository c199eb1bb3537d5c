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

std::string Count(size_t n) { return DecimalText(static_cast<long long>(n)); }

std::string NoteText(const CapabilityRow& row) {
    std::string note;
    auto add = [&](const std::string& text) {
        if (!text.empty()) note += (note.empty() ? "" : "  ") + text;
    };
    if (row.LimitsChanged) add("規格変更");
    if (row.Machine && row.Stats.N > 0 && row.Stats.N < kFewValues) add("n<" + Count(kFewValues));
    if (row.RoundingOnly) add("丸め");
    if (row.CoarseStep) add("刻み粗い");
    add(OtherTextsSummary(row));
    return note;
}

// Failures and, marked, the values outside that the station did not judge.
std::string OutsideText(const CapabilityRow& row) {
    if (row.UnjudgedOutside == 0) return Count(row.Failed);
    return Count(row.Outside()) + " (※" + Count(row.UnjudgedOutside) + ")";
}

const std::optional<double> kNoIndex;

// Cut to two decimals as it is judged (IndexAsShown).
std::string IndexText(const std::optional<double>& index) {
    if (!index) return "—";
    return FixedText(IndexAsShown(*index), 2);
}

std::string PpmText(std::optional<double> ppm) {
    if (!ppm) return "—";
    return FixedText(*ppm, *ppm < 10 ? 1 : 0);
}

}  // namespace

std::string FitText(const CapabilityRow& row) {
    if (!row.Percentile) return "—";
    const CandidateFit& fit = row.Percentile->Chosen;
    std::string text = std::string(FamilyName(fit.Distribution.Kind)) + " A²" + FixedText(fit.A2, 2);
    return fit.Fits ? text : "適合なし (最良 " + text + ")";
}

std::vector<std::string> CapabilityRowTexts(const CapabilityRow& row) {
    const Spread& s = row.Stats;
    auto sigma = [&](std::optional<double> v) {
        return v ? FixedText(v, SpreadDecimals(*v, row.Decimals)) : std::string("—");
    };
    auto index = [](const std::optional<double>& v) { return IndexText(v); };
    const std::optional<double>& percentileCpk = row.Percentile ? row.Percentile->Cpk : kNoIndex;
    const std::optional<double>& percentileLower = row.Percentile ? row.Percentile->CpkLower95 : kNoIndex;
    return {DecimalText(row.Point), MachineText(row), row.Limits.Nominal, row.Limits.Upper, row.Limits.Lower,
            SidesText(row), RangeText(row), Count(s.N), FixedText(s.Mean, row.Decimals),
            sigma(s.WithinSigma), sigma(s.OverallSigma), index(row.Index.Cp), index(row.Index.Cpk),
            index(row.Index.CpkLower95), index(row.Index.Pp), index(row.Index.Ppk), index(percentileCpk),
            FitText(row), index(percentileLower),
            PpmText(row.Ppm), RuleText(row), OutsideText(row), Count(row.Unjudged), Count(row.OkCount), Count(row.NgCount),
            row.Normal ? FixedText(row.Normal->PValue, 3) : "—", NoteText(row)};
}

}  // namespace ziv::report
