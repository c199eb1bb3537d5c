#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <variant>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/paths.h"
#include "platform/share_lock.h"
#include "report/capability.h"
#include "report/capability_pages_qt.h"
#include "report/aqdef_export.h"
#include "report/base_period.h"
#include "report/capability_table.h"
#include "report/collect.h"
#include "report/day_report.h"
#include "report/day_report_qt.h"
#include "report/fixed_limits.h"
#include "report/journal_check.h"
#include "report/journal_index.h"
#include "report/part_facts.h"
#include "report/report_csv.h"
#include "common/station_limits.h"

namespace ziv::report {

namespace {

const char* kUsage =
    "使い方:\n"
    "  ziv-report                         ウィンドウを開きます\n"
    "  ziv-report day BOOK.xls --pdf OUT.pdf [--lot LOT] [--qty N] [--csv OUT.csv] [--set KEY=VALUE ...]\n"
    "      日ごとのブック 1 冊の検査成績書 (PDF, A4)。ロット番号と数量 (0 以上の整数) を載せます。\n"
    "      --set は部品情報の項目をこの成績書だけ変えます (例: --set 注文番号=PO-1 --set 理由=初品)\n"
    "  ziv-report facts PRODUCT_DIR [--set KEY=VALUE ...]\n"
    "      製品の部品情報 (部品情報.txt) を表示し、--set があれば書き換えます。KEY は 顧客 図番 改訂 品名 材質\n"
    "      報告書番号 発行元 仕入先コード 理由 注文番号 発行日、番号N.名称 番号N.種類 (寸法/幾何公差/粗さ/振れ)\n"
    "      番号N.記号 番号N.単位 番号N.桁数 番号N.数量 番号N.重要 (1 か 0)。値を空にすると消えます\n"
    "  ziv-report stats PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME]\n"
    "                   [--csv OUT.csv] [--pdf OUT.pdf]\n"
    "      期間の工程能力: 号機ごとに Cp/Cpk (群内の変動), Pp/Ppk (全体), Cpk 下限, 管理図のルール, 不合格\n"
    "  ziv-report values PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] --csv OUT.csv\n"
    "      期間のすべての測定値を CSV に (記録にある値は時刻・ステーション・管理番号も)\n"
    "  ziv-report history PRODUCT_DIR --point P --from DATE --to DATE [--machine N] [--operator NAME] [--csv OUT.csv]\n"
    "      番号 P の記録: 測定し直した値を含むすべての入力を時刻順に\n"
    "  ziv-report aqdef PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] [--lot LOT]\n"
    "                   [--encoding cp932|utf8|utf8-bom] --out OUT.dfq\n"
    "      期間の測定値を AQDEF (Q-DAS) 形式で。文字コードは既定で CP932 (Shift_JIS)、BOM なし\n"
    "  ziv-report limits PRODUCT_DIR --from DATE --to DATE [--machine N] [--point P] [--by NAME]\n"
    "                    [--exclude P,M,DATE[,K]=REASON ...] [--allow-few] [--force]\n"
    "      期間 (基準期間) の値から管理限界を確定し、製品フォルダの 管理限界.txt に新しい版として加えます。\n"
    "      値が 20 個未満、または信号のある基準期間は確定しません。--exclude は番号 P・号機 M の DATE の\n"
    "      K 番目の値を理由を付けて除きます。--allow-few は少ない値から、--force は信号を残したまま確定します\n"
    "      (どちらも 管理限界.txt に記録されます)\n"
    "  ziv-report check PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] [--repair]\n"
    "      ＺＩＶログの最新の値が日ごとのブックにないものを一覧に。--repair でブックに書き戻します\n"
    "\n"
    "DATE は 2024-03-07、2024/3/7 または 2024年3月7日。CSV は UTF-8 (BOM 付き)。\n"
    "終了コード: 0 成功、1 引数の誤り、2 対象がない (フォルダ・日ごとのブックでないファイル・期間にブックなし)、\n"
    "  3 読めないものがあった (ブック・部品情報・ＺＩＶログ。読めた分で作りました)、4 出力を書けない、\n"
    "  5 check: ブックにない値があった (書き戻していません)、6 limits: 基準期間が条件を満たさない (書いていません)\n";

// One meaning each, as the usage and the README say.
enum Exit {
    kDone = 0,
    kBadArguments = 1,
    kNothingToReport = 2,
    kUnreadableInput = 3,
    kOutputNotWritten = 4,
    kDifferencesLeft = 5,
    kBaseRefused = 6
};

int Fail(const std::string& message, int code = kBadArguments) {
    std::cerr << "ziv-report: " << message << "\n";
    return code;
}

struct Options {
    std::string Target;
    std::optional<std::string> Pdf, Csv, From, To, Machine, Operator, Out, Lot, Qty, Encoding, Point, By;
    std::vector<std::string> Sets;  // --set KEY=VALUE, as often as given
    std::vector<std::string> Excludes;  // --exclude P,M,DATE[,K]=REASON, as often as given
};

// Reads "TARGET --name value ..."; false, with the message, on anything else.
bool ParseOptions(const std::vector<std::string>& args, const std::vector<std::string>& allowed, Options& options,
                  std::string& message) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) != 0) {
            if (!options.Target.empty()) {
                message = "余分な引数です: " + arg;
                return false;
            }
            options.Target = arg;
            continue;
        }
        std::string name = arg.substr(2);
        bool known = false;
        for (const auto& a : allowed) known = known || a == name;
        if (!known) {
            message = "この命令にない指定です: " + arg;
            return false;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) {
            message = arg + " の値がありません";
            return false;
        }
        const std::string& value = args[++i];
        if (name == "set" || name == "exclude") {
            (name == "set" ? options.Sets : options.Excludes).push_back(value);
            continue;
        }
        std::optional<std::string>* slot = name == "pdf"        ? &options.Pdf
                                           : name == "csv"      ? &options.Csv
                                           : name == "from"     ? &options.From
                                           : name == "to"       ? &options.To
                                           : name == "machine"  ? &options.Machine
                                           : name == "out"      ? &options.Out
                                           : name == "lot"      ? &options.Lot
                                           : name == "qty"      ? &options.Qty
                                           : name == "encoding" ? &options.Encoding
                                           : name == "point"    ? &options.Point
                                           : name == "by"       ? &options.By
                                                                : &options.Operator;
        if (*slot) {
            message = arg + " が二度あります";
            return false;
        }
        *slot = value;
    }
    if (options.Target.empty()) {
        message = args[0] == "day" ? "ブックを指定してください" : "製品フォルダを指定してください";
        return false;
    }
    return true;
}

