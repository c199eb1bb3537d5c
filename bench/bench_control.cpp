// The control watch's costs, each beside the same work without it: a value
// entered on a point with fixed limits and 10,000 values of history against
// one on a point without; the start-up with fixed limits for 48 machines x
// 100 points and 30 days of journals against one without limits; the watch's
// passes over a shop of fifty stations' journals; and the repaint of the
// small chart beside the grid.
#include <QImage>
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <unistd.h>
#include <string>
#include <vector>

#include "bench_installation.h"
#include "bench_qt_main.h"
#include "bench_smoke.h"
#include "bench_times.h"
#include "platform/dialogs_qt.h"
#include "platform/share_lock.h"
#include "records/journal.h"
#include "station_log/station_log.h"
#include "report/fixed_limits.h"
#include "report/journal_index.h"
#include "station/control_cache.h"
#include "station/control_chart_qt.h"
#include "station/entry_flow.h"

using namespace ziv;

namespace {

constexpr int kMachines = 48, kPoints = 100, kDays = 30;
constexpr size_t kHistory = 10'000;

Day Today() { return std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()); }

WorkDate WorkDateOf(const Day& day) {
    return {std::to_string(static_cast<int>(day.year())), std::to_string(static_cast<unsigned>(day.month())),
            std::to_string(static_cast<unsigned>(day.day()))};
}

// Point p of the installation's masters: nominal 10 + p, -0.01..+0.02.
report::FixedLimit LimitsOf(int point, int machine) {
    report::FixedLimit l;
    l.Version = 1;
    l.FixedAt = TimestampNow();
    l.FixedBy = "品証";
    l.From = report::DateOfDays(report::DaysOf(Today()) - 60);
    l.To = report::DateOfDays(report::DaysOf(Today()) - 31);
    l.Point = point;
    l.Machine = machine;
    l.N = 30;
    const double centre = 10 + point + 0.005;
    l.Limits = {centre, centre + 0.012, centre - 0.012, 0.0045, 0.0147, 0};
    l.Tolerance = {std::to_string(10 + point), "0.02", "-0.01"};
    return l;
}

// A value in control around point p's centre.
std::string ValueText(int point, std::mt19937& random) {
    std::uniform_int_distribution<int> thousandths(1, 9);
    return std::to_string(10 + point) + ".00" + std::to_string(thousandths(random));
}

// Point 1's 10,000 values of the last days on machine 0, each a day workbook
// cell of its own (one per date and operator).
std::vector<JournalEntry> History() {
    std::vector<JournalEntry> history;
    std::mt19937 random(1);
    const auto start = std::chrono::sys_days(Today()) - std::chrono::days(kDays);
    for (size_t i = 0; i < kHistory; ++i) {
        JournalEntry e;
        e.Time.Utc = start + std::chrono::seconds(static_cast<long>(i) * 250);
        e.WorkDate = Day{std::chrono::floor<std::chrono::days>(e.Time.Utc)};
        e.Operator = "op" + std::to_string(i % 400);
        e.Product = "P0";
        e.Point = 1;
        e.Text = ValueText(1, random);
        history.push_back(std::move(e));
    }
    return history;
}

struct NoView : EntryFlow::View {
    void RowChanged(int, int) override {}
    void SheetChanged(int) override {}
    void PointMoved(int, int, int) override {}
    void PointReset(int) override {}
};

