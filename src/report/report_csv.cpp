#include "report/report_csv.h"

#include "common/numbers.h"

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

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields) {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) out += ',';
        out += CsvField(fields[i]);
    }
    out += "\r\n";
}

std::string ValuesCsvStart() {
    std::string out(kUtf8Bom);
    AppendCsvRecord(out, {"日付", "測定者", "号機", "製品", "番号", "寸法", "上限", "下限", "測定器", "測定値", "判定",
                          "補正", "ファイル"});
    return out;
}

void AppendValueRecords(std::string& out, const DayBookData& book) {
    std::string date = DateText(book.Name.WorkDate);
    std::string machine = DecimalText(book.Name.Machine);
    for (const PointRow& row : book.Rows) {
        if (row.Value.empty()) continue;
        AppendCsvRecord(out, {date, book.Name.Operator, machine, book.Name.Product, DecimalText(row.Point),
                              row.Nominal, row.Upper, row.Lower, row.InputName, row.Value, row.Judgement,
                              row.Correction, book.Path});
    }
}

std::string OtherTextsSummary(const PointCapability& point) {
    std::string out;
    auto add = [&](const std::string& text, size_t count) {
        if (!out.empty()) out += " ";
        out += text + "×" + DecimalText(static_cast<long long>(count));
    };
    for (const auto& [text, count] : point.OtherTexts) add(text, count);
    return out;
}

std::string CapabilityCsv(const std::vector<PointCapability>& table) {
    std::string out(kUtf8Bom);
    AppendCsvRecord(out, {"番号", "寸法", "上限", "下限", "n", "平均", "標準偏差", "最小", "最大", "Cp", "Cpk",
                          "規格外", "規格外率(%)", "OK", "NG", "その他", "規格変更"});
    for (const PointCapability& p : table) {
        const Statistics& s = p.Stats;
        std::optional<double> percent;
        if (p.OutsideShare) percent = *p.OutsideShare * 100;
        AppendCsvRecord(out, {DecimalText(p.Point), p.Nominal, p.Upper, p.Lower,
                              DecimalText(static_cast<long long>(s.N)),
                              FixedText(s.Mean, 5, ""), FixedText(s.StdDev, 5, ""),
                              s.Min ? GeneralDecimalText(*s.Min) : "", s.Max ? GeneralDecimalText(*s.Max) : "",
                              FixedText(s.Cp, 3, ""), FixedText(s.Cpk, 3, ""),
                              DecimalText(static_cast<long long>(p.Outside)), FixedText(percent, 2, ""),
                              DecimalText(static_cast<long long>(p.OkCount)),
                              DecimalText(static_cast<long long>(p.NgCount)), OtherTextsSummary(p),
                              p.LimitsChanged ? "あり" : ""});
    }
    return out;
}

}  // namespace ziv::report
