#include "station/judgement_colours_qt.h"

#include <QFont>

#include "platform/flex_grid_qt.h"
#include "station/judgement.h"

namespace ziv {

namespace {
constexpr int kValueColumn = 1, kJudgementColumn = 2;

void Paint(QTableWidgetItem* cell, const QColor& background, bool bold) {
    if (!cell) return;
    cell->setData(Qt::BackgroundRole, background.isValid() ? QVariant(background) : QVariant());
    cell->setData(Qt::ForegroundRole, background.isValid() ? QVariant(QColor(Qt::white)) : QVariant());
    if (bold) {
        QFont font = cell->font();
        font.setBold(true);
        cell->setData(Qt::FontRole, font);
    } else {
        cell->setData(Qt::FontRole, QVariant());
    }
}
}  // namespace

void ColourJudgedRow(FlexGrid& grid, int row) {
    const QString judgement = grid.TextMatrix(row, kJudgementColumn);
    QTableWidgetItem* value = grid.item(row - 1, kValueColumn);
    QTableWidgetItem* verdict = grid.item(row - 1, kJudgementColumn);
    if (judgement == QString::fromStdString(JudgementText(Judgement::Fail))) {
        Paint(value, kFailColour, true);
        Paint(verdict, kFailColour, true);
    } else if (judgement == QString::fromStdString(JudgementText(Judgement::Pass))) {
        Paint(value, QColor(), false);
        Paint(verdict, kPassColour, false);
    } else {
        Paint(value, QColor(), false);
        Paint(verdict, QColor(), false);
    }
}

}  // namespace ziv
