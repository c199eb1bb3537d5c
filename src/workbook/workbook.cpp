#include "workbook/workbook.h"

#include <gsf/gsf.h>
#include <iconv.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <mutex>

#include "common/numbers.h"
#include "workbook/workbook_formats.h"

namespace ziv {
namespace {

using namespace workbook_limits;

void InitGsf() {
    static std::once_flag once;
    std::call_once(once, [] {
        gsf_init();
        // A damaged file is reported through the engine's own error; libgsf's
        // warnings about it would only clutter the operator's terminal.
        for (const char* domain : {"libgsf", "libgsf:msole", "libgsf:zip", "libgsf:open_pkg"})
            g_log_set_handler(domain, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL |
                                                                  G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                                                                  G_LOG_LEVEL_DEBUG),
                              [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
    });
}

struct GObjectRef {
    gpointer object = nullptr;
    explicit GObjectRef(gpointer o = nullptr) : object(o) {}
    ~GObjectRef() {
        if (object) g_object_unref(object);
    }
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
};

// Optional sign, digits with at most one point (at least one digit in all),
// optional exponent: what the operator may type as a number and nothing else.
bool IsDecimalNumberText(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        size_t exponentDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

std::optional<double> DecimalValue(std::string_view text) {
    if (!IsDecimalNumberText(text)) return std::nullopt;
    bool negative = text[0] == '-';
    if (text[0] == '+' || text[0] == '-') text.remove_prefix(1);
    double value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
    return negative ? -value : value;
}

// Cuts a text after the last whole character that fits in maxUnits UTF-16 units.
std::string LimitUtf16Units(std::string text, size_t maxUnits) {
    size_t units = 0;
    const char* p = text.c_str();
    const char* end = p + text.size();
    while (p < end) {
        gunichar c = g_utf8_get_char(p);
        size_t need = c >= 0x10000 ? 2 : 1;
        if (units + need > maxUnits) {
            text.resize(static_cast<size_t>(p - text.c_str()));
            break;
        }
        units += need;
        p = g_utf8_next_char(p);
    }
    return text;
}

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() && bytes.substr(0, prefix.size()) == prefix;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return g_ascii_tolower(x) == g_ascii_tolower(y);
           });
}

GsfInput* ChildNoCase(GsfInfile* folder, std::string_view name) {
    int count = gsf_infile_num_children(folder);
    for (int i = 0; i < count; ++i) {
        const char* childName = gsf_infile_name_by_index(folder, i);
        if (childName && EqualNoCase(childName, name)) return gsf_infile_child_by_index(folder, i);
    }
    return nullptr;
}

// The whole of an input in one read: libgsf hands out its own buffer (or the
// bytes of the file in memory themselves), which stays valid until the input
// is read again or let go; no copy of the stream is made.
std::optional<std::string_view> InputBytes(GsfInput* input, size_t limit) {
    gsf_off_t size = gsf_input_size(input);
    if (size < 0 || static_cast<unsigned long long>(size) > limit) return std::nullopt;
    if (size == 0) return std::string_view();
    const guint8* data = gsf_input_read(input, static_cast<size_t>(size), nullptr);
    if (!data) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
}

std::optional<Workbook> Fail(FileResult* problem, FileResult why) {
    if (problem) *problem = std::move(why);
    return std::nullopt;
}

// BIFF5 keeps its records in a stream named "Book", BIFF8 in "Workbook".
std::optional<Workbook> OpenCompound(GsfInfile* ole, FileResult* problem) {
    GObjectRef stream(ChildNoCase(ole, "Workbook"));
    if (!stream.object) stream.object = ChildNoCase(ole, "Book");
    if (!stream.object) {
        GObjectRef encrypted(ChildNoCase(ole, "EncryptedPackage"));
        if (encrypted.object) return Fail(problem, BookFailed(BookFault::Encrypted));
        return Fail(problem, BookFailed(BookFault::NotExcel));
    }
    if (GSF_IS_INFILE(stream.object) && gsf_infile_num_children(GSF_INFILE(stream.object)) >= 0)
        return Fail(problem, BookFailed(BookFault::NotExcel));
    auto bytes = InputBytes(GSF_INPUT(stream.object), kMaxPartBytes);
    if (!bytes) return Fail(problem, BookFailed(BookFault::StreamUnreadable));
    WorkbookReader reader(kBiffRows, kBiffColumns);
    if (!ReadBiffStream(*bytes, reader, problem)) return std::nullopt;
    return reader.Finish();
}

std::optional<Workbook> OpenZip(GsfInfile* zip, FileResult* problem) {
    WorkbookReader reader(kXlsxRows, kXlsxColumns);
    if (!ReadXlsxPackage(zip, reader, problem)) return std::nullopt;
    return reader.Finish();
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

const char* IconvName(int codepage) {
    switch (codepage) {
    case 932: return "CP932";
    case 10000:
    case 32768: return "MACINTOSH";
    case 367:
    case 1252:
    case 32769: return "CP1252";
    default: return nullptr;
    }
}

}  // namespace

// ---- shared helpers -------------------------------------------------------

// Hand-written because glib refuses a whole text for one lone surrogate.
std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

// Hand-written because glib's converters end a text at a NUL byte, which a
// damaged file can leave inside a string; bad sequences give U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
        char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool ok = length > 0 && i + length <= utf8.size();
        for (size_t k = 1; ok && k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            ok = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (!ok || c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += length;
    }
    return out;
}

std::string CodepageToUtf8(std::string_view bytes, int codepage) {
    const char* name = IconvName(codepage);
    std::string fallbackName = "CP" + std::to_string(codepage);
    iconv_t cd = iconv_open("UTF-8", name ? name : fallbackName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open("UTF-8", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        std::u16string latin1;
        for (char b : bytes) latin1 += static_cast<char16_t>(static_cast<unsigned char>(b));
        return Utf16ToUtf8(latin1);
    }
    std::string out;
    std::string input(bytes);
    char* in = input.data();
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
            // An undefined or cut-off byte: one replacement character, go on after it.
            AppendUtf8(out, 0xFFFD);
            ++in;
            --inLeft;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    iconv_close(cd);
    return out;
}

GsfInput* OpenContainerMember(GsfInfile* container, std::string_view path) {
    GsfInfile* folder = container;
    GObjectRef holder;  // keeps the current sub-folder alive
    while (!path.empty()) {
        size_t slash = path.find('/');
        std::string_view name = path.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
        if (name.empty() || name == ".") continue;
        GsfInput* child = ChildNoCase(folder, name);
        if (!child) return nullptr;
        if (path.empty()) {
            if (GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) > 0) {
                g_object_unref(child);
                return nullptr;
            }
            return child;
        }
        if (!GSF_IS_INFILE(child)) {
            g_object_unref(child);
            return nullptr;
        }
        if (holder.object) g_object_unref(holder.object);
        holder.object = child;
        folder = GSF_INFILE(child);
    }
    return nullptr;
}

namespace {
std::string ValidUtf8(std::string_view text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return std::string(text);
    return Utf16ToUtf8(Utf8ToUtf16(text));
}
}  // namespace

// ---- a sheet's texts ----------------------------------------------------------

void Workbook::PutText(Sheet& sheet, Cell& cell, std::string_view text) {
    if (text.empty()) return;
    cell.textAt = sheet.texts.size();
    cell.textSize = static_cast<std::uint32_t>(text.size());
    sheet.texts.append(text);
}

void Workbook::ReplaceText(Sheet& sheet, Cell& cell, std::string_view text) {
    if (!text.empty() && text.size() <= cell.textSize) {
        std::copy(text.begin(), text.end(), sheet.texts.begin() + static_cast<std::ptrdiff_t>(cell.textAt));
        sheet.unusedText += cell.textSize - text.size();
        cell.textSize = static_cast<std::uint32_t>(text.size());
        return;
    }
    DropText(sheet, cell);
    cell.textAt = 0;
    cell.textSize = 0;
    PutText(sheet, cell, text);
}

template <typename VisitOthers>
void Workbook::RepackTexts(Sheet& sheet, VisitOthers&& visitOthers) {
    std::string texts;
    texts.reserve(sheet.texts.size() - sheet.unusedText);
    auto keep = [&](Cell& cell) {
        size_t at = texts.size();
        texts.append(sheet.texts, cell.textAt, cell.textSize);
        cell.textAt = at;
    };
    for (Cell& cell : sheet.cells) keep(cell);
    visitOthers(keep);
    sheet.texts = std::move(texts);
    sheet.unusedText = 0;
}

// ---- WorkbookReader ---------------------------------------------------------

WorkbookReader::WorkbookReader(int maxRows, int maxColumns) : maxRows_(maxRows), maxColumns_(maxColumns) {}

std::optional<int> WorkbookReader::AddSheet(std::string name) {
    if (book_.sheets_.size() >= static_cast<size_t>(kMaxSheets)) return std::nullopt;
    book_.sheets_.push_back(Workbook::Sheet{std::move(name), {}, {}, 0});
    late_.emplace_back();
    return static_cast<int>(book_.sheets_.size()) - 1;
}

bool WorkbookReader::ChargeEntry(size_t bytes) { return Charge(bytes, kEntryCost); }

Workbook::Cell* WorkbookReader::Existing(size_t sheet, int row, int column) {
    if (const Workbook::Cell* stored = Workbook::Find(book_.sheets_[sheet], row, column))
        return const_cast<Workbook::Cell*>(stored);  // the reader owns the book it fills
    auto& late = late_[sheet];
    auto found = late.find({row, column});
    return found == late.end() ? nullptr : &found->second;
}

bool WorkbookReader::Charge(size_t bytes, size_t cost) {
    if (entries_ >= kMaxEntries || bytes > kMaxStoredBytes || bytes_ + bytes + cost > kMaxStoredBytes) return false;
    ++entries_;
    bytes_ += bytes + cost;
    return true;
}

void WorkbookReader::Fill(Workbook::Sheet& sheet, Workbook::Cell& cell, int row, int column, Workbook::Cell::Kind kind,
                          double number, bool boolean, std::string_view text) {
    cell.row = row;
    cell.column = column;
    cell.kind = kind;
    cell.boolean = boolean;
    cell.number = number;
    cell.textAt = 0;
    cell.textSize = 0;
    Workbook::PutText(sheet, cell, text);
}

bool WorkbookReader::Add(int sheet, long row, long column, Workbook::Cell::Kind kind, double number, bool boolean,
                         std::string_view text) {
    if (sheet < 0 || static_cast<size_t>(sheet) >= book_.sheets_.size()) return true;
    if (!InGrid(row, column)) return true;
    const size_t index = static_cast<size_t>(sheet);
    const int r = static_cast<int>(row), c = static_cast<int>(column);
    Workbook::Sheet& target = book_.sheets_[index];
    auto& cells = target.cells;
    // Files are written in row order: a cell after the last one is new.
    if (!cells.empty() && !Workbook::Before(cells.back(), r, c))
        return AddOutOfOrder(index, r, c, kind, number, boolean, text);
    if (!Charge(text.size(), kCellCost)) return false;
    // A day workbook's sheet holds a few hundred cells.
    if (cells.empty()) cells.reserve(256);
    Fill(target, cells.emplace_back(), r, c, kind, number, boolean, text);
    return true;
}

bool WorkbookReader::AddOutOfOrder(size_t sheet, int row, int column, Workbook::Cell::Kind kind, double number,
                                   bool boolean, std::string_view text) {
    Workbook::Cell* existing = Existing(sheet, row, column);
    if (existing) {
        bytes_ -= existing->textSize + kCellCost;
        --entries_;
    }
    if (!Charge(text.size(), kCellCost)) return false;
    Workbook::Sheet& target = book_.sheets_[sheet];
    if (!existing) {
        Fill(target, late_[sheet][{row, column}], row, column, kind, number, boolean, text);
        return true;
    }
    existing->kind = kind;
    existing->boolean = boolean;
    existing->number = number;
    Workbook::ReplaceText(target, *existing, text);
    // A damaged file may write one place again and again.
    if (Workbook::WorthRepacking(target))
        Workbook::RepackTexts(target, [&](auto&& f) {
            for (auto& entry : late_[sheet]) f(entry.second);
        });
    return true;
}

bool WorkbookReader::AddNumber(int sheet, long row, long column, double value) {
    return Add(sheet, row, column, Workbook::Cell::Kind::Number, value, false, {});
}

bool WorkbookReader::AddText(int sheet, long row, long column, std::string_view text) {
    if (text.empty()) return true;
    return Add(sheet, row, column, Workbook::Cell::Kind::Text, 0, false, text);
}

bool WorkbookReader::AddBoolean(int sheet, long row, long column, bool value) {
    return Add(sheet, row, column, Workbook::Cell::Kind::Boolean, 0, value, {});
}

bool WorkbookReader::AddError(int sheet, long row, long column, std::string_view text) {
    if (text.empty()) return true;
    return Add(sheet, row, column, Workbook::Cell::Kind::Error, 0, false, text);
}

Workbook WorkbookReader::Finish() {
    for (size_t s = 0; s < late_.size(); ++s) {
        if (late_[s].empty()) continue;
        auto& cells = book_.sheets_[s].cells;
        size_t inOrder = cells.size();
        for (const auto& [position, cell] : late_[s]) cells.push_back(cell);
        std::inplace_merge(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(inOrder), cells.end(),
                           [](const Workbook::Cell& a, const Workbook::Cell& b) { return Workbook::Before(a, b.row, b.column); });
        late_[s].clear();
    }
    // A workbook always has two sheets to write to, whatever the file held.
    book_.AddSheetsUpTo(2);
    return std::move(book_);
}

// ---- Workbook ---------------------------------------------------------------

Workbook Workbook::New(int sheets) {
    Workbook book;
    int count = std::clamp(sheets, 2, 255);
    for (int i = 1; i <= count; ++i) book.sheets_.push_back(Sheet{"Sheet" + std::to_string(i), {}, {}, 0});
    return book;
}

std::optional<Workbook> Workbook::Open(const std::string& path, FileResult* problem, Disk& disk) {
    // Read first and asked why only when that fails: a report reads
    // thousands of books, and each look-up of a path costs.
    auto bytes = ReadWholeFile(path, disk, kMaxPartBytes);
    if (!bytes) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) return Fail(problem, Failed(Failure::Missing, path));
        return Fail(problem, Failed(Failure::Unreadable, path));
    }
    FileResult why;
    auto book = OpenFromMemory(*bytes, &why);
    if (!book) {
        why.path = path;
        return Fail(problem, std::move(why));
    }
    return book;
}