void ReportWrite(const FileResult& result, const std::string& path, int& code) {
    if (!result) {
        std::cerr << "ziv-report: 書けません: " << path << ": " << FailureText(result, ErrnoWords::Japanese) << "\n";
        code = kOutputNotWritten;
    } else {
        std::cerr << "書きました: " << path << "\n";
    }
}

// Applies each --set to the facts; false, with the message, at the first that does not fit.
bool ApplySets(const Options& options, PartFacts& facts, std::string& message) {
    for (const std::string& set : options.Sets)
        if (!SetPartFact(facts, set)) {
            message = "部品情報にない項目です (KEY=VALUE): " + set;
            return false;
        }
    return true;
}

int Day(const std::vector<std::string>& args) {
    Options options;
    std::string message;
    if (!ParseOptions(args, {"pdf", "csv", "lot", "qty", "set"}, options, message)) return Fail(message);
    PartFacts check;
    if (!ApplySets(options, check, message)) return Fail(message);
    if (!options.Pdf && !options.Csv) return Fail("--pdf OUT.pdf を指定してください");
    LotFacts lot;
    lot.Number = options.Lot.value_or("");
    if (options.Qty && !(lot.Quantity = ParseQuantity(*options.Qty)))
        return Fail("数量は 0 以上の整数です: " + *options.Qty);
    DayReportRefusal refusal;
    auto report = LoadDayReport(options.Target, &refusal);
    if (!report) {
        int exit = refusal.Why == DayReportRefusal::Kind::Unreadable ? kUnreadableInput : kNothingToReport;
        return Fail(RefusalText(refusal, options.Target), exit);
    }
    // The report is made without what could not be read beside the book; the exit status tells a script.
    for (const std::string& unread : report->Unread) std::cerr << "ziv-report: " << unread << "\n";
    int code = report->Unread.empty() ? kDone : kUnreadableInput;
    ApplySets(options, report->Facts, message);
    if (options.Pdf) ReportWrite(WriteDocumentPdf(DayReportDocument(*report, lot), *options.Pdf,
                                                  QStringLiteral("検査成績書")),
                                 *options.Pdf, code);
    if (options.Csv) {
        std::string csv = ValuesCsvStart();
        AppendValueRecords(csv, report->Book);
        ReportWrite(WriteFileAtomic(*options.Csv, csv), *options.Csv, code);
    }
    RecordVerdict verdict = VerdictOfRecord(*report);
    std::cout << "測定 " << verdict.Measured() << "  合格 " << verdict.Passed << "  不合格 " << verdict.Failed
              << "  判定なし " << verdict.Unjudged.size() << "  未測定 " << verdict.NotMeasured << "\n"
              << "総合判定: " << RecordVerdictText(verdict) << "\n";
    return code;
}

