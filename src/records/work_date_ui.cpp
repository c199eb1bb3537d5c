#include "records/work_date_ui.h"

#include <QCalendarWidget>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ziv {

WorkDatePanel::WorkDatePanel(QWidget* parent, QWidget* calendarParent)
    : QGroupBox(QString::fromUtf8("日付"), parent),
      dateBox_(new QLineEdit(this)),
      notTodayLabel_(new QLabel(this)),
      chooseButton_(new QPushButton(QString::fromUtf8("選択"), this)),
      calendarFrame_(new QWidget(calendarParent)),
      calendar_(new QCalendarWidget(calendarFrame_)) {
    setObjectName("datePanel");
    dateBox_->setObjectName("dateBox");
    dateBox_->setReadOnly(true);
    chooseButton_->setObjectName("chooseDateButton");
    notTodayLabel_->setObjectName("notTodayLabel");
    notTodayLabel_->setAlignment(Qt::AlignCenter);
    notTodayLabel_->setWordWrap(true);
    notTodayLabel_->hide();
    QFont bold = notTodayLabel_->font();
    bold.setBold(true);
    notTodayLabel_->setFont(bold);
    calendar_->setObjectName("calendar");
    // Week numbers mean nothing on the shop floor.
    calendar_->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    // Digits typed at the calendar went into a date editor whose first field
    // is the year: "8" and Enter chose the year 8. Days are clicked or reached
    // with the arrow keys, and only in the years a report reads back.
    calendar_->setDateEditEnabled(false);
    calendar_->setDateRange(QDate(kFirstReadableYear, 1, 1), QDate(kLastReadableYear, 12, 31));
    auto* cancel = new QPushButton(QString::fromUtf8("キャンセル"), calendarFrame_);
    cancel->setObjectName("cancelCalendarButton");
    auto* column = new QVBoxLayout(calendarFrame_);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(calendar_);
    column->addWidget(cancel, 0, Qt::AlignRight);
    calendarFrame_->setObjectName("calendarFrame");
    calendarFrame_->hide();
    auto* panel = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(dateBox_);
    row->addWidget(chooseButton_);
    panel->addLayout(row);
    panel->addWidget(notTodayLabel_);
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

void WorkDatePanel::showDate(const WorkDate& date, const std::optional<std::string>& notToday) {
    dateBox_->setText(QString::fromStdString(date.Year + "/" + date.Month + "/" + date.Day));
    // The amber of every warning that lets the work go on.
    const QString amber = "background-color: #FFB300; color: black;";
    dateBox_->setStyleSheet(notToday ? amber : QString());
    notTodayLabel_->setStyleSheet(amber + " padding: 4px;");
    notTodayLabel_->setText(notToday ? QString::fromStdString(*notToday) : QString());
    notTodayLabel_->setVisible(notToday.has_value());
}

void WorkDatePanel::openCalendar() {
    // Built from today's year, month and day: no time part.
    QDate today = QDate::currentDate();
    calendar_->setSelectedDate(QDate(today.year(), today.month(), today.day()));
    calendarFrame_->show();
    calendar_->setFocus();
}

}  // namespace ziv
