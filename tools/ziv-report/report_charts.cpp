#include "report_charts.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/numbers.h"
#include "platform/ui_font_qt.h"

namespace ziv::report {

namespace {

struct LimitLines {
    std::optional<double> Nominal, Upper, Lower;
};

LimitLines LinesOf(const PointCapability& c) {
    LimitLines lines;
    Limits limits = LimitsOf(c.Nominal, c.Upper, c.Lower);
    if (!c.Nominal.empty()) lines.Nominal = NumberFromText(c.Nominal);
    lines.Upper = limits.Upper;
    lines.Lower = limits.Lower;
    return lines;
}

QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(UiFont(11));
    chart->legend()->setFont(UiFont(9));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

QLineSeries* Line(const QString& name, QColor colour, Qt::PenStyle style, double x0, double y0, double x1,
                  double y1) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, 1.5, style));
    series->append(x0, y0);
    series->append(x1, y1);
    return series;
}

void Attach(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// The value range to show: the data and every limit, with a little room.
std::pair<double, double> Span(const std::vector<Sample>& samples, const LimitLines& lines) {
    double lo = INFINITY, hi = -INFINITY;
    for (const auto& s : samples) {
        lo = std::min(lo, s.Value);
        hi = std::max(hi, s.Value);
    }
    for (auto v : {lines.Nominal, lines.Upper, lines.Lower})
        if (v) {
            lo = std::min(lo, *v);
            hi = std::max(hi, *v);
        }
    if (!std::isfinite(lo)) return {0, 1};
    double room = hi > lo ? (hi - lo) * 0.08 : std::max(std::fabs(lo) * 0.01, 0.001);
    return {lo - room, hi + room};
}

}  // namespace

QChart* NewRunChart(int point, const std::vector<Sample>& samples, const PointCapability& capability) {
    QChart* chart = NewChart(QStringLiteral("番号 %1 の推移 (日付順)").arg(point));
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setTitleText(QStringLiteral("測定順"));
    x->setLabelFormat("%d");
    y->setTitleText(QStringLiteral("測定値"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    LimitLines lines = LinesOf(capability);
    double last = std::max<double>(1, static_cast<double>(samples.size()));
    auto* values = new QLineSeries;
    values->setName(QStringLiteral("測定値"));
    values->setPointsVisible(samples.size() <= 200);
    auto* failures = new QScatterSeries;
    failures->setName(QStringLiteral("規格外"));
    failures->setColor(QColor(230, 0, 0));
    failures->setMarkerSize(9);
    for (size_t i = 0; i < samples.size(); ++i) {
        values->append(static_cast<double>(i + 1), samples[i].Value);
        if (samples[i].Outside) failures->append(static_cast<double>(i + 1), samples[i].Value);
    }
    Attach(chart, values, x, y);
    if (lines.Nominal) Attach(chart, Line(QStringLiteral("寸法"), Qt::darkGreen, Qt::DashLine, 1, *lines.Nominal, last, *lines.Nominal), x, y);
    if (lines.Upper) Attach(chart, Line(QStringLiteral("上限"), Qt::red, Qt::SolidLine, 1, *lines.Upper, last, *lines.Upper), x, y);
    if (lines.Lower) Attach(chart, Line(QStringLiteral("下限"), Qt::red, Qt::SolidLine, 1, *lines.Lower, last, *lines.Lower), x, y);
    Attach(chart, failures, x, y);
    auto [lo, hi] = Span(samples, lines);
    x->setRange(1, last);
    // Whole-number ticks only: the axis counts values.
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(1);
    x->setTickInterval(std::max(1.0, std::ceil((last - 1) / 8)));
    y->setRange(lo, hi);
    return chart;
}

QChart* NewHistogram(int point, const std::vector<Sample>& samples, const PointCapability& capability) {
    QChart* chart = NewChart(QStringLiteral("番号 %1 のヒストグラム").arg(point));
    auto* x = new QValueAxis;
    auto* y = new QValueAxis;
    x->setTitleText(QStringLiteral("測定値"));
    y->setTitleText(QStringLiteral("度数"));
    y->setLabelFormat("%d");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    LimitLines lines = LinesOf(capability);
    auto [lo, hi] = Span(samples, lines);
    int bins = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(samples.size()))), 5, 40);
    std::vector<int> counts(static_cast<size_t>(bins), 0);
    double width = (hi - lo) / bins;
    for (const auto& s : samples) {
        int b = std::clamp(static_cast<int>((s.Value - lo) / width), 0, bins - 1);
        ++counts[static_cast<size_t>(b)];
    }
    int top = std::max(1, *std::max_element(counts.begin(), counts.end()));
    // The bars as one stepped outline filled down to zero.
    auto* outline = new QLineSeries;
    auto* base = new QLineSeries;
    for (int b = 0; b < bins; ++b) {
        double left = lo + b * width, right = left + width;
        outline->append(left, counts[static_cast<size_t>(b)]);
        outline->append(right, counts[static_cast<size_t>(b)]);
        base->append(left, 0);
        base->append(right, 0);
    }
    auto* bars = new QAreaSeries(outline, base);
    // An area series does not own the lines it is drawn between.
    outline->setParent(bars);
    base->setParent(bars);
    bars->setName(QStringLiteral("度数"));
    bars->setColor(QColor(90, 140, 220));
    bars->setBorderColor(QColor(40, 80, 160));
    Attach(chart, bars, x, y);
    double peak = top * 1.1;
    if (lines.Nominal) Attach(chart, Line(QStringLiteral("寸法"), Qt::darkGreen, Qt::DashLine, *lines.Nominal, 0, *lines.Nominal, peak), x, y);
    if (lines.Upper) Attach(chart, Line(QStringLiteral("上限"), Qt::red, Qt::SolidLine, *lines.Upper, 0, *lines.Upper, peak), x, y);
    if (lines.Lower) Attach(chart, Line(QStringLiteral("下限"), Qt::red, Qt::SolidLine, *lines.Lower, 0, *lines.Lower, peak), x, y);
    x->setRange(lo, hi);
    y->setRange(0, peak);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(std::max(1.0, std::ceil(top / 5.0)));
    return chart;
}

}  // namespace ziv::report
