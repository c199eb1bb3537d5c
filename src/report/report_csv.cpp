#include "report/report_csv.h"

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv::report {

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string InertText(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos)
        return std::string(text);
    if (MeasuredNumber(text)) return std::string(text);
    return "'" + std::string(text);
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += CsvField(InertText(fields[i]));
    }
    out += "\r\n";
}

std::string ValuesCsvStart() {
    std::string out(kUtf8Bom);
    // The journal's columns come last, so that readers of the first ones go on as before.
    AppendCsvRecord(out, {"日付", "測定者", "号機", "製品", "番号", "寸法", "上限", "下限", "測定器", "測定値", "判定",
                          "補正", "ファイル", "時刻", "ステーション", "管理番号"});
    return out;
}

void AppendValueRecords(std::string& out, const DayBookData& book, const JournalIndex* journal) {
    std::string date = DateText(book.Name.WorkDate);
    std::string machine = DecimalText(book.Name.Machine);
    for (const PointRow& row : book.Rows) {
        if (row.Value.empty()) continue;
        const JournalEntry* entry = journal ? journal->EntryOf(book.Name, row.Point, row.Value) : nullptr;
        AppendCsvRecord(out, {date, book.Name.Operator, machine, book.Name.Product, DecimalText(row.Point),
                              row.Nominal, row.Upper, row.Lower, row.InputName, row.Value, row.Judgement,
                              // The book's name alone: where the server keeps it is no one else's business.
                              row.Correction, LastPathComponent(book.Path), entry ? LocalTimeText(entry->Time) : "",
                              entry ? entry->Station : "", entry ? entry->Gauge : ""});
    }
}

std::vector<std::string> HistoryTitles() {
    return {"日時", "作業日", "ステーション", "測定者", "号機", "番号", "入力", "判定", "補正", "入力方法", "測定器",
            "管理番号", "校正期限切れ", "前の値", "再測定"};
}

std::vector<std::string> HistoryTexts(const JournalEntry& e) {
    return {LocalTimeText(e.Time), DayText(e.WorkDate), e.Station, e.Operator, DecimalText(e.Machine),
            DecimalText(e.Point), e.Text, e.Judgement, e.Correction, EntryWayText(e), e.Instrument, e.Gauge,
            e.GaugeOverdue ? "期限切れ" : "", e.Replaced, IsRemeasurement(e) ? "再測定" : ""};
}

std::string HistoryCsvStart() {
    std::string out(kUtf8Bom);
    AppendCsvRecord(out, HistoryTitles());
    return out;
}

void AppendHistoryRecord(std::string& out, const JournalEntry& entry) { AppendCsvRecord(out, HistoryTexts(entry)); }

std::string OtherTextsSummary(const CapabilityRow& row) {
    std::string out;
    auto add = [&](const std::string& text, size_t count) {
        if (!out.empty()) out += " ";
        out += text + "×" + DecimalText(static_cast<long long>(count));
    };
    for (const auto& [text, count] : row.OtherTexts) add(text, count);
    return out;
}

std::string MachineText(const CapabilityRow& row) {
    return row.Machine ? DecimalText(*row.Machine) : std::string(kPooledMachines);
}

namespace {

std::string Exact(std::optional<double> value) { return value ? ExactText(*value) : std::string(); }
std::string Count(size_t n) { return DecimalText(static_cast<long long>(n)); }
std::string DateOf(const std::optional<Date>& date) { return date ? DateText(*date) : std::string(); }

}  // namespace

std::string CapabilityCsv(const std::vector<CapabilityRow>& table) {
    std::string out(kUtf8Bom);
    AppendCsvRecord(out, {"番号", "号機", "寸法", "上限", "下限", "規格", "開始日", "終了日", "n", "平均", "最小",
                          "最大", "σ群内(MR/d2)", "σ全体(n-1)", "Cp", "Cpk", "Cpk下限95%", "Pp", "Ppk", "管理中心",
                          "管理上限", "管理下限", "MR平均", "MR上限", "ルール1", "ルール2", "ルール3", "ルール4",
                          "AD統計量A2*", "AD p値", "不合格", "判定なし", "OK", "NG", "その他", "規格変更",
                          // Later additions go last, so that readers of the first columns go on as before.
                          "規格外(判定なし)", "Cp分位", "Cpk分位", "0.135%点", "50%点", "99.865%点", "歪度",
                          "ppm予測", "分解能", "丸めによるp低下", "分布", "分布A2", "分布の当てはまり",
                          "Cpk分位下限95%", "刻みが粗い"});
    for (const CapabilityRow& r : table) {
        const std::optional<ControlLimits>& control = r.Control;
        std::vector<std::string> fields{
            DecimalText(r.Point), MachineText(r), r.Limits.Nominal, r.Limits.Upper, r.Limits.Lower, SidesText(r),
            DateOf(r.First), DateOf(r.Last), Count(r.Stats.N),
            Exact(r.Stats.Mean), Exact(r.Stats.Min), Exact(r.Stats.Max), Exact(r.Stats.WithinSigma),
            Exact(r.Stats.OverallSigma),
            Exact(r.Index.Cp), Exact(r.Index.Cpk), Exact(r.Index.CpkLower95), Exact(r.Index.Pp), Exact(r.Index.Ppk)};
        for (auto v : {control ? std::optional(control->Centre) : std::nullopt,
                       control ? std::optional(control->Upper) : std::nullopt,
                       control ? std::optional(control->Lower) : std::nullopt,
                       control ? std::optional(control->RangeCentre) : std::nullopt,
                       control ? std::optional(control->RangeUpper) : std::nullopt})
            fields.push_back(Exact(v));
        for (int rule = 1; rule <= 4; ++rule)
            fields.push_back(r.Machine ? Count(r.Rules[static_cast<size_t>(rule)]) : "");
        fields.push_back(r.Normal ? ExactText(r.Normal->A2Star) : "");
        fields.push_back(r.Normal ? ExactText(r.Normal->PValue) : "");
        for (size_t n : {r.Failed, r.Unjudged, r.OkCount, r.NgCount}) fields.push_back(Count(n));
        fields.push_back(OtherTextsSummary(r));
        fields.push_back(r.LimitsChanged ? "あり" : "");
        fields.push_back(Count(r.UnjudgedOutside));
        const auto& pc = r.Percentile;
        fields.push_back(pc ? Exact(pc->Cp) : "");
        fields.push_back(pc ? Exact(pc->Cpk) : "");
        for (double PercentileIndices::*point : {&PercentileIndices::Low, &PercentileIndices::Median,
                                                 &PercentileIndices::High})
            fields.push_back(pc ? ExactText((*pc).*point) : "");
        fields.push_back(pc ? ExactText(pc->Skewness) : "");
        fields.push_back(Exact(r.Ppm));
        fields.push_back(r.Resolution > 0 ? ExactText(r.Resolution) : "");
        fields.push_back(r.RoundingOnly ? "あり" : "");
        fields.push_back(pc ? std::string(FamilyName(pc->Chosen.Distribution.Kind)) : "");
        fields.push_back(pc ? ExactText(pc->Chosen.A2) : "");
        fields.push_back(pc ? (pc->Chosen.Fits ? "適合" : "適合なし") : "");
        fields.push_back(pc ? Exact(pc->CpkLower95) : "");
        fields.push_back(r.CoarseStep ? "あり" : "");
        AppendCsvRecord(out, fields);
    }
    return out;
}

}  // namespace ziv::report
