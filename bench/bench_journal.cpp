// One value's journal entry until it is durably on the local disk, beside a
// plain durable append of the same line (open for appending, write, sync the
// data, close) to a file of its own. The two alternate, value by value, so
// that whatever else the machine does weighs on both alike; median and 95th
// percentile of each, and the ratio of the medians.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "records/journal.h"
#include "station_log/delivery.h"
#include "bench_times.h"
#include "bench_smoke.h"

namespace fs = std::filesystem;
using namespace ziv;
using namespace std::chrono;

namespace {

// A reading as the station journals it.
JournalEntry Reading(long n) {
    JournalEntry e;
    e.Time = TimestampNow();
    e.WorkDate = e.Time.LocalDay();
    e.Station = "3f2a9c0d4b5e6f708192a3b4c5d6e7f8";
    e.Operator = "検査員1";
    e.Product = "A-100";
    e.Machine = 3;
    e.Point = 1 + static_cast<int>(n % 100);
    e.Text = "10.005";
    e.Judgement = "合";
    e.Correction = "-0.005";
    e.Way = EntryWay::Reading;
    e.Key = 1;
    e.Instrument = "マイクロ";
    e.Gauge = "MC-0012";
    e.GaugeDue = Day{std::chrono::year{2030}, std::chrono::month{3}, std::chrono::day{31}};
    e.Reply = "01A+0010.005\r";
    e.Replaced = "10.004";
    return e;
}

void BM_JournalAppendBesideAPlainAppend(benchmark::State& state) {
    char pattern[] = "/tmp/ziv-bench-journal-XXXXXX";
    const std::string root = mkdtemp(pattern);
    fs::create_directories(root + "/Config");
    const std::string products = root + "/products";
    fs::create_directories(products);
    StationLog queue(OldQueuePath(root));
    const std::string journal = JournalPath(products, Reading(0).WorkDate, "3f2a9c0d4b5e6f708192a3b4c5d6e7f8");
    const std::string plain = products + "/plain.csv";
    // The journal's first entry makes the file; the day's later ones append.
    // As the writer does: kept in the station's log, then appended to the journal.
    auto keep = [&](const JournalEntry& entry) {
        return queue.Put(QueuedJournalLine{journal, JournalRecord(entry)}) && DeliverJournalLines(queue);
    };
    if (!keep(Reading(0))) {
        state.SkipWithError("the journal could not be made");
        return;
    }
    std::vector<double> journalMs, plainMs;
    long n = 0;
    for (auto _ : state) {
        JournalEntry entry = Reading(++n);
        const std::string line = JournalRecord(entry) + "\r\n";
        double took = 0, plainTook = 0;
        bool written = false, ok = false;
        auto journalAppend = [&] {
            auto start = steady_clock::now();
            written = keep(entry);
            took = duration<double, std::milli>(steady_clock::now() - start).count();
        };
        auto plainAppend = [&] {
            auto start = steady_clock::now();
            int fd = ::open(plain.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
            ok = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size()) &&
                 ::fdatasync(fd) == 0;
            if (fd >= 0) ok = ::close(fd) == 0 && ok;
            plainTook = duration<double, std::milli>(steady_clock::now() - start).count();
        };
        // Each goes first every other value: neither gains from the other's sync.
        if (n % 2) {
            journalAppend();
            plainAppend();
        } else {
            plainAppend();
            journalAppend();
        }
        if (!written || !ok) {
            state.SkipWithError("an append failed");
            break;
        }
        state.SetIterationTime(took / 1000);
        journalMs.push_back(took);
        plainMs.push_back(plainTook);
    }
    state.counters["journal_median_ms"] = Median(journalMs);
    state.counters["journal_p95_ms"] = P95(journalMs);
    state.counters["plain_median_ms"] = Median(plainMs);
    state.counters["plain_p95_ms"] = P95(plainMs);
    if (Median(plainMs) > 0) state.counters["ratio"] = Median(journalMs) / Median(plainMs);
    fs::remove_all(root);
}
BENCHMARK(BM_JournalAppendBesideAPlainAppend)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(500, 5));

}  // namespace

BENCHMARK_MAIN();
