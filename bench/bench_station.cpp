// The measurement window's hot paths: a reading from the moment its terminator
// reaches the port to the value standing in the grid and saved; a value typed
// by hand; and the start-up with 48 machines, each with a 100-point master and
// a full day workbook.
#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QLineEdit>
#include <benchmark/benchmark.h>

#include "platform/dialogs_qt.h"
#include "bench_qt_main.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pty.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "links/instrument_link.h"
#include "records/day_book.h"
#include "records/product_registry.h"
#include "station/measurement_window_ui.h"
#include "workbook/workbook.h"

namespace fs = std::filesystem;
using namespace ziv;

namespace {

// A fresh installation root with `machines` products registered, each with a
// 100-point master; with `fullBooks`, today's day workbook of every machine is full.
struct Installation {
    std::string root;
    std::string user;
    explicit Installation(int machines, bool fullBooks) {
        char pattern[] = "/tmp/ziv-bench-XXXXXX";
        root = mkdtemp(pattern);
        setenv("ZIV_ROOT", root.c_str(), 1);
        fs::create_directories(root + "/Config");
        Must(WriteDefaultLinks(LinksFilePath(root)));
        std::string products = root + "/products";
        fs::create_directories(products);
        Must(SaveProductFolder(ProductFolderFilePath(root), products));
        user = root + "/op";
        fs::create_directories(user);
        ProductPathList paths{};
        QDate today = QDate::currentDate();
        WorkDate date{std::to_string(today.year()), std::to_string(today.month()), std::to_string(today.day())};
        for (int m = 0; m < machines; ++m) {
            std::string name = "P" + std::to_string(m);
            paths[m] = products + "/" + name;
            fs::create_directories(paths[m] + "/data");
            Workbook master = Workbook::New();
            for (int r = 1; r <= 100; ++r) {
                master.SetCell(1, r, 1, std::to_string(10 + r));
                master.SetCell(1, r, 2, "0.02");
                master.SetCell(1, r, 3, "-0.01");
                master.SetCell(1, r, 4, std::to_string(10 + r));
            }
            Must(master.SaveAs(paths[m] + "/data.xls"));
            if (!fullBooks) continue;
            Workbook book = NewDayBook(100, [](int r) {
                return MasterRow{std::to_string(10 + r), "0.02", "-0.01", std::to_string(10 + r)};
            });
            for (int r = 1; r <= 100; ++r)
                WriteDayBookRow(book, r, {"M", std::to_string(10 + r) + ".005", "合", "-0.005"});
            Must(book.SaveAs(DayBookPath(paths[m], "op", name, m, date)));
        }
        Must(SaveDirectoryFile(StationFiles(), DirectoryFilePath(user), paths));
    }
    ~Installation() { fs::remove_all(root); }
    SignedInOperator Operator() const { return {root, user, "op"}; }
};

long PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

void BM_ReadingTerminatorToSavedValue(benchmark::State& state) {
    Installation inst(1, false);
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    std::ofstream(inst.root + "/Config/ComPorts.dat") << ttyname(slave) << "\r\n";
    MeasurementWindow form(inst.Operator(), DesktopDialogs(), StationFiles());
    form.startUp();
    form.startMeasuring();
    fcntl(master, F_SETFL, O_NONBLOCK);
    char buf[256];
    for (auto _ : state) {
        form.RequestReading();
        // Wait for the request to reach the instrument, then answer.
        while (::read(master, buf, sizeof buf) <= 0) QCoreApplication::processEvents();
        auto start = std::chrono::steady_clock::now();
        if (::write(master, "01A+012.345\r", 12) != 12) state.SkipWithError("write failed");
        while (form.ReadingPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["saved"] = form.SavedCount();
    form.close();
    ::close(master);
    ::close(slave);
}
BENCHMARK(BM_ReadingTerminatorToSavedValue)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_ValueTypedByHandToSavedFile(benchmark::State& state) {
    Installation inst(1, false);
    MeasurementWindow form(inst.Operator(), DesktopDialogs(), StationFiles());
    form.startUp();
    auto* numberEntryBox = form.findChild<QLineEdit*>("numberEntryBox");
    for (auto _ : state) {
        numberEntryBox->setText("11.005");
        form.enterNumber();
    }
    state.counters["saved"] = form.SavedCount();
    form.close();
}
BENCHMARK(BM_ValueTypedByHandToSavedFile)->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_StartUpWith48FullMachines(benchmark::State& state) {
    Installation inst(48, true);
    for (auto _ : state) {
        MeasurementWindow form(inst.Operator(), DesktopDialogs(), StationFiles());
        form.startUp();
        benchmark::DoNotOptimize(form.LoadedPointCount());
        state.PauseTiming();
        form.close();
        state.ResumeTiming();
    }
    state.counters["peak_rss_MiB"] = PeakResidentKiB() / 1024.0;
}
BENCHMARK(BM_StartUpWith48FullMachines)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    ziv::RunBenchmarksWithApplication(argc, argv);
    return 0;
}
