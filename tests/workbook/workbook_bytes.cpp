#include "workbook_bytes.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <numeric>

namespace wbtest {

std::string BiffStream(const std::vector<SheetRecords>& sheets, const std::string& globalsExtra, unsigned version,
                       const std::vector<size_t>& streamOrder, unsigned codepage) {
    bool biff8 = version == 0x0600;
    if (codepage == 0) codepage = biff8 ? 1200 : 1252;
    std::string globals = Bof(version, 0x0005) + Record(0x0042, U16(codepage)) + globalsExtra;
    std::vector<size_t> offsetAt;
    for (const auto& sheet : sheets) {
        std::string body = U32(0) + U8(0) + U8(sheet.kind) + U8(static_cast<unsigned>(sheet.name.size()));
        if (biff8) body += U8(0);
        body += sheet.name;
        offsetAt.push_back(globals.size() + 4);
        globals += Record(0x0085, body);
    }
    globals += Eof();
    std::vector<size_t> order = streamOrder;
    if (order.empty()) {
        order.resize(sheets.size());
        std::iota(order.begin(), order.end(), 0);
    }
    std::string stream = globals;
    for (size_t index : order) {
        uint32_t at = static_cast<uint32_t>(stream.size());
        stream.replace(offsetAt[index], 4, U32(at));
        stream += Bof(version, sheets[index].kind == 2 ? 0x0020 : 0x0010) + sheets[index].records + Eof();
    }
    return stream;
}

std::string WrapOle(const std::string& stream, const char* name) {
    gsf_init();
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* ole = gsf_outfile_msole_new(memory);
    GsfOutput* child = gsf_outfile_new_child(ole, name, FALSE);
    gsf_output_write(child, stream.size(), reinterpret_cast<const guint8*>(stream.data()));
    gsf_output_close(child);
    gsf_output_close(GSF_OUTPUT(ole));
    std::string bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
                      static_cast<size_t>(gsf_output_size(memory)));
    g_object_unref(child);
    g_object_unref(ole);
    g_object_unref(memory);
    return bytes;
}

std::string WrapZip(const std::vector<std::pair<std::string, std::string>>& parts) { return WrapZip(parts, {}); }

std::string WrapZip(const std::vector<std::pair<std::string, std::string>>& fixedParts, const RepeatedPart& big) {
    gsf_init();
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* zip = gsf_outfile_zip_new(memory, nullptr);
    auto parts = fixedParts;
    if (!big.path.empty()) parts.emplace_back(big.path, std::string());
    for (const auto& [path, content] : parts) {
        // Nested folders are children of children in libgsf's zip writer.
        GsfOutfile* folder = zip;
        std::vector<GsfOutput*> opened;
        size_t start = 0;
        for (size_t slash; (slash = path.find('/', start)) != std::string::npos; start = slash + 1) {
            GsfOutput* sub = gsf_outfile_new_child(folder, path.substr(start, slash - start).c_str(), TRUE);
            opened.push_back(sub);
            folder = GSF_OUTFILE(sub);
        }
        GsfOutput* file = gsf_outfile_new_child(folder, path.substr(start).c_str(), FALSE);
        auto write = [file](const std::string& bytes) {
            gsf_output_write(file, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
        };
        write(content);
        if (path == big.path) {
            write(big.head);
            // Many pieces to a write, so that the zip writer is not called millions of times.
            std::string block;
            size_t perBlock = std::max<size_t>(1, (1u << 20) / std::max<size_t>(1, big.piece.size()));
            for (size_t i = 0; i < perBlock; ++i) block += big.piece;
            size_t left = big.count;
            for (; left >= perBlock; left -= perBlock) write(block);
            write(block.substr(0, left * big.piece.size()));
            write(big.tail);
        }
        gsf_output_close(file);
        g_object_unref(file);
        for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
            gsf_output_close(*it);
            g_object_unref(*it);
        }
    }
    gsf_output_close(GSF_OUTPUT(zip));
    std::string bytes(reinterpret_cast<const char*>(gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory))),
                      static_cast<size_t>(gsf_output_size(memory)));
    g_object_unref(zip);
    g_object_unref(memory);
    return bytes;
}

std::string OleStream(const std::string& file, const char* name) {
    gsf_init();
    GsfInput* input = gsf_input_memory_new(reinterpret_cast<const guint8*>(file.data()),
                                           static_cast<gsf_off_t>(file.size()), FALSE);
    GsfInfile* ole = gsf_infile_msole_new(input, nullptr);
    std::string out;
    if (ole) {
        GsfInput* child = gsf_infile_child_by_name(ole, name);
        if (child) {
            out.resize(static_cast<size_t>(gsf_input_size(child)));
            if (!out.empty()) gsf_input_read(child, out.size(), reinterpret_cast<guint8*>(out.data()));
            g_object_unref(child);
        }
        g_object_unref(ole);
    }
    g_object_unref(input);
    return out;
}

std::vector<Rec> Records(const std::string& stream, size_t from) {
    std::vector<Rec> out;
    size_t pos = from;
    while (pos + 4 <= stream.size()) {
        unsigned type = Get16(stream, pos);
        size_t length = Get16(stream, pos + 2);
        if ((type == 0 && length == 0) || pos + 4 + length > stream.size()) break;  // padding or the end
        out.push_back({type, pos, stream.substr(pos + 4, length)});
        pos += 4 + length;
    }
    return out;
}

int Run(const std::string& command, std::string* out) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ziv::Workbook DayWorkbook() {
    ziv::Workbook book = ziv::Workbook::New();
    for (int r = 1; r <= 100; ++r) {
        std::string n = std::to_string(r);
        book.SetCell(1, r, 1, r % 10 == 7 ? "" : std::to_string(10 + r) + "." + std::to_string(r % 8) + "5");
        book.SetCell(1, r, 2, "0.0" + std::to_string(r % 5 + 1));
        book.SetCell(1, r, 3, "-0.01");
        book.SetCell(1, r, 4, r % 3 ? "マイクロメータ" + n : "");
        book.SetCell(1, r, 5, r % 4 == 0 ? "OK" : r % 4 == 1 ? "NG" : n + ".012");
        book.SetCell(1, r, 6, r % 2 ? "合" : "不");
        book.SetCell(2, r, 1, n + ".0125");
        book.SetCell(2, r, 2, r % 6 ? "-0.005" : "0");
    }
    return book;
}

std::string SharedTestdata(const std::string& folder) {
    std::string path = std::string(ZIV_SHARED_TESTDATA) + "/" + folder;
    return std::filesystem::is_directory(path) ? path + "/" : std::string();
}

std::string PeerScript() { return std::string(ZIV_SOURCE_DIR) + "/tests/workbook/xl_peer.py"; }
std::string Python() { return "/usr/bin/python3"; }

}  // namespace wbtest
