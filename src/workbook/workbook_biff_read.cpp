// Reader for the record stream of .xls workbooks written by Excel 5/95
// (BIFF5, 8-bit strings in the workbook's code page) and Excel 97 and later
// (BIFF8, shared strings in UTF-16 or Latin-1). The records are read by hand:
// libgsf opens the compound file but knows nothing of what is inside it.
#include <cstring>
#include <vector>

#include "workbook/workbook_formats.h"

namespace ziv {
namespace {

namespace rec {
constexpr uint16_t kFormula = 0x0006;
constexpr uint16_t kEof = 0x000A;
constexpr uint16_t kFilePass = 0x002F;
constexpr uint16_t kContinue = 0x003C;
constexpr uint16_t kCodepage = 0x0042;
constexpr uint16_t kBoundSheet = 0x0085;
constexpr uint16_t kMulRk = 0x00BD;
constexpr uint16_t kRString = 0x00D6;
constexpr uint16_t kSst = 0x00FC;
constexpr uint16_t kLabelSst = 0x00FD;
constexpr uint16_t kNumber = 0x0203;
constexpr uint16_t kLabel = 0x0204;
constexpr uint16_t kBoolErr = 0x0205;
constexpr uint16_t kString = 0x0207;
constexpr uint16_t kRk = 0x027E;
constexpr uint16_t kBof = 0x0809;
}  // namespace rec

constexpr uint16_t kBofGlobals = 0x0005;
constexpr uint16_t kBofWorksheet = 0x0010;

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const unsigned char* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }
double F64(const unsigned char* p) {
    uint64_t bits = U32(p) | (static_cast<uint64_t>(U32(p + 4)) << 32);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
const unsigned char* Bytes(std::string_view s) { return reinterpret_cast<const unsigned char*>(s.data()); }

struct Record {
    uint16_t type = 0;
    std::string_view body;
};

// Walks the records of the stream; stops (and says so) where a record header
// or body would run past the end.
class RecordCursor {
public:
    RecordCursor(std::string_view stream, size_t at) : stream_(stream), pos_(at) {}
    bool Next(Record& record) {
        if (pos_ > stream_.size() || stream_.size() - pos_ < 4) return false;
        const unsigned char* p = Bytes(stream_) + pos_;
        size_t length = U16(p + 2);
        if (stream_.size() - pos_ - 4 < length) return false;
        record.type = U16(p);
        record.body = stream_.substr(pos_ + 4, length);
        pos_ += 4 + length;
        return true;
    }
    size_t Position() const { return pos_; }
    bool PeekType(uint16_t& type) const {
        if (pos_ > stream_.size() || stream_.size() - pos_ < 4) return false;
        type = U16(Bytes(stream_) + pos_);
        return true;
    }

private:
    std::string_view stream_;
    size_t pos_;
};

// A record body followed by its CONTINUE records, read as one run of bytes,
// except that the characters of a string pick up a fresh option byte (8-bit
// or UTF-16) at the start of every CONTINUE.
class ContinuedReader {
public:
    explicit ContinuedReader(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}

    bool Byte(uint8_t& value) {
        if (!SkipEmptyParts()) return false;
        value = static_cast<uint8_t>(parts_[part_][pos_++]);
        return true;
    }
    bool U16Value(uint16_t& value) {
        uint8_t lo, hi;
        if (!Byte(lo) || !Byte(hi)) return false;
        value = static_cast<uint16_t>(lo | (hi << 8));
        return true;
    }
    bool U32Value(uint32_t& value) {
        uint16_t lo, hi;
        if (!U16Value(lo) || !U16Value(hi)) return false;
        value = lo | (static_cast<uint32_t>(hi) << 16);
        return true;
    }
    bool Skip(uint64_t count) {
        while (count > 0) {
            if (!SkipEmptyParts()) return false;
            size_t take = static_cast<size_t>(std::min<uint64_t>(count, parts_[part_].size() - pos_));
            pos_ += take;
            count -= take;
        }
        return true;
    }
    // `count` characters, 8-bit (Latin-1) or UTF-16 as `wide` says at first.
    bool Characters(size_t count, bool wide, std::u16string& out) {
        while (count > 0) {
            if (part_ >= parts_.size()) return false;
            if (pos_ >= parts_[part_].size()) {
                if (part_ + 1 >= parts_.size()) return false;
                ++part_;
                pos_ = 0;
                uint8_t option;
                if (!Byte(option)) return false;
                wide = option & 0x01;
                continue;
            }
            size_t width = wide ? 2 : 1;
            size_t fits = (parts_[part_].size() - pos_) / width;
            if (fits == 0) return false;  // a UTF-16 unit cut in two
            size_t take = std::min(count, fits);
            const unsigned char* p = Bytes(parts_[part_]) + pos_;
            for (size_t i = 0; i < take; ++i) out += static_cast<char16_t>(wide ? U16(p + 2 * i) : p[i]);
            pos_ += take * width;
            count -= take;
        }
        return true;
    }
    bool AtEnd() { return !SkipEmptyParts(); }

private:
    bool SkipEmptyParts() {
        while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
            ++part_;
            pos_ = 0;
        }
        return part_ < parts_.size();
    }

    std::vector<std::string_view> parts_;
    size_t part_ = 0;
    size_t pos_ = 0;
};

// A BIFF8 string: character count, option byte (UTF-16, rich text, phonetic
// data), characters, then the formatting runs and phonetic data, skipped.
bool ReadUnicodeString(ContinuedReader& in, size_t count, std::string& out) {
    uint8_t flags;
    if (!in.Byte(flags)) return false;
    uint16_t runs = 0;
    uint32_t extra = 0;
    if ((flags & 0x08) && !in.U16Value(runs)) return false;
    if ((flags & 0x04) && !in.U32Value(extra)) return false;
    std::u16string units;
    if (!in.Characters(count, flags & 0x01, units)) return false;
    if (!in.Skip(4ull * runs + extra)) return false;
    out = Utf16ToUtf8(units);
    return true;
}

std::string ErrorText(uint8_t code) {
    switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2A: return "#N/A";
    default: return "#N/A";
    }
}

