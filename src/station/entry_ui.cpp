// Keys, measuring mode, the input position, entries by hand and the judgement
// of the measurement window.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/drawing_editor_ui.h"
#include "platform/flex_grid_qt.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"
#include "station/judgement.h"
#include "station/rejection.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
// QLineEdit::clear() keeps what was typed as undo steps, more of them with
// every value of a shift; setText empties the box and drops them.
void Empty(QLineEdit* box) { box->setText(QString()); }
}  // namespace

void MeasurementWindow::keyReleased(int key) {
    if (session_.Active()) return;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F10) {
        SelectInstrument(key - Qt::Key_F1 + 1);
    } else if (key == Qt::Key_F11) {
        if (ProductRegistered()) PassFailEntry("NG");
    } else if (key == Qt::Key_F12) {
        if (ProductRegistered()) PassFailEntry("OK");
    } else if (key == Qt::Key_Space) {
        if (measuringMode_ == 1 && ProductRegistered()) RequestReading();
    } else if (key == Qt::Key_Escape) {
        if (measuringMode_ == 1) EndMeasuringMode();
    } else if (key == Qt::Key_Control) {
        if (editor_ && editor_->IsZoomButtonEnabled() && !editor_->isMinimized()) editor_->toggleZoom();
    }
}

void MeasurementWindow::characterTyped(const QString& character) {
    if (session_.Active() || measuringMode_ != 1) return;
    if (character == "q") ShowMachine(0);
    else if (character == "w") ShowMachine(1);
}

void MeasurementWindow::PassFailEntry(const std::string& text) {
    int r = CurrentGridRow();
    currentInputName_.clear();
    SetCell(r, 1, Q(text));
    SetCell(r, 2, Q(JudgementText(text == "NG" ? Judgement::Fail : Judgement::Pass)));
    if (!Cell(r, 6).isEmpty()) SetCell(r, 7, QString());
    if (text == "NG") WriteRejection();
    SaveDayBook();
    AdvanceToEmptyPoint();
}

void MeasurementWindow::startMeasuring() {
    ShowState(QString::fromUtf8("測定可能"));
    for (QWidget* w : std::initializer_list<QWidget*>{startButton, enterNumberButton, enterTextButton, searchButton, chooseDateButton, chooseProductButton,
                                                      autoAdvanceBox, clearNumberBox, clearTextBox})
        w->setEnabled(false);
    calendar->hide();
    productPanel->hide();
    Empty(numberEntryBox);
    Empty(textEntryBox);
    for (QWidget* w : std::initializer_list<QWidget*>{inputPositionPanel, productNamePanel, numberEntryPanel, textEntryPanel, datePanel}) w->setEnabled(false);
    measuringMode_ = 1;
    FocusGrid();
}

void MeasurementWindow::EndMeasuringMode() {
    startButton->setEnabled(true);
    enterNumberButton->setEnabled(true);
    enterTextButton->setEnabled(true);
    searchButton->setEnabled(autoAdvanceBox->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{chooseDateButton, chooseProductButton, autoAdvanceBox, clearNumberBox, clearTextBox, inputPositionPanel, productNamePanel,
                                                      numberEntryPanel, textEntryPanel, datePanel})
        w->setEnabled(true);
    ShowState(QString());
    measuringMode_ = 0;
}

void MeasurementWindow::gridRowChanged(int m) {
    // Hidden grids change rows only while every machine is loaded in turn.
    if (m != MachineNumber) return;
    int row = grids_[m]->Row();
    if (row > 0) inputPositionBox->setText(" " + QString::number(row));
}

void MeasurementWindow::inputPositionChanged() {
    if (loaded_ || editor_) Editor()->currentPointChanged();
}

void MeasurementWindow::autoAdvanceClicked() {
    searchButton->setEnabled(autoAdvanceBox->isChecked());
    FocusGrid();
}

void MeasurementWindow::searchEmptyPoint() {
    AdvanceToEmptyPoint();
    AdvanceToEmptyPoint();
    FocusGrid();
}

void MeasurementWindow::clearNumberClicked() { FocusGrid(); }
void MeasurementWindow::clearTextClicked() { FocusGrid(); }

void MeasurementWindow::enterNumber() {
    if (!ProductRegistered()) return;
    currentInputName_.clear();
    SetCell(CurrentGridRow(), 1, Q(MagnitudeText(numberEntryBox->text().toStdString())));
    JudgeCurrentRow();
    CalcCorrection();
    SaveDayBook();
    AdvanceToEmptyPoint();
    if (clearNumberBox->isChecked()) Empty(numberEntryBox);
    FocusGrid();
}

void MeasurementWindow::enterText() {
    if (!ProductRegistered()) return;
    int r = CurrentGridRow();
    currentInputName_.clear();
    SetCell(r, 1, textEntryBox->text());
    SetCell(r, 2, QString());
    if (!Cell(r, 6).isEmpty()) SetCell(r, 7, QString());
    SaveDayBook();
    AdvanceToEmptyPoint();
    if (clearTextBox->isChecked()) Empty(textEntryBox);
    FocusGrid();
}

void MeasurementWindow::JudgeCurrentRow() {
    int r = CurrentGridRow();
    Judgement j = JudgeMeasuredValue(Cell(r, 3).toStdString(), Cell(r, 4).toStdString(), Cell(r, 5).toStdString(),
                                     Cell(r, 1).toStdString());
    SetCell(r, 2, Q(JudgementText(j)));
    if (j == Judgement::Fail) WriteRejection();
}

void MeasurementWindow::CalcCorrection() {
    int r = CurrentGridRow();
    if (auto c = CorrectionText(Cell(r, 6).toStdString(), Cell(r, 1).toStdString())) SetCell(r, 7, Q(*c));
}

void MeasurementWindow::WriteRejection() {
    int r = CurrentGridRow();
    RejectionFacts facts{workDate_.Year,
                         workDate_.Month,
                         workDate_.Day,
                         op_.UserName,
                         MachineNumber,
                         productNames_[MachineNumber],
                         Cell(r, 3).toStdString(),
                         Cell(r, 4).toStdString(),
                         Cell(r, 5).toStdString(),
                         Cell(r, 1).toStdString()};
    // The judgement stands whatever happens here; the operator must know the record is missing.
    if (auto result = WriteRejectionFile(productFolder_, facts); !result) Warn(result.error);
}

}  // namespace ziv