std::optional<Workbook> Workbook::OpenFromMemory(std::string_view bytes, FileResult* problem) {
    InitGsf();
    if (bytes.empty()) return Fail(problem, BookFailed(BookFault::Empty));
    static constexpr std::string_view kOle2{"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8};
    bool ole = StartsWith(bytes, kOle2);
    bool zip = StartsWith(bytes, "PK\x03\x04");
    if (!ole && !zip) {
        // BIFF2 to BIFF4 files are bare record streams beginning with a BOF.
        if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x09 &&
            (bytes[1] == 0x00 || bytes[1] == 0x02 || bytes[1] == 0x04))
            return Fail(problem, BookFailed(BookFault::OldFormat));
        return Fail(problem, BookFailed(BookFault::NotExcel));
    }
    GObjectRef input(gsf_input_memory_new(reinterpret_cast<const guint8*>(bytes.data()),
                                          static_cast<gsf_off_t>(bytes.size()), FALSE));
    if (!input.object) return Fail(problem, BookFailed(BookFault::Damaged));
    GError* gerr = nullptr;
    GObjectRef container(ole ? gsf_infile_msole_new(GSF_INPUT(input.object), &gerr)
                             : gsf_infile_zip_new(GSF_INPUT(input.object), &gerr));
    if (gerr) g_error_free(gerr);
    if (!container.object) return Fail(problem, BookFailed(BookFault::ContainerUnreadable));
    return ole ? OpenCompound(GSF_INFILE(container.object), problem) : OpenZip(GSF_INFILE(container.object), problem);
}

