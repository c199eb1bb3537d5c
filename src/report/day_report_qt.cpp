#include "report/day_report_qt.h"

#include <algorithm>

#include "common/numbers.h"
#include "drawing/drawing_export_qt.h"
#include "report/capability_table.h"
#include "report/report_csv.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {


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

QColor VerdictColour(PointVerdict verdict) {
    switch (verdict) {
    case PointVerdict::Pass: return QColor(0, 170, 0);
    case PointVerdict::Fail: return QColor(230, 0, 0);
    case PointVerdict::Unjudged: return QColor(240, 170, 0);
    case PointVerdict::NotMeasured: break;
    }
    return QColor(150, 150, 150);
}

// Beside the control number of a gauge used past its calibration due date.
const QString kOverdueMark = QStringLiteral("※");

QImage MarkedDrawing(const DayReport& report) {
    if (report.DrawingPath.empty() || !report.Points) return {};
    QImage drawing(QString::fromStdString(report.DrawingPath));
    if (drawing.isNull()) return {};
    // The exported drawing's discs, coloured by each point's verdict.
    return RenderInspectionDrawing(drawing, *report.Points, [&](int n) {
        const PointRow* row = FindRow(report.Book, n);
        return VerdictColour(row ? VerdictOf(*row) : PointVerdict::NotMeasured);
    });
}

PagedDocument DayReportDocument(const DayReport& report, const LotFacts& lot) {
    PagedDocument doc;
    doc.Title = QStringLiteral("検査成績書");
    const DayBookName& name = report.Book.Name;
    const PartFacts& part = report.Facts;
    // Unknown facts stay blank, so that the paper can be completed by hand.
    QString quantity = lot.Quantity ? QString::number(*lot.Quantity) : QString();
    doc.HeaderLines << QStringLiteral("顧客: %1").arg(Q(part.Customer))
                    << QStringLiteral("図番: %1    改訂: %2").arg(Q(part.PartNumber), Q(part.Revision))
                    << QStringLiteral("品名: %1    材質: %2").arg(Q(part.PartName), Q(part.Material))
                    << QStringLiteral("ロット: %1    数量: %2").arg(Q(lot.Number), quantity)
                    << QStringLiteral("製品: %1    号機: %2号機").arg(Q(name.Product)).arg(name.Machine)
                    << QStringLiteral("測定者: %1    日付: %2").arg(Q(name.Operator), DateCaption(name.WorkDate));
    QString master = report.MasterPoints ? QString::number(*report.MasterPoints) : QStringLiteral("—");
    doc.HeaderLines << QStringLiteral("測定点数: %1 / %2 (マスタ)    合格: %3    不合格: %4")
                           .arg(report.Measured)
                           .arg(master)
                           .arg(report.Passed)
                           .arg(report.Failed);
    // A customer asks of every value whether its gauge was in calibration: one taken past the due date is marked.
    const auto overdue = std::count_if(report.Sources.begin(), report.Sources.end(),
                                       [](const auto& source) { return source.second.GaugeOverdue; });
    if (overdue > 0)
        doc.HeaderLines << QStringLiteral("%1 校正期限を過ぎた計器で測った値: %2点").arg(kOverdueMark).arg(overdue);
    doc.Verdict = QStringLiteral("総合判定: ") + Q(RecordVerdictText(VerdictOfRecord(report)));
    doc.Stamps = {QStringLiteral("検査"), QStringLiteral("承認")};
    doc.PageLine = QStringLiteral("製品: %1  号機: %2号機  測定者: %3  日付: %4  ロット: %5")
                       .arg(Q(name.Product))
                       .arg(name.Machine)
                       .arg(Q(name.Operator), DateCaption(name.WorkDate), Q(lot.Number));
    doc.Picture = MarkedDrawing(report);
    if (!doc.Picture.isNull())
        doc.Legend = {{VerdictColour(PointVerdict::Pass), QStringLiteral("合格")},
                      {VerdictColour(PointVerdict::Fail), QStringLiteral("不合格")},
                      {VerdictColour(PointVerdict::NotMeasured), QStringLiteral("未測定")},
                      {VerdictColour(PointVerdict::Unjudged), QStringLiteral("判定なし")}};
    doc.Columns = {{QStringLiteral("番号"), 26, Qt::AlignRight},     {QStringLiteral("寸法"), 48, Qt::AlignRight},
                   {QStringLiteral("上限"), 42, Qt::AlignRight},     {QStringLiteral("下限"), 42, Qt::AlignRight},
                   {QStringLiteral("測定器"), 78, Qt::AlignLeft},    {QStringLiteral("測定値"), 56, Qt::AlignRight},
                   {QStringLiteral("判定"), 28, Qt::AlignCenter},   {QStringLiteral("補正"), 44, Qt::AlignRight},
                   {QStringLiteral("管理番号"), 62, Qt::AlignLeft}, {QStringLiteral("測定時刻"), 60, Qt::AlignLeft}};
    for (const PointRow& row : report.Book.Rows) {
        TableRow line;
        line.Cells << QString::number(row.Point) << Q(row.Nominal) << Q(row.Upper) << Q(row.Lower)
                   << Q(row.InputName) << Q(row.Value) << Q(row.Judgement) << Q(row.Correction);
        auto source = report.Sources.find(row.Point);
        if (source != report.Sources.end())
            line.Cells << Q(source->second.Gauge) + (source->second.GaugeOverdue ? kOverdueMark : QString())
                       << Q(source->second.Time);
        line.Marked = VerdictOf(row) == PointVerdict::Fail;
        line.MarkedColumn = 6;
        doc.Rows.push_back(std::move(line));
    }
    return doc;
}

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
    doc.HeaderLines << QStringLiteral("製品: %1").arg(Q(ProductNameOf(scope.ProductDir)));
    doc.HeaderLines << FilterCaption(scope.Range);
    doc.HeaderLines << QStringLiteral("読んだブック: %1    読めなかったブック: %2    対象外のファイル: %3")
                           .arg(scope.BooksRead)
                           .arg(scope.BooksSkipped)
                           .arg(scope.FilesIgnored);
    // The legend, a sentence a line.
    for (const QString& sentence : Q(std::string(kCapabilityLegend)).split(QStringLiteral("。"), Qt::SkipEmptyParts))
        doc.HeaderLines << sentence + QStringLiteral("。");
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
