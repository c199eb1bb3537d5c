#include "report_charts.h"

#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <utility>

#include "common/numbers.h"
#include "platform/ui_font_qt.h"
#include "report/capability_table.h"
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

// The axis counts values, one step each, so that twenty values of a day get
// as much room as twenty values of twenty days; the labels name the day a
// value was taken on, at the first value of a day, as many as fit.
QCategoryAxis* SampleAxis(const std::vector<Sample>& samples) {
    auto* x = new QCategoryAxis;
    x->setTitleText(QStringLiteral("測定順 (日付は各日の最初の値)"));
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setRange(-0.5, std::max<double>(static_cast<double>(samples.size()) - 0.5, 0.5));
    std::vector<size_t> dayStarts;
    for (size_t i = 0; i < samples.size(); ++i)
        if (i == 0 || samples[i].DayNumber != samples[i - 1].DayNumber) dayStarts.push_back(i);
    constexpr size_t kMostLabels = 8;
    const size_t every = (dayStarts.size() + kMostLabels - 1) / kMostLabels;
    const bool years = !samples.empty() && samples.front().Day().Year != samples.back().Day().Year;
    for (size_t k = 0; k < dayStarts.size(); k += std::max<size_t>(every, 1)) {
        const Date d = samples[dayStarts[k]].Day();
        QString label = years ? QStringLiteral("%1/%2/%3").arg(d.Year).arg(d.Month).arg(d.Day)
                              : QStringLiteral("%1/%2").arg(d.Month).arg(d.Day);
        x->append(label, static_cast<double>(dayStarts[k]));
    }
    x->setLabelsFont(UiFont(8));
    return x;
}

// Runs of values under one set of limits: [first, end) and the set.
struct Run {
    size_t First = 0, End = 0;
    std::uint16_t Set = 0;
};
std::vector<Run> RunsOf(const std::vector<Sample>& samples) {
    std::vector<Run> runs;
    for (size_t i = 0; i < samples.size(); ++i)
        if (runs.empty() || samples[i].LimitSet != runs.back().Set)
            runs.push_back({i, i + 1, samples[i].LimitSet});
        else
            runs.back().End = i + 1;
    return runs;
}

QValueAxis* ValueAxis(const QString& title, double lo, double hi, int decimals) {
    auto* y = new QValueAxis;
    y->setTitleText(title);
    double room = hi > lo ? (hi - lo) * 0.08 : std::max(std::fabs(lo) * 0.01, 0.001);
    y->setRange(lo - room, hi + room);
    y->setLabelFormat(QStringLiteral("%.%1f").arg(std::clamp(decimals, 0, 8)));
    return y;
}

// Indexed by rule; the last is the moving-range limit (kRangeRule), which
// only fixed limits are checked with.
const QString kRuleNames[kRangeRule + 1] = {QString(), QStringLiteral("ルール1: 管理限界外"),
                                            QStringLiteral("ルール2: 片側に9点連続"),
                                            QStringLiteral("ルール3: 6点連続の増加・減少"),
                                            QStringLiteral("ルール4: 14点交互の増減"),
                                            QStringLiteral("移動範囲の管理限界外")};
const QColor kRuleColours[kRangeRule + 1] = {QColor(),           QColor(230, 120, 0), QColor(150, 60, 200),
                                             QColor(0, 150, 170), QColor(120, 90, 40), QColor(200, 30, 90)};

// A level over each run of its own set: its first line named in the legend.
void Steps(QChart* chart, QAbstractAxis* x, QAbstractAxis* y, const std::vector<Run>& runs,
           const std::function<std::optional<double>(std::uint16_t)>& level, const QString& name, QColor colour,
           Qt::PenStyle style, double width = 1.5) {
    bool named = false;
    for (const Run& run : runs) {
        std::optional<double> at = level(run.Set);
        if (!at) continue;
        auto* line = Line(name, colour, style, width);
        line->append(static_cast<double>(run.First) - 0.5, *at);
        line->append(static_cast<double>(run.End) - 0.5, *at);
        Attach(chart, line, x, y);
        if (named || name.isEmpty()) HideFromLegend(chart, line);
        named = true;
    }
}

// Where the limits changed: a mark the legend explains.
void ChangeMarks(QChart* chart, QAbstractAxis* x, QValueAxis* y, const std::vector<Sample>& samples,
                 const std::vector<Run>& runs) {
    for (size_t r = 1; r < runs.size(); ++r) {
        const Date d = samples[runs[r].First].Day();
        auto* change = Line(QStringLiteral("規格変更 %1/%2").arg(d.Month).arg(d.Day), Qt::darkGray, Qt::DotLine);
        change->append(static_cast<double>(runs[r].First) - 0.5, y->min());
        change->append(static_cast<double>(runs[r].First) - 0.5, y->max());
        Attach(chart, change, x, y);
    }
}

