#include "platform/flex_grid_qt.h"

#include <QHeaderView>
#include <QScrollBar>

#include "common/twips.h"

namespace ziv {

FlexGrid::FlexGrid(QWidget* parent) : QTableWidget(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int r, int, int, int) {
        if (r >= 0) {
            row_ = r + 1;
            emit RowColChange();
        }
    });
}

void FlexGrid::SetRows(int rows) { setRowCount(std::max(0, rows - 1)); }

void FlexGrid::SetCols(int cols) {
    setColumnCount(cols);
    alignment_.resize(cols);
    for (int c = 0; c < cols; ++c)
        if (!horizontalHeaderItem(c)) setHorizontalHeaderItem(c, new QTableWidgetItem());
}

void FlexGrid::SetColWidth(int col, int twips) { setColumnWidth(col, twips / kTwipsPerPixel); }

void FlexGrid::SetColAlignment(int col, int code) {
    if (col < 0 || col >= alignment_.size()) return;
    alignment_[col] = code;
    if (auto* h = horizontalHeaderItem(col)) h->setTextAlignment(AlignmentOf(col));
}

Qt::Alignment FlexGrid::AlignmentOf(int col) const {
    // Only the centred code is used by the system; anything else is left-aligned.
    if (col >= 0 && col < alignment_.size() && alignment_[col] == 4) return Qt::AlignCenter;
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QString FlexGrid::TextMatrix(int row, int col) const {
    const QTableWidgetItem* cell = row == 0 ? horizontalHeaderItem(col) : item(row - 1, col);
    return cell ? cell->text() : QString();
}

void FlexGrid::SetTextMatrix(int row, int col, const QString& text) {
    if (row < 0 || row >= Rows() || col < 0 || col >= columnCount()) return;
    if (row == 0) {
        horizontalHeaderItem(col)->setText(text);
        return;
    }
    if (auto* cell = item(row - 1, col)) {
        cell->setText(text);
    } else if (!text.isEmpty()) {
        auto* created = new QTableWidgetItem(text);
        created->setTextAlignment(AlignmentOf(col));
        setItem(row - 1, col, created);
    }
    if (styler_) styler_(*this, row);
}

void FlexGrid::Clear() {
    clearContents();
    for (int c = 0; c < columnCount(); ++c)
        if (auto* h = horizontalHeaderItem(c)) h->setText(QString());
}

int FlexGrid::Row() const { return row_; }

void FlexGrid::SetRow(int row) {
    if (row < 1 || row >= Rows()) return;
    int col = std::max(0, currentColumn());
    if (currentRow() == row - 1) return;
    setCurrentCell(row - 1, col);
}

int FlexGrid::TopRow() const {
    int top = rowAt(0);
    return top < 0 ? 1 : top + 1;
}

void FlexGrid::SetTopRow(int row) {
    if (row < 1 || row >= Rows()) return;
    verticalScrollBar()->setValue(row - 1);
    scrollTo(model()->index(row - 1, 0), QAbstractItemView::PositionAtTop);
}

}  // namespace ziv
