#include "station_log/entry_writer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <optional>

#include "common/text_file.h"
#include "platform/paths.h"
#include "records/server_clock.h"
#include "station_log/delivery.h"
#include "station_log/station_log.h"

namespace ziv {

struct EntryWriter::State {
    State(std::shared_ptr<StationLog> l, Files f, ServerClock& c) : log(std::move(l)), files(f), books(f), clock(c) {}

    std::shared_ptr<StationLog> log;
    Files files;
    DayBooks books;  // the writer's own: it opens a workbook only to write it
    ServerClock& clock;

    std::mutex mutex;
    std::condition_variable wake;     // the thread waits on it
    std::condition_variable settled;  // Drain and Stop wait on it
    bool stop = false, woken = false, urgent = false, ended = false, trying = false;
    std::chrono::steady_clock::time_point tryStarted;
    std::uint64_t passes = 0;
    std::string clockBeside;
    std::string clockKeptIn;
    ServerClock::Reading kept{};  // the reading last kept on the station's disk
    bool probesSwept = false;
    // When the server's clock was last read; 0: to be read at the next pass
    // (the start, or a pass after one that failed).
    std::atomic<std::int64_t> clockReadNs{0};
    Progress progress;
    std::function<void()> heal;
    bool healDue = true;

    void Run();
    // One try at everything that waits.
    struct Tried {
        bool done = false;    // nothing waits any more
        bool failed = false;  // a file could not be written: the share may be away
    };
    Tried Pass();
    void MeasureClock();
    void KeepClock();
    std::uint64_t TryNow();
    bool NothingWaits() const { return log->Count() == log->SetAsideEntries().size(); }
};

void EntryWriter::State::MeasureClock() {
    std::string beside;
    {
        std::lock_guard lock(mutex);
        beside = clockBeside;
    }
    if (beside.empty()) return;
    // Each reading makes and removes a file on the share: fifty stations
    // reading at every entry would keep its server busy for nothing.
    if (clockReadNs != 0 && SteadyClockNs() - clockReadNs < kClockEveryNs) return;
    const std::string probe = JoinPath(beside, ".ziv-clock");
    // A station killed while it read the clock left its probe: swept once a
    // run, never at every reading (each would list the product folder).
    if (!probesSwept) probesSwept = true, RemoveLeftTemporaries(probe);
    std::int64_t before = SteadyClockNs();
    auto server = ShareClockNs(probe);
    std::int64_t after = SteadyClockNs();
    // A reading that waited on a hung share says only that the server's time
    // lies somewhere in the wait: the last offset is nearer the truth.
    if (!server || after - before > kLongestClockReadMs * 1'000'000) return;
    clock.Measured(*server, (before + after) / 2);
    clockReadNs = after;
    KeepClock();
}

// Written only when the reading strays by more than a few milliseconds from
// the one kept carried forward, so that a steady clock costs the station's disk nothing.
void EntryWriter::State::KeepClock() {
    std::string path;
    {
        std::lock_guard lock(mutex);
        path = clockKeptIn;
    }
    ServerClock::Reading now = clock.Last();
    std::int64_t foreseen = kept.serverNs + (now.steadyNs - kept.steadyNs);
    if (path.empty() || (kept.serverNs != 0 && std::llabs(now.serverNs - foreseen) < kClockKeptWithinNs)) return;
    if (KeepServerClock(path, clock, files.disk)) kept = now;
}

EntryWriter::State::Tried EntryWriter::State::Pass() {
    // The clock first: entries made meanwhile must not wait for a long backlog
    // (a restart after an outage) to carry the server's time.
    MeasureClock();
    Delivered d = DeliverWaiting(*log, files, books, LockWait::Patient);
    bool done = NothingWaits();
    std::lock_guard lock(mutex);
    // A file written again replaces what the window has not taken yet:
    // however long it does not look, the progress holds each file once.
    auto keep = [](auto& held, auto& fresh) {
        for (auto& f : fresh) {
            auto same = std::find_if(held.begin(), held.end(), [&](const auto& k) { return k.first == f.first; });
            if (same != held.end()) *same = std::move(f);
            else held.push_back(std::move(f));
        }
    };
    keep(progress.written, d.books);
    keep(progress.directories, d.directories);
    keep(progress.pointFiles, d.pointFiles);
    if (done) progress.problem.reset();
    else if (!d.bookFailures.empty()) progress.problem = d.bookFailures.front().second;
    else if (!d.problem) progress.problem = d.problem;
    // Nothing failed: what waits came in while the pass went on.
    else progress.problem.reset();
    return {done, progress.problem.has_value()};
}

void EntryWriter::State::Run() {
    int pauseMs = 0;
    bool failed = false;
    for (;;) {
        {
            std::unique_lock lock(mutex);
            // After a failure a new entry waits for the pause too: the share is away.
            auto due = [&] { return stop || urgent || (woken && !failed); };
            if (pauseMs == 0) wake.wait(lock, due);
            else wake.wait_for(lock, std::chrono::milliseconds(pauseMs), due);
            if (stop) break;
            woken = urgent = false;
            trying = true;
            tryStarted = std::chrono::steady_clock::now();
        }
        const std::uint64_t lateBefore = LateReplacesSoFar();
        const Tried tried = Pass();
        const bool done = tried.done;
        // A replace of this pass landed late, perhaps over another station's save.
        const bool replacedLate = LateReplacesSoFar() != lateBefore;
        // A failure waits longer each time; what waits for no failure is
        // tried again soon, at once when an entry wakes the writer.
        failed = tried.failed;
        // The share was away: its clock is read again as soon as it answers.
        if (failed) clockReadNs = 0;
        pauseMs = done ? 0 : !failed ? kFirstPauseMs : std::min(kLongestPauseMs, std::max(kFirstPauseMs, pauseMs * 2));
        std::function<void()> healNow;
        {
            std::lock_guard lock(mutex);
            trying = false;
            ++passes;
            settled.notify_all();
            if (tried.failed || replacedLate) healDue = true;
            if (done && healDue && heal) {
                healDue = false;
                healNow = heal;
            }
        }
        if (healNow) healNow();
    }
    std::lock_guard lock(mutex);
    ended = true;
    settled.notify_all();
}

EntryWriter::EntryWriter(std::shared_ptr<StationLog> log, Files files, ServerClock& clock)
    : state_(std::make_shared<State>(std::move(log), files, clock)) {}

EntryWriter::~EntryWriter() { Stop(0); }

void EntryWriter::Start() {
    if (thread_.joinable()) return;
    // The thread holds the state: should it hang in a share, nothing it uses goes away.
    thread_ = std::thread([state = state_] { state->Run(); });
    Wake();
}

void EntryWriter::ClockBeside(const std::string& folder, const std::string& keptIn) {
    std::lock_guard lock(state_->mutex);
    state_->clockBeside = folder;
    state_->clockKeptIn = keptIn;
    state_->clockReadNs = 0;
    if (keptIn.empty()) return;
    // Read before the thread starts, so that the first entries already have it.
    if (TakeKeptServerClock(keptIn, state_->clock, state_->files.disk)) state_->kept = state_->clock.Last();
}

void EntryWriter::HealAfterOutage(std::function<void()> heal) {
    {
        std::lock_guard lock(state_->mutex);
        state_->heal = std::move(heal);
        state_->healDue = true;
    }
    Wake();
}

void EntryWriter::Wake() {
    std::lock_guard lock(state_->mutex);
    state_->woken = true;
    state_->wake.notify_all();
}

// Under the mutex: a try wanted at once; the count of passes a whole pass
// begun after this call ends beyond.
std::uint64_t EntryWriter::State::TryNow() {
    urgent = true;
    wake.notify_all();
    return passes + (trying ? 1 : 0);
}

bool EntryWriter::Drain(int ms) {
    if (!thread_.joinable()) return state_->NothingWaits();
    std::unique_lock lock(state_->mutex);
    const std::uint64_t after = state_->TryNow();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    // One whole pass after this call, then whatever it takes to empty.
    while (!(state_->passes > after && !state_->trying && state_->NothingWaits())) {
        if (state_->settled.wait_until(lock, deadline) == std::cv_status::timeout) break;
        if (state_->passes > after && !state_->NothingWaits() && !state_->trying) {
            state_->urgent = true;
            state_->wake.notify_all();
        }
    }
    return state_->NothingWaits();
}

std::int64_t EntryWriter::TryingForMs() const {
    std::lock_guard lock(state_->mutex);
    if (!state_->trying) return 0;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - state_->tryStarted)
        .count();
}

