// libFuzzer target: any bytes given to the workbook reader must give a
// workbook or an error, never a crash, a hang or a read outside the input.
// What is read must also survive a save and a second read unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "workbook/workbook.h"

namespace ziv::fuzz::workbook {

constexpr size_t kRoundTripCells = 4000;

void CheckRoundTrip(const ziv::Workbook& book) {
    size_t cells = 0;
    for (int s = 1; s <= book.SheetCount(); ++s) cells += book.Cells(s).size();
    if (cells > kRoundTripCells) return;
    auto again = ziv::Workbook::OpenFromMemory(book.ToBytes());
    if (!again || again->SheetCount() != book.SheetCount()) abort();
    for (int s = 1; s <= book.SheetCount(); ++s) {
        for (const auto& [position, text] : book.Cells(s)) {
            auto [row, column] = position;
            // The .xls grid and string length are smaller than those of .xlsx.
            if (row > 65536 || column > 256 || text.size() > 32767) continue;
            if (again->CellText(s, row, column) != text) abort();
        }
    }
}

int OneInput(const uint8_t* data, size_t size) {
    ziv::FileResult problem;
    auto book = ziv::Workbook::OpenFromMemory(std::string_view(reinterpret_cast<const char*>(data), size), &problem);
    if (!book) {
        // A failure must always say why.
        if (problem.failure != ziv::Failure::BookUnreadable || problem.book == ziv::BookFault::None) abort();
        return 0;
    }
    for (int s = 1; s <= book->SheetCount(); ++s) {
        (void)book->SheetName(s);
        for (const auto& cell : book->Cells(s))
            if (cell.second.empty()) abort();
    }
    CheckRoundTrip(*book);
    return 0;
}

}  // namespace ziv::fuzz::workbook

ZIV_FUZZ_ENTRY_POINT(workbook)
