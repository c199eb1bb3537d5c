// BIFF8 writer. The records are laid out by hand because no library at hand
// writes BIFF8; libgsf only provides the OLE2 compound file around them.
// The workbook is the small set Excel itself writes into a new book (fonts,
// built-in number formats, the 21 built-in XF records, styles) so that Excel
// and LibreOffice open it without offering to repair it.
#include <gsf/gsf.h>

#include <cmath>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "workbook/workbook_formats.h"

namespace ziv {
namespace {

using workbook_limits::kBiffColumns;
using workbook_limits::kBiffRows;

// Largest record body; longer data goes on in CONTINUE records.
constexpr size_t kMaxBody = 8224;
// The cell format every written cell uses: Excel's default cell XF.
constexpr uint16_t kCellXf = 15;

class Bytes {
public:
    explicit Bytes(std::string& out) : out_(out) {}
    void U8(unsigned v) { out_ += static_cast<char>(v & 0xFF); }
    void U16(unsigned v) {
        U8(v);
        U8(v >> 8);
    }
    void U32(uint32_t v) {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    void F64(double v) {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        U32(static_cast<uint32_t>(bits));
        U32(static_cast<uint32_t>(bits >> 32));
    }
    void Raw(std::string_view bytes) { out_ += bytes; }
    void Units(std::u16string_view units, bool wide) {
        for (char16_t u : units) wide ? U16(u) : U8(u);
    }
    size_t Size() const { return out_.size(); }
    std::string& Out() { return out_; }

private:
    std::string& out_;
};

// Writes records into a stream, patching each length when the record ends.
class RecordWriter {
public:
    explicit RecordWriter(std::string& out) : out_(out), bytes_(out) {}
    Bytes& Begin(uint16_t type) {
        End();
        bytes_.U16(type);
        bytes_.U16(0);
        start_ = out_.size() - 4;
        open_ = true;
        return bytes_;
    }
    void End() {
        if (!open_) return;
        size_t length = out_.size() - start_ - 4;
        out_[start_ + 2] = static_cast<char>(length & 0xFF);
        out_[start_ + 3] = static_cast<char>(length >> 8);
        open_ = false;
    }
    size_t Room() const { return kMaxBody - (out_.size() - start_ - 4); }
    size_t RecordStart() const { return start_; }
    Bytes& Body() { return bytes_; }
    void Simple16(uint16_t type, uint16_t value) { Begin(type).U16(value); }

private:
    std::string& out_;
    Bytes bytes_;
    size_t start_ = 0;
    bool open_ = false;
};

bool FitsLatin1(std::u16string_view units) {
    for (char16_t u : units)
        if (u > 0xFF) return false;
    return true;
}

// XLUnicodeString: 16-bit count, option byte, characters.
void UnicodeString16(Bytes& b, std::u16string_view units) {
    bool wide = !FitsLatin1(units);
    b.U16(static_cast<unsigned>(units.size()));
    b.U8(wide ? 1 : 0);
    b.Units(units, wide);
}

// ShortXLUnicodeString: 8-bit count, option byte, characters.
void UnicodeString8(Bytes& b, std::u16string_view units) {
    if (units.size() > 255) units = units.substr(0, 255);
    bool wide = !FitsLatin1(units);
    b.U8(static_cast<unsigned>(units.size()));
    b.U8(wide ? 1 : 0);
    b.Units(units, wide);
}

// An RK value holds a number in 30 bits (a whole number or the top of a
// double, either possibly scaled by 100); used only where it gives back the
// very same double.
std::optional<uint32_t> RkFor(double value) {
    if (!std::isfinite(value) || (value == 0 && std::signbit(value))) return std::nullopt;
    auto decode = [](uint32_t rk) {
        double v;
        if (rk & 2) {
            v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
        } else {
            uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
            std::memcpy(&v, &bits, sizeof v);
        }
        return (rk & 1) ? v / 100 : v;
    };
    auto whole = [](double v) -> std::optional<uint32_t> {
        if (v != std::floor(v) || v < -(1 << 29) || v >= (1 << 29)) return std::nullopt;
        return (static_cast<uint32_t>(static_cast<int32_t>(v)) << 2) | 2u;
    };
    auto truncated = [](double v) -> std::optional<uint32_t> {
        uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        if (bits & 0x3FFFFFFFFull) return std::nullopt;
        return static_cast<uint32_t>(bits >> 32);
    };
    for (auto candidate : {whole(value), truncated(value)})
        if (candidate && decode(*candidate) == value) return candidate;
    double scaled = value * 100;
    for (auto candidate : {whole(scaled), truncated(scaled)})
        if (candidate && decode(*candidate | 1u) == value) return *candidate | 1u;
    return std::nullopt;
}

uint8_t ErrorCode(std::string_view text, bool& known) {
    static const std::pair<std::string_view, uint8_t> kCodes[] = {
        {"#NULL!", 0x00}, {"#DIV/0!", 0x07}, {"#VALUE!", 0x0F}, {"#REF!", 0x17},
        {"#NAME?", 0x1D}, {"#NUM!", 0x24},   {"#N/A", 0x2A}};
    for (const auto& [name, code] : kCodes) {
        if (name == text) {
            known = true;
            return code;
        }
    }
    known = false;
    return 0;
}

void Bof(RecordWriter& w, uint16_t kind) {
    Bytes& b = w.Begin(0x0809);
    b.U16(0x0600);  // BIFF8
    b.U16(kind);
    b.U16(0x0DBB);  // build and year of the Excel version that writes this layout
    b.U16(0x07CC);
    b.U32(0);
    b.U32(6);  // earliest version that can read the file: Excel 97
}

// ---- shared strings ---------------------------------------------------------

struct SharedStrings {
    std::vector<std::u16string> strings;
    std::unordered_map<std::string, uint32_t> index;
    uint32_t references = 0;

