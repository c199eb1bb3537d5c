#include "report/capability_pages_qt.h"

#include "report/capability_table.h"

namespace ziv::report {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString DateCaption(const Date& date) {
    return QString("%1年%2月%3日").arg(date.Year).arg(date.Month).arg(date.Day);
}

QString FilterCaption(const Filter& range) {
    QString text = QStringLiteral("期間: ") + (range.From ? DateCaption(*range.From) : QStringLiteral("—")) +
                   QStringLiteral(" ～ ") + (range.To ? DateCaption(*range.To) : QStringLiteral("—"));
    text += QStringLiteral("   号機: ") + (range.Machine ? QString("%1号機").arg(*range.Machine) : QStringLiteral("全て"));
    text += QStringLiteral("   測定者: ") + (range.Operator ? Q(*range.Operator) : QStringLiteral("全員"));
    return text;
}

}  // namespace

QColor StandingTint(CapabilityRow::Standing standing) {
    switch (standing) {
        case CapabilityRow::Standing::WantsALook: return QColor(255, 215, 215);
        case CapabilityRow::Standing::NotProven: return QColor(255, 240, 200);
        case CapabilityRow::Standing::Proven: return QColor(215, 245, 215);
        case CapabilityRow::Standing::Unknown: break;
    }
    return {};
}

PagedDocument CapabilityDocument(const CapabilityScope& scope, const std::vector<CapabilityRow>& table) {
    PagedDocument doc;
    doc.Landscape = true;
    doc.Title = QStringLiteral("工程能力");
    doc.TableFontSize = 7;
    doc.FitColumnsToText = true;
    const QString product = QStringLiteral("製品: %1").arg(Q(ProductNameOf(scope.ProductDir)));
    doc.HeaderLines << product << FilterCaption(scope.Range);
    doc.HeaderLines << QStringLiteral("読んだブック: %1    読めなかったブック: %2    対象外のファイル: %3")
                           .arg(scope.BooksRead)
                           .arg(scope.BooksSkipped)
                           .arg(scope.FilesIgnored);
    // The legend, a sentence a line.
    for (const QString& sentence : Q(std::string(kCapabilityLegend)).split(QStringLiteral("。"), Qt::SkipEmptyParts))
        doc.HeaderLines << sentence + QStringLiteral("。");
    doc.PageLine = QStringLiteral("工程能力   ") + product + QStringLiteral("   ") + FilterCaption(scope.Range);
    for (const CapabilityColumn& column : kCapabilityColumns)
        doc.Columns.push_back({Q(std::string(column.Title)), static_cast<double>(column.Width),
                               column.Text ? Qt::AlignLeft : Qt::AlignRight});
    for (const CapabilityRow& row : table) {
        TableRow line;
        for (const std::string& cell : CapabilityRowTexts(row)) line.Cells << Q(cell);
        line.Tint = StandingTint(row.Assess());
        doc.Rows.push_back(std::move(line));
    }
    return doc;
}

}  // namespace ziv::report
