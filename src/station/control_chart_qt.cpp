#include "station/control_chart_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "report/spc.h"
#include "station/control_chart.h"

namespace ziv {

namespace {

const QColor kAmber{0xFF, 0xB3, 0x00};
const QColor kFail{0xCC, 0x00, 0x00};

}  // namespace

ControlChartView::ControlChartView(QWidget* parent) : QWidget(parent) {
    setMinimumSize(220, 120);
    setAccessibleName(QStringLiteral("管理図"));
}

void ControlChartView::Clear(const QString& why) {
    limits_.reset();
    values_.clear();
    signalled_.clear();
    title_ = why;
    update();
}

void ControlChartView::Show(int point, int machine, const report::FixedLimit& limits, std::vector<double> values) {
    limits_ = limits;
    values_ = std::move(values);
    signalled_.assign(values_.size(), false);
    for (const report::RuleSignal& s : report::RunRules(values_, limits.Limits)) signalled_[s.Index] = true;
    title_ = QStringLiteral("管理図 点%1 %2号機 (第%3版)").arg(point).arg(machine).arg(limits.Version);
    update();
}

void ControlChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), Qt::white);
    QFontMetrics fm(font());
    p.setPen(Qt::black);
    p.drawText(QRect(4, 2, width() - 8, fm.height()), Qt::AlignLeft | Qt::AlignVCenter, title_);
    if (!limits_) return;
    const std::vector<ChartLine> lines = ChartLinesOf(*limits_);
    const ChartRange range = ChartRangeOf(lines, values_);
    // Each line is named with its value, as the limits file holds it.
    auto named = [](const ChartLine& l) { return QString::fromStdString(l.Name) + " " + QString::number(l.Value, 'g', 8); };
    int labelWidth = 0;
    for (const ChartLine& l : lines) labelWidth = std::max(labelWidth, fm.horizontalAdvance(named(l)));
    labelWidth = std::min(labelWidth + 4, width() / 2);
    QRectF area(4 + labelWidth, fm.height() + 6, width() - labelWidth - 12, height() - fm.height() - 12);
    auto y = [&](double v) { return area.bottom() - (v - range.Low) / (range.High - range.Low) * area.height(); };
    std::vector<double> wanted;
    for (const ChartLine& l : lines) wanted.push_back(y(l.Value));
    const std::vector<double> labelAt = SpreadLabels(wanted, fm.height(), area.top() - fm.height() / 2.0,
                                                     area.bottom() + fm.height() / 2.0);
    for (size_t i = 0; i < lines.size(); ++i) {
        const ChartLine& l = lines[i];
        const QColor colour = l.Kind == ChartLineKind::Centre         ? QColor(Qt::darkGreen)
                              : l.Kind == ChartLineKind::ControlLimit ? kAmber.darker(130)
                                                                      : kFail;
        p.setPen(QPen(colour, 1, l.Kind == ChartLineKind::ControlLimit ? Qt::DashLine : Qt::SolidLine));
        p.drawLine(QPointF(area.left(), y(l.Value)), QPointF(area.right(), y(l.Value)));
        p.drawText(QRectF(2, labelAt[i] - fm.height() / 2.0, labelWidth, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   named(l));
    }
    if (values_.empty()) return;
    double step = values_.size() > 1 ? area.width() / double(values_.size() - 1) : 0;
    auto at = [&](size_t i) { return QPointF(area.left() + step * double(i), y(values_[i])); };
    QPainterPath path(at(0));
    for (size_t i = 1; i < values_.size(); ++i) path.lineTo(at(i));
    p.setPen(QPen(Qt::darkBlue, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    for (size_t i = 0; i < values_.size(); ++i) {
        bool signal = signalled_[i];
        p.setPen(Qt::NoPen);
        p.setBrush(signal ? kAmber : QColor(Qt::darkBlue));
        double r = signal ? 5 : 3;
        p.drawEllipse(at(i), r, r);
    }
}

}  // namespace ziv