bool EntryWriter::TryOnce(int ms) {
    if (!thread_.joinable()) return state_->NothingWaits();
    std::unique_lock lock(state_->mutex);
    const std::uint64_t after = state_->TryNow();
    bool ended = state_->settled.wait_for(lock, std::chrono::milliseconds(ms),
                                          [&] { return state_->passes > after && !state_->trying; });
    return ended && state_->NothingWaits();
}

void EntryWriter::Stop(int ms) {
    if (!thread_.joinable()) return;
    std::unique_lock lock(state_->mutex);
    state_->stop = true;
    state_->wake.notify_all();
    // A thread that only sleeps ends at once; one in the share's hands may never.
    bool ended = state_->settled.wait_for(lock, std::chrono::milliseconds(std::max(ms, 200)),
                                          [&] { return state_->ended; });
    lock.unlock();
    if (ended) thread_.join();
    else thread_.detach();
}

EntryWriter::Progress EntryWriter::Take() {
    std::lock_guard lock(state_->mutex);
    Progress taken;
    taken.written = std::move(state_->progress.written);
    state_->progress.written.clear();
    taken.directories = std::move(state_->progress.directories);
    state_->progress.directories.clear();
    taken.pointFiles = std::move(state_->progress.pointFiles);
    state_->progress.pointFiles.clear();
    taken.problem = state_->progress.problem;
    return taken;
}

}  // namespace ziv
