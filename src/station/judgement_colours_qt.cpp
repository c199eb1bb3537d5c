#include "station/judgement_colours_qt.h"

#include <QFont>

#include "station/judgement.h"

namespace ziv {

namespace {
constexpr int kValueColumn = 1, kJudgementColumn = 2;

QVariant Look(const QColor& background, bool bold, int role) {
    switch (role) {
        case Qt::BackgroundRole: return background;
        case Qt::ForegroundRole: return QColor(Qt::white);
        case Qt::FontRole: {
            if (!bold) return {};
            // Only the weight: the rest is the grid's own font.
            QFont font;
            font.setBold(true);
            return font;
        }
        default: return {};
    }
}
}  // namespace

QVariant JudgementLook(const SheetRow& row, int column, int role) {
    if (row.Judgement == JudgementText(Judgement::Fail) && (column == kValueColumn || column == kJudgementColumn))
        return Look(kFailColour, true, role);
    if (row.Judgement == JudgementText(Judgement::Pass) && column == kJudgementColumn)
        return Look(kPassColour, false, role);
    return {};
}

}  // namespace ziv