double RkValue(uint32_t rk) {
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, sizeof value);
    }
    return (rk & 0x01) ? value / 100 : value;
}

struct SheetEntry {
    uint32_t offset = 0;
    uint8_t type = 0;
    std::string rawName;  // BIFF5: bytes in the code page; BIFF8: already UTF-8
};

class BiffReader : ReadFailure {
public:
    BiffReader(std::string_view stream, WorkbookReader& out) : stream_(stream), out_(out) {}

    bool Read(FileResult* problem) {
        if (!ReadGlobals()) return Report(problem);
        for (const auto& entry : sheets_) {
            if (entry.type != 0) continue;  // chart, macro and module sheets are not worksheets
            auto sheet = out_.AddSheet(biff8_ ? entry.rawName : CodepageToUtf8(entry.rawName, codepage_));
            if (!sheet) {
                TooLarge();
                return Report(problem);
            }
            if (!ReadSheet(entry.offset, *sheet)) return Report(problem);
            // Sheets never share records; overlapping offsets would only make
            // a damaged file read the same bytes again and again.
            if (scanned_ > stream_.size()) {
                Damaged(BookFault::SheetsOverlap);
                return Report(problem);
            }
        }
        return true;
    }

private:

    // ---- globals ----

    bool ReadGlobals() {
        RecordCursor cursor(stream_, 0);
        Record record;
        if (!cursor.Next(record) || record.type != rec::kBof || record.body.size() < 4)
            return Damaged(BookFault::NoBof);
        uint16_t version = U16(Bytes(record.body));
        if (U16(Bytes(record.body) + 2) != kBofGlobals) return Damaged(BookFault::NotBookBof);
        biff8_ = version == 0x0600;
        if (!biff8_ && version != 0x0500 && version != 0x0000) return Damaged(BookFault::UnknownBiffVersion);
        int depth = 1;
        while (cursor.Next(record)) {
            if (record.type == rec::kBof) {
                ++depth;
            } else if (record.type == rec::kEof) {
                if (--depth == 0) return true;
            } else if (depth == 1 && !GlobalRecord(record, cursor)) {
                return false;
            }
        }
        return Damaged(BookFault::NoBookEof);
    }

    bool GlobalRecord(const Record& record, RecordCursor& cursor) {
        const unsigned char* p = Bytes(record.body);
        switch (record.type) {
        case rec::kFilePass: return Damaged(BookFault::Encrypted);
        case rec::kCodepage:
            if (record.body.size() >= 2) codepage_ = U16(p);
            return true;
        case rec::kBoundSheet: return BoundSheet(record.body);
        case rec::kSst: return biff8_ ? SharedStrings(record.body, cursor) : true;
        default: return true;
        }
    }

