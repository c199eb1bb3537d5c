#include "records/server_clock.h"

#include <chrono>

#include "platform/paths.h"

namespace ziv {

std::int64_t OwnClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t ServerClock::NowNs() const { return OwnClockNs() + OffsetNs(); }

std::string KeptServerClockPath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "ServerClock.dat");
}

ServerClock& StationServerClock() {
    static ServerClock clock;
    return clock;
}

}  // namespace ziv
