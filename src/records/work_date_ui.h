#pragma once
// The working date 「日付」: the date shown, the button that opens the
// calendar, and the calendar. The calendar always opens on today, whatever
// the working date; a click on a day chooses it.
#include <QGroupBox>

#include "records/day_book.h"

class QCalendarWidget;
class QLineEdit;
class QPushButton;

namespace ziv {

class WorkDatePanel : public QGroupBox {
    Q_OBJECT
public:
    // The calendar is a child of calendarParent, so it can stand apart from the panel.
    WorkDatePanel(QWidget* parent, QWidget* calendarParent);

    void showDate(const WorkDate& date);
    void openCalendar();

    QLineEdit* dateBox() const { return dateBox_; }
    QPushButton* chooseButton() const { return chooseButton_; }
    QCalendarWidget* calendar() const { return calendar_; }

signals:
    void dateChosen(int year, int month, int day);

private:
    QLineEdit* dateBox_;
    QPushButton* chooseButton_;
    QCalendarWidget* calendar_;
};

}  // namespace ziv
