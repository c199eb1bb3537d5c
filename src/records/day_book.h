#pragma once
// The day workbook of one operator, product, machine and working date, and the
// product master: which grid column goes to which worksheet cell.
#include <string>

#include "platform/workbook.h"

namespace ziv {

struct WorkDate {
    std::string Year, Month, Day;  // "2024", "3", "7"
};

// <product>/data/<user>_<product name>_<m>号機_<y>年<m>月<d>日.xls
std::string DayBookPath(const std::string& productPath, const std::string& userName,
                        const std::string& productName, int machine, const WorkDate& date);
std::string DayBookFolder(const std::string& productPath);
std::string MasterBookPath(const std::string& productPath);

// Grid columns 3..6 of one point (nominal, upper, lower, target).
struct MasterRow {
    std::string Nominal, Upper, Lower, Target;
};
// Grid columns 1, 2, 7 of one point and the instrument's input name.
struct MeasuredRow {
    std::string InputName, Value, Judgement, Correction;
};

// A new day workbook holding the master data of every point (first sheet A..C,
// second sheet A); `masterOf(r)` gives row r.
template <typename MasterOf>
Workbook NewDayBook(int rows, MasterOf masterOf) {
    Workbook book = Workbook::New();
    for (int r = 1; r <= rows; ++r) {
        MasterRow m = masterOf(r);
        book.SetCell(1, r, 1, m.Nominal);
        book.SetCell(1, r, 2, m.Upper);
        book.SetCell(1, r, 3, m.Lower);
        book.SetCell(2, r, 1, m.Target);
    }
    return book;
}

// First sheet D..F and second sheet B of row r, adding the second sheet when
// the book has one only; false when a cell could not be stored.
bool WriteDayBookRow(Workbook& book, int row, const MeasuredRow& measured);
// Value (E), judgement (F) and correction (second sheet B) of row r.
MeasuredRow ReadDayBookRow(const Workbook& book, int row);
// Master columns A..D of row r of the first sheet.
MasterRow ReadMasterRow(const Workbook& master, int row);

}  // namespace ziv
