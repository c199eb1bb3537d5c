// The working date and the machine shown.
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/numbers.h"
#include "drawing/form4_ui.h"
#include "platform/flex_grid_qt.h"
#include "station/form1_ui.h"

namespace ziv {

void Form1::Command6_Click() {
    MonthView1->setSelectedDate(QDate::currentDate());
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Command3, Command4, Command6, Command7, Check2, Check3,
                                                      Frame5, Frame6, Frame7})
        w->setEnabled(false);
    MonthView1->show();
}

void Form1::MonthView1_DateClick(int year, int month, int day) {
    MonthView1->hide();
    setEnabled(false);
    workDate_ = {DecimalText(year), DecimalText(month), DecimalText(day)};
    Text7->setText(QString::fromStdString(workDate_.Year + "/" + workDate_.Month + "/" + workDate_.Day));
    int shown = MachineNumber;
    ReloadEveryMachine();
    MachineNumber = shown;
    Text1->setText(QString::number(grids_[MachineNumber]->Row()));
    setEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Command3, Command4, Command6, Command7, Check2, Check3,
                                                      Frame5, Frame6, Frame7})
        w->setEnabled(true);
}

void Form1::ShowMachine(int n) {
    if (n < 0 || n > MaxMachineNumber) return;
    frame2_[MachineNumber]->hide();
    frame2_[n]->show();
    activateWindow();
    MachineNumber = n;
    AdvanceToEmptyPoint();
    Text3->setText(QString::number(n) + QString::fromUtf8("号機"));
    Text5->setText(QString::fromStdString(productNames_[n]));
    if (!Editor()->HasDrawing(n) && !productPaths_[n].empty()) LoadDrawingFor(n);
    EPath = productPaths_[n];
    Editor()->MNChanged();
}

}  // namespace ziv