// Shows the product's part facts; with --set, changes them and saves the file.
int Facts(const std::vector<std::string>& args) {
    Options options;
    std::string message;
    if (!ParseOptions(args, {"set"}, options, message)) return Fail(message);
    std::string folder = AbsoluteFolder(options.Target);
    if (!IsFolder(folder)) return Fail("製品フォルダがありません: " + options.Target, kNothingToReport);
    std::string path = PartFactsPath(folder);
    PartFactsRead read = ReadPartFacts(path);
    if (read.status == ReadStatus::Unreadable)
        return Fail("部品情報を読めません: " + path + " (" + SystemErrorText(read.err) + ")", kUnreadableInput);
    if (!ApplySets(options, read.facts, message)) return Fail(message);
    std::cout << PartFactsText(read.facts);
    int code = kDone;
    if (!options.Sets.empty()) ReportWrite(SavePartFacts(path, read.facts), path, code);
    return code;
}

// Progress for long runs: a line every tenth of the way.
ReadOptions ProgressOnStandardError() {
    ReadOptions options;
    options.Progress = [last = size_t(0)](size_t done, size_t total) mutable {
        if (total < 200) return;
        size_t tenth = done * 10 / total;
        if (tenth != last || done == total) {
            last = tenth;
            std::cerr << "読み込み中 " << done << " / " << total << "\n";
        }
    };
    return options;
}

bool ParseRange(const Options& options, Filter& filter, std::string& message) {
    if (!options.From || !options.To) {
        message = "--from と --to で期間を指定してください";
        return false;
    }
    filter.From = ParseDate(*options.From);
    if (!filter.From) {
        message = "日付が読めません: " + *options.From;
        return false;
    }
    filter.To = ParseDate(*options.To);
    if (!filter.To) {
        message = "日付が読めません: " + *options.To;
        return false;
    }
    if (*filter.To < *filter.From) {
        message = "期間の終わりが始まりより前です";
        return false;
    }
    if (options.Machine) {
        const std::string& m = *options.Machine;
        bool digits = !m.empty() && m.size() <= 2 && m.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoi(m) > kLastMachine) {
            message = "号機は 0 から " + std::to_string(kLastMachine) + " です: " + m;
            return false;
        }
        filter.Machine = std::stoi(m);
    }
    filter.Operator = options.Operator;
    return true;
}

