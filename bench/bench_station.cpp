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
#include "bench_installation.h"
#include "bench_smoke.h"

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
BENCHMARK(BM_ReadingTerminatorToSavedValue)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

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
BENCHMARK(BM_ValueTypedByHandToSavedFile)->Unit(benchmark::kMillisecond)->Iterations(BenchSize(200, 3));

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
BENCHMARK(BM_StartUpWith48FullMachines)->Unit(benchmark::kMillisecond)->Iterations(BenchSize(5, 1));

}  // namespace

int main(int argc, char** argv) {
    ziv::RunBenchmarksWithApplication(argc, argv);
    return 0;
}
