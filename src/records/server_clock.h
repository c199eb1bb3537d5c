#pragma once
// The file server's clock as this station last measured it: entries carry
// their measurement time on it, so that of two stations' values for one cell
// the newer measurement wins whatever their own clocks say. The last reading
// is carried forward on this computer's monotonic clock, never on its wall
// clock: a wall clock stepped back or forward (by hand, by a time service)
// moves no entry's time. While the share is away the last reading stays in use.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "common/disk.h"

namespace ziv {

class ServerClock {
public:
    ServerClock();
    // ns since the epoch on the server's clock, as last measured. Each time
    // it gives is at least a millisecond after the one before (the journal
    // keeps milliseconds): a station's own entries keep the order they were
    // made in, even when a new reading puts the server's clock back.
    std::int64_t NowNs() const;
    // The server's time, read off a file just made on the share, at a moment
    // of this computer's monotonic clock (SteadyClockNs).
    void Measured(std::int64_t serverNs, std::int64_t steadyNs);
    // Server's time minus this computer's wall clock, now.
    std::int64_t OffsetNs() const;

    // The last reading: server's time and monotonic time at one moment.
    struct Reading {
        std::int64_t serverNs = 0;
        std::int64_t steadyNs = 0;
    };
    Reading Last() const;

private:
    mutable std::mutex mutex_;
    Reading anchor_;
    mutable std::int64_t lastGiven_ = 0;
};

// This computer's wall clock now, ns since the epoch.
std::int64_t OwnClockNs();
// This computer's monotonic clock, ns since some moment of this boot.
std::int64_t SteadyClockNs();

// <root>/Config/ServerClock.dat: the last reading, for a start while the share
// is away. UTF-8, LF line ends:
//
//   ZIV server clock 2
//   <server ns><TAB><monotonic ns><TAB><boot id><TAB><server minus wall clock, ns>
//
// Within the same boot the monotonic time carries the reading forward
// exactly; after a restart of the computer the offset to its wall clock is
// the best there is, but never puts the time before the reading itself. A
// file of another form (an earlier version's bare offset, a damaged one) is
// not trusted: the station's own clock stands until the share answers.
std::string KeptServerClockPath(const std::string& savePath);
// Takes the kept reading into clock; false when there is none that fits.
bool TakeKeptServerClock(const std::string& path, ServerClock& clock, Disk& disk);
// Keeps clock's last reading; false when it could not be written.
bool KeepServerClock(const std::string& path, const ServerClock& clock, Disk& disk);

// The one the station's entries and its writer share.
ServerClock& StationServerClock();

}  // namespace ziv