// The books that could not be read, on standard error; the exit code they give.
int ListProblems(const ReadSummary& summary, const Listing& listing) {
    for (const auto& skipped : summary.Skipped)
        std::cerr << "読めないブック: " << skipped.Path << ": " << BookOpenText(skipped.Why) << "\n";
    std::cerr << "読んだブック " << summary.Read << "、読めなかったブック " << summary.Skipped.size()
              << "、対象外のファイル " << listing.Ignored.size() << "\n";
    return summary.Skipped.empty() ? kDone : kUnreadableInput;
}

// The table on standard output, tab-separated, as it reads on screen.
void PrintTable(const std::vector<CapabilityRow>& table) {
    for (size_t c = 0; c < kCapabilityColumns.size(); ++c)
        std::cout << (c ? "\t" : "") << kCapabilityColumns[c].Title;
    std::cout << "\n";
    for (const CapabilityRow& row : table) {
        std::vector<std::string> cells = CapabilityRowTexts(row);
        for (size_t c = 0; c < cells.size(); ++c) std::cout << (c ? "\t" : "") << cells[c];
        std::cout << "\n";
    }
}

// What every command over a range starts from: its options, the product
// folder, the books of the range and the journals of the same range.
struct RangeRun {
    Options Given;
    Filter Range;
    std::string Folder;
    Listing Books;
    JournalIndex Journal;
};

// The options, folder and books of a range command; an exit code instead
// when there is nothing to run on.
std::variant<RangeRun, int> OpenRange(const std::vector<std::string>& args, std::vector<std::string> allowed,
                                      bool needBooks = true) {
    RangeRun run;
    std::string message;
    for (const char* name : {"from", "to", "machine", "operator"}) allowed.push_back(name);
    if (!ParseOptions(args, allowed, run.Given, message)) return Fail(message);
    if (!ParseRange(run.Given, run.Range, message)) return Fail(message);
    run.Folder = AbsoluteFolder(run.Given.Target);
    if (!IsFolder(run.Folder)) return Fail("製品フォルダがありません: " + run.Given.Target, kNothingToReport);
    run.Journal = JournalIndex::Read(run.Folder, run.Range);
    for (const std::string& path : run.Journal.Unreadable()) std::cerr << "読めない記録: " << path << "\n";
    if (!needBooks) return run;
    run.Books = ListDayBooks(run.Folder, run.Range);
    const Listing& listing = run.Books;
    if (listing.Error == ENOENT) return Fail("データフォルダがありません: " + listing.Folder, kNothingToReport);
    if (listing.Error)
        return Fail("データフォルダを読めません: " + listing.Folder + " (" + SystemErrorText(listing.Error) + ")",
                    kUnreadableInput);
    if (listing.Books.empty())
        return Fail("期間と条件に合う日ごとのブックがありません: " + listing.Folder, kNothingToReport);
    return run;
}

int Values(const RangeRun& run) {
    if (!run.Given.Csv) return Fail("--csv OUT.csv を指定してください");
    std::string csv = ValuesCsvStart();
    ReadSummary summary = ReadDayBooks(
        run.Books.Books, [&](const DayBookData& book) { AppendValueRecords(csv, book, &run.Journal); },
        ProgressOnStandardError());
    int code = ListProblems(summary, run.Books);
    ReportWrite(WriteFileAtomic(*run.Given.Csv, csv), *run.Given.Csv, code);
    return code;
}

int Stats(const RangeRun& run) {
    CapabilityBuilder builder;
    builder.UsePartFacts(ReadPartFacts(PartFactsPath(run.Folder)).facts);
    ReadOptions reading = ProgressOnStandardError();
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary =
        ReadDayBooks(run.Books.Books, [&](const DayBookData& book) { builder.Add(book, &run.Journal); }, reading);
    int code = ListProblems(summary, run.Books);
    if (summary.Read == 0) return Fail("読めた日ごとのブックがありません", kUnreadableInput);
    std::vector<CapabilityRow> table = builder.Result();
    PrintTable(table);
    const Options& options = run.Given;
    if (options.Csv) ReportWrite(WriteFileAtomic(*options.Csv, CapabilityCsv(table)), *options.Csv, code);
    if (options.Pdf) {
        CapabilityScope scope{run.Folder, run.Range, summary.Read, summary.Skipped.size(), run.Books.Ignored.size()};
        ReportWrite(WriteDocumentPdf(CapabilityDocument(scope, table), *options.Pdf, QStringLiteral("工程能力")),
                    *options.Pdf, code);
    }
    return code;
}