// The flow of one machine, entries saved and journalled at once, as a
// station without a writer thread does it.
struct OneMachine {
    Installation inst{1, false};
    StationLog queue{OldQueuePath(inst.root + "/Config")};
    NoView view;
    EntryFlow flow{"op", queue, Files{RealDisk(), StationFileLocks()}, view};
    OneMachine() {
        flow.SetProductFolder(inst.root + "/products");
        flow.SetWorkDate(WorkDateOf(Today()));
        flow.SetProduct(0, inst.root + "/products/P0");
        flow.Load(0);
        flow.KeepJournal("bench", {});
    }
    void Watch() {
        ControlData data;
        data.Limits[{1, 0}] = LimitsOf(1, 0);
        for (const JournalEntry& e : History()) data.Recent.Add(e);
        flow.UseControlData(std::move(data));
    }
};

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Entries on a point without fixed limits and on one with them and 10,000
// values of history, one after the other, so that both meet the same disk:
// a synced save's time varies far more than the check takes.
void BM_EntryWithFixedLimitsBesideOneWithout(benchmark::State& state) {
    OneMachine station;
    station.Watch();
    if (!station.flow.Watch().Watched(1, 0) || station.flow.Watch().Watched(2, 0))
        state.SkipWithError("point 1 alone should be watched");
    std::mt19937 random(2);
    std::vector<double> without, with, added;
    for (auto _ : state) {
        station.flow.SelectPoint(0, 2);
        auto start = Clock::now();
        benchmark::DoNotOptimize(station.flow.EnterNumber(ValueText(2, random)).signal);
        without.push_back(MsSince(start));
        station.flow.SelectPoint(0, 1);
        start = Clock::now();
        benchmark::DoNotOptimize(station.flow.EnterNumber(ValueText(1, random)).signal);
        with.push_back(MsSince(start));
        added.push_back(with.back() - without.back());
        state.SetIterationTime(with.back() / 1000);
    }
    state.counters["without_median_ms"] = Median(without);
    state.counters["with_median_ms"] = Median(with);
    state.counters["added_median_ms"] = Median(added);
}
BENCHMARK(BM_EntryWithFixedLimitsBesideOneWithout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(300, 3));

// The check alone, as the flow makes it: the point's recent values and the rules.
void BM_CheckWith10000Values(benchmark::State& state) {
    ControlWatch watch;
    watch.SetLimits({{{1, 0}, LimitsOf(1, 0)}});
    RecentValues recent;
    for (const JournalEntry& e : History()) recent.Add(e);
    for (auto _ : state) {
        auto signal = watch.Check(1, 0, recent.Before(1, 0, Today(), "op"), 11.005);
        benchmark::DoNotOptimize(signal);
    }
}
BENCHMARK(BM_CheckWith10000Values)->Unit(benchmark::kMicrosecond);

// ---- start-up --------------------------------------------------------------

// 48 machines with full day workbooks, and 30 days of another station's
// journals with a value of every point of every machine each day.
std::unique_ptr<Installation> theShop;
Installation& ShopOf48() {
    if (theShop) return *theShop;
    theShop = std::make_unique<Installation>(kMachines, true);
    const std::string products = theShop->root + "/products";
    std::mt19937 random(3);
    for (int d = 1; d <= kDays; ++d) {
        const Day day{std::chrono::sys_days(Today()) - std::chrono::days(d)};
        std::string bytes = JournalStart();
        JournalEntry e;
        e.WorkDate = day;
        e.Station = "other";
        e.Operator = "op2";
        e.Way = EntryWay::Typed;
        e.Judgement = "合";
        for (int m = 0; m < kMachines; ++m)
            for (int p = 1; p <= kPoints; ++p) {
                e.Time.Utc = std::chrono::sys_days(day) + std::chrono::hours(8) + std::chrono::seconds(m * 200 + p);
                e.Time.Offset = std::chrono::minutes(540);
                e.Product = "P" + std::to_string(m);
                e.Machine = m;
                e.Point = p;
                e.Text = ValueText(p, random);
                bytes += JournalRecord(e) + "\r\n";
            }
        std::filesystem::create_directories(JournalFolder(products));
        std::ofstream(JournalPath(products, day, "other"), std::ios::binary) << bytes;
    }
    return *theShop;
}

void SetFixedLimits(bool on) {
    const std::string products = ShopOf48().root + "/products";
    for (int m = 0; m < kMachines; ++m) {
        const std::string path = report::FixedLimitsPath(products + "/P" + std::to_string(m));
        if (!on) {
            std::filesystem::remove(path);
            continue;
        }
        std::vector<report::FixedLimit> limits;
        for (int p = 1; p <= kPoints; ++p) limits.push_back(LimitsOf(p, m));
        std::ofstream(path, std::ios::binary) << report::FixedLimitsText(limits);
    }
}

