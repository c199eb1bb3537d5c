#pragma once
// A machine's sheet on screen: a table model that reads the sheet the entry
// flow keeps (nothing is copied; the flow says which points changed) and the
// view the measurement window shows it in. Rows are points: view row 0 is
// point 1; the column titles are the header, not a row of the data.
#include <QAbstractTableModel>
#include <QTableView>

#include "station/machine_sheet.h"

namespace ziv {

class SheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SheetModel(const MachineSheet& sheet, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    // Texts, centred; the judgement's colours on the value and judgement cells.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The sheet changed: one point's row, or every row.
    void PointChanged(int point);
    void SheetChanged();

private:
    const MachineSheet& sheet_;
};

class SheetGrid : public QTableView {
    Q_OBJECT
public:
    explicit SheetGrid(const MachineSheet& sheet, QWidget* parent = nullptr);

    SheetModel& Model() { return model_; }
    // The width that shows every column whole, with the scroll bar.
    int FullWidth() const;
    // The point of the current row; 1 before any row was current.
    int Row() const { return row_; }
    // Makes the point's row current; a point outside the sheet is ignored.
    void SetRow(int point);
    // The point shown first, and scrolling so that a point is shown first.
    int TopRow() const;
    void SetTopRow(int point);

    // Typing never jumps to a matching row: letters and the space bar are the
    // measurement window's keys.
    void keyboardSearch(const QString&) override {}

signals:
    // The current cell changed (by the user or by SetRow).
    void CurrentChanged();

private:
    SheetModel model_;
    int row_ = kFirstPoint;
};

}  // namespace ziv
