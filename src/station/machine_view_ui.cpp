// The working date and the machine shown.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/numbers.h"
#include "drawing/drawing_editor_ui.h"
#include "platform/flex_grid_qt.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"

namespace ziv {

void MeasurementWindow::openCalendar() {
    ApplyMode(WindowMode::ChoosingDate);
    datePanel->openCalendar();
}

void MeasurementWindow::dateClicked(int year, int month, int day) {
    setEnabled(false);
    workDate_ = {DecimalText(year), DecimalText(month), DecimalText(day)};
    datePanel->showDate(workDate_);
    ReloadEveryMachine();
    inputPositionBox->setText(QString::number(grids_[shownMachine_]->Row()));
    setEnabled(true);
    ApplyMode(WindowMode::Ready);
}

void MeasurementWindow::ShowMachine(int n) {
    if (n < 0 || n > kLastMachine) return;
    gridFrames_[shownMachine_]->hide();
    gridFrames_[n]->show();
    activateWindow();
    shownMachine_ = n;
    AdvanceToEmptyPoint();
    machineBox->setText(QString::number(n) + QString::fromUtf8("号機"));
    productNameBox->setText(QString::fromStdString(productNames_[n]));
    if (!Editor()->HasDrawing(n) && !productPaths_[n].empty()) LoadDrawingFor(n);
    shownProductFolder_ = productPaths_[n];
    Editor()->currentPointChanged();
}

}  // namespace ziv
