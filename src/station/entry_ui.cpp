// Keys, measuring mode, the input position, entries by hand and the judgement
// of the measurement window.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/failure_text.h"
#include "drawing/drawing_editor_ui.h"
#include "platform/flex_grid_qt.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"
#include "station/judgement.h"
#include "station/rejection.h"

namespace ziv {

namespace {
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
        if (mode_ == WindowMode::Measuring && ProductRegistered()) RequestReading();
    } else if (key == Qt::Key_Escape) {
        if (mode_ == WindowMode::Measuring) EndMeasuringMode();
    } else if (key == Qt::Key_Control) {
        if (editor_ && editor_->IsZoomButtonEnabled() && !editor_->isMinimized()) editor_->toggleZoom();
    }
}

void MeasurementWindow::characterTyped(const QString& character) {
    if (session_.Active() || mode_ != WindowMode::Measuring) return;
    if (character == "q") ShowMachine(0);
    else if (character == "w") ShowMachine(1);
}

void MeasurementWindow::PassFailEntry(const std::string& text) {
    int r = CurrentGridRow();
    currentInputName_.clear();
    ShownSheet().EnterPassFail(r, text == "OK");
    ShowRow(shownMachine_, r);
    if (text == "NG") WriteRejection();
    SaveDayBook();
    AdvanceToEmptyPoint();
}

// What each mode leaves the operator: everything when ready; the keyboard
// alone when measuring; the calendar, or the product panel beside the entry
// panels, while a date or a product is chosen.
void MeasurementWindow::ApplyMode(WindowMode mode) {
    mode_ = mode;
    struct Rule {
        QWidget* control;
        bool measuring, choosingDate, choosingProduct;  // enabled in these modes; always when ready
    };
    const Rule rules[] = {
        {startButton, false, false, true},          {enterNumberButton, false, false, true},
        {enterTextButton, false, false, true},      {chooseDateButton, false, false, false},
        {chooseProductButton, false, false, false}, {autoAdvanceBox, false, true, true},
        {clearNumberBox, false, false, true},       {clearTextBox, false, false, true},
        {inputPositionPanel, false, true, true},    {productNamePanel, false, false, true},
        {numberEntryPanel, false, false, true},     {textEntryPanel, false, false, true},
        {datePanel, false, true, false},
    };
    for (const Rule& rule : rules) {
        bool enabled = mode == WindowMode::Ready || (mode == WindowMode::Measuring && rule.measuring) ||
                       (mode == WindowMode::ChoosingDate && rule.choosingDate) ||
                       (mode == WindowMode::ChoosingProduct && rule.choosingProduct);
        rule.control->setEnabled(enabled);
    }
    searchButton->setEnabled(mode != WindowMode::Measuring && autoAdvanceBox->isChecked());
    calendar->setVisible(mode == WindowMode::ChoosingDate);
    productPanel->setVisible(mode == WindowMode::ChoosingProduct);
}

void MeasurementWindow::startMeasuring() {
    ShowState(QString::fromUtf8("測定可能"));
    ApplyMode(WindowMode::Measuring);
    Empty(numberEntryBox);
    Empty(textEntryBox);
    FocusGrid();
}

void MeasurementWindow::EndMeasuringMode() {
    ApplyMode(WindowMode::Ready);
    ShowState(QString());
}

void MeasurementWindow::gridRowChanged(int m) {
    // Hidden grids change rows only while every machine is loaded in turn.
    if (m != shownMachine_) return;
    int row = grids_[m]->Row();
    if (row <= 0) return;
    inputPositionBox->setText(" " + QString::number(row));
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
    // Text put into the box by a program or assistive technology bypasses
    // the box's own check: nothing but a number is ever entered and judged.
    auto entry = MagnitudeEntry(numberEntryBox->text().toStdString());
    if (!entry) {
        Warn("「手動数値入力」の \"" + numberEntryBox->text().toStdString() + "\" は数値ではないため、入力していません。");
        return;
    }
    currentInputName_.clear();
    int r = CurrentGridRow();
    ShownSheet().EnterValue(r, MagnitudeText(*entry));
    JudgeCurrentRow();  // shows the row, value and judgement together
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
    ShownSheet().EnterText(r, textEntryBox->text().toStdString());
    ShowRow(shownMachine_, r);
    SaveDayBook();
    AdvanceToEmptyPoint();
    if (clearTextBox->isChecked()) Empty(textEntryBox);
    FocusGrid();
}

void MeasurementWindow::JudgeCurrentRow() {
    int r = CurrentGridRow();
    Judgement j = ShownSheet().JudgeRow(r);
    ShowRow(shownMachine_, r);
    if (j == Judgement::Fail) WriteRejection();
}

void MeasurementWindow::CalcCorrection() {
    int r = CurrentGridRow();
    ShownSheet().CorrectRow(r);
    ShowRow(shownMachine_, r);
}

void MeasurementWindow::WriteRejection() {
    const SheetRow& row = ShownSheet().Row(CurrentGridRow());
    RejectionFacts facts{workDate_.Year,
                         workDate_.Month,
                         workDate_.Day,
                         op_.UserName,
                         shownMachine_,
                         productNames_[shownMachine_],
                         row.Nominal,
                         row.Upper,
                         row.Lower,
                         row.Value};
    // The judgement stands whatever happens here; the operator must know the record is missing.
    if (auto result = WriteRejectionFile(productFolder_, facts, nullptr, files_.disk); !result) Warn(FailureText(result));
}

}  // namespace ziv
