// Reader for Office Open XML workbooks (the zip package Excel 2007 and later
// write), whatever the file is called. libgsf opens the zip, libxml2's
// streaming reader walks each part, so a large sheet is never held as a tree.
#include <gsf/gsf.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <charconv>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "workbook/workbook_formats.h"

namespace ziv {
namespace {


// What the parts of one package may cost to walk, shared by all of them.
struct XmlBudget {
    size_t bytes = workbook_limits::kMaxXmlBytes;
    size_t nodes = workbook_limits::kMaxXmlNodes;
    bool exhausted = false;
};

// Walks one part as libxml2 asks for its bytes: the zip member is inflated a
// buffer at a time, so a part of any size never lies in memory whole.
struct XmlReader {
    xmlTextReaderPtr reader = nullptr;
    // Takes over the reference to `input`; nothing to read when it is null.
    XmlReader(GsfInput* input, XmlBudget& budget) : input_(input), budget_(budget) {
        if (!input_) return;
        // No network, no entity expansion; a DOCTYPE is refused below.
        reader = xmlReaderForIO(&XmlReader::ReadChunk, nullptr, this, nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        if (reader) xmlTextReaderSetErrorHandler(reader, [](void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}, nullptr);
    }
    ~XmlReader() {
        if (reader) xmlFreeTextReader(reader);
        if (input_) g_object_unref(input_);
    }
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Next node; false at the end or on a parse error (`failed` tells which).
    bool Next() {
        if (budget_.nodes == 0) {
            budget_.exhausted = true;
            failed = true;
            return false;
        }
        --budget_.nodes;
        int rc = xmlTextReaderRead(reader);
        if (rc == 1 && xmlTextReaderNodeType(reader) == XML_READER_TYPE_DOCUMENT_TYPE) rc = -1;
        if (rc < 0) failed = true;
        return rc == 1;
    }
    int Type() const { return xmlTextReaderNodeType(reader); }
    bool IsStart(std::string_view name) const { return Type() == XML_READER_TYPE_ELEMENT && LocalName() == name; }
    bool IsEnd(std::string_view name) const { return Type() == XML_READER_TYPE_END_ELEMENT && LocalName() == name; }
    bool IsEmpty() const { return xmlTextReaderIsEmptyElement(reader) == 1; }
    int Depth() const { return xmlTextReaderDepth(reader); }
    std::string_view LocalName() const {
        const xmlChar* name = xmlTextReaderConstLocalName(reader);
        return name ? std::string_view(reinterpret_cast<const char*>(name)) : std::string_view();
    }
    std::string Attribute(const char* name) const {
        xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
        std::string out = value ? reinterpret_cast<const char*>(value) : "";
        xmlFree(value);
        return out;
    }
    bool HasAttribute(const char* name) const {
        xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
        xmlFree(value);
        return value != nullptr;
    }
    // The relationship id of a <sheet>: an attribute named "id" in whatever
    // namespace the file binds to the relationships prefix.
    std::string RelationshipId() const {
        std::string id;
        if (xmlTextReaderMoveToFirstAttribute(reader) != 1) return id;
        do {
            const xmlChar* ns = xmlTextReaderConstNamespaceUri(reader);
            if (ns && LocalName() == "id") {
                const xmlChar* value = xmlTextReaderConstValue(reader);
                id = value ? reinterpret_cast<const char*>(value) : "";
            }
        } while (xmlTextReaderMoveToNextAttribute(reader) == 1);
        xmlTextReaderMoveToElement(reader);
        return id;
    }
    std::string_view Value() const {
        const xmlChar* value = xmlTextReaderConstValue(reader);
        return value ? std::string_view(reinterpret_cast<const char*>(value)) : std::string_view();
    }
    bool IsText() const {
        int type = Type();
        return type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
               type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
    }

    bool failed = false;

private:
    static int ReadChunk(void* context, char* buffer, int length) {
        auto* self = static_cast<XmlReader*>(context);
        gsf_off_t left = gsf_input_remaining(self->input_);
        if (left <= 0 || length <= 0) return 0;
        size_t take = static_cast<size_t>(std::min<gsf_off_t>(left, length));
        if (take > self->budget_.bytes) {
            self->budget_.exhausted = true;
            return -1;
        }
        if (!gsf_input_read(self->input_, take, reinterpret_cast<guint8*>(buffer))) return -1;
        self->budget_.bytes -= take;
        return static_cast<int>(take);
    }

    GsfInput* input_;
    XmlBudget& budget_;
};

// Excel writes characters XML cannot carry as _xHHHH_ (and a literal "_x" as _x005F_).
std::string UnescapeOoxml(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    std::u16string units = Utf8ToUtf16(text);
    std::u16string out;
    for (size_t i = 0; i < units.size(); ++i) {
        if (units[i] == u'_' && i + 6 < units.size() && units[i + 1] == u'x' && units[i + 6] == u'_') {
            unsigned value = 0;
            bool hex = true;
            for (size_t k = 2; k < 6 && hex; ++k) {
                char16_t c = units[i + k];
                int digit = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10
                          : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
                hex = digit >= 0;
                value = value * 16 + static_cast<unsigned>(digit);
            }
            if (hex) {
                out += static_cast<char16_t>(value);
                i += 6;
                continue;
            }
        }
        out += units[i];
    }
    return Utf16ToUtf8(out);
}

// Text of a string item (<si> or <is>): its <t> elements, leaving out the
// phonetic guide (<rPh>) that Japanese Excel adds to kanji.
bool ReadStringItem(XmlReader& xml, std::string_view element, std::string& out) {
    out.clear();
    if (xml.IsEmpty()) return true;
    int phonetic = 0;
    bool inText = false;
    while (xml.Next()) {
        if (xml.IsEnd(element)) {
            out = UnescapeOoxml(std::move(out));
            return true;
        }
        if (xml.IsStart("rPh") && !xml.IsEmpty()) ++phonetic;
        else if (xml.IsEnd("rPh")) --phonetic;
        else if (xml.IsStart("t") && !xml.IsEmpty()) inText = true;
        else if (xml.IsEnd("t")) inText = false;
        else if (inText && phonetic == 0 && xml.IsText()) out += xml.Value();
        if (out.size() > workbook_limits::kMaxTextBytes) return false;
    }
    return false;
}

// Text content of the current element up to its end.
bool ReadElementText(XmlReader& xml, std::string_view element, std::string& out) {
    out.clear();
    if (xml.IsEmpty()) return true;
    while (xml.Next()) {
        if (xml.IsEnd(element)) return true;
        if (xml.IsText()) out += xml.Value();
        if (out.size() > workbook_limits::kMaxTextBytes) return false;
    }
    return false;
}

// "AB12" -> column 28, row 12. Letters only ("AB") gives row 0. A row or
// column beyond what any sheet holds reads as the first one past it, however
// many digits or letters it has, so no count can overflow.
bool ParseReference(std::string_view ref, long& row, long& column) {
    constexpr long kPastRows = workbook_limits::kXlsxRows + 1L;
    constexpr long kPastColumns = workbook_limits::kXlsxColumns + 1L;
    size_t i = 0;
    column = 0;
    while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
        column = std::min<long>(column * 26 + ((ref[i] | 0x20) - 'a' + 1), kPastColumns);
        ++i;
    }
    if (i == 0) return false;
    row = 0;
    if (i == ref.size()) return true;
    for (; i < ref.size(); ++i) {
        if (ref[i] < '0' || ref[i] > '9') return false;
        row = std::min<long>(row * 10 + (ref[i] - '0'), kPastRows);
    }
    return row > 0;
}

// A row number attribute; nothing when it is not a whole number. Numbers past
// the grid read as the first row past it.
std::optional<long> RowAttribute(std::string_view text) {
    if (text.empty()) return std::nullopt;
    long row = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        row = std::min<long>(row * 10 + (c - '0'), workbook_limits::kXlsxRows + 1L);
    }
    return row;
}

long WholeAttribute(const std::string& text, long fallback) {
    long value = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    return res.ec == std::errc() && res.ptr == text.data() + text.size() ? value : fallback;
}

// Folder of a part and a target relative to it, as relationships resolve them.
std::string FolderOf(const std::string& part) {
    size_t slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash);
}