// The control chart of every set of limits the machine's series holds, each
// as its own row of the table has it.
std::map<std::uint16_t, SetControl> ControlsOf(const Series& series) {
    std::map<std::uint16_t, SetControl> controls;
    for (const Sample& s : series.Samples)
        if (!controls.count(s.LimitSet)) controls[s.LimitSet] = ControlOfSet(series, s.LimitSet);
    return controls;
}


// The control lines of a chart: the range's limits of each set, as the
// table's rows have them, or the fixed limits of each fixing.
struct ControlLines {
    std::vector<Run> Runs;  // Set: the limit set, or the index of the fixing
    std::function<std::optional<ControlLimits>(std::uint16_t)> Of;
    std::vector<std::pair<size_t, int>> Signals;   // sample and rule
    std::vector<std::pair<size_t, size_t>> Pairs;  // a sample and the one before it under the same limits
    QString Caption;                               // what fixed limits they are; empty for the range's
};

ControlLines RangeLines(const Series& series) {
    ControlLines lines;
    lines.Runs = RunsOf(series.Samples);
    auto controls = std::make_shared<std::map<std::uint16_t, SetControl>>(ControlsOf(series));
    lines.Of = [controls](std::uint16_t set) { return controls->at(set).Limits; };
    for (const auto& [set, c] : *controls) {
        for (const RuleSignal& signal : c.Signals) lines.Signals.emplace_back(c.At[signal.Index], signal.Rule);
        for (size_t k = 1; k < c.At.size(); ++k) lines.Pairs.emplace_back(c.At[k], c.At[k - 1]);
    }
    return lines;
}

ControlLines FixedLines(const FixedControl& fixed) {
    ControlLines lines;
    for (size_t i = 0; i < fixed.At.size(); ++i) {
        auto f = static_cast<std::uint16_t>(fixed.At[i]);
        if (lines.Runs.empty() || lines.Runs.back().Set != f)
            lines.Runs.push_back({i, i + 1, f});
        else
            lines.Runs.back().End = i + 1;
        if (i > 0 && fixed.At[i - 1] == fixed.At[i]) lines.Pairs.emplace_back(i, i - 1);
    }
    auto fixings = std::make_shared<std::vector<FixedLimit>>(fixed.Fixings);
    lines.Of = [fixings](std::uint16_t f) { return std::optional<ControlLimits>((*fixings)[f].Limits); };
    for (const RuleSignal& signal : fixed.Signals) lines.Signals.emplace_back(signal.Index, signal.Rule);
    const FixedLimit& first = fixed.Fixings[static_cast<size_t>(fixed.At.front())];
    const FixedLimit& last = fixed.Fixings[static_cast<size_t>(fixed.At.back())];
    lines.Caption = first.Version == last.Version
                        ? QStringLiteral("確定した管理限界 第%1版").arg(first.Version)
                        : QStringLiteral("確定した管理限界 第%1～%2版").arg(first.Version).arg(last.Version);
    return lines;
}

ControlLines LinesOf(const ChartData& data) {
    if (data.Fixed && data.Fixed->Any() && !data.Values->Samples.empty()) return FixedLines(*data.Fixed);
    return RangeLines(*data.Values);
}

// What operators did about a signal: one colour each, so that a tool change
// is told from an offset at a glance.
QColor ReactionColour(const std::string& kind) {
    static const std::map<std::string, QColor> colours{{"工具交換", QColor(200, 0, 160)},
                                                       {"補正", QColor(0, 140, 140)},
                                                       {"段取り替え", QColor(140, 90, 0)},
                                                       {"材料ロット変更", QColor(90, 90, 210)}};
    auto it = colours.find(kind);
    return it == colours.end() ? QColor(110, 110, 110) : it->second;
}

// A reaction before the first value or after the last would stand on the
// chart's edge: the axis gets half a step more room there, on both charts
// alike so that their values stay one above the other.
void RoomForEvents(QCategoryAxis* x, const std::vector<ChartEvent>& events) {
    for (const ChartEvent& event : events) {
        if (event.At <= x->min()) x->setMin(event.At - 0.5);
        if (event.At >= x->max()) x->setMax(event.At + 0.5);
    }
}

