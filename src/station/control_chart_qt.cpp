#include "station/control_chart_qt.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "report/capability.h"
#include "report/spc.h"

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
    const report::ControlLimits& c = limits_->Limits;
    report::ToleranceLimits tol = report::ToleranceLimitsOf(limits_->Tolerance);
    // The scale holds the control limits and the values; a tolerance limit far
    // outside them would squash the chart, so it is drawn only when it fits
    // within twice the control band.
    double lo = c.Lower, hi = c.Upper;
    for (double v : values_) lo = std::min(lo, v), hi = std::max(hi, v);
    double band = c.Upper - c.Lower;
    std::vector<std::pair<double, QString>> tolerances;
    if (tol.Upper && *tol.Upper <= c.Upper + band) tolerances.push_back({*tol.Upper, QStringLiteral("上限")});
    if (tol.Lower && !tol.LowerIsNaturalBound && *tol.Lower >= c.Lower - band)
        tolerances.push_back({*tol.Lower, QStringLiteral("下限")});
    for (const auto& [v, name] : tolerances) lo = std::min(lo, v), hi = std::max(hi, v);
    double pad = (hi - lo) * 0.08 + 1e-12;
    lo -= pad, hi += pad;
    // Each line is named with its value, as the limits file holds it.
    auto named = [](const QString& name, double v) { return name + " " + QString::number(v, 'g', 8); };
    int labelWidth = 0;
    for (auto [name, v] : {std::pair{QStringLiteral("UCL"), c.Upper}, {QStringLiteral("CL"), c.Centre},
                           {QStringLiteral("LCL"), c.Lower}})
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(named(name, v)));
    for (const auto& [v, name] : tolerances) labelWidth = std::max(labelWidth, fm.horizontalAdvance(named(name, v)));
    labelWidth = std::min(labelWidth + 4, width() / 2);
    QRectF area(4 + labelWidth, fm.height() + 6, width() - labelWidth - 12, height() - fm.height() - 12);
    auto y = [&](double v) { return area.bottom() - (v - lo) / (hi - lo) * area.height(); };
    auto line = [&](double v, const QColor& colour, Qt::PenStyle style, const QString& name) {
        p.setPen(QPen(colour, 1, style));
        p.drawLine(QPointF(area.left(), y(v)), QPointF(area.right(), y(v)));
        p.drawText(QRectF(2, y(v) - fm.height() / 2.0, labelWidth, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   named(name, v));
    };
    line(c.Centre, Qt::darkGreen, Qt::SolidLine, QStringLiteral("CL"));
    line(c.Upper, kAmber.darker(130), Qt::DashLine, QStringLiteral("UCL"));
    line(c.Lower, kAmber.darker(130), Qt::DashLine, QStringLiteral("LCL"));
    for (const auto& [v, name] : tolerances) line(v, kFail, Qt::SolidLine, name);
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