int Aqdef(const RangeRun& run) {
    const Options& options = run.Given;
    if (!options.Out) return Fail("--out OUT.dfq を指定してください");
    AqdefEncoding encoding = AqdefEncoding::Cp932;
    const std::string asked = options.Encoding.value_or("cp932");
    if (asked == "utf8") encoding = AqdefEncoding::Utf8;
    else if (asked == "utf8-bom") encoding = AqdefEncoding::Utf8Bom;
    else if (asked != "cp932" && asked != "sjis") return Fail("--encoding は cp932、utf8 か utf8-bom です: " + asked);
    PartFactsRead facts = ReadPartFacts(PartFactsPath(run.Folder));
    if (facts.status == ReadStatus::Unreadable)
        std::cerr << "ziv-report: 部品情報を読めません: " << PartFactsPath(run.Folder) << " ("
                  << SystemErrorText(facts.err) << ")\n";
    AqdefCollector collector(facts.facts, options.Lot.value_or(""), &run.Journal);
    ReadOptions reading = ProgressOnStandardError();
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary =
        ReadDayBooks(run.Books.Books, [&](const DayBookData& book) { collector.Add(book); }, reading);
    int code = ListProblems(summary, run.Books);
    if (facts.status == ReadStatus::Unreadable) code = kUnreadableInput;
    if (summary.Read == 0) return Fail("読めた日ごとのブックがありません", kUnreadableInput);
    AqdefInput input = collector.Result(summary.Skipped.size());
    for (const std::string& warning : collector.Warnings(summary.Skipped.size()))
        std::cerr << "ziv-report: " << warning << "\n";
    std::cerr << "特性 " << input.Characteristics.size() << "、測定値 " << input.Values.size() << "\n";
    FileResult written = WriteAqdefFile(*options.Out, input, encoding);
    if (written.failure == Failure::NotShiftJis)
        std::cerr << "ziv-report: CP932 にない文字があります。--encoding utf8 で書けます\n";
    ReportWrite(written, *options.Out, code);
    return code;
}

std::optional<int> PointOption(const Options& options) {
    std::optional<int> point = options.Point ? WholeNumberFromText(*options.Point) : std::nullopt;
    if (!point || *point < kFirstPoint || *point > kLastPoint || DecimalText(*point) != *options.Point)
        return std::nullopt;
    return point;
}

int History(const RangeRun& run) {
    const Options& options = run.Given;
    std::optional<int> point = PointOption(options);
    if (!point) return Fail("--point は 1 から 100 です");
    std::vector<const JournalEntry*> history = run.Journal.History(*point, run.Range.Machine);
    if (history.empty()) return Fail("期間と条件に合う記録がありません (番号 " + *options.Point + ")", kNothingToReport);
    std::string csv = HistoryCsvStart();
    std::vector<std::string> titles = HistoryTitles();
    for (size_t c = 0; c < titles.size(); ++c) std::cout << (c ? "\t" : "") << titles[c];
    std::cout << "\n";
    for (const JournalEntry* entry : history) {
        std::vector<std::string> texts = HistoryTexts(*entry);
        for (size_t c = 0; c < texts.size(); ++c) std::cout << (c ? "\t" : "") << texts[c];
        std::cout << "\n";
        AppendHistoryRecord(csv, *entry);
    }
    int code = run.Journal.Damaged() || !run.Journal.Unreadable().empty() ? kUnreadableInput : kDone;
    if (run.Journal.Damaged()) std::cerr << "読めない記録の行 " << run.Journal.Damaged() << "\n";
    if (options.Csv) ReportWrite(WriteFileAtomic(*options.Csv, csv), *options.Csv, code);
    return code;
}

