#include "report/day_report.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "common/failure_text.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "report/capability.h"
#include "report/drawn_number.h"
#include "report/journal_index.h"
#include "station/judgement.h"
#include "workbook/workbook.h"

namespace ziv::report {

namespace {

// A number the station did not judge (a book of an earlier version, which
// left a limit given alone unjudged), by the station's own rule.
PointVerdict JudgedHere(const PointRow& row) {
    if (!MeasuredNumber(row.Value)) return PointVerdict::Unjudged;
    switch (JudgeMeasuredValue(row.Nominal, row.Upper, row.Lower, row.Value)) {
        case Judgement::Pass: return PointVerdict::Pass;
        case Judgement::Fail: return PointVerdict::Fail;
        case Judgement::None: break;
    }
    return PointVerdict::Unjudged;
}

}  // namespace

PointVerdict VerdictOf(const PointRow& row) {
    if (row.Judgement == "不" || row.Value == "NG") return PointVerdict::Fail;
    if (row.Judgement == "合" || row.Value == "OK") return PointVerdict::Pass;
    if (row.Value.empty()) return PointVerdict::NotMeasured;
    return JudgedHere(row);
}

const PointRow* FindRow(const DayBookData& book, int point) {
    for (const PointRow& row : book.Rows)
        if (row.Point == point) return &row;
    return nullptr;
}

RecordVerdict VerdictOfRecord(const DayBookData& book, std::optional<int> masterPoints) {
    RecordVerdict v;
    int masterRows = 0;
    for (const PointRow& row : book.Rows) {
        if (!row.Nominal.empty()) ++masterRows;
        switch (VerdictOf(row)) {
            case PointVerdict::Pass: ++v.Passed; break;
            case PointVerdict::Fail: ++v.Failed; break;
            case PointVerdict::Unjudged: v.Unjudged.push_back(row.Point); break;
            case PointVerdict::NotMeasured:
                if (!row.Nominal.empty()) ++v.NotMeasured;
                break;
        }
    }
    if (masterPoints && *masterPoints > masterRows) v.NotMeasured += *masterPoints - masterRows;
    if (v.Failed > 0) v.Kind = RecordVerdictKind::Fail;
    else if (v.NotMeasured > 0 || masterRows == 0) v.Kind = RecordVerdictKind::Incomplete;
    else v.Kind = RecordVerdictKind::Pass;
    return v;
}

RecordVerdict VerdictOfRecord(const DayReport& report) { return VerdictOfRecord(report.Book, report.MasterPoints); }

std::string RecordVerdictText(const RecordVerdict& verdict) {
    std::string text;
    switch (verdict.Kind) {
        case RecordVerdictKind::Pass:
            text = verdict.Unjudged.empty() ? "合格" : "合格（判定 " + std::to_string(verdict.Passed) + "点）";
            break;
        case RecordVerdictKind::Fail: text = "不合格（" + std::to_string(verdict.Failed) + "点）"; break;
        case RecordVerdictKind::Incomplete:
            text = "未完了（未測定 " + std::to_string(verdict.NotMeasured) + "点）";
            break;
    }
    if (!verdict.Unjudged.empty()) {
        text += "　判定なし " + std::to_string(verdict.Unjudged.size()) + "点（番号 ";
        for (size_t i = 0; i < verdict.Unjudged.size(); ++i)
            text += (i ? ", " : "") + std::to_string(verdict.Unjudged[i]);
        text += "）";
    }
    return text;
}

namespace {

// A limit text as drawn: the master's where it reads as the same number.
std::string AsDrawn(const std::string& book, const std::string& master, std::optional<int> places, bool tolerance) {
    auto number = ParseDrawn(book);
    if (!number) return book;
    auto drawn = ParseDrawn(master);
    if (drawn && drawn->Places >= number->Places &&
        WithPlaces(*number, drawn->Places).Digits == drawn->Digits)
        number = drawn;
    if (places) number = WithPlaces(*number, *places);
    return (tolerance && number->Digits > 0 ? "+" : "") + DrawnText(*number);
}

const char* VerdictMark(PointVerdict verdict) {
    switch (verdict) {
        case PointVerdict::Pass: return "合";
        case PointVerdict::Fail: return "不";
        case PointVerdict::Unjudged: return "—";
        case PointVerdict::NotMeasured: break;
    }
    return "";
}

}  // namespace

std::vector<RecordLine> RecordLines(const DayReport& report) {
    std::vector<RecordLine> lines;
    for (const PointRow& row : report.Book.Rows) {
        const PointFacts& facts = report.Facts.Of(row.Point);
        auto master = report.MasterTexts.find(row.Point);
        std::array<std::string, 3> drawn = master == report.MasterTexts.end() ? std::array<std::string, 3>{}
                                                                               : master->second;
        RecordLine line;
        line.Point = std::to_string(row.Point);
        line.Name = facts.Name;
        line.Symbol = facts.Symbol;
        line.Nominal = AsDrawn(row.Nominal, drawn[0], facts.Places(), false);
        line.Upper = AsDrawn(row.Upper, drawn[1], facts.Places(), true);
        line.Lower = AsDrawn(row.Lower, drawn[2], facts.Places(), true);
        line.Unit = facts.Unit.empty() && !row.Nominal.empty() ? "mm" : facts.Unit;
        line.Quantity = !facts.Quantity.empty() ? facts.Quantity : row.Value.empty() ? "" : "1";
        line.InputName = row.InputName;
        line.Value = row.Value;
        PointVerdict verdict = VerdictOf(row);
        line.Verdict = VerdictMark(verdict);
        line.Failed = verdict == PointVerdict::Fail;
        line.Key = facts.Key;
        if (auto source = report.Sources.find(row.Point); source != report.Sources.end()) {
            line.Gauge = source->second.Gauge;
            line.Time = source->second.Time;
            line.GaugeOverdue = source->second.GaugeOverdue;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

int OverdueValues(const DayReport& report) {
    int overdue = 0;
    for (const auto& [point, source] : report.Sources) overdue += source.GaugeOverdue ? 1 : 0;
    return overdue;
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

// How many points the master names, and their texts as drawn.
void ReadMaster(DayReport& report) {
    std::string path = MasterBookPath(report.ProductDir);
    if (!IsFile(path)) return;
    auto master = Workbook::Open(path);
    if (!master) return;
    int count = 0;
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        MasterRow row = ReadMasterRow(*master, r);
        if (row.Nominal.empty()) continue;
        ++count;
        report.MasterTexts[r] = {row.Nominal, row.Upper, row.Lower};
    }
    report.MasterPoints = count;
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
    if (report.ProductDir.empty()) return report;
    ReadMaster(report);
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
