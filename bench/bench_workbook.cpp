// The save that follows every entered value: a 100-point day workbook (six
// columns and a second sheet) opened, one row written, saved; next to the
// plain cost of writing a file of the same size atomically.
#include <benchmark/benchmark.h>
#include <gsf/gsf.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/text_file.h"
#include "workbook/workbook.h"
#include "bench_smoke.h"

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
BENCHMARK(BM_OpenWriteRowSave)->Unit(benchmark::kMicrosecond)->Repetitions(ziv::BenchSize(7, 1))->ReportAggregatesOnly(true);

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
BENCHMARK(BM_WriteRowSave)->Unit(benchmark::kMicrosecond)->Repetitions(ziv::BenchSize(7, 1))->ReportAggregatesOnly(true);

// Only building the file's bytes in memory.
void BM_BuildBytes(benchmark::State& state) {
    ziv::Workbook book = DayWorkbook();
    for (auto _ : state) benchmark::DoNotOptimize(book.ToBytes());
}
BENCHMARK(BM_BuildBytes)->Unit(benchmark::kMicrosecond)->Repetitions(ziv::BenchSize(7, 1))->ReportAggregatesOnly(true);

// Only reading a day workbook from memory.
void BM_OpenFromMemory(benchmark::State& state) {
    std::string bytes = DayWorkbook().ToBytes();
    for (auto _ : state) benchmark::DoNotOptimize(ziv::Workbook::OpenFromMemory(bytes));
}
BENCHMARK(BM_OpenFromMemory)->Unit(benchmark::kMicrosecond)->Repetitions(ziv::BenchSize(7, 1))->ReportAggregatesOnly(true);

// The floor: an atomic write (temporary file, fsync, rename, folder fsync) of as many bytes.
void BM_WriteFileAtomicSameSize(benchmark::State& state) {
    std::string path = BenchFolder() + "/plain.bin";
    std::string bytes = DayWorkbook().ToBytes();
    for (auto _ : state)
        if (!ziv::WriteFileAtomic(path, bytes)) state.SkipWithError("write failed");
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_WriteFileAtomicSameSize)->Unit(benchmark::kMicrosecond)->Repetitions(ziv::BenchSize(7, 1))->ReportAggregatesOnly(true);

// ---- hostile files: small on disk, huge once read without limits -------------

long ResidentKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string_view(field).size());
    return 0;
}

// Starts a fresh peak (VmHWM) for this process; false where the kernel cannot.
bool ResetPeak() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

void Write(GsfOutput* output, std::string_view bytes) {
    gsf_output_write(output, bytes.size(), reinterpret_cast<const guint8*>(bytes.data()));
}

// Office Open XML content under an .xls name whose shared-string table holds
// `entries` empty strings, written piece by piece so that the bench itself
// never holds the inflated part.
void WriteEmptyStringsXlsx(const std::string& path, long entries) {
    gsf_init();
    GsfOutput* file = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* zip = gsf_outfile_zip_new(file, nullptr);
    auto member = [&](GsfOutfile* folder, const char* name, std::string_view text) {
        GsfOutput* out = gsf_outfile_new_child(folder, name, FALSE);
        Write(out, text);
        gsf_output_close(out);
        g_object_unref(out);
    };
    GsfOutput* xl = gsf_outfile_new_child(zip, "xl", TRUE);
    member(GSF_OUTFILE(xl), "workbook.xml",
           "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
           "<sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>");
    GsfOutput* rels = gsf_outfile_new_child(GSF_OUTFILE(xl), "_rels", TRUE);
    member(GSF_OUTFILE(rels), "workbook.xml.rels",
           "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\" Type=\"http://schemas."
           "openxmlformats.org/officeDocument/2006/relationships/worksheet\"/></Relationships>");
    gsf_output_close(rels);
    g_object_unref(rels);
    GsfOutput* sheets = gsf_outfile_new_child(GSF_OUTFILE(xl), "worksheets", TRUE);
    member(GSF_OUTFILE(sheets), "sheet1.xml",
           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row></sheetData></worksheet>");
    gsf_output_close(sheets);
    g_object_unref(sheets);
    GsfOutput* sst = gsf_outfile_new_child(GSF_OUTFILE(xl), "sharedStrings.xml", FALSE);
    Write(sst, "<sst>");
    std::string block;
    for (int i = 0; i < 100000; ++i) block += "<si/>";
    for (long done = 0; done < entries; done += 100000) Write(sst, block);
    Write(sst, "</sst>");
    gsf_output_close(sst);
    g_object_unref(sst);
    gsf_output_close(xl);
    g_object_unref(xl);
    gsf_output_close(GSF_OUTPUT(zip));
    g_object_unref(zip);
    gsf_output_close(file);
    g_object_unref(file);
}

std::string U16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }
std::string Record(unsigned type, const std::string& body) { return U16(type) + U16(static_cast<unsigned>(body.size())) + body; }

