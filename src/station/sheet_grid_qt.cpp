#include "station/sheet_grid_qt.h"

#include <QHeaderView>
#include <QScrollBar>
#include <algorithm>

#include "station/judgement_colours_qt.h"

namespace ziv {

namespace {
const char* const kTitles[MachineSheet::kColumns] = {"番号", "測定値", "判定", "寸法", "上限", "下限", "狙い", "補正"};
// The longest text each column usually holds: the number and the judgement
// narrow, the values as wide as a signed value with three decimals. Narrow
// enough that on a 1366 pixel wide screen the window leaves the editor's
// buttons and its detail view free.
const char* const kWidest[MachineSheet::kColumns] = {"100", "-000.000", "不", "-000.000", "-000.000",
                                                     "-000.000", "-000.000", "-000.000"};
}  // namespace

SheetModel::SheetModel(const MachineSheet& sheet, QObject* parent) : QAbstractTableModel(parent), sheet_(sheet) {}

int SheetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kLastPoint; }

int SheetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : MachineSheet::kColumns; }

QVariant SheetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    int point = index.row() + kFirstPoint;
    switch (role) {
        case Qt::DisplayRole: {
            std::string text = sheet_.ColumnText(point, index.column());
            return text.empty() ? QVariant() : QVariant(QString::fromStdString(text));
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            return JudgementLook(sheet_.Row(point), index.column(), role);
    }
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= MachineSheet::kColumns)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return QString::fromUtf8(kTitles[section]);
    if (role == Qt::TextAlignmentRole) return int(Qt::AlignCenter);
    return {};
}

void SheetModel::PointChanged(int point) {
    if (point < kFirstPoint || point > kLastPoint) return;
    emit dataChanged(index(point - kFirstPoint, 0), index(point - kFirstPoint, MachineSheet::kColumns - 1));
}

void SheetModel::SheetChanged() { emit dataChanged(index(0, 0), index(kLastPoint - 1, MachineSheet::kColumns - 1)); }

SheetGrid::SheetGrid(const MachineSheet& sheet, QWidget* parent) : QTableView(parent), model_(sheet) {
    setModel(&model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    // All eight columns side by side without scrolling, tolerances included:
    // each as wide as its title and its widest usual text, in the grid's font.
    const QFontMetrics cells = fontMetrics(), titles = horizontalHeader()->fontMetrics();
    const int padding = cells.averageCharWidth() + 2;
    for (int c = 0; c < MachineSheet::kColumns; ++c) {
        int title = titles.horizontalAdvance(QString::fromUtf8(kTitles[c]));
        int text = cells.horizontalAdvance(QString::fromUtf8(kWidest[c]));
        setColumnWidth(c, std::max(title, text) + padding);
    }
    // The input position stays as plain to see while the editor is in front.
    QPalette colours = palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        colours.setColor(QPalette::Inactive, role, colours.color(QPalette::Active, role));
    setPalette(colours);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (!current.isValid()) return;
        row_ = current.row() + kFirstPoint;
        emit CurrentChanged();
    });
}

int SheetGrid::FullWidth() const {
    int columns = 0;
    for (int c = 0; c < MachineSheet::kColumns; ++c) columns += columnWidth(c);
    return columns + verticalScrollBar()->sizeHint().width() + 2 * frameWidth();
}

void SheetGrid::SetRow(int point) {
    if (point < kFirstPoint || point > kLastPoint) return;
    if (currentIndex().row() == point - kFirstPoint) return;
    setCurrentIndex(model_.index(point - kFirstPoint, std::max(0, currentIndex().column())));
}

int SheetGrid::TopRow() const {
    int top = rowAt(0);
    return top < 0 ? kFirstPoint : top + kFirstPoint;
}

void SheetGrid::SetTopRow(int point) {
    if (point < kFirstPoint || point > kLastPoint) return;
    verticalScrollBar()->setValue(point - kFirstPoint);
    scrollTo(model_.index(point - kFirstPoint, 0), QAbstractItemView::PositionAtTop);
}

}  // namespace ziv
