#include "report_charts.h"

#include <QDateTime>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "common/numbers.h"
#include "platform/ui_font_qt.h"
#include "platform/qt_text.h"

namespace ziv::report {

namespace {


QChart* NewChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(UiFont(10));
    chart->legend()->setFont(UiFont(8));
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

// Lines that share a meaning share one legend entry.
void HideFromLegend(QChart* chart, QAbstractSeries* series) {
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
}

QLineSeries* Line(const QString& name, QColor colour, Qt::PenStyle style, double width = 1.5) {
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, width, style));
    return series;
}

QString RowTitle(const CapabilityRow& row) {
    QString machine = row.Machine ? QStringLiteral("%1号機").arg(*row.Machine) : QStringLiteral("全号機 (参考)");
    return QStringLiteral("番号 %1・%2").arg(row.Point).arg(machine);
}

// A value's place on the time axis: when it was taken, where the journal
// knows; otherwise its day, the values of one day spread over it in order.
std::vector<double> TimesOf(const std::vector<Sample>& samples) {
    std::vector<double> times(samples.size());
    size_t i = 0;
    while (i < samples.size()) {
        size_t j = i;
        while (j < samples.size() && samples[j].DayNumber == samples[i].DayNumber) ++j;
        const Date date = samples[i].Day();
        QDateTime day(QDate(date.Year, date.Month, date.Day), QTime(0, 0));
        double start = static_cast<double>(day.toMSecsSinceEpoch());
        for (size_t k = i; k < j; ++k)
            times[k] = samples[k].TakenMs != Sample::kNoTime
                           ? static_cast<double>(samples[k].TakenMs)
                           : start + 86400000.0 * static_cast<double>(k - i + 1) / static_cast<double>(j - i + 1);
        i = j;
    }
    return times;
}

QDateTimeAxis* DateAxis(const std::vector<double>& times) {
    auto* x = new QDateTimeAxis;
    x->setTitleText(QStringLiteral("日付"));
    double first = times.empty() ? 0 : times.front(), last = times.empty() ? 86400000.0 : times.back();
    bool years = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first)).date().year() !=
                 QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last)).date().year();
    x->setFormat(years ? QStringLiteral("yyyy/MM/dd") : QStringLiteral("MM/dd"));
    double room = std::max(43200000.0, (last - first) * 0.03);
    x->setRange(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(first - room)),
                QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(last + room)));
    x->setTickCount(std::clamp(static_cast<int>(times.size()), 2, 7));
    return x;
}

QValueAxis* ValueAxis(const QString& title, double lo, double hi, int decimals) {
    auto* y = new QValueAxis;
    y->setTitleText(title);
    double room = hi > lo ? (hi - lo) * 0.08 : std::max(std::fabs(lo) * 0.01, 0.001);
    y->setRange(lo - room, hi + room);
    y->setLabelFormat(QStringLiteral("%.%1f").arg(std::clamp(decimals, 0, 8)));
    return y;
}

// A horizontal line across the whole time span.
void Across(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, QLineSeries* line, double from, double to,
            double value) {
    line->append(from, value);
    line->append(to, value);
    Attach(chart, line, x, y);
}

const QString kRuleNames[5] = {QString(), QStringLiteral("ルール1: 管理限界外"),
                               QStringLiteral("ルール2: 片側に9点連続"),
                               QStringLiteral("ルール3: 6点連続の増加・減少"),
                               QStringLiteral("ルール4: 14点交互の増減")};
const QColor kRuleColours[5] = {QColor(), QColor(230, 120, 0), QColor(150, 60, 200), QColor(0, 150, 170),
                                QColor(120, 90, 40)};

// The tolerance limits in force at each value, as steps where they changed.
void ToleranceSteps(QChart* chart, QAbstractAxis* x, QValueAxis* y, const std::vector<Sample>& samples,
                    const std::vector<double>& times, const std::vector<LimitTexts>& sets, double end) {
    bool upperNamed = false, lowerNamed = false;
    size_t i = 0;
    while (i < samples.size()) {
        size_t j = i;
        while (j < samples.size() && samples[j].LimitSet == samples[i].LimitSet) ++j;
        double from = i == 0 ? times[i] - 43200000.0 : (times[i - 1] + times[i]) / 2;
        double to = j == samples.size() ? end : (times[j - 1] + times[j]) / 2;
        ToleranceLimits tolerance = ToleranceLimitsOf(sets[samples[i].LimitSet]);
        auto add = [&](std::optional<double> limit, bool& named, const QString& name) {
            if (!limit) return;
            auto* line = Line(name, Qt::red, Qt::SolidLine, 2);
            line->append(from, *limit);
            line->append(to, *limit);
            Attach(chart, line, x, y);
            if (named) HideFromLegend(chart, line);
            named = true;
        };
        add(tolerance.Upper, upperNamed, QStringLiteral("規格上限"));
        if (!tolerance.LowerIsNaturalBound) add(tolerance.Lower, lowerNamed, QStringLiteral("規格下限"));
        if (i > 0) {
            // Where the limits changed: a mark the legend explains.
            const Date d = samples[i].Day();
            auto* change = Line(QStringLiteral("規格変更 %1/%2").arg(d.Month).arg(d.Day), Qt::darkGray, Qt::DotLine);
            change->append(from, y->min());
            change->append(from, y->max());
            Attach(chart, change, x, y);
        }
        i = j;
    }
}

}  // namespace