int Workbook::SheetCount() const { return static_cast<int>(sheets_.size()); }

std::string Workbook::SheetName(int sheet) const {
    if (sheet < 1 || sheet > SheetCount()) return {};
    return sheets_[static_cast<size_t>(sheet - 1)].name;
}

const Workbook::Cell* Workbook::Find(const Sheet& sheet, int row, int column) {
    auto at = std::lower_bound(sheet.cells.begin(), sheet.cells.end(), std::make_pair(row, column),
                               [](const Cell& c, const auto& p) { return Before(c, p.first, p.second); });
    return at != sheet.cells.end() && at->row == row && at->column == column ? &*at : nullptr;
}

Workbook::CellView Workbook::ViewOf(const Sheet& sheet, const Cell& cell) {
    CellView view;
    switch (cell.kind) {
    case Cell::Kind::Number: view.kind = CellView::Kind::Number; break;
    case Cell::Kind::Text: view.kind = CellView::Kind::Text; break;
    case Cell::Kind::Boolean: view.kind = CellView::Kind::Boolean; break;
    case Cell::Kind::Error: view.kind = CellView::Kind::Error; break;
    }
    view.number = cell.number;
    view.boolean = cell.boolean;
    view.text = TextOf(sheet, cell);
    return view;
}

Workbook::CellView Workbook::View(int sheet, int row, int column) const {
    if (sheet < 1 || sheet > SheetCount()) return {};
    const Sheet& in = sheets_[static_cast<size_t>(sheet - 1)];
    const Cell* cell = Find(in, row, column);
    return cell ? ViewOf(in, *cell) : CellView{};
}

