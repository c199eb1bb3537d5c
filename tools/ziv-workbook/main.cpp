// ziv-workbook: the workbook engine on the command line. "dump" lists the
// cells of a workbook, "make" builds a new .xls from such a list.
#include <glib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "common/failure_text.h"
#include "workbook/workbook.h"

namespace {

constexpr int kMaxSheets = 255;
constexpr int kMaxRows = 65536;
constexpr int kMaxColumns = 256;

const char* kHelp =
    "使い方:\n"
    "  ziv-workbook dump FILE   ブックの空でないセルを 1 行に 1 つずつ書き出します\n"
    "  ziv-workbook make FILE   標準入力の行から新しいブック (.xls, BIFF8) を作ります\n"
    "\n"
    "行の形式 (UTF-8, タブ区切り): シート番号<TAB>行<TAB>列<TAB>内容\n"
    "シート・行・列は 1 から数えます (行 1-65536, 列 1-256, シート 1-255)。\n"
    "内容の中のタブ・改行・復帰・バックスラッシュは \\t \\n \\r \\\\ と書きます\n"
    "(dump はこの形で書き出し、make はこの形を読みます)。\n"
    "make では数値として読める内容 (12.5, -0.01, 1e3) は数値のセル、それ以外は文字列の\n"
    "セルになり、内容が空の行はセルを作りません。ブックのシートは 2 枚以上で、\n"
    "行が 3 枚目以降のシートを指すときはその枚数になります。\n"
    "ブックは .xls (Excel 97-2003) のほか、中身が .xlsx のファイルも読めます。\n"
    "\n"
    "終了コード: 0 成功、1 ファイルまたは入力の誤り、2 使い方の誤り\n";

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i >= text.size()) return false;
        switch (text[i]) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: return false;
        }
    }
    return true;
}

bool WholeNumber(std::string_view text, int lo, int hi, int& value) {
    if (text.empty() || text.size() > 9) return false;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() && value >= lo && value <= hi;
}

int Dump(const std::string& path) {
    ziv::FileResult problem;
    auto book = ziv::Workbook::Open(path, &problem);
    if (!book) {
        std::cerr << "ziv-workbook: " << ziv::BookOpenText(problem) << "\n";
        return 1;
    }
    std::string out;
    for (int sheet = 1; sheet <= book->SheetCount(); ++sheet) {
        for (const auto& [position, text] : book->Cells(sheet)) {
            out += std::to_string(sheet) + "\t" + std::to_string(position.first) + "\t" +
                   std::to_string(position.second) + "\t" + Escape(text) + "\n";
        }
    }
    std::cout << out;
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "ziv-workbook: 標準出力に書けません。\n";
        return 1;
    }
    return 0;
}

struct Entry {
    int sheet, row, column;
    std::string text;
};

// One line: sheet, row, column, text; the reason when it is not one.
std::string ParseLine(std::string_view line, Entry& entry) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        size_t tab = line.find('\t', start);
        if (tab == std::string_view::npos) return "タブで区切られた 4 つの欄 (シート, 行, 列, 内容) がありません";
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    std::string_view text = line.substr(start);
    if (text.find('\t') != std::string_view::npos) return "内容の中のタブは \\t と書いてください";
    if (!WholeNumber(fields[0], 1, kMaxSheets, entry.sheet)) return "シート番号は 1 から 255 までです";
    if (!WholeNumber(fields[1], 1, kMaxRows, entry.row)) return "行は 1 から 65536 までです";
    if (!WholeNumber(fields[2], 1, kMaxColumns, entry.column)) return "列は 1 から 256 までです";
    if (!Unescape(text, entry.text)) return "内容の \\ の後は t, n, r, \\ のどれかです";
    if (!g_utf8_validate(entry.text.data(), static_cast<gssize>(entry.text.size()), nullptr)) return "内容が UTF-8 ではありません";
    return {};
}

int Make(const std::string& path) {
    std::string input((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    std::vector<Entry> entries;
    int sheets = 2;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < input.size()) {
        size_t end = input.find('\n', start);
        std::string_view line = std::string_view(input).substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? input.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        Entry entry;
        std::string reason = ParseLine(line, entry);
        if (!reason.empty()) {
            std::cerr << "ziv-workbook: 標準入力の " << lineNumber << " 行目が正しくありません: " << reason << "\n";
            return 1;
        }
        sheets = std::max(sheets, entry.sheet);
        entries.push_back(std::move(entry));
    }
    auto book = ziv::Workbook::New(sheets);
    for (const auto& entry : entries) book.SetCell(entry.sheet, entry.row, entry.column, entry.text);
    auto result = book.SaveAs(path);
    if (!result) {
        std::cerr << "ziv-workbook: " << ziv::FailureText(result) << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // libgsf reports some damage as glib warnings; the tool's own message says it once.
    g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL),
                      [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::cout << kHelp;
        return 0;
    }
    if (args.size() != 2 || (args[0] != "dump" && args[0] != "make")) {
        std::cerr << "ziv-workbook: 使い方が違います。\n\n" << kHelp;
        return 2;
    }
    return args[0] == "dump" ? Dump(args[1]) : Make(args[1]);
}
