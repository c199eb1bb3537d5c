#include "common/tab_fields.h"

namespace ziv {

namespace {

const char* const kHex = "0123456789ABCDEF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Nothing when the field holds a raw control character or an escape the
// writer never makes.
std::optional<std::string> Unescaped(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(field[i]);
        if (c < 0x20 || c == 0x7F) return std::nullopt;
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (++i >= field.size()) return std::nullopt;
        char e = field[i];
        if (e == '\\') out += '\\';
        else if (e == 't') out += '\t';
        else if (e == 'n') out += '\n';
        else if (e == 'r') out += '\r';
        else if (e == 'x' && i + 2 < field.size() && HexDigit(field[i + 1]) >= 0 && HexDigit(field[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(field[i + 1]) * 16 + HexDigit(field[i + 2]));
            i += 2;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace

std::string EscapedField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c < 0x20 || c == 0x7F) out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
        else out += static_cast<char>(c);
    }
    return out;
}

std::vector<std::string_view> SplitAt(std::string_view text, char at) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(at, start)) != std::string_view::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::optional<std::vector<std::string>> FieldsOf(std::string_view line) {
    std::vector<std::string> fields;
    for (std::string_view f : SplitAt(line, '\t')) {
        auto text = Unescaped(f);
        if (!text) return std::nullopt;
        fields.push_back(std::move(*text));
    }
    return fields;
}

}  // namespace ziv