// The window's start-up without fixed limits and with them, one after the
// other: the time until the window is ready, and with limits also until the
// watch has the limits and journals it reads beside the window (the window
// looks for them every 50 ms).
void BM_StartUpWithFixedLimitsBesideOneWithout(benchmark::State& state) {
    Installation& shop = ShopOf48();
    std::vector<double> without, with, watching;
    auto startUp = [&](bool limits, std::vector<double>& ready, std::vector<double>* watched) {
        SetFixedLimits(limits);
        const auto start = Clock::now();
        MeasurementWindow form(shop.Operator(), DesktopDialogs(), StationFiles());
        form.startUp();
        benchmark::DoNotOptimize(form.LoadedPointCount());
        ready.push_back(MsSince(start));
        while (form.ControlDataPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (watched) watched->push_back(MsSince(start));
        form.close();
    };
    for (auto _ : state) {
        startUp(false, without, nullptr);
        startUp(true, with, &watching);
        state.SetIterationTime(with.back() / 1000);
    }
    state.counters["without_median_ms"] = Median(without);
    state.counters["with_median_ms"] = Median(with);
    state.counters["with_ratio"] = Median(with) / Median(without);
    state.counters["until_watching_median_ms"] = Median(watching);
}
BENCHMARK(BM_StartUpWithFixedLimitsBesideOneWithout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(7, 1));

// What the window's reading thread does at a first start: the limits of 48
// products and the journals of as many working dates as 4,800 watched points
// need, with nothing kept from an earlier read.
void BM_ReadControlData48x100FirstRead(benchmark::State& state) {
    Installation& shop = ShopOf48();
    SetFixedLimits(true);
    ProductPathList products{};
    for (int m = 0; m < kMachines; ++m) products[m] = shop.root + "/products/P" + std::to_string(m);
    const std::string cache = ControlCachePath(shop.root);
    for (auto _ : state) {
        std::filesystem::remove(cache);
        ControlData data = ReadControlData(products, Today(), cache);
        if (data.Limits.size() != kMachines * kPoints) state.SkipWithError("limits missing");
        benchmark::DoNotOptimize(data);
    }
}
BENCHMARK(BM_ReadControlData48x100FirstRead)->Unit(benchmark::kMillisecond)->Iterations(BenchSize(5, 1));

// ---- a shop of fifty ----------------------------------------------------------

// Fifty stations' journals of 31 working dates on one folder, each station
// making `kShopEntries` entries a day on 48 machines and 20 points; the
// station watched reads them with limits on points 1-5 of machines 0-3.
constexpr int kShopStations = 50, kShopDays = 31, kShopWatchedMachines = 4, kShopWatchedPoints = 5;
int ShopEntries() { return BenchSize(200, 5); }

struct ShopOfFifty {
    Installation inst{kMachines, false};
    std::string products = inst.root + "/products";
    ProductPathList paths{};
    std::mt19937 random{5};
    ShopOfFifty() {
        std::filesystem::create_directories(JournalFolder(products));
        for (int d = 0; d < kShopDays; ++d)
            for (int s = 0; s < kShopStations; ++s) WriteDay(d, s);
        for (int m = 0; m < kMachines; ++m) {
            paths[m] = products + "/P" + std::to_string(m);
            std::vector<report::FixedLimit> limits;
            for (int p = 1; p <= kShopWatchedPoints && m < kShopWatchedMachines; ++p) limits.push_back(LimitsOf(p, m));
            if (!limits.empty()) std::ofstream(report::FixedLimitsPath(paths[m]), std::ios::binary) << report::FixedLimitsText(limits);
        }
    }
    JournalEntry Entry(const Day& day, int station, int i) {
        JournalEntry e;
        e.WorkDate = day;
        e.Time.Utc = std::chrono::sys_days(day) + std::chrono::hours(6) + std::chrono::seconds(i * 40 + station);
        e.Time.Offset = std::chrono::minutes(540);
        e.Station = "station" + std::to_string(station);
        e.Operator = "op" + std::to_string(station);
        e.Machine = static_cast<int>(random() % kMachines);
        e.Product = "P" + std::to_string(e.Machine);
        e.Point = 1 + static_cast<int>(random() % 20);
        e.Text = ValueText(e.Point, random);
        e.Judgement = "合";
        return e;
    }
    void WriteDay(int daysBack, int station) {
        const Day day{std::chrono::sys_days(Today()) - std::chrono::days(daysBack)};
        std::string bytes = JournalStart();
        for (int i = 0; i < ShopEntries(); ++i) bytes += JournalRecord(Entry(day, station, i)) + "\r\n";
        std::ofstream(JournalPath(products, day, "station" + std::to_string(station)), std::ios::binary) << bytes;
    }
    // One more entry in every station's journal of today, as after a pass of two minutes.
    void OneEntryEach() {
        for (int s = 0; s < kShopStations; ++s)
            Must(AppendToJournal(JournalPath(products, Today(), "station" + std::to_string(s)),
                                 {JournalRecord(Entry(Today(), s, ShopEntries()))}));
    }
};

// A call that a system-call trace (strace -f) shows, so that a script can
// tell the passes apart in it: see bench/count_share_calls.py.
void MarkInTrace(const std::string& what) { ::access(("/ziv-bench-mark/" + what).c_str(), F_OK); }

// The watch as it read before: every journal of the last 30 working dates,
// whole, on every pass.
std::uint64_t ReadEveryJournalOf30Days(const ShopOfFifty& shop) {
    ControlData data;
    report::Filter range;
    range.From = report::DateOfDays(report::DaysOf(Today()) - 30);
    range.To = report::DateOfDays(report::DaysOf(Today()));
    std::uint64_t entries = 0;
    for (int m = 0; m < kMachines; ++m) benchmark::DoNotOptimize(report::ReadFixedLimits(report::FixedLimitsPath(shop.paths[m])));
    report::ReadJournalsOfRange(JournalFolder(shop.products), range, [&](JournalEntry&& e) {
        ++entries;
        data.Recent.Add(e);
    });
    return entries;
}

// One watch pass of a station that has read nothing before, one right after
// it with nothing new, one after every station made one more entry; and, for
// comparison, the read of every journal of 30 days the watch made before.
// Run under strace -f -y and bench/count_share_calls.py for the calls each
// makes on the share; the counters give the journal bytes each read.
void BM_WatchPassOnAShopOfFifty(benchmark::State& state) {
    ShopOfFifty shop;
    const std::string cache = ControlCachePath(shop.inst.root);
    std::vector<double> first, second, third;
    std::uint64_t bytes[3] = {};
    for (auto _ : state) {
        std::filesystem::remove(cache);
        MarkInTrace("every-journal");
        benchmark::DoNotOptimize(ReadEveryJournalOf30Days(shop));
        MarkInTrace("first");
        auto start = Clock::now();
        ControlData fresh = ReadControlData(shop.paths, Today(), cache);
        bytes[0] = fresh.JournalBytesRead;
        first.push_back(MsSince(start));
        MarkInTrace("second");
        start = Clock::now();
        ControlData idle = ReadControlData(shop.paths, Today(), cache);
        bytes[1] = idle.JournalBytesRead;
        second.push_back(MsSince(start));
        MarkInTrace("setup");
        shop.OneEntryEach();
        MarkInTrace("third");
        start = Clock::now();
        bytes[2] = ReadControlData(shop.paths, Today(), cache).JournalBytesRead;
        third.push_back(MsSince(start));
        MarkInTrace("end");
        const auto values = idle.Recent.Before(1, 0, Today(), "nobody");
        if (values.empty() || values != fresh.Recent.Before(1, 0, Today(), "nobody"))
            state.SkipWithError("the pass with nothing new should keep the values the first read");
        state.SetIterationTime(first.back() / 1000);
    }
    state.counters["first_pass_bytes"] = static_cast<double>(bytes[0]);
    state.counters["idle_pass_bytes"] = static_cast<double>(bytes[1]);
    state.counters["after_one_each_bytes"] = static_cast<double>(bytes[2]);
    state.counters["kept_on_station_bytes"] = static_cast<double>(std::filesystem::file_size(cache));
    state.counters["first_median_ms"] = Median(first);
    state.counters["idle_median_ms"] = Median(second);
    state.counters["after_one_each_median_ms"] = Median(third);
}
BENCHMARK(BM_WatchPassOnAShopOfFifty)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// ---- the chart ---------------------------------------------------------------

// A new value shown and painted, at the size the chart has beside the grid.
void BM_ControlChartRepaint(benchmark::State& state) {
    ControlChartView view;
    view.resize(420, 300);
    QImage canvas(view.size(), QImage::Format_ARGB32_Premultiplied);
    std::mt19937 random(4);
    std::vector<double> values;
    for (size_t i = 0; i < kRecentValues; ++i) values.push_back(std::stod(ValueText(1, random)));
    const report::FixedLimit limits = LimitsOf(1, 0);
    for (auto _ : state) {
        view.Show(1, 0, limits, values);
        view.render(&canvas);
    }
}
BENCHMARK(BM_ControlChartRepaint)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    ziv::RunBenchmarksWithApplication(argc, argv, [] { theShop.reset(); });
    return 0;
}
