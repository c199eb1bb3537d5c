// A value typed by hand until its day workbook is durably saved, with the
// product folder on the local disk and on a folder shared over sshfs (an sshd
// of the benchmark's own on 127.0.0.1): median and 95th percentile of each,
// beside a plain durable write of a day workbook's bytes on the same disk.
// And an entry as the station takes it: into the station's log at once, then
// delivered to the share by the writer thread, until it is in the workbook
// (with its journal line).
#include <fcntl.h>
#include <unistd.h>

#include <QDate>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include "platform/dialogs_qt.h"
#include "bench_qt_main.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../tests/network/share.h"
#include "links/instrument_link.h"
#include "station_log/entry_writer.h"
#include "records/journal.h"
#include "records/product_registry.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "station/entry_flow.h"
#include "station/measurement_window_ui.h"
#include "station/sheet_grid_qt.h"
#include "workbook/workbook.h"
#include "bench_times.h"
#include "bench_smoke.h"

namespace fs = std::filesystem;
using namespace ziv;

namespace {

std::string MakeRoot() {
    char pattern[] = "/tmp/ziv-bench-net-XXXXXX";
    return mkdtemp(pattern);
}

// Median and 95th percentile of the times of one benchmark, in ms.
void ReportPercentiles(benchmark::State& state, const std::vector<double>& ms) {
    if (ms.empty()) return;
    state.counters["median_ms"] = Median(ms);
    state.counters["p95_ms"] = P95(ms);
}

// A master of 100 points, 11 +0.02 / -0.01 each.
void MakeMaster(const std::string& product) {
    Workbook master = Workbook::New();
    for (int r = 1; r <= 100; ++r) {
        master.SetCell(1, r, 1, "11");
        master.SetCell(1, r, 2, "0.02");
        master.SetCell(1, r, 3, "-0.01");
    }
    Must(master.SaveAs(product + "/data.xls"));
}

// One station whose product folder setting is `products`: a typed value
// until the window answers again, the value durable in the station's log
// (its writer takes it to the share meanwhile: see EntryToShare).
void TypedValueToDurableSave(benchmark::State& state, const std::string& root, const std::string& products) {
    setenv("ZIV_ROOT", root.c_str(), 1);
    fs::create_directories(root + "/Config");
    Must(WriteDefaultLinks(LinksFilePath(root)));
    Must(SaveProductFolder(ProductFolderFilePath(root), products));
    std::string product = products + "/P";
    fs::create_directories(product);
    MakeMaster(product);
    std::string user = root + "/op";
    fs::create_directories(user);
    ProductPathList paths{};
    paths[0] = product;
    Must(SaveDirectoryFile(StationFiles(), DirectoryFilePath(user), paths));

    MeasurementWindow form(SignedInOperator{root, user, "op"}, DesktopDialogs(), StationFiles());
    form.startUp();
    auto* numberEntryBox = form.findChild<QLineEdit*>("numberEntryBox");
    std::vector<double> ms;
    int row = 0;
    for (auto _ : state) {
        form.Grid(0)->SetRow(1 + row++ % 100);
        numberEntryBox->setText("11.005");
        auto start = std::chrono::steady_clock::now();
        form.enterNumber();  // returns once the value is synced in the station's log
        double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took / 1000);
        ms.push_back(took);
    }
    ReportPercentiles(state, ms);
    state.counters["saved"] = form.SavedCount();
    form.close();
}

struct NoView : EntryFlow::View {
    void RowChanged(int, int) override {}
    void SheetChanged(int) override {}
    void PointMoved(int, int, int) override {}
    void PointReset(int) override {}
};