    uint32_t Add(const std::string& text) {
        ++references;
        auto [it, inserted] = index.try_emplace(text, static_cast<uint32_t>(strings.size()));
        if (inserted) {
            std::u16string units = Utf8ToUtf16(text);
            if (units.size() > workbook_limits::kMaxStringUnits) units.resize(workbook_limits::kMaxStringUnits);
            strings.push_back(std::move(units));
        }
        return it->second;
    }
};

// SST, split into CONTINUE records at 8224 bytes. A string's header is never
// split; its characters may be, and each CONTINUE that goes on with them
// starts with the option byte again. EXTSST then points into every eighth
// string (or more, so that there are at most 128 pointers).
void WriteSst(RecordWriter& w, const SharedStrings& sst) {
    size_t perBucket = std::max<size_t>(8, sst.strings.size() / 128 + 1);
    std::vector<std::pair<uint32_t, uint16_t>> buckets;
    Bytes& b = w.Begin(0x00FC);
    b.U32(sst.references);
    b.U32(static_cast<uint32_t>(sst.strings.size()));
    for (size_t i = 0; i < sst.strings.size(); ++i) {
        const std::u16string& s = sst.strings[i];
        bool wide = !FitsLatin1(s);
        size_t width = wide ? 2 : 1;
        if (w.Room() < 3 + (s.empty() ? 0 : width)) w.Begin(0x003C);
        if (i % perBucket == 0)
            buckets.emplace_back(static_cast<uint32_t>(b.Size()), static_cast<uint16_t>(b.Size() - w.RecordStart()));
        b.U16(static_cast<unsigned>(s.size()));
        b.U8(wide ? 1 : 0);
        size_t done = 0;
        while (done < s.size()) {
            size_t fits = w.Room() / width;
            if (fits == 0) {
                w.Begin(0x003C);
                b.U8(wide ? 1 : 0);
                continue;
            }
            size_t take = std::min(fits, s.size() - done);
            b.Units(std::u16string_view(s).substr(done, take), wide);
            done += take;
        }
    }
    Bytes& ext = w.Begin(0x00FF);
    ext.U16(static_cast<unsigned>(perBucket));
    for (const auto& [streamPos, inRecord] : buckets) {
        ext.U32(streamPos);
        ext.U16(inRecord);
        ext.U16(0);
    }
    w.End();
}

// ---- workbook globals -------------------------------------------------------

void Font(RecordWriter& w) {
    Bytes& b = w.Begin(0x0031);
    b.U16(220);     // 11 pt
    b.U16(0);       // plain
    b.U16(0x7FFF);  // automatic colour
    b.U16(400);     // normal weight
    b.U16(0);
    b.U8(0);
    b.U8(0);
    b.U8(128);  // Shift_JIS character set
    b.U8(0);
    UnicodeString8(b, u"ＭＳ Ｐゴシック");
}

void Format(RecordWriter& w, uint16_t index, std::u16string_view code) {
    Bytes& b = w.Begin(0x041E);
    b.U16(index);
    UnicodeString16(b, code);
}

void Xf(RecordWriter& w, uint16_t font, uint16_t format, bool style, uint8_t usedAttributes) {
    Bytes& b = w.Begin(0x00E0);
    b.U16(font);
    b.U16(format);
    b.U16(style ? 0xFFF5 : 0x0001);  // locked; a style has no parent, a cell XF the Normal style
    b.U8(0x20);                      // general alignment, bottom
    b.U8(0);
    b.U8(0);
    b.U8(usedAttributes);
    b.U32(0);           // no borders
    b.U32(0);
    b.U16(0x20C0);      // pattern colours: system foreground and background
}

void BuiltInStyle(RecordWriter& w, uint16_t xf, uint8_t style) {
    Bytes& b = w.Begin(0x0293);
    b.U16(0x8000 | xf);
    b.U8(style);
    b.U8(0xFF);
}

void FormatsAndStyles(RecordWriter& w) {
    for (int i = 0; i < 5; ++i) Font(w);  // index 4 does not exist in BIFF; five records give 0-3 and 5
    Format(w, 5, u"\"¥\"#,##0;\"¥\"\\-#,##0");
    Format(w, 6, u"\"¥\"#,##0;[Red]\"¥\"\\-#,##0");
    Format(w, 7, u"\"¥\"#,##0.00;\"¥\"\\-#,##0.00");
    Format(w, 8, u"\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00");
    Format(w, 41, u"_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ");
    Format(w, 42, u"_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ");
    Format(w, 43, u"_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ");
    Format(w, 44, u"_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ");
    // XF 0: Normal; 1-14: outline level styles; 15: the default cell format;
    // 16-20: Comma, Comma [0], Currency, Currency [0], Percent.
    Xf(w, 0, 0, true, 0x00);
    for (uint16_t font : {1, 1, 2, 2}) Xf(w, font, 0, true, 0xF4);
    for (int i = 5; i <= 14; ++i) Xf(w, 0, 0, true, 0xF4);
    Xf(w, 0, 0, false, 0x00);
    for (uint16_t format : {43, 41, 44, 42, 9}) Xf(w, 1, format, true, 0xF8);
    BuiltInStyle(w, 16, 3);
    BuiltInStyle(w, 17, 6);
    BuiltInStyle(w, 18, 4);
    BuiltInStyle(w, 19, 7);
    BuiltInStyle(w, 0, 0);
    BuiltInStyle(w, 20, 5);
}

void Window1(RecordWriter& w) {
    Bytes& b = w.Begin(0x003D);
    b.U16(0x0168);
    b.U16(0x001E);
    b.U16(0x4000);
    b.U16(0x2000);
    b.U16(0x0038);  // horizontal and vertical scroll bars, sheet tabs
    b.U16(0);       // active sheet
    b.U16(0);       // first visible tab
    b.U16(1);       // selected sheets
    b.U16(0x0258);  // tab bar width
}

void WriteAccess(RecordWriter& w) {
    Bytes& b = w.Begin(0x005C);
    UnicodeString16(b, u"ZIV");
    while (b.Size() - w.RecordStart() - 4 < 112) b.U8(' ');
}

// Writes the globals with zero sheet offsets; returns where each offset sits.
std::vector<size_t> WriteGlobals(std::string& out, const std::vector<std::u16string>& names,
                                 const SharedStrings& sst) {
    RecordWriter w(out);
    Bof(w, 0x0005);
    w.Simple16(0x00E1, 1200);  // INTERFACEHDR
    w.Simple16(0x00C1, 0);     // MMS
    w.Begin(0x00E2);           // INTERFACEEND
    WriteAccess(w);
    w.Simple16(0x0042, 1200);  // CODEPAGE: UTF-16
    w.Simple16(0x0161, 0);     // DSF
    Bytes& tabs = w.Begin(0x013D);
    for (size_t i = 0; i < names.size(); ++i) tabs.U16(static_cast<unsigned>(i + 1));
    w.Simple16(0x009C, 14);  // FNGROUPCOUNT
    w.Simple16(0x0019, 0);   // WINDOWPROTECT
    w.Simple16(0x0012, 0);   // PROTECT
    w.Simple16(0x0013, 0);   // PASSWORD
    w.Simple16(0x01AF, 0);   // PROT4REV
    w.Simple16(0x01BC, 0);   // PROT4REVPASS
    Window1(w);
    w.Simple16(0x0040, 0);  // BACKUP
    w.Simple16(0x008D, 0);  // HIDEOBJ
    w.Simple16(0x0022, 0);  // DATEMODE: 1900
    w.Simple16(0x000E, 1);  // PRECISION: as stored
    w.Simple16(0x01B7, 0);  // REFRESHALL
    w.Simple16(0x00DA, 0);  // BOOKBOOL
    FormatsAndStyles(w);
    w.Simple16(0x0160, 1);  // USESELFS
    std::vector<size_t> offsets;
    for (const auto& name : names) {
        Bytes& b = w.Begin(0x0085);
        offsets.push_back(b.Size());
        b.U32(0);
        b.U8(0);  // visible
        b.U8(0);  // worksheet
        UnicodeString8(b, name);
    }
    Bytes& country = w.Begin(0x008C);
    country.U16(81);
    country.U16(81);
    WriteSst(w, sst);
    w.Begin(0x000A);
    w.End();
    return offsets;
}

// ---- worksheets ---------------------------------------------------------------

void CellHeader(Bytes& b, int row, int column) {
    b.U16(static_cast<unsigned>(row - 1));
    b.U16(static_cast<unsigned>(column - 1));
    b.U16(kCellXf);
}

void SheetSettings(RecordWriter& w) {
    w.Simple16(0x000D, 1);    // CALCMODE: automatic
    w.Simple16(0x000C, 100);  // CALCCOUNT
    w.Simple16(0x000F, 1);    // REFMODE: A1
    w.Simple16(0x0011, 0);    // ITERATION
    w.Begin(0x0010).F64(0.001);  // DELTA
    w.Simple16(0x005F, 1);    // SAVERECALC
    w.Simple16(0x002A, 0);    // PRINTHEADERS
    w.Simple16(0x002B, 0);    // PRINTGRIDLINES
    w.Simple16(0x0082, 1);    // GRIDSET
    Bytes& guts = w.Begin(0x0080);
    for (int i = 0; i < 4; ++i) guts.U16(0);
    Bytes& height = w.Begin(0x0225);
    height.U16(0);
    height.U16(0x010E);
    w.Simple16(0x0081, 0x04C1);  // WSBOOL
    w.Simple16(0x0055, 8);       // DEFCOLWIDTH
}

void Window2(RecordWriter& w, bool first) {
    Bytes& b = w.Begin(0x023E);
    // Grid lines, headers, zeros, automatic grid colour, outline symbols; the
    // first sheet is also selected and shown.
    b.U16(first ? 0x06B6 : 0x00B6);
    b.U16(0);
    b.U16(0);
    b.U16(0x40);
    b.U16(0);
    b.U16(0);
    b.U16(0);
    b.U32(0);
}

}  // namespace

std::string WorkbookWriter::Biff8Stream(const Workbook& book) {
    SharedStrings sst;
    std::vector<std::string> sheetStreams;
    std::vector<std::u16string> names;
    for (size_t s = 0; s < book.sheets_.size(); ++s) {
        const auto& sheet = book.sheets_[s];
        std::u16string name = Utf8ToUtf16(sheet.name);
        if (name.size() > 31) name.resize(31);
        names.push_back(std::move(name));
        std::string out;
        RecordWriter w(out);
        Bof(w, 0x0010);
        SheetSettings(w);
        int firstRow = 0, lastRow = -1, firstColumn = 0, lastColumn = -1;
        for (const auto& cell : sheet.cells) {
            const int row = cell.row, column = cell.column;
            if (row > kBiffRows || column > kBiffColumns) continue;
            if (lastRow < 0 || row < firstRow) firstRow = row;
            if (lastColumn < 0 || column < firstColumn) firstColumn = column;
            lastRow = std::max(lastRow, row);
            lastColumn = std::max(lastColumn, column);
        }
        Bytes& dims = w.Begin(0x0200);
        dims.U32(lastRow < 0 ? 0 : static_cast<uint32_t>(firstRow - 1));
        dims.U32(lastRow < 0 ? 0 : static_cast<uint32_t>(lastRow));
        dims.U16(lastColumn < 0 ? 0 : static_cast<unsigned>(firstColumn - 1));
        dims.U16(lastColumn < 0 ? 0 : static_cast<unsigned>(lastColumn));
        dims.U16(0);
        for (const auto& cell : sheet.cells) {
            const int row = cell.row, column = cell.column;
            if (row > kBiffRows || column > kBiffColumns) continue;
            using Kind = Workbook::Cell::Kind;
            bool known = false;
            std::string_view text = Workbook::TextOf(sheet, cell);
            uint8_t code = cell.kind == Kind::Error ? ErrorCode(text, known) : 0;
            if (cell.kind == Kind::Number) {
                auto rk = RkFor(cell.number);
                Bytes& b = w.Begin(rk ? 0x027E : 0x0203);
                CellHeader(b, row, column);
                rk ? b.U32(*rk) : b.F64(cell.number);
            } else if (cell.kind == Kind::Boolean || known) {
                Bytes& b = w.Begin(0x0205);
                CellHeader(b, row, column);
                b.U8(known ? code : cell.boolean ? 1 : 0);
                b.U8(known ? 1 : 0);
            } else if (!text.empty()) {
                Bytes& b = w.Begin(0x00FD);
                CellHeader(b, row, column);
                b.U32(sst.Add(std::string(text)));
            }
        }
        Window2(w, s == 0);
        w.Begin(0x000A);
        w.End();
        sheetStreams.push_back(std::move(out));
    }
    std::string stream;
    std::vector<size_t> offsetFields = WriteGlobals(stream, names, sst);
    for (size_t s = 0; s < sheetStreams.size(); ++s) {
        uint32_t at = static_cast<uint32_t>(stream.size());
        for (int i = 0; i < 4; ++i) stream[offsetFields[s] + i] = static_cast<char>((at >> (8 * i)) & 0xFF);
        stream += sheetStreams[s];
    }
    return stream;
}

std::optional<std::string> WorkbookWriter::CompoundFile(std::string_view workbookStream) {
    std::string stream(workbookStream);
    // Streams under 4096 bytes would go to the OLE2 short-stream area, which
    // some readers do not expect for the workbook; zero records after the
    // last EOF are never read.
    if (stream.size() < 4096) stream.resize(4096, '\0');
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(memory);
    // Root class id of an Excel workbook, 00020820-0000-0000-C000-000000000046.
    static const guint8 kExcelClass[16] = {0x20, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                           0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
    gsf_outfile_msole_set_class_id(GSF_OUTFILE_MSOLE(ole), kExcelClass);
    GsfOutput* child = gsf_outfile_new_child(ole, "Workbook", FALSE);
    bool ok = child && gsf_output_write(child, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
    if (child) ok = gsf_output_close(child) && ok;
    ok = gsf_output_close(GSF_OUTPUT(ole)) && ok;
    std::optional<std::string> bytes;
    if (ok) {
        const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
        gsf_off_t size = gsf_output_size(memory);
        if (data && size > 0) bytes.emplace(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    }
    if (child) g_object_unref(child);
    g_object_unref(ole);
    if (!gsf_output_is_closed(memory)) gsf_output_close(memory);
    g_object_unref(memory);
    return bytes;
}

}  // namespace ziv