    bool BoundSheet(std::string_view body) {
        if (body.size() < 7) return Damaged(BookFault::SheetNameShort);
        const unsigned char* p = Bytes(body);
        SheetEntry entry;
        entry.offset = U32(p);
        entry.type = p[5];
        size_t count = p[6];
        if (biff8_) {
            ContinuedReader in({body.substr(7)});
            if (!ReadUnicodeString(in, count, entry.rawName)) return Damaged(BookFault::SheetNameUnreadable);
        } else {
            if (body.size() < 7 + count) return Damaged(BookFault::SheetNameUnreadable);
            entry.rawName = std::string(body.substr(7, count));
        }
        sheets_.push_back(std::move(entry));
        if (sheets_.size() > static_cast<size_t>(workbook_limits::kMaxSheets)) return TooLarge();
        return true;
    }

    std::vector<std::string_view> WithContinues(std::string_view first, RecordCursor& cursor) {
        std::vector<std::string_view> parts{first};
        uint16_t type;
        Record next;
        while (cursor.PeekType(type) && type == rec::kContinue && cursor.Next(next)) parts.push_back(next.body);
        return parts;
    }

    bool SharedStrings(std::string_view body, RecordCursor& cursor) {
        if (body.size() < 8) return Damaged(BookFault::SharedStringsShort);
        uint32_t unique = U32(Bytes(body) + 4);
        ContinuedReader in(WithContinues(body.substr(8), cursor));
        // The count is only believed as far as the data goes: each string takes three bytes at least.
        strings_.reserve(std::min<size_t>(unique, body.size() / 3 + 1));
        for (uint32_t i = 0; i < unique && !in.AtEnd(); ++i) {
            uint16_t count;
            std::string text;
            if (!in.U16Value(count) || !ReadUnicodeString(in, count, text)) return Damaged(BookFault::SharedStringsCut);
            if (!out_.ChargeEntry(text.size())) return TooLarge();
            strings_.push_back(std::move(text));
        }
        return true;
    }

    // ---- worksheets ----

    bool ReadSheet(uint32_t offset, int sheet) {
        RecordCursor cursor(stream_, offset);
        Record record;
        if (!cursor.Next(record) || record.type != rec::kBof || record.body.size() < 4 ||
            U16(Bytes(record.body) + 2) != kBofWorksheet)
            return Damaged(BookFault::NoSheetBof);
        sheet_ = sheet;
        pendingString_ = false;
        int depth = 1;
        while (cursor.Next(record)) {
            if (record.type == rec::kBof) {
                ++depth;  // an embedded chart: its records are not cells of the sheet
            } else if (record.type == rec::kEof) {
                if (--depth == 0) {
                    scanned_ += cursor.Position() - offset;
                    return true;
                }
            } else if (depth == 1 && !CellRecord(record, cursor)) {
                return false;
            }
        }
        return Damaged(BookFault::NoSheetEof);
    }

    bool CellRecord(const Record& record, RecordCursor& cursor) {
        std::string_view body = record.body;
        const unsigned char* p = Bytes(body);
        if (IsCellRecord(record.type)) {
            pendingString_ = false;
            if (body.size() >= 4 && !out_.InGrid(Row(p), Column(p))) return OutsideGrid();
        }
        switch (record.type) {
        case rec::kNumber:
            return body.size() < 14 || Keep(out_.AddNumber(sheet_, Row(p), Column(p), F64(p + 6)));
        case rec::kRk:
            return body.size() < 10 || Keep(out_.AddNumber(sheet_, Row(p), Column(p), RkValue(U32(p + 6))));
        case rec::kMulRk: return MulRk(body);
        case rec::kLabelSst:
            if (body.size() < 10) return true;
            if (U32(p + 6) >= strings_.size()) return Damaged(BookFault::SharedStringOutOfRange);
            return Keep(out_.AddText(sheet_, Row(p), Column(p), strings_[U32(p + 6)]));
        case rec::kLabel:
        case rec::kRString: return Label(body);
        case rec::kBoolErr:
            if (body.size() < 8) return true;
            if (p[7]) return Keep(out_.AddError(sheet_, Row(p), Column(p), ErrorText(p[6])));
            return Keep(out_.AddBoolean(sheet_, Row(p), Column(p), p[6] != 0));
        case rec::kFormula: return Formula(body);
        case rec::kString: return FormulaString(body, cursor);
        default: return true;
        }
    }