std::string Workbook::CellView::Text() const {
    switch (kind) {
    case Kind::Empty: return {};
    case Kind::Number: return GeneralDecimalText(number);
    case Kind::Boolean: return boolean ? "TRUE" : "FALSE";
    case Kind::Text:
    case Kind::Error: return std::string(text);
    }
    return {};
}

std::optional<double> Workbook::CellView::ExactNumber() const {
    if (kind != Kind::Number) return std::nullopt;
    if (number == 0) return 0.0;  // the text "0" reads as +0 whatever the sign
    // Below the normal range a double's step is wider than the 15th digit.
    if (!std::isnormal(number)) return std::nullopt;
    // The text rounds to 15 significant digits; a normal double's step is
    // finer than that rounding, so a value that some decimal of 15 digits or
    // fewer reads back as is rounded to that very decimal.
    // Measured values have few decimals: a whole number of at most 15 digits
    // that, divided by 10^k, gives the value again is such a decimal (both
    // the division and the reading round the same exact quotient).
    static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    for (double scale : kScale) {
        double scaled = number * scale;
        if (!(std::fabs(scaled) < 1e15)) break;
        // Any whole number near it will do: the division decides.
        double whole = static_cast<double>(static_cast<long long>(scaled + std::copysign(0.5, scaled)));
        if (whole / scale == number) return number;
    }
    char digits[40];
    auto end = std::to_chars(digits, digits + sizeof digits, number, std::chars_format::scientific).ptr;
    int significant = 0;
    for (const char* p = digits; p < end && *p != 'e'; ++p) significant += *p >= '0' && *p <= '9';
    if (significant > 15) return std::nullopt;
    return number;
}

