#pragma once
// Delivers what the station's log holds to the file server
// (station_log/delivery.h), on a thread of its own, so that the operator
// never waits for the server. While the share is away it tries again, less
// and less often (up to kLongestPauseMs between tries); a new entry or a
// drain wakes it. Everything it uses it
// holds itself: a writer stuck in a hung share outlives its window safely.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/file_lock.h"
#include "drawing/point_table.h"
#include "records/day_book.h"
#include "records/product_registry.h"

namespace ziv {

class StationLog;
class ServerClock;

class EntryWriter {
public:
    static constexpr int kFirstPauseMs = 250;
    static constexpr int kLongestPauseMs = 8000;
    // A read of the server's clock that took longer is not taken.
    static constexpr int kLongestClockReadMs = 2000;
    static constexpr std::int64_t kClockKeptWithinNs = 5'000'000;
    // While the share answers, the server's clock is read again at most this often.
    static constexpr std::int64_t kClockEveryNs = 60'000'000'000;

    // What became of the deliveries since the window last asked.
    struct Progress {
        // Day workbooks as written: every measured row, for the window to show
        // what other stations measured meanwhile.
        std::vector<std::pair<std::string, std::map<int, MeasuredRow>>> written;
        // Directory.dat and Data.dat files as written: for the window to take
        // over what other stations registered or designated meanwhile.
        std::vector<std::pair<std::string, ProductPathList>> directories;
        std::vector<std::pair<std::string, PointTable>> pointFiles;
        // Why entries still wait after the last try; none once all went in.
        std::optional<FileResult> problem;
    };

    // `clockBeside`: a folder on the share whose server clock the entries' times follow.
    EntryWriter(std::shared_ptr<StationLog> log, Files files, ServerClock& clock);
    ~EntryWriter();
    EntryWriter(const EntryWriter&) = delete;
    EntryWriter& operator=(const EntryWriter&) = delete;

    void Start();
    bool Running() const { return thread_.joinable(); }
    // A folder on the share to read the server's clock off, and a file of
    // the station's own disk that keeps the last offset measured: a station
    // started while the share is away stamps its entries with it, not with
    // its own clock, until the share answers.
    void ClockBeside(const std::string& folder, const std::string& keptIn = {});
    // Something new waits: try now (unless the share was found away a moment ago).
    void Wake();
    // Run on the writer's thread once a pass leaves nothing waiting: the
    // first such pass from now (the start), each one that follows a pass
    // that failed (the share was away), and one whose replace
    // of a file landed after its lock was lost. What it writes meets
    // the deliveries nowhere, being on the same thread.
    void HealAfterOutage(std::function<void()> heal);
    // Tries at once and waits at most ms until nothing waits but what was set
    // aside; false when entries still wait.
    bool Drain(int ms);
    // How long the try going on has taken so far, in ms; 0 between tries. A
    // try that takes long is a share that hangs.
    std::int64_t TryingForMs() const;
    // Tries at once and waits at most ms for that one try to end: false when
    // entries still wait after it (or it did not end in time).
    bool TryOnce(int ms);
    // Ends the thread, waiting at most ms; a thread stuck in a hung share is
    // left to end on its own.
    void Stop(int ms);
    Progress Take();

    struct State;

private:
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace ziv