// The stations' signals on the values that raised them, and the reactions
// as upright lines between the values they came between; one legend entry
// for each rule and each kind of reaction.
void MarkEvents(QChart* chart, QAbstractAxis* x, QValueAxis* y, const std::vector<Sample>& samples,
                const std::vector<ChartEvent>& events) {
    std::map<std::string, QScatterSeries*> signalMarks;
    std::map<std::string, bool> named;
    for (const ChartEvent& event : events) {
        if (event.What == ChartEvent::Kind::Signal) {
            QScatterSeries*& series = signalMarks[event.Text];
            if (!series) {
                series = new QScatterSeries;
                series->setName(QStringLiteral("管理信号: %1").arg(Q(event.Text)));
                series->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
                series->setMarkerSize(13);
                series->setColor(QColor(255, 179, 0));
                series->setBorderColor(QColor(150, 90, 0));
            }
            series->append(event.At, samples[static_cast<size_t>(event.At)].Value);
            continue;
        }
        const std::string kind = ReactionKind(event.Text);
        auto* mark = Line(QStringLiteral("対処: %1").arg(Q(kind)), ReactionColour(kind), Qt::DashDotLine, 2.5);
        mark->append(event.At, y->min());
        mark->append(event.At, y->max());
        Attach(chart, mark, x, y);
        if (std::exchange(named[kind], true)) HideFromLegend(chart, mark);
    }
    for (const auto& [text, series] : signalMarks) Attach(chart, series, x, y);
}
}  // namespace

QChart* NewIndividualsChart(const ChartData& data) {
    const CapabilityRow& row = data.Row;
    if (!data.Values) return NewChart(RowTitle(row) + QStringLiteral(": 管理図は号機ごとの行で表示します"));
    const std::vector<Sample>& samples = data.Values->Samples;
    const std::vector<Run> runs = RunsOf(samples);
    const ControlLines lines = LinesOf(data);
    QString title = RowTitle(row) + QStringLiteral(" 個々の値 (I) 管理図");
    if (!lines.Caption.isEmpty()) title += QStringLiteral(" — ") + lines.Caption;
    else if (!samples.empty() && !lines.Of(lines.Runs.front().Set))
        title += QStringLiteral(" — 管理限界には 2 点以上が要ります");
    if (runs.size() > 1 && lines.Caption.isEmpty()) title += QStringLiteral(" — 管理限界は規格ごと");
    QChart* chart = NewChart(title);
    auto* x = SampleAxis(samples);
    RoomForEvents(x, data.Events);

    auto* line = Line(QStringLiteral("測定値"), QColor(40, 80, 160), Qt::SolidLine);
    line->setPointsVisible(samples.size() <= 200);
    auto* failed = new QScatterSeries;
    failed->setName(QStringLiteral("不合格 (ステーションの判定)"));
    failed->setColor(QColor(230, 0, 0));
    failed->setMarkerSize(9);
    double lo = samples.empty() ? 0 : samples.front().Value, hi = samples.empty() ? 1 : lo;
    for (size_t i = 0; i < samples.size(); ++i) {
        line->append(static_cast<double>(i), samples[i].Value);
        if (samples[i].Judged == Verdict::Fail) failed->append(static_cast<double>(i), samples[i].Value);
        lo = std::min(lo, samples[i].Value);
        hi = std::max(hi, samples[i].Value);
    }
    // The span shows the values, the control limits and every tolerance limit.
    for (const Run& run : lines.Runs)
        if (auto c = lines.Of(run.Set)) {
            lo = std::min(lo, c->Lower);
            hi = std::max(hi, c->Upper);
        }
    auto tolerance = [&](std::uint16_t set) { return ToleranceLimitsOf(data.Sets[set], data.Kind); };
    auto upperLimit = [&](std::uint16_t set) { return tolerance(set).Upper; };
    auto lowerLimit = [&](std::uint16_t set) {
        ToleranceLimits t = tolerance(set);
        return t.LowerIsNaturalBound ? std::nullopt : t.Lower;
    };
    for (const Run& run : runs)
        for (auto limit : {upperLimit(run.Set), lowerLimit(run.Set)})
            if (limit) {
                lo = std::min(lo, *limit);
                hi = std::max(hi, *limit);
            }
    auto* y = ValueAxis(QStringLiteral("測定値"), lo, hi, row.Decimals);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, line, x, y);
    auto part = [&](double ControlLimits::*member) {
        return [&, member](std::uint16_t set) -> std::optional<double> {
            auto c = lines.Of(set);
            return c ? std::optional<double>((*c).*member) : std::nullopt;
        };
    };
    const QString fixed = lines.Caption.isEmpty() ? QString() : QStringLiteral(" (確定)");
    Steps(chart, x, y, lines.Runs, part(&ControlLimits::Centre), QStringLiteral("中心") + fixed, Qt::darkGreen,
          Qt::DashLine);
    Steps(chart, x, y, lines.Runs, part(&ControlLimits::Upper), QStringLiteral("管理限界") + fixed, QColor(0, 90, 200),
          Qt::DashLine);
    Steps(chart, x, y, lines.Runs, part(&ControlLimits::Lower), QString(), QColor(0, 90, 200), Qt::DashLine);
    // With signals and reactions the names no longer fit in one row below:
    // they stand at the right, the two tolerance limits under one name.
    const bool events = !data.Events.empty();
    Steps(chart, x, y, runs, upperLimit, events ? QStringLiteral("規格限界") : QStringLiteral("規格上限"), Qt::red,
          Qt::SolidLine, 2);
    Steps(chart, x, y, runs, lowerLimit, events ? QString() : QStringLiteral("規格下限"), Qt::red, Qt::SolidLine, 2);
    ChangeMarks(chart, x, y, samples, runs);
    if (failed->count() > 0) Attach(chart, failed, x, y); else delete failed;
    std::vector<QScatterSeries*> rules(kRangeRule + 1, nullptr);
    for (const auto& [at, rule] : lines.Signals) {
        auto& series = rules[static_cast<size_t>(rule)];
        if (!series) {
            series = new QScatterSeries;
            series->setName(kRuleNames[rule]);
            series->setColor(kRuleColours[rule]);
            series->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
            series->setMarkerSize(7);
        }
        series->append(static_cast<double>(at), samples[at].Value);
    }
    for (QScatterSeries* series : rules)
        if (series) Attach(chart, series, x, y);
    MarkEvents(chart, x, y, samples, data.Events);
    if (events) {
        chart->legend()->setAlignment(Qt::AlignRight);
        chart->legend()->setFont(UiFont(7));
        chart->legend()->setShowToolTips(true);
        chart->legend()->setContentsMargins(0, 0, 0, 0);
        chart->setMargins(QMargins(4, 2, 4, 2));
    }
    return chart;
}