std::string Workbook::CellText(int sheet, int row, int column) const { return View(sheet, row, column).Text(); }

void Workbook::AddSheetsUpTo(int count) {
    for (int n = SheetCount() + 1; SheetCount() < std::min(count, 255); ++n) {
        // Sheet names are unique within a workbook; a file may already use "SheetN".
        std::string name = "Sheet" + std::to_string(n);
        bool taken = false;
        for (const auto& sheet : sheets_) taken = taken || sheet.name == name;
        if (!taken) sheets_.push_back(Sheet{name, {}, {}, 0});
    }
}

bool Workbook::SetCell(int sheet, int row, int column, std::string_view text) {
    if (sheet < 1 || sheet > SheetCount()) return false;
    // Only what an .xls sheet can hold is taken: anything else would be lost at the next save.
    if (row < 1 || row > kBiffRows || column < 1 || column > kBiffColumns) return false;
    Sheet& in = sheets_[static_cast<size_t>(sheet - 1)];
    auto& cells = in.cells;
    auto at = std::lower_bound(cells.begin(), cells.end(), std::make_pair(row, column),
                               [](const Cell& c, const auto& p) { return Before(c, p.first, p.second); });
    bool present = at != cells.end() && at->row == row && at->column == column;
    if (text.empty()) {
        if (present) {
            DropText(in, *at);
            cells.erase(at);
        }
    } else {
        if (!present) {
            Cell fresh;
            fresh.row = row;
            fresh.column = column;
            at = cells.insert(at, fresh);
        }
        Cell& cell = *at;
        if (auto value = DecimalValue(text)) {
            ReplaceText(in, cell, {});
            cell.kind = Cell::Kind::Number;
            cell.number = *value;
        } else {
            ReplaceText(in, cell, LimitUtf16Units(ValidUtf8(text), kMaxStringUnits));
            cell.kind = Cell::Kind::Text;
        }
    }
    // A station sets the cells of a book over and over through a working day.
    if (WorthRepacking(in)) RepackTexts(in, [](auto&&) {});
    return true;
}

