#pragma once
// The workbook engine: reads .xls (BIFF8, BIFF5) and Office Open XML workbooks
// (decided by content, not by name) and writes BIFF8 .xls in an OLE2 compound
// file. Plain C++: the day workbooks and masters are read and written here
// without any spreadsheet program running.
#include <cstddef>
#include <cstdint>
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
    // Opens a file; nothing, with what went wrong in *problem, when it is
    // missing or cannot be read (Missing, Unreadable) or its bytes are no
    // workbook the engine reads (BookUnreadable: damaged, encrypted, of
    // another format), the file named each time.
    static std::optional<Workbook> Open(const std::string& path, FileResult* problem = nullptr,
                                        Disk& disk = RealDisk());
    // BookUnreadable, without a path, when the bytes are no workbook the engine reads.
    static std::optional<Workbook> OpenFromMemory(std::string_view bytes, FileResult* problem = nullptr);

    int SheetCount() const;
    std::string SheetName(int sheet) const;  // sheet from 1

    // Cell text: numbers in the general decimal form (up to 15 significant
    // digits), strings as stored, TRUE/FALSE, formulas by their cached result,
    // errors by their text (#N/A ...), nothing as empty text. Rows, columns and
    // sheets count from 1; outside the workbook reads as empty text.
    std::string CellText(int sheet, int row, int column) const;

    // A cell as stored, for readers that want its number without making text
    // of it. Same places as CellText; an empty or outside cell is Empty.
    struct CellView {
        enum class Kind : std::uint8_t { Empty, Number, Text, Boolean, Error };
        Kind kind = Kind::Empty;
        bool boolean = false;
        double number = 0;      // Number: the value stored
        std::string_view text;  // Text, Error: as stored, until the workbook changes
        // What CellText gives for the cell.
        std::string Text() const;
        // The number of a Number cell when its text shows it whole (at most 15
        // significant digits, as every number typed at the station): reading
        // the text back gives this very value. Nothing for other cells and
        // for numbers the text rounds (NaN, infinities, tiny and long ones):
        // their text is what a reader must go by.
        std::optional<double> ExactNumber() const;
    };
    CellView View(int sheet, int row, int column) const;
    // Every cell of a sheet, in row then column order, without a search for
    // each: visit(row, column, view) with none of the views Empty. The visit
    // must leave the workbook as it is.
    template <typename Visit>
    void ForEachCell(int sheet, Visit&& visit) const {
        if (sheet < 1 || sheet > SheetCount()) return;
        const Sheet& in = sheets_[static_cast<size_t>(sheet - 1)];
        for (const Cell& cell : in.cells) visit(cell.row, cell.column, ViewOf(in, cell));
    }

    // A text that reads wholly as a decimal number becomes a number cell, other
    // text a string cell, empty text no cell. False, and nothing stored, for a
    // sheet beyond the last or a cell outside the .xls grid.
    bool SetCell(int sheet, int row, int column, std::string_view text);

    // Adds empty worksheets at the end until there are `count` of them.
    void AddSheetsUpTo(int count);

    // Every non-empty cell of a sheet, in row then column order.
    std::vector<std::pair<std::pair<int, int>, std::string>> Cells(int sheet) const;

    // BIFF8 bytes of the whole workbook, and an atomic save of them
    // (*written, when given, receives the stamp of what was written; see
    // WriteFileAtomic for mayReplace).
    std::string ToBytes() const;
    FileResult SaveAs(const std::string& path, FileStamp* written = nullptr,
                      const std::function<bool()>& mayReplace = {}, Disk& disk = RealDisk()) const;

private:
    struct Cell {
        int row = 0, column = 0;  // from 1
        enum class Kind : std::uint8_t { Number, Text, Boolean, Error } kind = Kind::Text;
        bool boolean = false;
        std::uint32_t textSize = 0;
        double number = 0;
        std::size_t textAt = 0;  // string value or error text, in the sheet's texts
    };
    // A sheet's cells lie in one array in row then column order, one per
    // position, and their texts one after another in one string: a day
    // workbook of a few hundred cells is then read without an allocation per
    // cell, and a cell found by binary search.
    struct Sheet {
        std::string name;
        std::vector<Cell> cells;
        std::string texts;
        std::size_t unusedText = 0;  // bytes of texts that no cell holds any more
    };
    static bool Before(const Cell& cell, int row, int column) {
        return cell.row < row || (cell.row == row && cell.column < column);
    }
    static const Cell* Find(const Sheet& sheet, int row, int column);
    static std::string_view TextOf(const Sheet& sheet, const Cell& cell) {
        return {sheet.texts.data() + cell.textAt, cell.textSize};
    }
    static CellView ViewOf(const Sheet& sheet, const Cell& cell);
    // Gives a cell without a text its text; gives a cell a text in place of
    // the one it held, over it where it fits; lets go of a text no cell holds
    // any more. The texts let go of are dropped once they outweigh those held.
    static void PutText(Sheet& sheet, Cell& cell, std::string_view text);
    static void ReplaceText(Sheet& sheet, Cell& cell, std::string_view text);
    static void DropText(Sheet& sheet, const Cell& cell) { sheet.unusedText += cell.textSize; }
    static bool WorthRepacking(const Sheet& sheet) {
        return sheet.unusedText > 4096 && sheet.unusedText > sheet.texts.size() / 2;
    }
    // visitOthers(f) calls f on each cell that holds a text of the sheet
    // besides those in sheet.cells.
    template <typename VisitOthers>
    static void RepackTexts(Sheet& sheet, VisitOthers&& visitOthers);

    std::vector<Sheet> sheets_;
    friend class WorkbookReader;
    friend class WorkbookWriter;
};

}  // namespace ziv
