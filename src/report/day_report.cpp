#include "report/day_report.h"

#include <cstdio>
#include <filesystem>

#include "common/failure_text.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "report/capability.h"
#include "report/journal_index.h"

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

std::optional<long long> ParseQuantity(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    // Full-width digits are EF BC 90..99 in UTF-8.
    constexpr std::string_view kWide = "\xEF\xBC";
    long long quantity = 0;
    int digits = 0;
    while (!text.empty()) {
        int digit = -1;
        if (text.front() >= '0' && text.front() <= '9') {
            digit = text.front() - '0';
            text.remove_prefix(1);
        } else if (text.size() >= 3 && text.starts_with(kWide) && static_cast<unsigned char>(text[2]) >= 0x90 &&
                   static_cast<unsigned char>(text[2]) <= 0x99) {
            digit = static_cast<unsigned char>(text[2]) - 0x90;
            text.remove_prefix(3);
        }
        if (digit < 0 || ++digits > 12) return std::nullopt;
        quantity = quantity * 10 + digit;
    }
    if (digits == 0) return std::nullopt;
    return quantity;
}

std::string ValueTimeText(const Timestamp& time, const Date& workDate) {
    auto clock = time.LocalTimeOfDay();
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    Day day = time.LocalDay();
    if (DaysOf(day) == DaysOf(workDate)) return text;
    return std::to_string(static_cast<unsigned>(day.month())) + "/" + std::to_string(static_cast<unsigned>(day.day())) +
           " " + text;
}

namespace {

// The part facts of the book's product, and for each value the journal entry
// that put it into its cell: the journals of the book's working date, read
// for its operator and machine only.
void ReadBesideTheBook(DayReport& report) {
    std::string factsPath = PartFactsPath(report.ProductDir);
    PartFactsRead facts = ReadPartFacts(factsPath);
    if (facts.status == ReadStatus::Unreadable)
        report.Unread.push_back("部品情報を読めません: " + factsPath + " (" + SystemErrorText(facts.err) + ")");
    report.Facts = std::move(facts.facts);

    const DayBookName& name = report.Book.Name;
    Filter day;
    day.From = day.To = name.WorkDate;
    day.Machine = name.Machine;
    day.Operator = name.Operator;
    JournalIndex journal = JournalIndex::Read(report.ProductDir, day);
    for (const std::string& path : journal.Unreadable()) report.Unread.push_back("ＺＩＶログを読めません: " + path);
    for (const PointRow& row : report.Book.Rows) {
        if (row.Value.empty()) continue;
        // A number the cell shows otherwise than it was typed ("10.010") is still the same value.
        if (const JournalEntry* entry = journal.EntryOf(name, row.Point, row.Value, MeasuredNumber(row.Value)))
            report.Sources[row.Point] = {entry->Gauge, ValueTimeText(entry->Time, name.WorkDate), entry->GaugeOverdue};
    }
}

// The name of a book and, when it lies in one, its product folder.
std::optional<DayBookName> NameFromPlace(const std::filesystem::path& absolute, std::string& productDir) {
    std::string fileName = absolute.filename().string();
    std::filesystem::path folder = absolute.parent_path();
    if (folder.filename() == kDayBookFolderName) {
        productDir = folder.parent_path().string();
        return ParseDayBookName(fileName, ProductNameOf(productDir));
    }
    auto name = ParseDayBookName(fileName);
    // "<a>_<b>_<c>" could be operator "a_b" of product "c" or the other way.
    if (name && (name->Operator + name->Product).find('_') != std::string::npos) return std::nullopt;
    return name;
}

}  // namespace

std::optional<DayReport> LoadDayReport(const std::string& bookPath, DayReportRefusal* refusal) {
    namespace fs = std::filesystem;
    auto refuse = [&](DayReportRefusal::Kind why, FileResult reason = {}) -> std::optional<DayReport> {
        if (refusal) *refusal = {why, std::move(reason)};
        return std::nullopt;
    };
    std::error_code ec;
    if (!fs::is_regular_file(fs::path(bookPath), ec)) return refuse(DayReportRefusal::Kind::Missing);
    DayReport report;
    auto name = NameFromPlace(fs::path(AbsoluteFolder(bookPath)), report.ProductDir);
    if (!name) return refuse(DayReportRefusal::Kind::NotADayBook);
    FileResult problem;
    auto book = ReadDayBook(bookPath, *name, &problem);
    if (!book) return refuse(DayReportRefusal::Kind::Unreadable, std::move(problem));
    report.Book = std::move(*book);
    for (const PointRow& row : report.Book.Rows) {
        if (!row.Value.empty()) ++report.Measured;
        PointVerdict verdict = VerdictOf(row);
        if (verdict == PointVerdict::Pass) ++report.Passed;
        if (verdict == PointVerdict::Fail) ++report.Failed;
    }
    if (report.ProductDir.empty()) return report;
    report.MasterPoints = MasterPointCount(report.ProductDir);
    ReadBesideTheBook(report);
    // The drawing belongs to the product folder the book lies in.
    std::string drawing = JoinPath(report.ProductDir, name->Product + ".jpg");
    PointTable table;
    if (IsFile(drawing) && ReadPointTableFile(PointTableFilePath(report.ProductDir), table) == ReadStatus::Read) {
        report.DrawingPath = drawing;
        report.Points = table;
    }
    return report;
}

std::string RefusalText(const DayReportRefusal& refusal, const std::string& bookPath) {
    switch (refusal.Why) {
        case DayReportRefusal::Kind::Missing: return "ブックがありません: " + bookPath;
        case DayReportRefusal::Kind::NotADayBook:
            return "日ごとのブックではありません (製品フォルダの data にある"
                   "「測定者_製品_N号機_Y年M月D日.xls」): " + bookPath;
        case DayReportRefusal::Kind::Unreadable: return "ブックを読めません: " + bookPath + ": " + BookOpenText(refusal.Problem);
    }
    return {};
}

}  // namespace ziv::report