std::string PointMachine(int point, int machine) {
    return "番号" + std::to_string(point) + " " + std::to_string(machine) + "号機";
}

// "2026-03-05#2": the second value of that working date, as --exclude names it.
std::string ValueName(const std::vector<Sample>& values, size_t at) {
    return DateText(values[at].Day()) + "#" + std::to_string(OrderInDay(values, at));
}

// The signals and the exclusions of the base periods, one value a line, so
// that the person fixing sees what to look into before anything is written.
void PrintBaseValues(const std::vector<BaseReview>& reviews) {
    bool titled = false;
    for (const BaseReview& r : reviews) {
        std::vector<std::pair<size_t, std::string>> lines;
        for (const RuleSignal& s : r.Signals) lines.emplace_back(s.Index, RuleName(s.Rule));
        if (r.Limit)
            for (size_t k = 0; k < r.Excluded.size(); ++k)
                lines.emplace_back(r.Excluded[k], "除外: " + r.Limit->Base.Excluded[k].Reason);
        std::stable_sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!lines.empty() && !titled) std::cout << "\n基準期間の信号と除外\n番号\t号機\t値の位置\t値\t内容\n";
        titled = titled || !lines.empty();
        for (const auto& [at, what] : lines)
            std::cout << r.Point << "\t" << r.Machine << "\t" << ValueName(r.Values, at) << "\t"
                      << ExactText(r.Values[at].Value) << "\t" << what << "\n";
    }
}

// What keeps a base period from being fixed, on standard error; false when something does.
bool TellRefusals(const BaseReview& r, const Allowance& allowed) {
    const std::string who = "ziv-report: " + PointMachine(r.Point, r.Machine) + ": ";
    for (const auto& [e, miss] : r.Misses) {
        if (miss == Miss::Ambiguous)
            std::cerr << who << DateText(e.Day) << " の値は複数あります。何番目かを --exclude " << r.Point << ","
                      << r.Machine << ",日付,順=理由 で指定してください\n";
        else
            std::cerr << who << "除外する値 " << DateText(e.Day) << (e.Order ? "#" + std::to_string(*e.Order) : "")
                      << " は基準期間にありません\n";
    }
    if (!r.Limit) {
        if (!r.Excluded.empty()) std::cerr << who << "除いた残りの値には管理限界を求められるばらつきがありません\n";
    } else if (r.TooFew() && !allowed.Few)
        std::cerr << who << "基準期間の値が " << r.Kept() << " 個しかありません。管理限界には " << kBaseValues
                  << " 個以上が必要です (期間を広げてください。--allow-few で少ないまま確定すると、そのことが記録されます)\n";
    if (!r.Signals.empty() && !allowed.Signals)
        std::cerr << who << "基準期間に信号のある値が " << r.SignalPoints()
                  << " 点あります (一覧は標準出力)。原因の分かる値を --exclude " << r.Point << "," << r.Machine
                  << ",日付[,順]=理由 で除くか、安定した期間を選んでください (--force で信号を残したまま確定すると、"
                     "そのことが記録されます)\n";
    return Acceptable(r, allowed);
}

// What the limits rest on that a quality engineer should know: said plainly, and kept in the file.
void TellFindings(const BaseReview& r) {
    const BaseFindings& base = r.Limit->Base;
    const std::string who = "ziv-report: 注意: " + PointMachine(r.Point, r.Machine) + ": ";
    if (base.CoarseStep)
        std::cerr << who << "読み取りの刻み " << ExactText(base.Step) << " が変動に比べて粗すぎます (移動範囲 "
                  << r.Ranges << " のうち " << r.ZeroRanges << " が 0、移動範囲の平均 "
                  << FixedText(r.Limit->Limits.RangeCentre, SpreadDecimals(r.Limit->Limits.RangeCentre, 0))
                  << ")。管理限界は測定器の丸めで決まり、刻み一つの違いで管理外れになります\n";
    if (base.FewAllowed)
        std::cerr << who << "値 " << r.Kept() << " 個から確定します (" << kBaseValues << " 個未満、--allow-few)\n";
    if (base.SignalsKept)
        std::cerr << who << "信号のある値 " << base.SignalsKept << " 点を残したまま確定します (--force)\n";
}

