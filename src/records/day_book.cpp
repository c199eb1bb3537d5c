#include "records/day_book.h"

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {

std::string DayBookFolder(const std::string& productPath) { return JoinPath(productPath, "data"); }

std::string MasterBookPath(const std::string& productPath) { return JoinPath(productPath, "data.xls"); }

std::string DayBookPath(const std::string& productPath, const std::string& userName,
                        const std::string& productName, int machine, const WorkDate& date) {
    return JoinPath(DayBookFolder(productPath), userName + "_" + productName + "_" + DecimalText(machine) + "号機_" +
                                                    date.Year + "年" + date.Month + "月" + date.Day + "日.xls");
}

bool WriteDayBookRow(Workbook& book, int row, const MeasuredRow& measured) {
    // A day workbook saved by another program may have a single sheet; the
    // correction needs the second.
    book.AddSheetsUpTo(2);
    bool written = book.SetCell(1, row, 4, measured.InputName);
    written = book.SetCell(1, row, 5, measured.Value) && written;
    written = book.SetCell(1, row, 6, measured.Judgement) && written;
    return book.SetCell(2, row, 2, measured.Correction) && written;
}

MeasuredRow ReadDayBookRow(const Workbook& book, int row) {
    return {book.CellText(1, row, 4), book.CellText(1, row, 5), book.CellText(1, row, 6), book.CellText(2, row, 2)};
}

MasterRow ReadMasterRow(const Workbook& master, int row) {
    return {master.CellText(1, row, 1), master.CellText(1, row, 2), master.CellText(1, row, 3),
            master.CellText(1, row, 4)};
}

void DayBooks::Close(int machine) {
    books_[machine].reset();
    waiting_[machine].clear();
}

void DayBooks::CloseAll() {
    for (int m = 0; m < kMachineCount; ++m) Close(m);
}

std::optional<std::string> DayBooks::Open(int machine, const std::string& path) {
    Close(machine);
    return Read(machine, path);
}

std::optional<std::string> DayBooks::Read(int machine, const std::string& path) {
    std::string error;
    auto book = Workbook::Open(path, &error);
    if (!book) return error;
    books_[machine] = std::move(*book);
    return std::nullopt;
}

MeasuredRow DayBooks::Row(int machine, int row) const {
    return books_[machine] ? ReadDayBookRow(*books_[machine], row) : MeasuredRow{};
}

DayBooks::SaveResult DayBooks::Save(int machine, const std::string& path, int row, const std::string& inputName,
                                    int rows, const MeasuredOf& measured, const MasterOf& master) {
    waiting_[machine][row] = inputName;
    std::string folder = path.substr(0, path.find_last_of('/'));
    if (!MakeFolder(folder)) return {Outcome::FolderNotMade, folder};
    if (!books_[machine]) {
        if (IsFile(path)) {
            // Left closed when unreadable: a later save tries again rather than overwrite it.
            if (auto error = Read(machine, path)) return {Outcome::Unreadable, *error};
        } else {
            books_[machine] = NewDayBook(rows, master);
        }
    }
    Workbook& book = *books_[machine];
    bool stored = true;
    for (const auto& [r, name] : waiting_[machine]) stored = WriteDayBookRow(book, r, measured(r, name)) && stored;
    if (!stored) return {Outcome::CellRefused, {}};
    if (auto result = book.SaveAs(path); !result) return {Outcome::WriteFailed, result.error};
    waiting_[machine].clear();
    return {};
}

}  // namespace ziv
