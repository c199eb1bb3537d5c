#include "command_line.h"

#include <cstdio>
#include <iostream>
#include <optional>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/paths.h"
#include "report/capability.h"
#include "report/collect.h"
#include "report/day_report.h"
#include "report/day_report_qt.h"
#include "report/report_csv.h"

namespace ziv::report {

namespace {

const char* kUsage =
    "使い方:\n"
    "  ziv-report                         ウィンドウを開きます\n"
    "  ziv-report day BOOK.xls --pdf OUT.pdf [--csv OUT.csv]\n"
    "      日ごとのブック 1 冊の検査成績表 (PDF, A4)\n"
    "  ziv-report stats PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME]\n"
    "                   [--csv OUT.csv] [--pdf OUT.pdf]\n"
    "      期間の工程能力 (n, 平均, 標準偏差, 最小, 最大, Cp, Cpk, 規格外)\n"
    "  ziv-report values PRODUCT_DIR --from DATE --to DATE [--machine N] [--operator NAME] --csv OUT.csv\n"
    "      期間のすべての測定値を CSV に\n"
    "\n"
    "DATE は 2024-03-07、2024/3/7 または 2024年3月7日。CSV は UTF-8 (BOM 付き)。\n"
    "終了コード: 0 成功 (読めなかったブックは標準エラーに数えます)、1 引数または入力の誤り\n";

int Fail(const std::string& message) {
    std::cerr << "ziv-report: " << message << "\n";
    return 1;
}

struct Options {
    std::string Target;
    std::optional<std::string> Pdf, Csv, From, To, Machine, Operator;
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
        std::cerr << "ziv-report: 書けません: " << path << ": " << FailureText(result) << "\n";
        code = 1;
    } else {
        std::cerr << "書きました: " << path << "\n";
    }
}

int Day(const std::vector<std::string>& args) {
    Options options;
    std::string message;
    if (!ParseOptions(args, {"pdf", "csv"}, options, message)) return Fail(message);
    if (!options.Pdf && !options.Csv) return Fail("--pdf OUT.pdf を指定してください");
    std::string error;
    auto report = LoadDayReport(options.Target, &error);
    if (!report) return Fail("ブックを読めません: " + options.Target + ": " + error);
    int code = 0;
    if (options.Pdf) ReportWrite(WriteDocumentPdf(DayReportDocument(*report), *options.Pdf,
                                                  QStringLiteral("検査成績表")),
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
        if (!digits || std::stoi(m) > 47) {
            message = "号機は 0 から 47 です: " + m;
            return false;
        }
        filter.Machine = std::stoi(m);
    }
    filter.Operator = options.Operator;
    return true;
}

void ListProblems(const ReadSummary& summary, const Listing& listing) {
    for (const auto& skipped : summary.Skipped)
        std::cerr << "読めないブック: " << skipped.Path << ": " << skipped.Reason << "\n";
    std::cerr << "読んだブック " << summary.Read << "、読めなかったブック " << summary.Skipped.size()
              << "、対象外のファイル " << listing.Ignored.size() << "\n";
}

int Range(const std::vector<std::string>& args, bool valuesOnly) {
    Options options;
    std::string message;
    std::vector<std::string> allowed{"from", "to", "machine", "operator", "csv"};
    if (!valuesOnly) allowed.push_back("pdf");
    if (!ParseOptions(args, allowed, options, message)) return Fail(message);
    Filter filter;
    if (!ParseRange(options, filter, message)) return Fail(message);
    if (valuesOnly && !options.Csv) return Fail("--csv OUT.csv を指定してください");
    if (!IsFolder(options.Target)) return Fail("製品フォルダがありません: " + options.Target);
    Listing listing = ListDayBooks(options.Target, filter);
    if (!listing.Error.empty()) return Fail(listing.Error);

    int code = 0;
    if (valuesOnly) {
        std::string csv = ValuesCsvStart();
        ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData& book) { AppendValueRecords(csv, book); },
                                           ProgressOnStandardError());
        ListProblems(summary, listing);
        ReportWrite(WriteFileAtomic(*options.Csv, csv), *options.Csv, code);
        return code;
    }
    CapabilityBuilder builder;
    ReadOptions reading = ProgressOnStandardError();
    reading.Needed = Cells::LimitsAndValues;
    ReadSummary summary = ReadDayBooks(listing.Books, [&](const DayBookData& book) { builder.Add(book); }, reading);
    ListProblems(summary, listing);
    std::vector<PointCapability> table = builder.Result();
    std::cout << "番号\tn\t平均\t標準偏差\t最小\t最大\tCp\tCpk\t規格外\tOK\tNG\n";
    for (const PointCapability& p : table) {
        const Statistics& s = p.Stats;
        std::cout << p.Point << '\t' << s.N << '\t' << FixedText(s.Mean, 4) << '\t' << FixedText(s.StdDev, 4)
                  << '\t' << (s.Min ? GeneralDecimalText(*s.Min) : "—") << '\t'
                  << (s.Max ? GeneralDecimalText(*s.Max) : "—") << '\t' << FixedText(s.Cp, 2) << '\t'
                  << FixedText(s.Cpk, 2) << '\t' << p.Outside << '\t' << p.OkCount << '\t' << p.NgCount << '\n';
    }
    if (options.Csv) ReportWrite(WriteFileAtomic(*options.Csv, CapabilityCsv(table)), *options.Csv, code);
    if (options.Pdf) {
        CapabilityScope scope{options.Target, filter, summary.Read, summary.Skipped.size(), listing.Ignored.size()};
        ReportWrite(WriteDocumentPdf(CapabilityDocument(scope, table), *options.Pdf, QStringLiteral("工程能力")),
                    *options.Pdf, code);
    }
    return code;
}

}  // namespace

int RunCommandLine(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::cout << kUsage;
        return args.empty() ? 1 : 0;
    }
    if (args[0] == "day") return Day(args);
    if (args[0] == "stats") return Range(args, false);
    if (args[0] == "values") return Range(args, true);
    std::cerr << "ziv-report: 知らない命令です: " << args[0] << "\n\n" << kUsage;
    return 1;
}

}  // namespace ziv::report