QChart* NewMovingRangeChart(const ChartData& data) {
    const CapabilityRow& row = data.Row;
    QChart* chart = NewChart(RowTitle(row) + QStringLiteral(" 移動範囲 (MR) 管理図"));
    // The lower of the two charts has the least room: its lines are those of
    // the individuals chart's legend, and the axes keep their labels whole.
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 2, 4, 2));
    if (!data.Values || data.Values->Samples.size() < 2) return chart;
    const std::vector<Sample>& samples = data.Values->Samples;
    const ControlLines lines = LinesOf(data);
    auto* x = SampleAxis(samples);
    RoomForEvents(x, data.Events);
    auto* line = Line(QStringLiteral("移動範囲"), QColor(40, 80, 160), Qt::SolidLine);
    line->setPointsVisible(samples.size() <= 200);
    double top = 0;
    for (const Run& run : lines.Runs)
        if (auto c = lines.Of(run.Set)) top = std::max(top, c->RangeUpper);
    // Moving ranges within each run of one set of limits, as its row takes them.
    std::vector<std::pair<size_t, double>> ranges;
    for (const auto& [at, previous] : lines.Pairs)
        ranges.emplace_back(at, std::fabs(samples[at].Value - samples[previous].Value));
    std::sort(ranges.begin(), ranges.end());
    for (const auto& [at, mr] : ranges) {
        line->append(static_cast<double>(at), mr);
        top = std::max(top, mr);
    }
    auto* y = ValueAxis(QString(), 0, top, row.Decimals);
    x->setTitleVisible(false);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, line, x, y);
    auto level = [&](double ControlLimits::*member) {
        return [&, member](std::uint16_t set) -> std::optional<double> {
            auto c = lines.Of(set);
            return c ? std::optional<double>((*c).*member) : std::nullopt;
        };
    };
    Steps(chart, x, y, lines.Runs, level(&ControlLimits::RangeCentre), QStringLiteral("中心"), Qt::darkGreen,
          Qt::DashLine);
    Steps(chart, x, y, lines.Runs, level(&ControlLimits::RangeUpper), QStringLiteral("管理上限"), QColor(0, 90, 200),
          Qt::DashLine);
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
    if (row.RoundingOnly)
        title += QStringLiteral(" (読み取り %1 の丸めだけで低い)").arg(Q(ExactText(row.Resolution)));
    else if (row.NonNormal() && row.Percentile && row.Percentile->Cpk)
        title += QStringLiteral(" — Cpk分位 %1 (%2)")
                     .arg(Q(FixedText(IndexAsShown(*row.Percentile->Cpk), 2)), Q(FitText(row)));
    if (row.CoarseStep)
        title += QStringLiteral(" — 読み取りの刻み %1 が粗すぎます").arg(Q(ExactText(row.Resolution)));
    QChart* chart = NewChart(title);
    if (values.empty()) return chart;
    Histogram bins = BinsOf(values, row.Resolution);
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
