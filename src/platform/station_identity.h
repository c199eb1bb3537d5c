#pragma once
// A station is known on the shared folder by an identity of its own, kept in
// Config and bound to the running system that made it. Host names and
// machine ids repeat on PCs cloned from one disk image, and a clone carries
// the installation root (Config/Station.dat with it) along: a system that
// finds only identities made elsewhere makes its own, so that two PCs never
// write one journal or hold locks under one name.
#include <string>
#include <vector>

namespace ziv {

// What tells one running system from another across reboots: what a disk
// image does not carry along. Read once from the running system; a test
// hands in another to play a second PC.
struct SystemFacts {
    std::string host;                   // the host name
    std::string boardId;                // DMI product_uuid; empty where it cannot be read (not root)
    std::vector<std::string> networkIds;  // burnt-in MAC addresses of the physical network cards, sorted
    std::string machineId;              // /etc/machine-id, for a system without either of the above
    bool operator==(const SystemFacts&) const = default;
};
SystemFacts ThisSystem();

// Whether facts read now describe the system that recorded `made`: the same
// host name, and the same board, or (where the board cannot be read on both
// sides) a network card still in place, or (with neither) the same machine id.
// A card added or taken out, a reboot, an update keep the system the same.
bool SameSystem(const SystemFacts& made, const SystemFacts& now);

// <root>/Config/Station.dat
std::string StationIdentityPath(const std::string& root);

// The root's identity for this running system (32 hex digits), made and kept
// on first use. When it cannot be kept, a new one serves this run only: two
// stations must never share one.
std::string StationIdentity(const std::string& root);
std::string StationIdentity(const std::string& root, const SystemFacts& here);

// The identities a root keeps, each with the system it is bound to; replaced
// is the identity the root held before this one was made on another system
// (a cloned disk, a copied root), empty when none.
struct StationRecord {
    std::string identity;
    SystemFacts system;
    std::string replaced;
};
std::vector<StationRecord> ReadStationRecords(const std::string& root);

}  // namespace ziv
