// A shop's year of day workbooks (10,000 books of 100 points, made with the
// workbook engine) collected and turned into the capability table, as the
// report's "stats" does. The books stay in ZIV_REPORT_BENCH_DIR (default
// <build>/bench-report) so that bench/xlrd_report.py can time xlrd on the very
// same files: python3 bench/xlrd_report.py <that folder>/ベンチ_製品.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <boost/random/mersenne_twister.hpp>
#include <boost/random/normal_distribution.hpp>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/numbers.h"
#include "records/day_book.h"
#include "report/capability.h"
#include "report/collect.h"
#include "workbook/workbook.h"
#include "bench_smoke.h"

namespace {

const int kBooks = ziv::BenchSize(10000, 96);
constexpr int kPoints = 100;
constexpr int kMachines = 48;
const std::string kProduct = "ベンチ_製品";

std::string BenchRoot() {
    const char* dir = std::getenv("ZIV_REPORT_BENCH_DIR");
    return dir ? dir : std::string(ZIV_BINARY_DIR) + "/bench-report";
}

std::string ProductDir() { return BenchRoot() + "/" + kProduct; }

// Made once; a marker file says the set is complete.
void MakeBooks() {
    namespace fs = std::filesystem;
    std::string data = ProductDir() + "/data";
    std::string done = BenchRoot() + "/complete-" + std::to_string(kBooks) + "-" + std::to_string(kMachines);
    if (fs::exists(done)) return;
    fs::remove_all(data);  // a set of another shape, or one left half made
    fs::create_directories(data);
    unsigned seed = 12345;
    auto noise = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % 41) - 20;  // -20..20 micrometres
    };
    for (int b = 0; b < kBooks; ++b) {
        ziv::Workbook book = ziv::Workbook::New();
        for (int r = 1; r <= kPoints; ++r) {
            double nominal = 10 + r * 0.5;
            book.SetCell(1, r, 1, ziv::GeneralDecimalText(nominal));
            book.SetCell(1, r, 2, "0.02");
            book.SetCell(1, r, 3, "-0.02");
            book.SetCell(2, r, 1, ziv::GeneralDecimalText(nominal));
            double value = nominal + noise() / 1000.0;
            ziv::WriteDayBookRow(book, r,
                                 {"マイクロ", ziv::GeneralDecimalText(value), value < nominal + 0.02 && value >= nominal - 0.02 ? "合" : "不",
                                  ziv::GeneralDecimalText(nominal - value)});
        }
        // Every machine, about two hundred working days from 2020 on.
        int day = b / kMachines, machine = b % kMachines;
        int year = 2020 + day / 336, month = 1 + (day % 336) / 28, dom = 1 + day % 28;
        std::string name = "測定者_" + std::to_string(machine % 3) + "_" + kProduct + "_" + std::to_string(machine) +
                           "号機_" + std::to_string(year) + "年" + std::to_string(month) + "月" +
                           std::to_string(dom) + "日.xls";
        std::ofstream(data + "/" + name, std::ios::binary) << book.ToBytes();
    }
    std::ofstream(done) << kBooks;
}

// CPU time of the whole process (every reading thread), which a busy machine
// does not inflate the way it inflates the wall-clock time.
double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_CollectAndCapability(benchmark::State& state) {
    MakeBooks();
    long before = PeakRssKb();
    size_t points = 0, read = 0;
    double cpuBefore = ProcessCpuSeconds();
    for (auto _ : state) {
        ziv::report::Listing listing = ziv::report::ListDayBooks(ProductDir(), {});
        ziv::report::CapabilityBuilder builder;
        ziv::report::ReadOptions options;
        options.Threads = static_cast<int>(state.range(0));
        options.Needed = ziv::report::Cells::LimitsAndValues;
        auto summary = ziv::report::ReadDayBooks(
            listing.Books, [&](const ziv::report::DayBookData& book) { builder.Add(book); }, options);
        auto table = builder.Result();
        benchmark::DoNotOptimize(table.data());
        points = table.size();
        read = summary.Read;
    }
    state.counters["process_cpu_s"] = (ProcessCpuSeconds() - cpuBefore) / static_cast<double>(state.iterations());
    state.counters["books"] = static_cast<double>(read);
    state.counters["points"] = static_cast<double>(points);
    state.counters["peak_rss_MB_before"] = before / 1024.0;
    state.counters["peak_rss_MB"] = PeakRssKb() / 1024.0;
}
BENCHMARK(BM_CollectAndCapability)->Arg(2)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(ziv::BenchSize(3, 1))->UseRealTime();

// Every book's limits and values, collected as the report collects them.
ziv::report::CapabilityBuilder CollectedValues() {
    MakeBooks();
    ziv::report::CapabilityBuilder builder;
    ziv::report::ReadOptions options;
    options.Needed = ziv::report::Cells::LimitsAndValues;
    ziv::report::ReadDayBooks(
        ziv::report::ListDayBooks(ProductDir(), {}).Books,
        [&](const ziv::report::DayBookData& book) { builder.Add(book); }, options);
    return builder;
}

// The table alone from the collected values (about 4,800 rows of 208 values):
// the share of the figures (normality, percentile method, control limits)
// in the whole, apart from the reading.
void BM_CapabilityTableOfCollectedValues(benchmark::State& state) {
    ziv::report::CapabilityBuilder builder = CollectedValues();
    for (auto _ : state) {
        auto table = builder.Result();
        benchmark::DoNotOptimize(table.data());
    }
}
BENCHMARK(BM_CapabilityTableOfCollectedValues)->Unit(benchmark::kMillisecond);

// The distribution fits alone (every candidate fitted and tested, the
// percentile method on the best), on one thread over every machine row's
// values: their part of the table's time. The bootstrap bound runs only on
// rows that may be green, which these values (Cpk about 0.6) never are.
void BM_DistributionFitsOfCollectedValues(benchmark::State& state) {
    ziv::report::CapabilityBuilder builder = CollectedValues();
    std::vector<std::pair<std::vector<double>, ziv::report::ToleranceLimits>> rows;
    for (const auto& row : builder.Result(false)) {
        std::vector<double> values;
        for (const auto& sample : builder.RowSamples(row)) values.push_back(sample.Value);
        rows.emplace_back(std::move(values), row.Tolerance);
    }
    for (auto _ : state)
        for (const auto& [values, tolerance] : rows)
            benchmark::DoNotOptimize(ziv::report::PercentileCapability(values, tolerance));
    state.counters["rows"] = static_cast<double>(rows.size());
}
BENCHMARK(BM_DistributionFitsOfCollectedValues)->Unit(benchmark::kMillisecond);

// The bound over the fitting shapes of one capable flatness row of n values
// (every candidate fits half-normal values that many): what each row that
// may be green adds to the table.
void BM_ShapeAwareBoundOfOneRow(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    std::vector<double> values(n);
    boost::random::mt19937 gen(11);
    for (double& x : values) x = 0.001 * std::abs(boost::random::normal_distribution<>()(gen));
    const ziv::report::ToleranceLimits limits{0.02, 0.0, true};
    auto percentile = ziv::report::PercentileCapability(values, limits);
    for (auto _ : state)
        benchmark::DoNotOptimize(ziv::report::ShapeAwareLowerBound(*percentile, n, limits));
    int fitting = 0;
    for (const auto& candidate : percentile->Candidates) fitting += candidate.Fits;
    state.counters["fitting_candidates"] = fitting;
}
BENCHMARK(BM_ShapeAwareBoundOfOneRow)->Arg(30)->Arg(125)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
