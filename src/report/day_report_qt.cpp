#include "report/day_report_qt.h"

#include <algorithm>

#include "common/numbers.h"
#include "common/timestamp.h"
#include "drawing/drawing_export_qt.h"
#include "report/capability_table.h"
#include "report/report_csv.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {


QString DateCaption(const Date& date) {
    return QString("%1年%2月%3日").arg(date.Year).arg(date.Month).arg(date.Day);
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

namespace {

// When the record was issued: the part facts' date, else the day it is made.
QString IssueDate(const PartFacts& part) {
    if (!part.IssueDate.empty()) return Q(part.IssueDate);
    Day today = TimestampNow().LocalDay();
    return DateCaption({static_cast<int>(today.year()), static_cast<int>(static_cast<unsigned>(today.month())),
                        static_cast<int>(static_cast<unsigned>(today.day()))});
}

}  // namespace

PagedDocument DayReportDocument(const DayReport& report, const LotFacts& lot) {
    PagedDocument doc;
    doc.Title = QStringLiteral("検査成績書");
    const DayBookName& name = report.Book.Name;
    const PartFacts& part = report.Facts;
    // Unknown facts stay blank, so that the paper can be completed by hand.
    QString quantity = lot.Quantity ? QString::number(*lot.Quantity) : QString();
    doc.HeaderLines << QStringLiteral("報告書番号: %1    発行日: %2    理由: %3")
                           .arg(Q(part.ReportNumber), IssueDate(part), Q(part.Reason))
                    << QStringLiteral("発行元: %1    仕入先コード: %2").arg(Q(part.Issuer), Q(part.SupplierCode))
                    << QStringLiteral("顧客: %1    注文番号: %2").arg(Q(part.Customer), Q(part.OrderNumber))
                    << QStringLiteral("図番: %1    改訂: %2").arg(Q(part.PartNumber), Q(part.Revision))
                    << QStringLiteral("品名: %1    材質: %2").arg(Q(part.PartName), Q(part.Material))
                    << QStringLiteral("ロット: %1    数量: %2").arg(Q(lot.Number), quantity)
                    << QStringLiteral("製品: %1    号機: %2号機").arg(Q(name.Product)).arg(name.Machine)
                    << QStringLiteral("測定者: %1    日付: %2").arg(Q(name.Operator), DateCaption(name.WorkDate));
    // The counts add up to every characteristic: none is left unexplained.
    const RecordVerdict verdict = VerdictOfRecord(report);
    doc.HeaderLines << QStringLiteral("測定点数: %1 / %2    合格: %3    不合格: %4    判定なし: %5    未測定: %6")
                           .arg(verdict.Measured())
                           .arg(verdict.Characteristics())
                           .arg(verdict.Passed)
                           .arg(verdict.Failed)
                           .arg(verdict.Unjudged.size())
                           .arg(verdict.NotMeasured);
    // A customer asks of every value whether its gauge was in calibration: one taken past the due date is marked.
    const int overdue = OverdueValues(report);
    if (overdue > 0)
        doc.HeaderLines << QStringLiteral("%1 校正期限を過ぎた計器で測った値: %2点").arg(kOverdueMark).arg(overdue);
    const std::vector<RecordLine> lines = RecordLines(report);
    if (std::any_of(lines.begin(), lines.end(), [](const RecordLine& l) { return l.Key; }))
        doc.HeaderLines << QStringLiteral("◆ 重要特性");
    doc.Verdict = QStringLiteral("総合判定: ") + Q(RecordVerdictText(verdict));
    if (overdue > 0) doc.Verdict += QStringLiteral("　%1 校正期限切れの計器 %2点").arg(kOverdueMark).arg(overdue);
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
    doc.TableFontSize = 8;
    doc.Columns = {{QStringLiteral("番号"), 26, Qt::AlignRight},       {QStringLiteral("特性"), 58, Qt::AlignLeft},
                   {QStringLiteral("記号"), 22, Qt::AlignCenter},      {QStringLiteral("寸法"), 40, Qt::AlignRight},
                   {QStringLiteral("上の許容差"), 44, Qt::AlignRight}, {QStringLiteral("下の許容差"), 44, Qt::AlignRight},
                   {QStringLiteral("単位"), 24, Qt::AlignCenter},      {QStringLiteral("数量"), 24, Qt::AlignRight},
                   {QStringLiteral("測定器"), 54, Qt::AlignLeft},      {QStringLiteral("測定値"), 46, Qt::AlignRight},
                   {QStringLiteral("判定"), 24, Qt::AlignCenter},      {QStringLiteral("管理番号"), 54, Qt::AlignLeft},
                   {QStringLiteral("測定時刻"), 64, Qt::AlignLeft}};
    for (const RecordLine& l : lines) {
        TableRow line;
        line.Cells << (l.Key ? QStringLiteral("◆") : QString()) + Q(l.Point) << Q(l.Name) << Q(l.Symbol) << Q(l.Nominal)
                   << Q(l.Upper) << Q(l.Lower) << Q(l.Unit) << Q(l.Quantity) << Q(l.InputName) << Q(l.Value)
                   << Q(l.Verdict) << Q(l.Gauge) + (l.GaugeOverdue ? kOverdueMark : QString()) << Q(l.Time);
        line.Marked = l.Failed;
        line.MarkedColumn = 10;
        doc.Rows.push_back(std::move(line));
    }
    return doc;
}

}  // namespace ziv::report
