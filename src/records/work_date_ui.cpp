#include "records/work_date_ui.h"

#include <QCalendarWidget>
#include <QDate>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace ziv {

WorkDatePanel::WorkDatePanel(QWidget* parent, QWidget* calendarParent)
    : QGroupBox(QString::fromUtf8("日付"), parent),
      dateBox_(new QLineEdit(this)),
      chooseButton_(new QPushButton(QString::fromUtf8("選択"), this)),
      calendar_(new QCalendarWidget(calendarParent)) {
    setObjectName("datePanel");
    dateBox_->setObjectName("dateBox");
    dateBox_->setReadOnly(true);
    chooseButton_->setObjectName("chooseDateButton");
    calendar_->setObjectName("calendar");
    calendar_->hide();
    auto* row = new QHBoxLayout(this);
    row->addWidget(dateBox_);
    row->addWidget(chooseButton_);
    connect(calendar_, &QCalendarWidget::clicked, this, [this](QDate date) {
        calendar_->hide();
        emit dateChosen(date.year(), date.month(), date.day());
    });
}

void WorkDatePanel::showDate(const WorkDate& date) {
    dateBox_->setText(QString::fromStdString(date.Year + "/" + date.Month + "/" + date.Day));
}

void WorkDatePanel::openCalendar() {
    // Built from today's year, month and day: no time part.
    QDate today = QDate::currentDate();
    calendar_->setSelectedDate(QDate(today.year(), today.month(), today.day()));
    calendar_->show();
}

}  // namespace ziv
