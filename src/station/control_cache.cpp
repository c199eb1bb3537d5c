#include "station/control_cache.h"

#include <charconv>
#include <vector>

#include "common/tab_fields.h"
#include "common/text_file.h"
#include "platform/paths.h"

namespace ziv {

namespace {

constexpr std::string_view kHeader = "ZIV-ControlWatch\t1";

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
    out += Line({"folder", EscapedField(folder)});
    for (const auto& [product, machine] : r.Watched) out += Line({"watch", EscapedField(product), Text(machine)});
    for (const auto& [name, m] : r.Marks)
        out += Line({"journal", EscapedField(name), Text(m.Device), Text(m.Inode), Text(m.Size), Text(m.ModifiedNs),
                     Text(m.Taken), Hex(m.Tail)});
    for (const auto& [product, recent] : r.Recent)
        for (const RecentCell& c : recent.Cells())
            out += Line({"cell", EscapedField(product), Text(c.Machine), Text(c.Point), Text(c.Days), EscapedField(c.Operator),
                         Text(c.TakenMs), c.Value ? Text(*c.Value) : std::string()});
}

bool TakeJournal(const std::vector<std::string>& f, FolderReading& r) {
    JournalMark m;
    const std::string& name = f[1];
    auto tail = FromHex(f[7]);
    if (!tail || !Take(f[2], m.Device) || !Take(f[3], m.Inode) || !Take(f[4], m.Size) ||
        !Take(f[5], m.ModifiedNs) || !Take(f[6], m.Taken))
        return false;
    m.Tail = *tail;
    r.Marks[name] = m;
    return true;
}

bool TakeCell(const std::vector<std::string>& f, FolderReading& r) {
    RecentCell c;
    if (!Take(f[2], c.Machine) || !Take(f[3], c.Point) || !Take(f[4], c.Days) ||
        !Take(f[6], c.TakenMs))
        return false;
    if (!f[7].empty() && !Take(f[7], c.Value.emplace())) return false;
    c.Operator = f[5];
    r.Recent[f[1]].Add(c);
    return true;
}

// One line into the folder it belongs to; false when it does not read.
bool TakeLine(std::string_view line, ControlCache& cache, FolderReading*& current) {
    const std::optional<std::vector<std::string>> fields = FieldsOf(line);
    if (!fields) return false;
    const std::vector<std::string>& f = *fields;
    if (f[0] == "folder" && f.size() == 2) return (current = &cache[f[1]]);
    if (!current) return false;
    if (f[0] == "watch" && f.size() == 3) {
        int machine = 0;
        return Take(f[2], machine) && current->Watched.emplace(f[1], machine).second;
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