QChart* NewIndividualsChart(const ChartData& data) {
    const CapabilityRow& row = data.Row;
    if (!data.Values) {
        QChart* chart = NewChart(RowTitle(row) + QStringLiteral(": 管理図は号機ごとの行で表示します"));
        return chart;
    }
    const std::vector<Sample>& samples = data.Values->Samples;
    std::vector<double> values, times = TimesOf(samples);
    for (const Sample& s : samples) values.push_back(s.Value);
    Spread spread = SpreadOf(values);
    std::optional<ControlLimits> control = IndividualsLimits(spread);
    QString title = RowTitle(row) + QStringLiteral(" 個々の値 (I) 管理図");
    if (!control) title += QStringLiteral(" — 管理限界には 2 点以上が要ります");
    QChart* chart = NewChart(title);
    auto* x = DateAxis(times);
    double end = times.empty() ? 0 : times.back() + 43200000.0, start = times.empty() ? 0 : times.front() - 43200000.0;

    auto* line = Line(QStringLiteral("測定値"), QColor(40, 80, 160), Qt::SolidLine);
    line->setPointsVisible(samples.size() <= 200);
    auto* failed = new QScatterSeries;
    failed->setName(QStringLiteral("不合格 (ステーションの判定)"));
    failed->setColor(QColor(230, 0, 0));
    failed->setMarkerSize(9);
    for (size_t i = 0; i < samples.size(); ++i) {
        line->append(times[i], values[i]);
        if (samples[i].Judged == Verdict::Fail) failed->append(times[i], values[i]);
    }
    // The span shows the values, the control limits and every tolerance limit.
    double lo = spread.Min.value_or(0), hi = spread.Max.value_or(1);
    if (control) {
        lo = std::min(lo, control->Lower);
        hi = std::max(hi, control->Upper);
    }
    for (const LimitTexts& set : data.Sets) {
        ToleranceLimits tolerance = ToleranceLimitsOf(set);
        for (auto limit : {tolerance.Upper, tolerance.LowerIsNaturalBound ? std::nullopt : tolerance.Lower})
            if (limit) {
                lo = std::min(lo, *limit);
                hi = std::max(hi, *limit);
            }
    }
    auto* y = ValueAxis(QStringLiteral("測定値"), lo, hi, row.Decimals);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, line, x, y);
    if (control) {
        Across(chart, x, y, Line(QStringLiteral("中心"), Qt::darkGreen, Qt::DashLine), start, end, control->Centre);
        auto* ucl = Line(QStringLiteral("管理限界"), QColor(0, 90, 200), Qt::DashLine);
        Across(chart, x, y, ucl, start, end, control->Upper);
        auto* lcl = Line(QString(), QColor(0, 90, 200), Qt::DashLine);
        Across(chart, x, y, lcl, start, end, control->Lower);
        HideFromLegend(chart, lcl);
    }
    ToleranceSteps(chart, x, y, samples, times, data.Sets, end);
    if (failed->count() > 0) Attach(chart, failed, x, y); else delete failed;
    if (control) {
        std::vector<QScatterSeries*> rules(5, nullptr);
        for (const RuleSignal& signal : RunRules(values, *control)) {
            auto& series = rules[static_cast<size_t>(signal.Rule)];
            if (!series) {
                series = new QScatterSeries;
                series->setName(kRuleNames[signal.Rule]);
                series->setColor(kRuleColours[signal.Rule]);
                series->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
                series->setMarkerSize(7);
            }
            series->append(times[signal.Index], values[signal.Index]);
        }
        for (QScatterSeries* series : rules)
            if (series) Attach(chart, series, x, y);
    }
    return chart;
}