// A BIFF8 .xls whose shared-string table holds `entries` empty strings (three
// bytes each, in CONTINUE records) and one sheet that uses the first.
void WriteEmptyStringsXls(const std::string& path, uint32_t entries) {
    auto bof = [](unsigned kind) { return Record(0x0809, U16(0x0600) + U16(kind) + U16(0x0DBB) + U16(0x07CC) + U32(0) + U32(6)); };
    std::string emptyString = U16(0) + std::string(1, '\0');
    std::string stream = bof(5) + Record(0x0042, U16(1200));
    size_t boundSheet = stream.size() + 4;
    stream += Record(0x0085, U32(0) + U16(0) + std::string(1, '\1') + std::string(1, '\0') + "S");
    std::string first = U32(entries) + U32(entries);
    for (int i = 0; i < 2000; ++i) first += emptyString;
    stream += Record(0x00FC, first);
    std::string piece;
    for (int i = 0; i < 2700; ++i) piece += emptyString;
    for (uint32_t done = 2000; done < entries; done += 2700) stream += Record(0x003C, piece);
    stream += Record(0x000A, "");
    stream.replace(boundSheet, 4, U32(static_cast<uint32_t>(stream.size())));
    stream += bof(0x10) + Record(0x00FD, U16(0) + U16(0) + U16(15) + U32(0)) + Record(0x000A, "");
    gsf_init();
    GsfOutput* file = gsf_output_stdio_new(path.c_str(), nullptr);
    GsfOutfile* ole = gsf_outfile_msole_new(file);
    GsfOutput* child = gsf_outfile_new_child(ole, "Workbook", FALSE);
    Write(child, stream);
    gsf_output_close(child);
    g_object_unref(child);
    gsf_output_close(GSF_OUTPUT(ole));
    g_object_unref(ole);
    g_object_unref(file);
}

// Opening a hostile file as a station does when that product is registered:
// time per open, the file's size and the peak memory the open added.
void OpenHostile(benchmark::State& state, const std::string& path) {
    long peakGrowth = 0;
    bool opened = false;
    for (auto _ : state) {
        bool peakKnown = ResetPeak();
        long before = ResidentKiB("VmRSS:");
        opened = ziv::Workbook::Open(path).has_value();
        if (peakKnown) peakGrowth = std::max(peakGrowth, ResidentKiB("VmHWM:") - before);
    }
    state.counters["file_KiB"] = static_cast<double>(std::filesystem::file_size(path) / 1024);
    state.counters["peak_growth_MiB"] = static_cast<double>(peakGrowth) / 1024;
    state.counters["opened"] = opened;
}

// 50 million empty shared strings in a 0.36 MB file.
void BM_OpenXlsxOfEmptySharedStrings(benchmark::State& state) {
    std::string path = BenchFolder() + "/empty-strings-xlsx.xls";
    if (!std::filesystem::exists(path)) WriteEmptyStringsXlsx(path, 50000000);
    OpenHostile(state, path);
}
BENCHMARK(BM_OpenXlsxOfEmptySharedStrings)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(ziv::BenchSize(3, 1))->ReportAggregatesOnly(true);

// 20 million empty shared strings in a 60 MB BIFF8 file.
void BM_OpenXlsOfEmptySharedStrings(benchmark::State& state) {
    std::string path = BenchFolder() + "/empty-strings.xls";
    if (!std::filesystem::exists(path)) WriteEmptyStringsXls(path, 20000000);
    OpenHostile(state, path);
}
BENCHMARK(BM_OpenXlsOfEmptySharedStrings)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(ziv::BenchSize(3, 1))->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
