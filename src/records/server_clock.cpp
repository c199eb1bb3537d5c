#include "records/server_clock.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <vector>

#include "common/text_file.h"
#include "common/whole_in_range.h"
#include "platform/paths.h"

namespace ziv {

namespace {

constexpr std::int64_t kMs = 1'000'000;
const char* const kKeptFirstLine = "ZIV server clock 2";

// Changes at every boot of this computer: a monotonic time of another boot means nothing here.
std::string BootId() {
    std::optional<std::string> id = ReadWholeFile("/proc/sys/kernel/random/boot_id", RealDisk(), 64);
    if (!id) return {};
    return id->substr(0, id->find('\n'));
}

std::optional<std::int64_t> Whole(std::string_view text) {
    return WholeInRange(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

}  // namespace

std::int64_t OwnClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t SteadyClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Until a reading comes, this computer's own clock as it is at the start.
ServerClock::ServerClock() : anchor_{OwnClockNs(), SteadyClockNs()} {}

std::int64_t ServerClock::NowNs() const {
    std::lock_guard lock(mutex_);
    std::int64_t now = anchor_.serverNs + (SteadyClockNs() - anchor_.steadyNs);
    if (lastGiven_ != 0) now = std::max(now, lastGiven_ + kMs);
    lastGiven_ = now;
    return now;
}

void ServerClock::Measured(std::int64_t serverNs, std::int64_t steadyNs) {
    std::lock_guard lock(mutex_);
    anchor_ = {serverNs, steadyNs};
}

std::int64_t ServerClock::OffsetNs() const {
    std::lock_guard lock(mutex_);
    return anchor_.serverNs + (SteadyClockNs() - anchor_.steadyNs) - OwnClockNs();
}

ServerClock::Reading ServerClock::Last() const {
    std::lock_guard lock(mutex_);
    return anchor_;
}

std::string KeptServerClockPath(const std::string& savePath) {
    return JoinPath(JoinPath(savePath, "Config"), "ServerClock.dat");
}

bool TakeKeptServerClock(const std::string& path, ServerClock& clock, Disk& disk) {
    std::optional<std::string> kept = ReadWholeFile(path, disk, 256);
    if (!kept || !kept->starts_with(std::string(kKeptFirstLine) + "\n")) return false;
    std::string_view line(*kept);
    line.remove_prefix(std::string_view(kKeptFirstLine).size() + 1);
    line = line.substr(0, line.find('\n'));
    std::vector<std::string_view> f;
    for (size_t start = 0;;) {
        size_t tab = line.find('\t', start);
        f.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    if (f.size() != 4) return false;
    auto server = Whole(f[0]), steady = Whole(f[1]), offset = Whole(f[3]);
    if (!server || !steady || !offset || *server <= 0) return false;
    const std::string boot = BootId();
    if (!boot.empty() && f[2] == boot) {
        clock.Measured(*server, *steady);
        return true;
    }
    // Another boot: the wall clock's offset, but never before the reading itself.
    clock.Measured(std::max(OwnClockNs() + *offset, *server), SteadyClockNs());
    return true;
}

bool KeepServerClock(const std::string& path, const ServerClock& clock, Disk& disk) {
    ServerClock::Reading last = clock.Last();
    std::string text = std::string(kKeptFirstLine) + "\n" + std::to_string(last.serverNs) + "\t" +
                       std::to_string(last.steadyNs) + "\t" + BootId() + "\t" + std::to_string(clock.OffsetNs()) + "\n";
    return static_cast<bool>(WriteFileAtomic(path, text, nullptr, {}, disk));
}

ServerClock& StationServerClock() {
    static ServerClock clock;
    return clock;
}

}  // namespace ziv
