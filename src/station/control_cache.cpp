#include "station/control_cache.h"

#include <charconv>
#include <vector>

#include "common/text_file.h"
#include "platform/paths.h"

namespace ziv {

namespace {

constexpr std::string_view kHeader = "ZIV-ControlWatch\t1";

std::string Escaped(std::string_view field) {
    std::string out;
    for (char c : field) {
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

std::optional<std::string> Unescaped(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size()) return std::nullopt;
        if (field[i] == 't') out += '\t';
        else if (field[i] == 'n') out += '\n';
        else if (field[i] == '\\') out += '\\';
        else return std::nullopt;
    }
    return out;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
    }
    return out;
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2) return std::nullopt;
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned byte = 0;
        auto [end, ec] = std::from_chars(hex.data() + i, hex.data() + i + 2, byte, 16);
        if (ec != std::errc() || end != hex.data() + i + 2) return std::nullopt;
        out += static_cast<char>(byte);
    }
    return out;
}

template <typename Number>
std::string Text(Number n) {
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, n).ptr);
}

template <typename Number>
bool Take(std::string_view text, Number& n) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string Line(std::initializer_list<std::string> fields) {
    std::string line;
    for (const std::string& f : fields) line += (line.empty() ? "" : "\t") + f;
    return line + "\n";
}

void WriteFolder(std::string& out, const std::string& folder, const FolderReading& r) {
    out += Line({"folder", Escaped(folder)});
    for (const auto& [product, machine] : r.Watched) out += Line({"watch", Escaped(product), Text(machine)});
    for (const auto& [name, m] : r.Marks)
        out += Line({"journal", Escaped(name), Text(m.Device), Text(m.Inode), Text(m.Size), Text(m.ModifiedNs),
                     Text(m.Taken), Hex(m.Tail)});
    for (const auto& [product, recent] : r.Recent)
        for (const RecentCell& c : recent.Cells())
            out += Line({"cell", Escaped(product), Text(c.Machine), Text(c.Point), Text(c.Days), Escaped(c.Operator),
                         Text(c.TakenMs), c.Value ? Text(*c.Value) : std::string()});
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (size_t tab; (tab = line.find('\t')) != std::string_view::npos; line.remove_prefix(tab + 1))
        fields.push_back(line.substr(0, tab));
    fields.push_back(line);
    return fields;
}

bool TakeJournal(const std::vector<std::string_view>& f, FolderReading& r) {
    JournalMark m;
    auto name = Unescaped(f[1]);
    auto tail = FromHex(f[7]);
    if (!name || !tail || !Take(f[2], m.Device) || !Take(f[3], m.Inode) || !Take(f[4], m.Size) ||
        !Take(f[5], m.ModifiedNs) || !Take(f[6], m.Taken))
        return false;
    m.Tail = *tail;
    r.Marks[*name] = m;
    return true;
}

bool TakeCell(const std::vector<std::string_view>& f, FolderReading& r) {
    RecentCell c;
    auto product = Unescaped(f[1]);
    auto op = Unescaped(f[5]);
    if (!product || !op || !Take(f[2], c.Machine) || !Take(f[3], c.Point) || !Take(f[4], c.Days) ||
        !Take(f[6], c.TakenMs))
        return false;
    if (!f[7].empty() && !Take(f[7], c.Value.emplace())) return false;
    c.Operator = *op;
    r.Recent[*product].Add(c);
    return true;
}

// One line into the folder it belongs to; false when it does not read.
bool TakeLine(std::string_view line, ControlCache& cache, FolderReading*& current) {
    const std::vector<std::string_view> f = Fields(line);
    if (f[0] == "folder" && f.size() == 2) {
        auto folder = Unescaped(f[1]);
        return folder && (current = &cache[*folder]);
    }
    if (!current) return false;
    if (f[0] == "watch" && f.size() == 3) {
        auto product = Unescaped(f[1]);
        int machine = 0;
        return product && Take(f[2], machine) && current->Watched.emplace(*product, machine).second;
    }
    if (f[0] == "journal" && f.size() == 8) return TakeJournal(f, *current);
    if (f[0] == "cell" && f.size() == 8) return TakeCell(f, *current);
    return false;
}

}  // namespace

std::string ControlCachePath(const std::string& root) {
    return JoinPath(JoinPath(root, "Config"), "ControlWatch.dat");
}

std::string ControlCacheText(const ControlCache& cache) {
    std::string out = std::string(kHeader) + "\n";
    for (const auto& [folder, reading] : cache) WriteFolder(out, folder, reading);
    return out;
}

std::optional<ControlCache> ParseControlCache(std::string_view text) {
    if (!text.starts_with(std::string(kHeader) + "\n")) return std::nullopt;
    text.remove_prefix(kHeader.size() + 1);
    ControlCache cache;
    FolderReading* current = nullptr;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        // A last line without its end was cut off: the whole file is in doubt.
        if (end == std::string_view::npos || !TakeLine(text.substr(0, end), cache, current)) return std::nullopt;
        text.remove_prefix(end + 1);
    }
    return cache;
}

}  // namespace ziv
