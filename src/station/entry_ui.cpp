// Keys, measuring mode, the input position and entries by hand of the
// measurement window: each handed to the entry flow.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "drawing/drawing_editor_ui.h"
#include "platform/column_scroll_qt.h"
#include "records/product_panel_ui.h"
#include "records/work_date_ui.h"
#include "station/measurement_window_ui.h"
#include "station/sheet_grid_qt.h"

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
        // An overdue gauge's warning belongs to its key.
        if (mode_ == WindowMode::Measuring) ShowMeasuringState();
    } else if (key == Qt::Key_F11 || key == Qt::Key_F12) {
        AskAboutWorkDate();
        Tell(flow_.EnterPassFail(key == Qt::Key_F12));
    } else if (key == Qt::Key_Space) {
        if (mode_ != WindowMode::Measuring || !ProductRegistered()) return;
        AskAboutWorkDate();
        RequestReading();
    } else if (key == Qt::Key_Escape) {
        if (mode_ == WindowMode::Measuring) EndMeasuringMode();
        else if (mode_ == WindowMode::ChoosingDate) datePanel->cancelCalendar();
        else if (mode_ == WindowMode::ChoosingProduct) closeProductPanel();
    } else if (key == Qt::Key_Control) {
        if (editor_ && editor_->IsZoomButtonEnabled() && !editor_->isMinimized()) editor_->toggleZoom();
    }
}

void MeasurementWindow::characterTyped(const QString& character) {
    if (session_.Active() || mode_ != WindowMode::Measuring) return;
    if (character == "q") ShowMachine(0);
    else if (character == "w") ShowMachine(1);
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
    // The calendar and the product choice take the chart's place: each goes
    // before another comes, or the window would grow for both at once.
    const bool date = mode == WindowMode::ChoosingDate, product = mode == WindowMode::ChoosingProduct;
    if (!date) datePanel->calendarFrame()->hide();
    if (!product) productPanel->hide();
    UpdateChart();
    datePanel->calendarFrame()->setVisible(date);
    productPanel->setVisible(product);
    // Where the column scrolls, the panel just opened comes into sight once laid out.
    if (QWidget* opened = date ? datePanel->calendarFrame() : product ? productPanel : nullptr)
        QMetaObject::invokeMethod(sidePanel_, [this, opened] { sidePanel_->ensureWidgetVisible(opened, 0, 0); },
                                  Qt::QueuedConnection);
}

void MeasurementWindow::startMeasuring() {
    AskAboutWorkDate();
    ShowMeasuringState();
    ApplyMode(WindowMode::Measuring);
    Empty(numberEntryBox);
    Empty(textEntryBox);
    FocusGrid();
}

void MeasurementWindow::EndMeasuringMode() {
    ApplyMode(WindowMode::Ready);
    ShowRestingState();
}

// ---- the input position: the flow's point, which the grid follows ----------

void MeasurementWindow::GridLink::RowChanged(int machine, int point) {
    f.grids_[machine]->Model().PointChanged(point);
    f.ShowPartState(machine);
}

void MeasurementWindow::GridLink::SheetChanged(int machine) {
    f.grids_[machine]->Model().SheetChanged();
    f.ShowPartState(machine);
}

void MeasurementWindow::ShowPoint(int m, int point, int top) {
    grids_[m]->SetTopRow(top);
    FollowFlow(m, point);
}

void MeasurementWindow::ShowFirstPoint(int m) {
    FollowFlow(m, kFirstPoint);
    grids_[m]->SetTopRow(kFirstPoint);
}

// The flow moved machine m's input position, often from inside an entry it
// is still recording: the grid's row follows without telling the flow back.
void MeasurementWindow::FollowFlow(int m, int point) {
    {
        QSignalBlocker quiet(grids_[m]);
        grids_[m]->SetRow(point);
    }
    ShowInputPosition(m);
}

// The operator moved the grid's row (a click, an arrow key).
void MeasurementWindow::gridRowChanged(int m) {
    flow_.SelectPoint(m, grids_[m]->Row());
    ShowInputPosition(m);
}

// What shows the input position of the machine shown besides the grid: the
// box, the editor's circled point and the chart.
void MeasurementWindow::ShowInputPosition(int m) {
    if (m != flow_.ShownMachine()) return;
    inputPositionBox->setText(" " + QString::number(flow_.Point(m)));
    if (loaded_ || editor_) Editor()->currentPointChanged();
    UpdateChart();
}

void MeasurementWindow::autoAdvanceClicked() {
    searchButton->setEnabled(autoAdvanceBox->isChecked());
    FocusGrid();
}

void MeasurementWindow::searchEmptyPoint() {
    flow_.SearchEmptyPoint();
    FocusGrid();
}

void MeasurementWindow::clearNumberClicked() { FocusGrid(); }
void MeasurementWindow::clearTextClicked() { FocusGrid(); }

// The box keeps whatever was typed: a typo is refused here, named as it was
// typed, and stays in the box to be put right.
void MeasurementWindow::enterNumber() {
    AskAboutWorkDate();
    EntryFlow::Entry entry = flow_.EnterNumber(numberEntryBox->text().toStdString());
    if (entry.taken == EntryFlow::Entry::Taken::NotANumber)
        Warn("「手動数値入力」の \"" + entry.text + "\" は数値ではないため、入力していません。");
    if (entry.taken == EntryFlow::Entry::Taken::SignRefused)
        Warn("「手動数値入力」の \"" + entry.text +
             "\" は入力していません。この測定点の値は大きさ（符号なし）で記録するため、「-」は付けられません。");
    if (entry.taken == EntryFlow::Entry::Taken::NoNumber)
        Warn("「手動数値入力」に数値がないため、入力していません。");
    if (!entry) return;
    Tell(entry);
    if (clearNumberBox->isChecked()) Empty(numberEntryBox);
    FocusGrid();
}

void MeasurementWindow::enterText() {
    AskAboutWorkDate();
    EntryFlow::Entry entry = flow_.EnterText(textEntryBox->text().toStdString());
    if (!entry) return;
    Tell(entry);
    if (clearTextBox->isChecked()) Empty(textEntryBox);
    FocusGrid();
}

}  // namespace ziv