// Fixes the control limits of the range as a base period: a new version of
// the product's limits file, the older versions kept. The base period of each
// point and machine is checked first; one that does not qualify stops the
// whole fixing, so that a version never holds limits nobody looked into.
int Limits(const RangeRun& run, const Allowance& allowed) {
    const Options& options = run.Given;
    std::optional<int> point = PointOption(options);
    if (options.Point && !point) return Fail("--point は 1 から 100 です");
    std::vector<Exclusion> exclusions;
    for (const std::string& text : options.Excludes) {
        auto e = ParseExclusion(text);
        if (!e) return Fail("--exclude は 番号,号機,日付[,順]=理由 です: " + text);
        exclusions.push_back(*e);
    }
    CapabilityBuilder builder;
    ReadOptions reading = ProgressOnStandardError();
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary =
        ReadDayBooks(run.Books.Books, [&](const DayBookData& book) { builder.Add(book, &run.Journal); }, reading);
    int code = ListProblems(summary, run.Books);
    const std::vector<CapabilityRow> rows = builder.Result(false);
    std::vector<BaseReview> reviews;
    for (const CapabilityRow* row : BaseRows(rows))
        if (!point || row->Point == *point) reviews.push_back(ReviewBase(*row, builder.RowSamples(*row), exclusions));
    for (const Exclusion& e : exclusions)
        if (std::none_of(reviews.begin(), reviews.end(),
                         [&](const BaseReview& r) { return r.Point == e.Point && r.Machine == e.Machine; }))
            return Fail("除外する値の " + PointMachine(e.Point, e.Machine) + " は基準期間にありません");
    std::erase_if(reviews, [](const BaseReview& r) { return !r.Limit && r.Misses.empty(); });
    if (reviews.empty())
        return Fail("管理限界を求められる値 (2 つ以上で、ばらつきのあるもの) がありません", kNothingToReport);
    bool acceptable = true;
    for (const BaseReview& r : reviews) acceptable = TellRefusals(r, allowed) && acceptable;
    int version = 0;
    std::string path = FixedLimitsPath(run.Folder);
    std::vector<FixedLimit> fresh;
    if (acceptable) {
        for (const BaseReview& r : reviews) fresh.push_back(*r.Limit);
        const char* login = std::getenv("USER");
        FileResult saved = AddFixing(StationFiles(), path, fresh, options.By.value_or(login ? login : ""),
                                     TimestampNow(), &version);
        if (!saved) return Fail("書けません: " + FailureText(saved, ErrnoWords::Japanese), kOutputNotWritten);
    }
    std::cout << "版\t番号\t号機\tn\t除外\t中心線\t上方管理限界\t下方管理限界\t移動範囲上限\t読み取りの刻み\t信号\n";
    for (const BaseReview& r : reviews) {
        if (!r.Limit) continue;
        const FixedLimit& l = *r.Limit;
        std::cout << (version ? std::to_string(version) : "—") << "\t" << l.Point << "\t" << l.Machine << "\t" << l.N
                  << "\t" << r.Excluded.size() << "\t" << ExactText(l.Limits.Centre) << "\t"
                  << ExactText(l.Limits.Upper) << "\t" << ExactText(l.Limits.Lower) << "\t"
                  << ExactText(l.Limits.RangeUpper) << "\t" << ExactText(l.Base.Step)
                  << (l.Base.CoarseStep ? " (粗い)" : "") << "\t" << r.SignalPoints() << "\n";
        if (acceptable) TellFindings(r);
    }
    PrintBaseValues(reviews);
    if (!acceptable) return Fail("基準期間が確定の条件を満たさないため、管理限界を書きませんでした", kBaseRefused);
    std::cerr << "管理限界 第 " << version << " 版を書きました: " << path << "\n";
    return code;
}

