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

}  // namespace ziv
