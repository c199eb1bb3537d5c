// libFuzzer target: any bytes as a text file of the system. Decoding must give
// valid UTF-8, lines must hold no line end and together give back the text,
// reading the file must match reading the bytes, and whatever decodes
// cleanly must write and read back unchanged.
#include <string>
#include <vector>

#include "common/text_file.h"
#include "fuzz_support.h"

namespace ziv::fuzz::text {

bool IsValidUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
        if (extra > 3 || s.size() - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += extra + 1;
    }
    return true;
}

// CR LF and a lone CR both become LF.
std::string WithLfEnds(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r') {
            out += '\n';
            if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

void CheckLines(const std::string& utf8, const std::vector<std::string>& lines) {
    std::string joined;
    for (size_t n = 0; n < lines.size(); ++n) {
        ZIV_FUZZ_CHECK(lines[n].find_first_of("\r\n") == std::string::npos);
        joined += lines[n];
        if (n + 1 < lines.size()) joined += '\n';
    }
    std::string expected = WithLfEnds(utf8);
    if (!expected.empty() && expected.back() == '\n') joined += '\n';
    ZIV_FUZZ_CHECK(joined == expected);
}

int OneInput(const uint8_t* data, size_t size) {
    std::string_view bytes = Bytes(data, size);
    std::string utf8 = FromCp932(bytes);
    ZIV_FUZZ_CHECK(IsValidUtf8(utf8));
    std::vector<std::string> lines = SplitLines(utf8);
    CheckLines(utf8, lines);

    const std::string path = ScratchPath("text.dat");
    PutFile(path, bytes);
    auto read = ReadTextLines(path);
    ZIV_FUZZ_CHECK(read && *read == lines);

    bool replaced = utf8.find("\xEF\xBF\xBD") != std::string::npos;
    auto encoded = ToCp932(utf8);
    ZIV_FUZZ_CHECK(encoded.has_value() == !replaced);
    if (!encoded) {
        ZIV_FUZZ_CHECK(!WriteTextFile(path, utf8));
        return 0;
    }
    ZIV_FUZZ_CHECK(FromCp932(*encoded) == utf8);
    ZIV_FUZZ_CHECK(WriteTextFile(path, utf8));
    read = ReadTextLines(path);
    ZIV_FUZZ_CHECK(read && *read == lines);
    return 0;
}

}  // namespace ziv::fuzz::text

ZIV_FUZZ_ENTRY_POINT(text)