// The entry returns once it is in the station's log; the time counted runs
// on until the writer has it in the workbook on the share.
void EntryToShare(benchmark::State& state, const std::string& root, const std::string& products) {
    fs::create_directories(root + "/Config");
    std::string product = products + "/P";
    fs::create_directories(product);
    fs::create_directories(JournalFolder(products));
    MakeMaster(product);
    auto queue = std::make_shared<StationLog>(OldQueuePath(root));
    NoView view;
    EntryFlow flow("op", *queue, StationFiles(), view);
    flow.SetProductFolder(products);
    QDate today = QDate::currentDate();
    flow.SetWorkDate({std::to_string(today.year()), std::to_string(today.month()), std::to_string(today.day())});
    flow.KeepJournal("bench", {});
    flow.SetProduct(0, product);
    static_cast<void>(flow.LoadFromTheTop(0));
    EntryWriter writer(queue, StationFiles(), StationServerClock());
    writer.Start();
    flow.WakeWriterWith([&] { writer.Wake(); });
    std::vector<double> ms, entered;
    int row = 0;
    for (auto _ : state) {
        flow.SelectPoint(0, 1 + row++ % 100);
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(flow.EnterNumber("11.005"));
        auto back = std::chrono::steady_clock::now();
        if (!writer.Drain(30000)) {
            state.SkipWithError("the writer did not deliver within 30 s");
            break;
        }
        double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took / 1000);
        ms.push_back(took);
        entered.push_back(std::chrono::duration<double, std::milli>(back - start).count());
    }
    ReportPercentiles(state, ms);
    state.counters["entry_returned_median_ms"] = Median(entered);
    state.counters["entry_returned_p95_ms"] = P95(entered);
    writer.Stop(1000);
}

// What a station's save is held against: the bytes of a day workbook of 100
// values written durably by hand, with nothing else (no lock, no read, no
// merge): a temporary written and synced, renamed, the folder synced.
void PlainDurableWrite(benchmark::State& state, const std::string& folder) {
    fs::create_directories(folder);
    Workbook book = Workbook::New();
    for (int r = 1; r <= 100; ++r) {
        book.SetCell(1, r, 1, "11");
        book.SetCell(1, r, 2, "0.02");
        book.SetCell(1, r, 3, "-0.01");
        book.SetCell(1, r, 5, "11.005");
        book.SetCell(1, r, 6, "合");
        book.SetCell(2, r, 2, "-0.005");
    }
    const std::string bytes = book.ToBytes();
    const std::string target = folder + "/book.xls", temp = folder + "/.book.xls.tmp";
    std::vector<double> ms;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool ok = fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) &&
                  ::fsync(fd) == 0;
        if (fd >= 0) ::close(fd);
        ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
        int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
        if (!ok) {
            state.SkipWithError("plain write failed");
            return;
        }
        double took = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(took / 1000);
        ms.push_back(took);
    }
    ReportPercentiles(state, ms);
}

// Runs measure(root, products) with the product folder setting on the local
// disk, or on a folder shared over sshfs (an sshd of the benchmark's own).
void OnLocalDisk(benchmark::State& state, void (*measure)(benchmark::State&, const std::string&, const std::string&)) {
    std::string root = MakeRoot();
    measure(state, root, root + "/products");
    fs::remove_all(root);
}

void OnSshfs(benchmark::State& state, void (*measure)(benchmark::State&, const std::string&, const std::string&)) {
    if (std::string why = SshfsShare::Unavailable(); !why.empty()) {
        state.SkipWithError(("no sshfs: " + why).c_str());
        return;
    }
    std::string root = MakeRoot();
    {
        SshfsShare share(root + "/net");
        if (!share.mounted())
            state.SkipWithError(share.error().c_str());
        else
            measure(state, root + "/station", share.mount() + "/products");
    }
    fs::remove_all(root);
}

void PlainWriteOfADayBook(benchmark::State& state, const std::string&, const std::string& products) {
    PlainDurableWrite(state, products + "/P/data");
}

void BM_PlainDurableWriteLocalDisk(benchmark::State& state) { OnLocalDisk(state, PlainWriteOfADayBook); }
BENCHMARK(BM_PlainDurableWriteLocalDisk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

void BM_PlainDurableWriteSshfs(benchmark::State& state) { OnSshfs(state, PlainWriteOfADayBook); }
BENCHMARK(BM_PlainDurableWriteSshfs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

void BM_TypedValueToDurableSaveLocalDisk(benchmark::State& state) { OnLocalDisk(state, TypedValueToDurableSave); }
BENCHMARK(BM_TypedValueToDurableSaveLocalDisk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

void BM_TypedValueToDurableSaveSshfs(benchmark::State& state) { OnSshfs(state, TypedValueToDurableSave); }
BENCHMARK(BM_TypedValueToDurableSaveSshfs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

void BM_EntryToShareLocalDisk(benchmark::State& state) { OnLocalDisk(state, EntryToShare); }
BENCHMARK(BM_EntryToShareLocalDisk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

void BM_EntryToShareSshfs(benchmark::State& state) { OnSshfs(state, EntryToShare); }
BENCHMARK(BM_EntryToShareSshfs)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

}  // namespace

int main(int argc, char** argv) {
    ziv::RunBenchmarksWithApplication(argc, argv);
    return 0;
}