std::string ResolveTarget(const std::string& folder, const std::string& target) {
    std::vector<std::string> pieces;
    std::string path = !target.empty() && target[0] == '/' ? target.substr(1) : folder + "/" + target;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string piece = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (piece == "..") {
            if (!pieces.empty()) pieces.pop_back();
        } else if (!piece.empty() && piece != ".") {
            pieces.push_back(piece);
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    std::string out;
    for (const auto& piece : pieces) out += (out.empty() ? "" : "/") + piece;
    return out;
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

// Parts of the package, walked within one budget for the whole workbook: a
// small zip must not inflate to gigabytes, nor one part be read a thousand times.
class Parts {
public:
    explicit Parts(GsfInfile* zip) : zip_(zip) {}
    // The part's reader; no reader (null) when the part is missing.
    std::unique_ptr<XmlReader> Open(const std::string& path) {
        GsfInput* input = OpenContainerMember(zip_, path);
        if (!input) return nullptr;
        return std::make_unique<XmlReader>(input, budget_);
    }
    bool Exhausted() const { return budget_.exhausted; }

private:
    GsfInfile* zip_;
    XmlBudget budget_;
};

struct Relationship {
    std::string type;
    std::string target;
};

// False when the relationships do not fit in the workbook's budget.
bool ReadRelationships(Parts& parts, WorkbookReader& budget, const std::string& part,
                       std::map<std::string, Relationship>& out) {
    out.clear();
    std::string folder = FolderOf(part);
    std::string name = folder.empty() ? part : part.substr(folder.size() + 1);
    auto xml = parts.Open((folder.empty() ? "" : folder + "/") + "_rels/" + name + ".rels");
    if (!xml || !xml->reader) return true;
    while (xml->Next()) {
        if (!xml->IsStart("Relationship")) continue;
        if (xml->Attribute("TargetMode") == "External") continue;
        std::string id = xml->Attribute("Id");
        Relationship rel{xml->Attribute("Type"), ResolveTarget(folder, xml->Attribute("Target"))};
        if (!budget.ChargeEntry(id.size() + rel.type.size() + rel.target.size())) return false;
        out[std::move(id)] = std::move(rel);
    }
    return !parts.Exhausted();
}

class XlsxReader : ReadFailure {
public:
    XlsxReader(GsfInfile* zip, WorkbookReader& out) : parts_(zip), out_(out) {}

    bool Read(FileResult* problem) {
        if (!ReadBook()) return Fail(problem);
        if (!ReadSharedStrings()) return Fail(problem);
        for (const auto& [name, part] : sheets_) {
            auto sheet = out_.AddSheet(name);
            if (!sheet) {
                TooLarge();
                return Fail(problem);
            }
            if (!ReadSheet(part, *sheet)) return Fail(problem);
        }
        return true;
    }

private:
    // A package that ran out of its budget of parts is too large, whatever else went wrong.
    bool Fail(FileResult* problem) {
        if (parts_.Exhausted()) TooLarge();
        return Report(problem);
    }

    // The workbook part named by the package relationships, then its sheets
    // in tab order, with the parts their relationships point at.
    bool ReadBook() {
        bookPart_ = "xl/workbook.xml";
        std::map<std::string, Relationship> packageRels;
        if (!ReadRelationships(parts_, out_, "", packageRels)) return TooLarge();
        for (const auto& [id, rel] : packageRels) {
            if (EndsWith(rel.type, "/officeDocument")) bookPart_ = rel.target;
        }
        auto book = parts_.Open(bookPart_);
        if (!book) return Damaged(BookFault::NotExcel);
        if (!ReadRelationships(parts_, out_, bookPart_, bookRels_)) return TooLarge();
        XmlReader& xml = *book;
        if (!xml.reader) return Damaged(BookFault::PartDamaged, "workbook.xml");
        int index = 0;
        while (xml.Next()) {
            if (!xml.IsStart("sheet")) continue;
            ++index;
            std::string name = xml.Attribute("name");
            auto rel = bookRels_.find(xml.RelationshipId());
            if (rel != bookRels_.end()) {
                if (!EndsWith(rel->second.type, "/worksheet")) continue;  // chart and dialog sheets
                sheets_.emplace_back(name, rel->second.target);
            } else {
                sheets_.emplace_back(name, FolderOf(bookPart_) + "/worksheets/sheet" + std::to_string(index) + ".xml");
            }
            if (sheets_.size() > static_cast<size_t>(workbook_limits::kMaxSheets)) return TooLarge();
        }
        return !xml.failed || Damaged(BookFault::PartDamaged, "workbook.xml");
    }

    bool ReadSharedStrings() {
        std::string part = FolderOf(bookPart_) + "/sharedStrings.xml";
        for (const auto& [id, rel] : bookRels_)
            if (EndsWith(rel.type, "/sharedStrings")) part = rel.target;
        auto strings = parts_.Open(part);
        if (!strings) return true;  // a workbook without strings has no such part
        XmlReader& xml = *strings;
        if (!xml.reader) return Damaged(BookFault::PartDamaged, "sharedStrings.xml");
        while (xml.Next()) {
            if (!xml.IsStart("si")) continue;
            std::string text;
            if (!ReadStringItem(xml, "si", text)) {
                if (xml.failed) return Damaged(BookFault::PartDamaged, "sharedStrings.xml");
                return TooLarge();
            }
            // An empty entry costs as much as any other: millions of them are no smaller.
            if (!out_.ChargeEntry(text.size())) return TooLarge();
            strings_.push_back(std::move(text));
        }
        return !xml.failed || Damaged(BookFault::PartDamaged, "sharedStrings.xml");
    }

    struct CellData {
        long row = 0;
        long column = 0;
        std::string type;
        std::string value;
        std::string inlineText;
        bool hasValue = false;
        bool outsideGrid = false;
    };

    bool ReadSheet(const std::string& part, int sheet) {
        auto opened = parts_.Open(part);
        if (!opened) return Damaged(BookFault::PartMissing, part);
        XmlReader& xml = *opened;
        if (!xml.reader) return Damaged(BookFault::PartDamaged, part);
        long row = 0, column = 0;
        while (xml.Next()) {
            if (xml.IsStart("row")) {
                std::string number = xml.Attribute("r");
                auto given = RowAttribute(number);
                if (!number.empty() && !given) return Damaged(BookFault::PartDamaged, part);
                row = given ? *given : row + 1;
                column = 0;
                if (!out_.InGrid(row, 1)) return OutsideGrid();
            } else if (xml.IsStart("c")) {
                CellData cell;
                if (!ReadCell(xml, row, column, cell))
                    return cell.outsideGrid ? OutsideGrid() : Damaged(BookFault::PartDamaged, part);
                row = cell.row;
                column = cell.column;
                if (cell.hasValue && !StoreCell(sheet, cell)) return false;
            }
        }
        return !xml.failed || Damaged(BookFault::PartDamaged, part);
    }

    bool ReadCell(XmlReader& xml, long row, long column, CellData& cell) {
        cell.row = row;
        cell.column = column + 1;
        std::string ref = xml.Attribute("r");
        if (!ref.empty()) {
            long refRow = 0;
            if (!ParseReference(ref, refRow, cell.column)) return false;
            if (refRow > 0) cell.row = refRow;
        }
        if (cell.row < 1) cell.row = 1;
        if (!out_.InGrid(cell.row, cell.column)) {
            cell.outsideGrid = true;
            return false;
        }
        cell.type = xml.Attribute("t");
        if (xml.IsEmpty()) return true;
        while (xml.Next()) {
            if (xml.IsEnd("c")) return true;
            if (xml.IsStart("v")) {
                if (!ReadElementText(xml, "v", cell.value)) return false;
                cell.hasValue = true;
            } else if (xml.IsStart("is")) {
                if (!ReadStringItem(xml, "is", cell.inlineText)) return false;
                cell.hasValue = true;
            }
        }
        return false;
    }

    bool StoreCell(int sheet, const CellData& cell) {
        bool kept = true;
        if (cell.type == "s") {
            long index = WholeAttribute(cell.value, -1);
            if (index < 0 || static_cast<size_t>(index) >= strings_.size())
                return Damaged(BookFault::SharedStringOutOfRange);
            kept = out_.AddText(sheet, cell.row, cell.column, strings_[static_cast<size_t>(index)]);
        } else if (cell.type == "inlineStr") {
            kept = out_.AddText(sheet, cell.row, cell.column, cell.inlineText);
        } else if (cell.type == "str" || cell.type == "d") {
            kept = out_.AddText(sheet, cell.row, cell.column, UnescapeOoxml(cell.value));
        } else if (cell.type == "b") {
            kept = out_.AddBoolean(sheet, cell.row, cell.column, cell.value == "1" || cell.value == "true");
        } else if (cell.type == "e") {
            kept = out_.AddError(sheet, cell.row, cell.column, cell.value);
        } else {
            double value = 0;
            const char* begin = cell.value.data();
            const char* end = begin + cell.value.size();
            while (begin < end && *begin == ' ') ++begin;
            bool negative = begin < end && *begin == '-';
            if (negative || (begin < end && *begin == '+')) ++begin;
            auto res = std::from_chars(begin, end, value);
            if (cell.value.empty()) return true;
            if (res.ec == std::errc() && res.ptr == end)
                kept = out_.AddNumber(sheet, cell.row, cell.column, negative ? -value : value);
            else
                kept = out_.AddText(sheet, cell.row, cell.column, cell.value);
        }
        return kept || TooLarge();
    }

    Parts parts_;
    WorkbookReader& out_;
    std::string bookPart_;
    std::map<std::string, Relationship> bookRels_;
    std::vector<std::pair<std::string, std::string>> sheets_;
    std::vector<std::string> strings_;
};

}  // namespace

bool ReadXlsxPackage(GsfInfile* zip, WorkbookReader& out, FileResult* problem) {
    return XlsxReader(zip, out).Read(problem);
}

}  // namespace ziv