std::vector<std::pair<std::pair<int, int>, std::string>> Workbook::Cells(int sheet) const {
    std::vector<std::pair<std::pair<int, int>, std::string>> out;
    if (sheet < 1 || sheet > SheetCount()) return out;
    const Sheet& in = sheets_[static_cast<size_t>(sheet - 1)];
    for (const Cell& cell : in.cells) {
        std::string text = ViewOf(in, cell).Text();
        if (!text.empty()) out.emplace_back(std::make_pair(cell.row, cell.column), std::move(text));
    }
    return out;
}

std::string Workbook::ToBytes() const {
    InitGsf();
    auto bytes = WorkbookWriter::CompoundFile(WorkbookWriter::Biff8Stream(*this));
    return bytes ? *bytes : std::string();
}

FileResult Workbook::SaveAs(const std::string& path, FileStamp* written, const std::function<bool()>& mayReplace,
                            Disk& disk) const {
    for (const auto& sheet : sheets_) {
        if (!sheet.cells.empty() && (sheet.cells.back().row > kBiffRows ||
                                     std::any_of(sheet.cells.begin(), sheet.cells.end(), [](const Cell& c) {
                                         return c.column > kBiffColumns;
                                     })))
            return Failed(Failure::CellOutsideGrid, path);
    }
    std::string bytes = ToBytes();
    if (bytes.empty()) return Failed(Failure::BookNotAssembled, path);
    return WriteFileAtomic(path, bytes, written, mayReplace, disk);
}

}  // namespace ziv
