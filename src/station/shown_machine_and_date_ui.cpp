// The working date and the machine shown.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/numbers.h"
#include "drawing/drawing_editor_ui.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"

namespace ziv {

void MeasurementWindow::openCalendar() {
    ApplyMode(WindowMode::ChoosingDate);
    datePanel->openCalendar();
}

void MeasurementWindow::dateClicked(int year, int month, int day) {
    setEnabled(false);
    flow_.SetWorkDate({DecimalText(year), DecimalText(month), DecimalText(day)});
    datePanel->showDate(flow_.WorkingDate());
    LoadMachines(EveryMachine(), true);
    RefreshControlData();
    setEnabled(true);
    ApplyMode(WindowMode::Ready);
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
