// The station's log: one entry until it is durable on the local disk, beside
// a plain synced append of the same bytes to a file kept open (alternating,
// so that whatever else the machine does weighs on both alike); and 10,000
// entries waiting through an outage, then delivered: the bytes the log wrote
// against the entries' own.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "station_log/station_log.h"
#include "bench_times.h"
#include "bench_smoke.h"

namespace fs = std::filesystem;
using namespace ziv;
using namespace std::chrono;

namespace {

const long kWaiting = BenchSize(10000L, 100L);

QueuedRow Row(long n) {
    return {"/srv/製品/A-100/data/検査員1_A-100_3号機_2026年3月2日.xls" + DecimalText(n / 100), 3,
            1 + static_cast<int>(n % 100), {"マイクロ", "10.005", "合", "-0.005"},
            {1772000000000000000LL + n, "3f2a9c0d4b5e6f708192a3b4c5d6e7f8"}};
}

fs::path Folder(const char* name) {
    fs::path folder = fs::temp_directory_path() / (std::string(name) + "-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder / "Config");
    return folder;
}

void BM_LogEntryBesideAPlainSyncedAppend(benchmark::State& state) {
    fs::path folder = Folder("ziv-bench-log");
    std::vector<double> log, plain;
    {
        StationLog queue((folder / "Config/StationLog.dat").string());
        int fd = ::open((folder / "plain.log").c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        long n = 0;
        for (auto _ : state) {
            QueuedRow row = Row(n++);
            std::uint64_t before = queue.BytesWritten();
            auto t0 = steady_clock::now();
            benchmark::DoNotOptimize(queue.Put(row));
            auto t1 = steady_clock::now();
            std::string same(queue.BytesWritten() - before, 'x');
            auto t2 = steady_clock::now();
            benchmark::DoNotOptimize(::write(fd, same.data(), same.size()));
            ::fdatasync(fd);
            auto t3 = steady_clock::now();
            log.push_back(duration<double, std::milli>(t1 - t0).count());
            plain.push_back(duration<double, std::milli>(t3 - t2).count());
            state.SetIterationTime(duration<double>(t1 - t0).count());
        }
        ::close(fd);
    }
    state.counters["log_median_ms"] = Median(log);
    state.counters["log_p95_ms"] = P95(log);
    state.counters["plain_median_ms"] = Median(plain);
    state.counters["plain_p95_ms"] = P95(plain);
    state.counters["ratio_of_medians"] = Median(plain) > 0 ? Median(log) / Median(plain) : 0;
    fs::remove_all(folder);
}

void BM_TenThousandWaitingEntriesPutAndDrained(benchmark::State& state) {
    for (auto _ : state) {
        fs::path folder = Folder("ziv-bench-drain");
        StationLog queue((folder / "Config/StationLog.dat").string());
        std::uint64_t entryBytes = 0;
        for (long n = 0; n < kWaiting; ++n) {
            std::uint64_t before = queue.BytesWritten();
            benchmark::DoNotOptimize(queue.Put(Row(n)));
            entryBytes += queue.BytesWritten() - before;
        }
        for (const std::string& book : queue.Targets<QueuedRow>())
            for (const auto& [r, row] : queue.ValuesFor<QueuedRow>(book)) benchmark::DoNotOptimize(queue.Remove<QueuedRow>(book, {{r, row}}));
        state.counters["entry_bytes"] = static_cast<double>(entryBytes);
        state.counters["bytes_written"] = static_cast<double>(queue.BytesWritten());
        state.counters["written_per_entry_byte"] = static_cast<double>(queue.BytesWritten()) / entryBytes;
        fs::remove_all(folder);
    }
}

}  // namespace

BENCHMARK(BM_LogEntryBesideAPlainSyncedAppend)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(500, 5));
BENCHMARK(BM_TenThousandWaitingEntriesPutAndDrained)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