    static bool IsCellRecord(uint16_t type) {
        switch (type) {
        case rec::kNumber: case rec::kRk: case rec::kMulRk: case rec::kLabelSst: case rec::kLabel:
        case rec::kRString: case rec::kBoolErr: case rec::kFormula: case 0x0201: case 0x00BE:
            return true;
        default: return false;
        }
    }
    static long Row(const unsigned char* p) { return U16(p) + 1L; }
    static long Column(const unsigned char* p) { return U16(p + 2) + 1L; }
    bool Keep(bool added) { return added || TooLarge(); }

    bool MulRk(std::string_view body) {
        if (body.size() < 6) return true;
        const unsigned char* p = Bytes(body);
        size_t count = (body.size() - 6) / 6;
        if (count > 0 && !out_.InGrid(Row(p), Column(p) + static_cast<long>(count) - 1)) return OutsideGrid();
        for (size_t i = 0; i < count; ++i) {
            long column = Column(p) + static_cast<long>(i);
            if (!Keep(out_.AddNumber(sheet_, Row(p), column, RkValue(U32(p + 4 + 6 * i + 2))))) return false;
        }
        return true;
    }

    bool Label(std::string_view body) {
        if (body.size() < 8) return true;
        const unsigned char* p = Bytes(body);
        size_t count = U16(p + 6);
        std::string text;
        if (biff8_) {
            ContinuedReader in({body.substr(8)});
            if (!ReadUnicodeString(in, count, text)) return Damaged(BookFault::StringCellUnreadable);
        } else {
            if (body.size() - 8 < count) return Damaged(BookFault::StringCellUnreadable);
            text = CodepageToUtf8(body.substr(8, count), codepage_);
        }
        return Keep(out_.AddText(sheet_, Row(p), Column(p), std::move(text)));
    }

    // The cached result of a formula: a number, or (marked by FFFF in the
    // last two bytes) a string in the next STRING record, a boolean, an error
    // or an empty string.
    bool Formula(std::string_view body) {
        if (body.size() < 14) return true;
        const unsigned char* p = Bytes(body);
        const unsigned char* result = p + 6;
        if (U16(result + 6) != 0xFFFF) return Keep(out_.AddNumber(sheet_, Row(p), Column(p), F64(result)));
        switch (result[0]) {
        case 0:
            pendingString_ = true;
            pendingRow_ = Row(p);
            pendingColumn_ = Column(p);
            return true;
        case 1: return Keep(out_.AddBoolean(sheet_, Row(p), Column(p), result[2] != 0));
        case 2: return Keep(out_.AddError(sheet_, Row(p), Column(p), ErrorText(result[2])));
        default: return true;
        }
    }

    bool FormulaString(std::string_view body, RecordCursor& cursor) {
        auto parts = WithContinues(body, cursor);
        if (!pendingString_) return true;
        pendingString_ = false;
        ContinuedReader in(std::move(parts));
        uint16_t count;
        std::string text;
        if (!in.U16Value(count)) return Damaged(BookFault::FormulaStringUnreadable);
        if (biff8_) {
            if (!ReadUnicodeString(in, count, text)) return Damaged(BookFault::FormulaStringUnreadable);
        } else {
            if (body.size() < 2 + static_cast<size_t>(count)) return Damaged(BookFault::FormulaStringUnreadable);
            text = CodepageToUtf8(body.substr(2, count), codepage_);
        }
        return Keep(out_.AddText(sheet_, pendingRow_, pendingColumn_, std::move(text)));
    }

    std::string_view stream_;
    WorkbookReader& out_;
    bool biff8_ = true;
    int codepage_ = 1252;
    std::vector<SheetEntry> sheets_;
    std::vector<std::string> strings_;
    size_t scanned_ = 0;
    int sheet_ = 0;
    bool pendingString_ = false;
    long pendingRow_ = 0;
    long pendingColumn_ = 0;
};

}  // namespace

bool ReadBiffStream(std::string_view stream, WorkbookReader& out, FileResult* problem) {
    return BiffReader(stream, out).Read(problem);
}

}  // namespace ziv
