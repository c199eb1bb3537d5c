// The control watch at the machine: the fixed limits and recent values read
// beside the window, the state label's warning, the small chart of the
// current point and the operator's reaction.
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <mutex>
#include <thread>

#include "common/failure_text.h"
#include "platform/dialogs_qt.h"
#include "station/control_cache.h"
#include "station/control_chart.h"
#include "station/control_chart_qt.h"
#include "station/measurement_window_ui.h"

namespace ziv {

// What a read on its own thread hands back; the window looks at it from its
// timer, so that nothing of Qt is touched from the reading thread and a
// share that hangs holds up nothing but that thread.
struct MeasurementWindow::ControlLoad {
    std::mutex Guard;
    bool Done = false;
    ControlData Data;
};

void MeasurementWindow::BuildControlWatch() {
    reactionButton = new QPushButton(QStringLiteral("対処を記録 (Ctrl+R)"), this);
    reactionButton->setObjectName("reactionButton");
    reactionButton->hide();
    controlChart = new ControlChartView(this);
    controlChart->setObjectName("controlChart");
    controlChart->hide();
    connect(reactionButton, &QPushButton::clicked, this, &MeasurementWindow::recordReaction);
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), this);
    connect(shortcut, &QShortcut::activated, this, &MeasurementWindow::recordReaction);
    // It runs only while a read is on its way: the warnings work moments after it is in.
    controlTimer_ = new QTimer(this);
    controlTimer_->setInterval(50);
    connect(controlTimer_, &QTimer::timeout, this, &MeasurementWindow::TakeControlData);
    // Limits fixed meanwhile, and other stations' values, come in now and then.
    auto* again = new QTimer(this);
    again->start(120000);
    connect(again, &QTimer::timeout, this, &MeasurementWindow::RefreshControlData);
}

void MeasurementWindow::RefreshControlData() {
    // A change while a read is on its way is read again once it is in.
    if (controlLoad_) {
        controlAgain_ = true;
        return;
    }
    const WorkDate& date = flow_.WorkingDate();
    auto day = ParseDay(date.Year + "/" + date.Month + "/" + date.Day);
    if (!day) return;
    auto load = std::make_shared<ControlLoad>();
    controlLoad_ = load;
    std::thread([load, products = flow_.ProductPaths(), today = *day, cache = ControlCachePath(op_.SavePath)] {
        ControlData read = ReadControlData(products, today, cache);
        std::lock_guard<std::mutex> guard(load->Guard);
        load->Data = std::move(read);
        load->Done = true;
    }).detach();
    controlTimer_->start();
}

void MeasurementWindow::TakeControlData() {
    if (!controlLoad_) return;
    {
        std::lock_guard<std::mutex> guard(controlLoad_->Guard);
        if (!controlLoad_->Done) return;
        controlProblems_.clear();
        for (const FileResult& problem : controlLoad_->Data.Problems)
            controlProblems_ += QString::fromStdString(FailureText(problem)) + "\n";
        flow_.UseControlData(std::move(controlLoad_->Data));
    }
    controlLoad_.reset();
    controlTimer_->stop();
    UpdateChart();
    if (std::exchange(controlAgain_, false)) RefreshControlData();
}

// Amber, never a box: the operator goes on measuring, the keyboard stays.
void MeasurementWindow::ShowControl(const EntryFlow::Entry& entry) {
    if (entry.signal) {
        ShowState(QString::fromStdString(entry.signal->Text()));
        signalShown_ = {entry.point, entry.machine};
    } else if (signalShown_ == std::pair{entry.point, entry.machine} &&
               !flow_.Watch().Standing(entry.point, entry.machine)) {
        signalShown_.reset();
        ShowRestingState();
    }
    UpdateChart();
}

// The signal the label tells, while it stands.
std::optional<ControlSignal> MeasurementWindow::ToldSignal() const {
    return signalShown_ ? flow_.Watch().Standing(signalShown_->first, signalShown_->second) : std::nullopt;
}

ChartSubject MeasurementWindow::ShownSubject() const {
    const int m = flow_.ShownMachine();
    return ChartSubjectOf(m, flow_.Point(m), ToldSignal());
}

void MeasurementWindow::UpdateChart() {
    if (!controlChart) return;
    const int m = flow_.ShownMachine();
    const ChartSubject subject = ShownSubject();
    // The reaction goes with the label: on another machine there is none to record.
    reactionButton->setVisible(subject.Signal.has_value());
    // The calendar and the product choice take the chart's place: on a small
    // screen there is room for one of them only.
    const bool room = mode_ != WindowMode::ChoosingDate && mode_ != WindowMode::ChoosingProduct;
    const report::FixedLimit* limits = flow_.Watch().LimitsOf(subject.Point, m);
    if (!limits) {
        // Without fixed limits the window is as it always was, unless their file could not be read.
        controlChart->setVisible(room && !controlProblems_.isEmpty());
        controlChart->Clear(controlProblems_.trimmed());
        return;
    }
    controlChart->Show(subject.Point, m, *limits, flow_.ChartValues(m, subject.Point));
    controlChart->setVisible(room);
}

void MeasurementWindow::recordReaction() {
    const std::optional<ControlSignal> standing = ShownSubject().Signal;
    if (!standing) return;
    const int point = standing->Point, machine = standing->Machine;
    QStringList choices;
    for (std::string_view reaction : kReactions) choices << QString::fromUtf8(reaction.data(), reaction.size());
    QString about = QString::fromStdString(standing->Text());
    auto chosen = dialogs_.AskReaction(this, about, choices);
    if (!chosen) return;
    auto written = flow_.RecordReaction(machine, point, chosen->toStdString());
    if (written && !written->Written() && !written->queueProblem) ShowWaiting();
    signalShown_.reset();
    ShowRestingState();
    UpdateChart();
    FocusGrid();
}

}  // namespace ziv
