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
    std::thread([load, products = flow_.ProductPaths(), today = *day] {
        ControlData read = ReadControlData(products, today);
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

void MeasurementWindow::UpdateChart() {
    if (!controlChart) return;
    int m = flow_.ShownMachine(), point = flow_.Point(m);
    // The input position moves on after a value: while that value's signal
    // stands, its point stays in sight where the next has no limits.
    if (!flow_.Watch().Watched(point, m) && signalShown_ && signalShown_->second == m) point = signalShown_->first;
    const report::FixedLimit* limits = flow_.Watch().LimitsOf(point, m);
    reactionButton->setVisible(signalShown_.has_value());
    if (!limits) {
        // Without fixed limits the window is as it always was, unless their file could not be read.
        controlChart->setVisible(!controlProblems_.isEmpty());
        controlChart->Clear(controlProblems_.trimmed());
        return;
    }
    controlChart->Show(point, m, *limits, flow_.ChartValues(m, point));
    controlChart->show();
}

void MeasurementWindow::recordReaction() {
    if (!signalShown_) return;
    auto [point, machine] = *signalShown_;
    auto standing = flow_.Watch().Standing(point, machine);
    QStringList choices;
    for (std::string_view reaction : kReactions) choices << QString::fromUtf8(reaction.data(), reaction.size());
    QString about = standing ? QString::fromStdString(standing->Text()) : QStringLiteral("点%1").arg(point);
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
