#include "report/day_report.h"

#include <filesystem>

#include "platform/paths.h"

namespace ziv::report {

PointVerdict VerdictOf(const PointRow& row) {
    if (row.Judgement == "不" || row.Value == "NG") return PointVerdict::Fail;
    if (row.Judgement == "合" || row.Value == "OK") return PointVerdict::Pass;
    if (row.Value.empty()) return PointVerdict::NotMeasured;
    return PointVerdict::Unjudged;
}

const PointRow* FindRow(const DayBookData& book, int point) {
    for (const PointRow& row : book.Rows)
        if (row.Point == point) return &row;
    return nullptr;
}

RecordVerdict VerdictOfRecord(const DayBookData& book, std::optional<int> masterPoints) {
    int failed = 0, masterRows = 0, unmeasured = 0;
    for (const PointRow& row : book.Rows) {
        PointVerdict verdict = VerdictOf(row);
        if (verdict == PointVerdict::Fail) ++failed;
        if (row.Nominal.empty()) continue;
        ++masterRows;
        if (verdict == PointVerdict::NotMeasured) ++unmeasured;
    }
    if (masterPoints && *masterPoints > masterRows) unmeasured += *masterPoints - masterRows;
    if (failed > 0) return {RecordVerdictKind::Fail, failed};
    if (unmeasured > 0 || masterRows == 0) return {RecordVerdictKind::Incomplete, unmeasured};
    return {RecordVerdictKind::Pass, 0};
}

RecordVerdict VerdictOfRecord(const DayReport& report) { return VerdictOfRecord(report.Book, report.MasterPoints); }

std::string RecordVerdictText(const RecordVerdict& verdict) {
    switch (verdict.Kind) {
        case RecordVerdictKind::Pass: return "合格";
        case RecordVerdictKind::Fail: return "不合格（" + std::to_string(verdict.Count) + "点）";
        case RecordVerdictKind::Incomplete: return "未完了（未測定 " + std::to_string(verdict.Count) + "点）";
    }
    return {};
}

std::optional<DayReport> LoadDayReport(const std::string& bookPath, std::string* error) {
    namespace fs = std::filesystem;
    fs::path path(bookPath);
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        if (error) *error = "ファイルがありません: " + bookPath;
        return std::nullopt;
    }
    DayReport report;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    report.ProductDir = absolute.parent_path().parent_path().string();
    std::string productName = ProductNameOf(report.ProductDir);
    std::string fileName = absolute.filename().string();
    auto name = ParseDayBookName(fileName, productName);
    if (!name) name = ParseDayBookName(fileName);
    if (name) report.NameRead = true;
    auto book = ReadDayBook(bookPath, name.value_or(DayBookName{}), error);
    if (!book) return std::nullopt;
    report.Book = std::move(*book);
    if (!name) report.Book.Name.Product = productName;
    for (const PointRow& row : report.Book.Rows) {
        if (!row.Value.empty()) ++report.Measured;
        PointVerdict verdict = VerdictOf(row);
        if (verdict == PointVerdict::Pass) ++report.Passed;
        if (verdict == PointVerdict::Fail) ++report.Failed;
    }
    report.MasterPoints = MasterPointCount(report.ProductDir);
    // The drawing belongs to the product folder the book lies in.
    std::string drawing = JoinPath(report.ProductDir, productName + ".jpg");
    PointTable table;
    if (IsFile(drawing) && ReadPointTableFile(PointTableFilePath(report.ProductDir), table) == ReadStatus::Read) {
        report.DrawingPath = drawing;
        report.Points = table;
    }
    return report;
}

}  // namespace ziv::report
