#pragma once
// The file server's clock as this station last measured it: entries carry
// their measurement time on it, so that of two stations' values for one cell
// the newer measurement wins whatever their own clocks say. While the share
// is away the last offset measured stays in use.
#include <atomic>
#include <cstdint>
#include <string>

namespace ziv {

class ServerClock {
public:
    // ns since the epoch, on the server's clock as last measured.
    std::int64_t NowNs() const;
    // The server's time, read off a file just made on the share, against this computer's clock.
    void Measured(std::int64_t serverNs, std::int64_t ownNs) { offsetNs_.store(serverNs - ownNs); }
    std::int64_t OffsetNs() const { return offsetNs_.load(); }

private:
    std::atomic<std::int64_t> offsetNs_{0};
};

// This computer's clock now, ns since the epoch.
std::int64_t OwnClockNs();

// <root>/Config/ServerClock.dat: the last offset measured, in ns, one line,
// for a start while the share is away.
std::string KeptServerClockPath(const std::string& savePath);

// The one the station's entries and its writer share.
ServerClock& StationServerClock();

}  // namespace ziv
