// Keys, measuring mode, the input position, entries by hand and the judgement
// of the measurement window.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "drawing/form4_ui.h"
#include "platform/flex_grid_qt.h"
#include "station/form1_ui.h"
#include "station/judgement.h"
#include "station/rejection.h"

namespace ziv {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
// QLineEdit::clear() keeps what was typed as undo steps, more of them with
// every value of a shift; setText empties the box and drops them.
void Empty(QLineEdit* box) { box->setText(QString()); }
}  // namespace

void Form1::Form_KeyUp(int key) {
    if (readingPending_ == 1) return;
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
        if (editor_ && editor_->IsZoomButtonEnabled() && !editor_->isMinimized()) editor_->Command4_Click();
    }
}

void Form1::Form_KeyPress(const QString& character) {
    if (readingPending_ == 1 || measuringMode_ != 1) return;
    if (character == "q") ShowMachine(0);
    else if (character == "w") ShowMachine(1);
}

void Form1::PassFailEntry(const std::string& text) {
    int r = CurrentGridRow();
    currentInputName_.clear();
    SetCell(r, 1, Q(text));
    SetCell(r, 2, Q(JudgementText(text == "NG" ? Judgement::Fail : Judgement::Pass)));
    if (!Cell(r, 6).isEmpty()) SetCell(r, 7, QString());
    if (text == "NG") WriteRejection();
    SaveDayBook();
    AdvanceToEmptyPoint();
}

void Form1::Command1_Click() {
    Label1->setText(QString::fromUtf8("測定可能"));
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Command3, Command4, Command5, Command6, Command7,
                                                      Check1, Check2, Check3})
        w->setEnabled(false);
    MonthView1->hide();
    Frame9->hide();
    Empty(Text4);
    Empty(Text6);
    for (QWidget* w : std::initializer_list<QWidget*>{Frame1, Frame5, Frame6, Frame7, Frame8}) w->setEnabled(false);
    measuringMode_ = 1;
    FocusGrid();
}

void Form1::EndMeasuringMode() {
    Command1->setEnabled(true);
    Command3->setEnabled(true);
    Command4->setEnabled(true);
    Command5->setEnabled(Check1->isChecked());
    for (QWidget* w : std::initializer_list<QWidget*>{Command6, Command7, Check1, Check2, Check3, Frame1, Frame5,
                                                      Frame6, Frame7, Frame8})
        w->setEnabled(true);
    Label1->clear();
    measuringMode_ = 0;
}

void Form1::MSFlexGrid1_RowColChange(int m) {
    // Hidden grids change rows only while every machine is loaded in turn.
    if (m != MachineNumber) return;
    int row = grids_[m]->Row();
    if (row > 0) Text1->setText(" " + QString::number(row));
}

void Form1::Text1_Change() {
    if (loaded_ || editor_) Editor()->MNChanged();
}

void Form1::Check1_Click() {
    Command5->setEnabled(Check1->isChecked());
    FocusGrid();
}

void Form1::Command5_Click() {
    AdvanceToEmptyPoint();
    AdvanceToEmptyPoint();
    FocusGrid();
}

void Form1::Check2_Click() { FocusGrid(); }
void Form1::Check3_Click() { FocusGrid(); }

void Form1::Command3_Click() {
    if (!ProductRegistered()) return;
    currentInputName_.clear();
    SetCell(CurrentGridRow(), 1, Q(MagnitudeText(Text4->text().toStdString())));
    JudgeCurrentRow();
    CalcCorrection();
    SaveDayBook();
    AdvanceToEmptyPoint();
    if (Check2->isChecked()) Empty(Text4);
    FocusGrid();
}

void Form1::Command4_Click() {
    if (!ProductRegistered()) return;
    int r = CurrentGridRow();
    currentInputName_.clear();
    SetCell(r, 1, Text6->text());
    SetCell(r, 2, QString());
    if (!Cell(r, 6).isEmpty()) SetCell(r, 7, QString());
    SaveDayBook();
    AdvanceToEmptyPoint();
    if (Check3->isChecked()) Empty(Text6);
    FocusGrid();
}

void Form1::JudgeCurrentRow() {
    int r = CurrentGridRow();
    Judgement j = JudgeMeasuredValue(Cell(r, 3).toStdString(), Cell(r, 4).toStdString(), Cell(r, 5).toStdString(),
                                     Cell(r, 1).toStdString());
    SetCell(r, 2, Q(JudgementText(j)));
    if (j == Judgement::Fail) WriteRejection();
}

void Form1::CalcCorrection() {
    int r = CurrentGridRow();
    if (auto c = CorrectionText(Cell(r, 6).toStdString(), Cell(r, 1).toStdString())) SetCell(r, 7, Q(*c));
}

void Form1::WriteRejection() {
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
