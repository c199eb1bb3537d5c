#include "records/work_date_ui.h"

#include <QCalendarWidget>
#include <QDate>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ziv {

WorkDatePanel::WorkDatePanel(QWidget* parent, QWidget* calendarParent)
    : QGroupBox(QString::fromUtf8("日付"), parent),
      dateBox_(new QLineEdit(this)),
      chooseButton_(new QPushButton(QString::fromUtf8("選択"), this)),
      calendarFrame_(new QWidget(calendarParent)),
      calendar_(new QCalendarWidget(calendarFrame_)) {
    setObjectName("datePanel");
    dateBox_->setObjectName("dateBox");
    dateBox_->setReadOnly(true);
    chooseButton_->setObjectName("chooseDateButton");
    calendar_->setObjectName("calendar");
    // Week numbers mean nothing on the shop floor.
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    auto* cancel = new QPushButton(QString::fromUtf8("キャンセル"), calendarFrame_);
    cancel->setObjectName("cancelCalendarButton");
    auto* column = new QVBoxLayout(calendarFrame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(calendar_);
    column->addWidget(cancel, 0, Qt::AlignRight);
    calendarFrame_->setObjectName("calendarFrame");
    calendarFrame_->hide();
    auto* row = new QHBoxLayout(this);
    row->addWidget(dateBox_);
    row->addWidget(chooseButton_);
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate date) {
        calendarFrame_->hide();
        emit dateChosen(date.year(), date.month(), date.day());
    });
    connect(cancel, &QPushButton::clicked, this, &WorkDatePanel::cancelCalendar);
}

void WorkDatePanel::cancelCalendar() {
    calendarFrame_->hide();
    emit cancelled();
}

void WorkDatePanel::showDate(const WorkDate& date) {
    dateBox_->setText(QString::fromStdString(date.Year + "/" + date.Month + "/" + date.Day));
}

void WorkDatePanel::openCalendar() {
    // Built from today's year, month and day: no time part.
    QDate today = QDate::currentDate();
    calendar_->setSelectedDate(QDate(today.year(), today.month(), today.day()));
    calendarFrame_->show();
    calendar_->setFocus();
}

}  // namespace ziv
