// The working date and the machine shown.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/numbers.h"
#include "drawing/drawing_editor_ui.h"
#include "platform/dialogs_qt.h"
#include "records/work_date.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"

namespace ziv {

void MeasurementWindow::openCalendar() {
    ApplyMode(WindowMode::ChoosingDate);
    datePanel->openCalendar();
}

void MeasurementWindow::dateClicked(int year, int month, int day) {
    ChangeWorkDate({year, month, day});
    ApplyMode(WindowMode::Ready);
}

// Every machine is loaded again from the day's workbooks. A day no report
// could read back is refused: nothing may be recorded under it.
void MeasurementWindow::ChangeWorkDate(const Date& day) {
    if (!flow_.SetWorkDate(WorkDateOf(day))) {
        Warn(DecimalText(day.Year) + "/" + DecimalText(day.Month) + "/" + DecimalText(day.Day) +
             " は作業日にできません。" + DecimalText(kFirstReadableYear) + "年から" + DecimalText(kLastReadableYear) +
             "年までの日付を選んでください。");
        return;
    }
    workDateSince_ = today_();
    setEnabled(false);
    LoadMachines(EveryMachine(), true);
    RefreshControlData();
    setEnabled(true);
    ShowWorkDate();
}

void MeasurementWindow::ShowWorkDate() {
    auto day = RecordableDay(flow_.WorkingDate());
    datePanel->showDate(flow_.WorkingDate(), day ? NotTodayText(*day, today_()) : std::nullopt);
}

// Before values are taken on a later day than the working date was chosen
// or confirmed on (a station left running overnight): asked once that day.
void MeasurementWindow::AskAboutWorkDate() {
    const Date today = today_();
    ShowWorkDate();
    auto day = RecordableDay(flow_.WorkingDate());
    if (!day || !AskToKeepWorkDate(*day, workDateSince_, today)) return;
    workDateSince_ = today;
    if (dialogs_.Ask(this, QString::fromStdString(KeepWorkDateQuestion(*day, today)))) ChangeWorkDate(today);
}

void MeasurementWindow::ShowMachine(int n) {
    if (n < 0 || n > kLastMachine) return;
    gridFrames_[flow_.ShownMachine()]->hide();
    gridFrames_[n]->show();
    activateWindow();
    flow_.ShowMachine(n);
    machineBox->setText(QString::number(n) + QString::fromUtf8("号機"));
    productNameBox->setText(QString::fromStdString(flow_.ProductName(n)));
    if (!Editor()->HasDrawing(n) && flow_.Registered(n)) LoadDrawingFor(n);
    shownProductFolder_ = flow_.ProductPath(n);
    // This machine's input position, also where it did not move (auto-advance off).
    ShowInputPosition(n);
    if (mode_ == WindowMode::Measuring) ShowMeasuringState();
    else ShowPartState(n);
}

}  // namespace ziv