// The journals against the day workbooks: one line per point whose newest
// entry a book does not hold, tab-separated.
int Check(std::vector<std::string> args) {
    bool repair = false;
    std::erase_if(args, [&](const std::string& a) { return a == "--repair" && (repair = true); });
    auto opened = OpenRange(args, {}, false);
    if (const int* code = std::get_if<int>(&opened)) return *code;
    const RangeRun& run = std::get<RangeRun>(opened);
    if (run.Journal.Empty() && run.Journal.Unreadable().empty())
        return Fail("期間と条件に合う記録がありません: " + run.Folder, kNothingToReport);
    JournalCheck check = CheckJournals(run.Folder, run.Range, StationFiles(), repair);
    std::cout << "ブック\t番号\t記録の値\tブックの値\t時刻\tステーション\t状態\n";
    for (const JournalDifference& d : check.differences) {
        std::string state = d.repaired ? "書き戻しました" : d.bookMissing ? "ブックがありません" : "違います";
        std::cout << d.book << "\t" << d.newest.Point << "\t" << d.newest.Text << "\t" << d.found << "\t"
                  << LocalTimeText(d.newest.Time) << "\t" << d.newest.Station << "\t" << state << "\n";
    }
    // What could not be checked or written weighs more than what is left.
    bool unread = !check.unreadableJournals.empty() || check.damagedJournalLines, unwritten = false;
    if (check.damagedJournalLines) std::cerr << "読めない記録の行 " << check.damagedJournalLines << "\n";
    for (const FileResult& problem : check.problems) {
        bool written = problem.failure == Failure::WriteFailed || problem.failure == Failure::Busy ||
                       problem.failure == Failure::CellRefused;
        std::cerr << (written ? "書けません: " : "読めないブック: ") << problem.path << ": "
                  << FailureText(problem, ErrnoWords::Japanese) << "\n";
        (written ? unwritten : unread) = true;
    }
    int code = unwritten ? kOutputNotWritten : unread ? kUnreadableInput : check.Unrepaired() ? kDifferencesLeft : kDone;
    std::cerr << "記録 " << check.entriesRead << "、違い " << check.differences.size() << "、残り "
              << check.Unrepaired() << "\n";
    return code;
}

int Range(std::vector<std::string> args) {
    const std::string command = args[0];
    // The two permissions of limits are words alone, without a value.
    Allowance permitted;
    if (command == "limits")
        std::erase_if(args, [&](const std::string& a) {
            return (a == "--allow-few" && (permitted.Few = true)) || (a == "--force" && (permitted.Signals = true));
        });
    std::vector<std::string> allowed{"csv"};
    if (command == "stats") allowed.push_back("pdf");
    if (command == "aqdef") allowed.insert(allowed.end(), {"out", "lot", "encoding"});
    if (command == "history") allowed.push_back("point");
    if (command == "limits") allowed = {"point", "by", "exclude"};
    auto opened = OpenRange(args, allowed, command != "history");
    if (const int* code = std::get_if<int>(&opened)) return *code;
    const RangeRun& run = std::get<RangeRun>(opened);
    if (command == "values") return Values(run);
    if (command == "aqdef") return Aqdef(run);
    if (command == "history") return History(run);
    if (command == "limits") return Limits(run, permitted);
    return Stats(run);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? kBadArguments : kDone;
    }
    if (args[0] == "day") return Day(args);
    if (args[0] == "check") return Check(args);
    if (args[0] == "facts") return Facts(args);
    for (const char* command : {"stats", "values", "aqdef", "history", "limits"})
        if (args[0] == command) return Range(args);
    std::cerr << "ziv-report: 知らない命令です: " << args[0] << "\n\n" << kUsage;
    return kBadArguments;
}

}  // namespace ziv::report
