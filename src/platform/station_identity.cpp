#include "platform/station_identity.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>

#include "common/text_file.h"
#include "platform/paths.h"

namespace ziv {

namespace {

// Station.dat: the first line is the identity the root last served (as the
// file always held; what reads one line reads on), then one line per system
// that has used the root, tab-separated: its identity, then host=, board=,
// net= (comma-separated), machine= and replaced=. A root shared by two PCs
// (a home folder on a server) so keeps one identity per PC, instead of
// making a new one at each change of PC.
constexpr size_t kMostSystems = 32;

bool IsIdentity(const std::string& text) {
    return text.size() == 32 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string NewIdentity() {
    std::random_device random;
    std::string id;
    for (int k = 0; k < 4; ++k) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        id += part;
    }
    return id;
}

std::string FirstWord(const std::string& path) {
    std::string word;
    std::ifstream(path) >> word;
    return word;
}

// The burnt-in addresses of the cards on a bus: a virtual interface (a
// bridge, a VPN, a container's veth) has no device, and an address made at
// random (Wi-Fi privacy) or set by hand changes without the card changing.
std::vector<std::string> PhysicalNetworkIds() {
    std::vector<std::string> ids;
    std::error_code ec;
    for (const auto& net : std::filesystem::directory_iterator("/sys/class/net", ec)) {
        if (!std::filesystem::exists(net.path() / "device", ec)) continue;
        if (FirstWord(net.path() / "addr_assign_type") != "0") continue;
        std::string mac = FirstWord(net.path() / "address");
        if (!mac.empty() && mac != "00:00:00:00:00:00") ids.push_back(mac);
    }
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

std::string Field(const std::vector<std::string>& fields, const std::string& key) {
    for (const std::string& f : fields)
        if (f.starts_with(key + "=")) return f.substr(key.size() + 1);
    return {};
}

std::vector<std::string> Split(const std::string& text, char by) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(by, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::string Joined(const std::vector<std::string>& parts, char by) {
    std::string text;
    for (const std::string& p : parts) text += (text.empty() ? "" : std::string(1, by)) + p;
    return text;
}

std::optional<StationRecord> ParseRecord(const std::string& line) {
    auto fields = Split(line, '\t');
    if (fields.size() < 2 || !IsIdentity(fields[0])) return std::nullopt;
    StationRecord record;
    record.identity = fields[0];
    record.system.host = Field(fields, "host");
    record.system.boardId = Field(fields, "board");
    if (std::string net = Field(fields, "net"); !net.empty()) record.system.networkIds = Split(net, ',');
    record.system.machineId = Field(fields, "machine");
    record.replaced = Field(fields, "replaced");
    return record;
}

std::string RecordLine(const StationRecord& r) {
    return r.identity + "\thost=" + r.system.host + "\tboard=" + r.system.boardId +
           "\tnet=" + Joined(r.system.networkIds, ',') + "\tmachine=" + r.system.machineId +
           "\treplaced=" + r.replaced;
}

bool Printable(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

void Keep(const std::string& root, const std::string& identity, const std::vector<StationRecord>& records) {
    std::string text = identity + "\r\n";
    for (const StationRecord& r : records) text += RecordLine(r) + "\r\n";
    if (MakeFolders(JoinPath(root, "Config"))) static_cast<void>(WriteTextFile(StationIdentityPath(root), text));
}

}  // namespace

SystemFacts ThisSystem() {
    static const SystemFacts facts = [] {
        SystemFacts f;
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        f.host = host;
        f.boardId = FirstWord("/sys/class/dmi/id/product_uuid");
        f.networkIds = PhysicalNetworkIds();
        f.machineId = FirstWord("/etc/machine-id");
        // Whatever would break the file's lines is no fact worth keeping.
        for (std::string* s : {&f.host, &f.boardId, &f.machineId})
            if (!Printable(*s)) s->clear();
        return f;
    }();
    return facts;
}

// Why these facts: a clone shares the host name and the machine id (both
// live on the disk), but never the board's UUID or the cards' burnt-in
// addresses, which a reboot, an update or a new disk image keep. The host
// name stands beside them because the hardware may not be visible at all
// (a container, a VM without DMI), and because two "computers" on one board
// (namespaces, containers) differ in nothing else. The boot id, which tells
// running systems apart for locks, would change the identity at each reboot.
bool SameSystem(const SystemFacts& made, const SystemFacts& now) {
    if (made.host != now.host) return false;
    if (!made.boardId.empty() && !now.boardId.empty()) return made.boardId == now.boardId;
    if (!made.networkIds.empty() && !now.networkIds.empty())
        return std::any_of(now.networkIds.begin(), now.networkIds.end(), [&](const std::string& id) {
            return std::find(made.networkIds.begin(), made.networkIds.end(), id) != made.networkIds.end();
        });
    // Neither shows its hardware, or only one side (root then, a user now):
    // the machine id is all both can tell.
    return made.machineId == now.machineId;
}

std::string StationIdentityPath(const std::string& root) {
    return JoinPath(JoinPath(root, "Config"), "Station.dat");
}

std::vector<StationRecord> ReadStationRecords(const std::string& root) {
    std::vector<StationRecord> records;
    auto lines = ReadTextLines(StationIdentityPath(root));
    if (!lines) return records;
    for (size_t i = 1; i < lines->size(); ++i)
        if (auto r = ParseRecord((*lines)[i])) records.push_back(std::move(*r));
    return records;
}

std::string StationIdentity(const std::string& root) { return StationIdentity(root, ThisSystem()); }

std::string StationIdentity(const std::string& root, const SystemFacts& here) {
    auto lines = ReadTextLines(StationIdentityPath(root));
    std::string last = lines && !lines->empty() && IsIdentity(lines->front()) ? lines->front() : std::string();
    std::vector<StationRecord> records = ReadStationRecords(root);
    for (const StationRecord& r : records)
        if (SameSystem(r.system, here)) {
            if (last != r.identity) Keep(root, r.identity, records);
            return r.identity;
        }
    StationRecord mine{NewIdentity(), here, last};
    // A file of one line was written before identities were bound: it was
    // made on this system as far as anyone can tell, and stays.
    if (!last.empty() && records.empty() && lines->size() == 1) mine = {last, here, {}};
    records.push_back(mine);
    if (records.size() > kMostSystems) records.erase(records.begin());
    Keep(root, mine.identity, records);
    return mine.identity;
}

}  // namespace ziv
