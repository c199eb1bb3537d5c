#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <optional>
#include <variant>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/paths.h"
#include "report/capability.h"
#include "report/aqdef_export.h"
#include "report/capability_table.h"
#include "report/collect.h"
#include "report/day_report.h"
#include "report/day_report_qt.h"
#include "report/journal_index.h"
#include "report/part_facts.h"
#include "report/report_csv.h"
#include "common/station_limits.h"

namespace ziv::report {

namespace {

const char* kUsage =
    "使い方:\n"
    "  ziv-report                         ウィンドウを開きます\n"
    "  ziv-report day BOOK.xls --pdf OUT.pdf [--lot LOT] [--qty N] [--csv OUT.csv]\n"
    "      日ごとのブック 1 冊の検査成績書 (PDF, A4)。ロット番号と数量 (0 以上の整数) を載せます\n"
    "  ziv-report stats PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME]\n"
    "                   [--csv OUT.csv] [--pdf OUT.pdf]\n"
    "      期間の工程能力: 号機ごとに Cp/Cpk (群内の変動), Pp/Ppk (全体), Cpk 下限, 管理図のルール, 不合格\n"
    "  ziv-report values PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] --csv OUT.csv\n"
    "      期間のすべての測定値を CSV に (記録にある値は時刻・ステーション・管理番号も)\n"
    "  ziv-report history PRODUCT_DIR --point P --from DATE --to DATE [--machine N] [--operator NAME] [--csv OUT.csv]\n"
    "      番号 P の記録: 測定し直した値を含むすべての入力を時刻順に\n"
    "  ziv-report aqdef PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] [--lot LOT]\n"
    "                   [--encoding utf8|sjis] --out OUT.dfq\n"
    "      期間の測定値を AQDEF (Q-DAS) 形式で\n"
    "\n"
    "DATE は 2024-03-07、2024/3/7 または 2024年3月7日。CSV は UTF-8 (BOM 付き)。\n"
    "終了コード: 0 成功、1 引数の誤り、2 対象がない (フォルダ・日ごとのブックでないファイル・期間にブックなし)、\n"
    "  3 読めないものがあった (ブック・部品情報・ＺＩＶログ。読めた分で作りました)、4 出力を書けない\n";

// One meaning each, as the usage and the README say.
enum Exit { kDone = 0, kBadArguments = 1, kNothingToReport = 2, kUnreadableInput = 3, kOutputNotWritten = 4 };

int Fail(const std::string& message, int code = kBadArguments) {
    std::cerr << "ziv-report: " << message << "\n";
    return code;
}

struct Options {
    std::string Target;
    std::optional<std::string> Pdf, Csv, From, To, Machine, Operator, Out, Lot, Qty, Encoding, Point;
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

int Day(const std::vector<std::string>& args) {
    Options options;
    std::string message;
    if (!ParseOptions(args, {"pdf", "csv", "lot", "qty"}, options, message)) return Fail(message);
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
    if (options.Pdf) ReportWrite(WriteDocumentPdf(DayReportDocument(*report, lot), *options.Pdf,
                                                  QStringLiteral("検査成績書")),
                                 *options.Pdf, code);
    if (options.Csv) {
        std::string csv = ValuesCsvStart();
        AppendValueRecords(csv, report->Book);
        ReportWrite(WriteFileAtomic(*options.Csv, csv), *options.Csv, code);
    }
    std::cout << "測定 " << report->Measured << "  合格 " << report->Passed << "  不合格 " << report->Failed
              << "\n";
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
    AqdefEncoding encoding = AqdefEncoding::Utf8;
    if (options.Encoding && *options.Encoding == "sjis")
        encoding = AqdefEncoding::ShiftJis;
    else if (options.Encoding && *options.Encoding != "utf8")
        return Fail("--encoding は utf8 か sjis です: " + *options.Encoding);
    PartFactsRead facts = ReadPartFacts(PartFactsPath(run.Folder));
    AqdefCollector collector(facts.facts, options.Lot.value_or(""), &run.Journal);
    ReadOptions reading = ProgressOnStandardError();
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary =
        ReadDayBooks(run.Books.Books, [&](const DayBookData& book) { collector.Add(book); }, reading);
    int code = ListProblems(summary, run.Books);
    if (summary.Read == 0) return Fail("読めた日ごとのブックがありません", kUnreadableInput);
    AqdefInput input = collector.Result();
    std::cerr << "特性 " << input.Characteristics.size() << "、測定値 " << input.Values.size() << "\n";
    ReportWrite(WriteAqdefFile(*options.Out, input, encoding), *options.Out, code);
    return code;
}

int History(const RangeRun& run) {
    const Options& options = run.Given;
    std::optional<int> point = options.Point ? WholeNumberFromText(*options.Point) : std::nullopt;
    if (!point || *point < kFirstPoint || *point > kLastPoint || DecimalText(*point) != *options.Point)
        return Fail("--point は 1 から 100 です");
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

int Range(const std::vector<std::string>& args) {
    const std::string& command = args[0];
    std::vector<std::string> allowed{"csv"};
    if (command == "stats") allowed.push_back("pdf");
    if (command == "aqdef") allowed.insert(allowed.end(), {"out", "lot", "encoding"});
    if (command == "history") allowed.push_back("point");
    auto opened = OpenRange(args, allowed, command != "history");
    if (const int* code = std::get_if<int>(&opened)) return *code;
    const RangeRun& run = std::get<RangeRun>(opened);
    if (command == "values") return Values(run);
    if (command == "aqdef") return Aqdef(run);
    if (command == "history") return History(run);
    return Stats(run);
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? kBadArguments : kDone;
    }
    if (args[0] == "day") return Day(args);
    for (const char* command : {"stats", "values", "aqdef", "history"})
        if (args[0] == command) return Range(args);
    std::cerr << "ziv-report: 知らない命令です: " << args[0] << "\n\n" << kUsage;
    return kBadArguments;
}

}  // namespace ziv::report
