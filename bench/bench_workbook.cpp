// The save that follows every entered value: a 100-point day workbook (six
// columns and a second sheet) opened, one row written, saved; next to the
// plain cost of writing a file of the same size atomically.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/text_file.h"
#include "platform/workbook.h"

namespace {

std::string BenchFolder() {
    std::string folder = std::string(ZIV_BINARY_DIR) + "/bench-workbook";
    std::filesystem::create_directories(folder);
    return folder;
}

ziv::Workbook DayWorkbook() {
    ziv::Workbook book = ziv::Workbook::New();
    for (int r = 1; r <= 100; ++r) {
        std::string n = std::to_string(r);
        book.SetCell(1, r, 1, std::to_string(10 + r) + ".25");
        book.SetCell(1, r, 2, "0.02");
        book.SetCell(1, r, 3, "-0.01");
        book.SetCell(1, r, 4, "マイクロメータ");
        book.SetCell(1, r, 5, std::to_string(10 + r) + ".262");
        book.SetCell(1, r, 6, r % 7 ? "合" : "不");
        book.SetCell(2, r, 1, std::to_string(10 + r) + ".255");
        book.SetCell(2, r, 2, "-0.007");
    }
    return book;
}

void WriteRow(ziv::Workbook& book, int row, int value) {
    book.SetCell(1, row, 4, "ノギス");
    book.SetCell(1, row, 5, "12." + std::to_string(value % 1000));
    book.SetCell(1, row, 6, "合");
    book.SetCell(2, row, 2, "-0.0" + std::to_string(value % 10));
}

// Open + write one row + save, as a save of a machine whose workbook was closed.
void BM_OpenWriteRowSave(benchmark::State& state) {
    std::string path = BenchFolder() + "/day.xls";
    if (!DayWorkbook().SaveAs(path)) state.SkipWithError("cannot write the day workbook");
    int value = 0;
    for (auto _ : state) {
        auto book = ziv::Workbook::Open(path);
        if (!book) {
            state.SkipWithError("cannot open the day workbook");
            break;
        }
        WriteRow(*book, 1 + value % 100, value);
        ++value;
        if (!book->SaveAs(path)) state.SkipWithError("save failed");
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_OpenWriteRowSave)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

// Write one row + save, the workbook staying open as the measurement window keeps it.
void BM_WriteRowSave(benchmark::State& state) {
    std::string path = BenchFolder() + "/day-open.xls";
    ziv::Workbook book = DayWorkbook();
    int value = 0;
    for (auto _ : state) {
        WriteRow(book, 1 + value % 100, value);
        ++value;
        if (!book.SaveAs(path)) state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_WriteRowSave)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

// Only building the file's bytes in memory.
void BM_BuildBytes(benchmark::State& state) {
    ziv::Workbook book = DayWorkbook();
    for (auto _ : state) benchmark::DoNotOptimize(book.ToBytes());
}
BENCHMARK(BM_BuildBytes)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

// Only reading a day workbook from memory.
void BM_OpenFromMemory(benchmark::State& state) {
    std::string bytes = DayWorkbook().ToBytes();
    for (auto _ : state) benchmark::DoNotOptimize(ziv::Workbook::OpenFromMemory(bytes));
}
BENCHMARK(BM_OpenFromMemory)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

// The floor: an atomic write (temporary file, fsync, rename, folder fsync) of as many bytes.
void BM_WriteFileAtomicSameSize(benchmark::State& state) {
    std::string path = BenchFolder() + "/plain.bin";
    std::string bytes = DayWorkbook().ToBytes();
    for (auto _ : state)
        if (!ziv::WriteFileAtomic(path, bytes)) state.SkipWithError("write failed");
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_WriteFileAtomicSameSize)->Unit(benchmark::kMicrosecond)->Repetitions(7)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
