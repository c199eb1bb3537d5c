#pragma once
// The measured-value grid: text cells by row and column, row 0 being the
// fixed header row, a current row and a top row, as the measurement window
// uses them.
#include <QTableWidget>
#include <functional>

namespace ziv {

class FlexGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit FlexGrid(QWidget* parent = nullptr);

    // Rows including the header row 0.
    void SetRows(int rows);
    int Rows() const { return rowCount() + 1; }
    void SetCols(int cols);
    int Cols() const { return columnCount(); }
    void SetColWidth(int col, int twips);
    // 4 = centred horizontally and vertically.
    void SetColAlignment(int col, int code);

    QString TextMatrix(int row, int col) const;
    void SetTextMatrix(int row, int col, const QString& text);
    // Every cell's text becomes empty; rows, columns, widths and alignment stay.
    void Clear();

    int Row() const;
    void SetRow(int row);
    int TopRow() const;
    void SetTopRow(int row);

    // Called with the row after any text of it changed, so that what a row
    // shows (colours, type) can follow its texts wherever they come from.
    void SetRowStyler(std::function<void(FlexGrid&, int row)> styler) { styler_ = std::move(styler); }

    // Typing never jumps to a matching row: letters and the space bar are the
    // measurement window's keys.
    void keyboardSearch(const QString&) override {}

signals:
    // The current cell changed (by the user or by SetRow).
    void RowColChange();

private:
    Qt::Alignment AlignmentOf(int col) const;
    QList<int> alignment_;
    std::function<void(FlexGrid&, int)> styler_;
    int row_ = 1;
};

}  // namespace ziv
