#pragma once
// The workbook engine: reads .xls (BIFF8, BIFF5) and Office Open XML workbooks
// (decided by content, not by name) and writes BIFF8 .xls in an OLE2 compound
// file. Plain C++: the day workbooks and masters are read and written here
// without any spreadsheet program running.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/text_file.h"

namespace ziv {

class Workbook {
public:
    // A new workbook with `sheets` empty worksheets (at least two).
    static Workbook New(int sheets = 3);
    // Opens a file; nothing (and a reason in *error) when it is damaged,
    // encrypted, of another format or cannot be read.
    static std::optional<Workbook> Open(const std::string& path, std::string* error = nullptr);
    static std::optional<Workbook> OpenFromMemory(std::string_view bytes, std::string* error = nullptr);

    int SheetCount() const;
    std::string SheetName(int sheet) const;  // sheet from 1

    // Cell text: numbers in the general decimal form (up to 15 significant
    // digits), strings as stored, TRUE/FALSE, formulas by their cached result,
    // errors by their text (#N/A ...), nothing as empty text. Rows, columns and
    // sheets count from 1; outside the workbook reads as empty text.
    std::string CellText(int sheet, int row, int column) const;

    // A text that reads wholly as a decimal number becomes a number cell, other
    // text a string cell, empty text no cell. False, and nothing stored, for a
    // sheet beyond the last or a cell outside the .xls grid.
    bool SetCell(int sheet, int row, int column, std::string_view text);

    // Adds empty worksheets at the end until there are `count` of them.
    void AddSheetsUpTo(int count);

    // Every non-empty cell of a sheet, in row then column order.
    std::vector<std::pair<std::pair<int, int>, std::string>> Cells(int sheet) const;

    // BIFF8 bytes of the whole workbook, and an atomic save of them
    // (*written, when given, receives the stamp of what was written).
    std::string ToBytes() const;
    WriteResult SaveAs(const std::string& path, FileStamp* written = nullptr) const;

private:
    struct Cell {
        enum class Kind { Number, Text, Boolean, Error } kind = Kind::Text;
        double number = 0;
        std::string text;  // string value, or error text
        bool boolean = false;
    };
    struct Sheet {
        std::string name;
        std::map<std::pair<int, int>, Cell> cells;  // (row, column) from 1
    };
    std::vector<Sheet> sheets_;
    friend class WorkbookReader;
    friend class WorkbookWriter;
};

}  // namespace ziv