QChart* NewMovingRangeChart(const ChartData& data) {
    const CapabilityRow& row = data.Row;
    QChart* chart = NewChart(RowTitle(row) + QStringLiteral(" 移動範囲 (MR) 管理図"));
    if (!data.Values || data.Values->Samples.size() < 2) return chart;
    const std::vector<Sample>& samples = data.Values->Samples;
    std::vector<double> values, times = TimesOf(samples);
    for (const Sample& s : samples) values.push_back(s.Value);
    std::optional<ControlLimits> control = IndividualsLimits(SpreadOf(values));
    if (!control) return chart;
    auto* x = DateAxis(times);
    auto* line = Line(QStringLiteral("移動範囲"), QColor(40, 80, 160), Qt::SolidLine);
    line->setPointsVisible(samples.size() <= 200);
    double top = control->RangeUpper;
    for (size_t i = 1; i < values.size(); ++i) {
        double mr = std::fabs(values[i] - values[i - 1]);
        line->append(times[i], mr);
        top = std::max(top, mr);
    }
    auto* y = ValueAxis(QStringLiteral("移動範囲"), 0, top, row.Decimals);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, line, x, y);
    double start = times.front() - 43200000.0, end = times.back() + 43200000.0;
    Across(chart, x, y, Line(QStringLiteral("中心"), Qt::darkGreen, Qt::DashLine), start, end, control->RangeCentre);
    Across(chart, x, y, Line(QStringLiteral("管理上限"), QColor(0, 90, 200), Qt::DashLine), start, end,
           control->RangeUpper);
    y->setMin(0);
    return chart;
}

QChart* NewHistogram(const ChartData& data) {
    const CapabilityRow& row = data.Row;
    const std::vector<double>& values = data.RowValues;
    QString title = RowTitle(row) + QStringLiteral(" ヒストグラム");
    if (row.Normal)
        title += QStringLiteral(" — 正規性 (Anderson-Darling) p = %1").arg(Q(FixedText(row.Normal->PValue, 3)));
    else if (!values.empty() && row.Machine)
        title += QStringLiteral(" — 正規性の検定には 8 点以上が要ります");
    QChart* chart = NewChart(title);
    if (values.empty()) return chart;
    Histogram bins = BinsOf(values);
    double lo = bins.Start, hi = bins.Start + bins.Width * static_cast<double>(bins.Counts.size());
    for (auto limit : {row.Tolerance.Upper, row.Tolerance.Lower})
        if (limit) {
            lo = std::min(lo, *limit);
            hi = std::max(hi, *limit);
        }
    size_t top = std::max<size_t>(1, *std::max_element(bins.Counts.begin(), bins.Counts.end()));
    // The bars as one stepped outline filled down to zero.
    auto* outline = new QLineSeries;
    auto* base = new QLineSeries;
    for (size_t b = 0; b < bins.Counts.size(); ++b) {
        double left = bins.Start + bins.Width * static_cast<double>(b), right = left + bins.Width;
        auto count = static_cast<double>(bins.Counts[b]);
        outline->append(left, count);
        outline->append(right, count);
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
    auto* x = ValueAxis(QStringLiteral("測定値"), lo, hi, row.Decimals);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("度数"));
    y->setLabelFormat("%d");
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, bars, x, y);
    double peak = static_cast<double>(top) * 1.15;
    if (row.Stats.Mean && row.Stats.OverallSigma && *row.Stats.OverallSigma > 0) {
        auto* curve = Line(QStringLiteral("正規分布 (平均, σ全体)"), QColor(20, 20, 20), Qt::SolidLine);
        double scale = static_cast<double>(values.size()) * bins.Width;
        for (int k = 0; k <= 120; ++k) {
            double v = x->min() + (x->max() - x->min()) * k / 120.0;
            double density = scale * NormalDensity(v, *row.Stats.Mean, *row.Stats.OverallSigma);
            curve->append(v, density);
            peak = std::max(peak, density * 1.05);
        }
        Attach(chart, curve, x, y);
    }
    auto vertical = [&](const QString& name, QColor colour, Qt::PenStyle style, double at) {
        auto* line = Line(name, colour, style, 2);
        line->append(at, 0);
        line->append(at, peak);
        Attach(chart, line, x, y);
    };
    if (!row.Limits.Nominal.empty() && !row.Tolerance.LowerIsNaturalBound)
        vertical(QStringLiteral("寸法"), Qt::darkGreen, Qt::DashLine, NumberFromText(row.Limits.Nominal));
    if (row.Tolerance.Upper) vertical(QStringLiteral("規格上限"), Qt::red, Qt::SolidLine, *row.Tolerance.Upper);
    if (row.Tolerance.Lower && !row.Tolerance.LowerIsNaturalBound)
        vertical(QStringLiteral("規格下限"), Qt::red, Qt::SolidLine, *row.Tolerance.Lower);
    y->setRange(0, peak);
    y->setTickType(QValueAxis::TicksDynamic);
    y->setTickAnchor(0);
    y->setTickInterval(std::max(1.0, std::ceil(static_cast<double>(top) / 5.0)));
    return chart;
}

}  // namespace ziv::report
