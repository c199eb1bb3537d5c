#include "report/day_report_qt.h"

#include "common/numbers.h"
#include "drawing/drawing_export_qt.h"
#include "report/report_csv.h"

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

QColor VerdictColour(PointVerdict verdict) {
    switch (verdict) {
    case PointVerdict::Pass: return QColor(0, 170, 0);
    case PointVerdict::Fail: return QColor(230, 0, 0);
    case PointVerdict::Unjudged: return QColor(240, 170, 0);
    case PointVerdict::NotMeasured: break;
    }
    return QColor(150, 150, 150);
}

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

PagedDocument DayReportDocument(const DayReport& report) {
    PagedDocument doc;
    doc.Title = QStringLiteral("検査成績表");
    const DayBookName& name = report.Book.Name;
    if (report.NameRead) {
        doc.HeaderLines << QStringLiteral("製品: %1    号機: %2号機    測定者: %3    日付: %4")
                               .arg(Q(name.Product))
                               .arg(name.Machine)
                               .arg(Q(name.Operator), DateCaption(name.WorkDate));
    } else {
        doc.HeaderLines << QStringLiteral("製品: %1").arg(Q(name.Product));
    }
    QString master = report.MasterPoints ? QString::number(*report.MasterPoints) : QStringLiteral("—");
    doc.HeaderLines << QStringLiteral("測定点数: %1 / %2 (マスタ)    合格: %3    不合格: %4")
                           .arg(report.Measured)
                           .arg(master)
                           .arg(report.Passed)
                           .arg(report.Failed);
    doc.HeaderLines << QStringLiteral("ファイル: %1").arg(Q(report.Book.Path));
    doc.Picture = MarkedDrawing(report);
    if (!doc.Picture.isNull())
        doc.Legend = {{VerdictColour(PointVerdict::Pass), QStringLiteral("合格")},
                      {VerdictColour(PointVerdict::Fail), QStringLiteral("不合格")},
                      {VerdictColour(PointVerdict::NotMeasured), QStringLiteral("未測定")},
                      {VerdictColour(PointVerdict::Unjudged), QStringLiteral("判定なし")}};
    doc.Columns = {{QStringLiteral("番号"), 30, Qt::AlignRight},   {QStringLiteral("寸法"), 55, Qt::AlignRight},
                   {QStringLiteral("上限"), 50, Qt::AlignRight},   {QStringLiteral("下限"), 50, Qt::AlignRight},
                   {QStringLiteral("測定器"), 90, Qt::AlignLeft},  {QStringLiteral("測定値"), 65, Qt::AlignRight},
                   {QStringLiteral("判定"), 35, Qt::AlignCenter}, {QStringLiteral("補正"), 55, Qt::AlignRight}};
    for (const PointRow& row : report.Book.Rows) {
        TableRow line;
        line.Cells << QString::number(row.Point) << Q(row.Nominal) << Q(row.Upper) << Q(row.Lower)
                   << Q(row.InputName) << Q(row.Value) << Q(row.Judgement) << Q(row.Correction);
        line.Marked = VerdictOf(row) == PointVerdict::Fail;
        line.MarkedColumn = 6;
        doc.Rows.push_back(std::move(line));
    }
    return doc;
}

bool NeedsAttention(const PointCapability& point) {
    return point.Outside > 0 || point.NgCount > 0 || (point.Stats.Cpk && *point.Stats.Cpk < 1.33);
}

PagedDocument CapabilityDocument(const CapabilityScope& scope, const std::vector<PointCapability>& table) {
    PagedDocument doc;
    doc.Landscape = true;
    doc.Title = QStringLiteral("工程能力");
    doc.HeaderLines << QStringLiteral("製品: %1").arg(Q(ProductNameOf(scope.ProductDir)));
    doc.HeaderLines << FilterCaption(scope.Range);
    doc.HeaderLines << QStringLiteral("読んだブック: %1    読めなかったブック: %2    対象外のファイル: %3")
                           .arg(scope.BooksRead)
                           .arg(scope.BooksSkipped)
                           .arg(scope.FilesIgnored);
    doc.Columns = {{QStringLiteral("番号"), 28},           {QStringLiteral("寸法"), 48},
                   {QStringLiteral("上限"), 42},           {QStringLiteral("下限"), 42},
                   {QStringLiteral("n"), 34},              {QStringLiteral("平均"), 56},
                   {QStringLiteral("標準偏差"), 52},       {QStringLiteral("最小"), 50},
                   {QStringLiteral("最大"), 50},           {QStringLiteral("Cp"), 38},
                   {QStringLiteral("Cpk"), 38},            {QStringLiteral("規格外"), 38},
                   {QStringLiteral("規格外率"), 46},       {QStringLiteral("OK"), 30},
                   {QStringLiteral("NG"), 30},             {QStringLiteral("その他"), 90, Qt::AlignLeft}};
    for (const PointCapability& p : table) {
        const Statistics& s = p.Stats;
        std::optional<double> percent;
        if (p.OutsideShare) percent = *p.OutsideShare * 100;
        TableRow line;
        QString nominal = Q(p.Nominal) + (p.LimitsChanged ? QStringLiteral("*") : QString());
        line.Cells << QString::number(p.Point) << nominal << Q(p.Upper) << Q(p.Lower)
                   << QString::number(static_cast<qulonglong>(s.N)) << Q(FixedText(s.Mean, 4))
                   << Q(FixedText(s.StdDev, 4)) << (s.Min ? Q(GeneralDecimalText(*s.Min)) : QStringLiteral("—"))
                   << (s.Max ? Q(GeneralDecimalText(*s.Max)) : QStringLiteral("—")) << Q(FixedText(s.Cp, 2))
                   << Q(FixedText(s.Cpk, 2)) << QString::number(static_cast<qulonglong>(p.Outside))
                   << (percent ? Q(FixedText(percent, 1)) + "%" : QStringLiteral("—"))
                   << QString::number(static_cast<qulonglong>(p.OkCount))
                   << QString::number(static_cast<qulonglong>(p.NgCount)) << Q(OtherTextsSummary(p));
        line.Marked = NeedsAttention(p);
        line.MarkedColumn = 10;
        doc.Rows.push_back(std::move(line));
    }
    return doc;
}

}  // namespace ziv::report
