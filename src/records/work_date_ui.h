#pragma once
// The working date 「日付」: the date shown, the button that opens the
// calendar, and the calendar with its 「キャンセル」. The calendar always
// opens on today, whatever the working date; a click on a day chooses it.
// A working date other than today stands out in amber with a word saying so.
#include <QGroupBox>
#include <optional>
#include <string>

#include "records/day_book.h"

class QCalendarWidget;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ziv {

class WorkDatePanel : public QGroupBox {
    Q_OBJECT
public:
    // The calendar and its cancel button are a child of calendarParent, so
    // they can stand apart from the panel.
    WorkDatePanel(QWidget* parent, QWidget* calendarParent);

    // `notToday` (NotTodayText) says that the date is not today's.
    void showDate(const WorkDate& date, const std::optional<std::string>& notToday);
    void openCalendar();
    // Closes the calendar without choosing a date.
    void cancelCalendar();

    QLineEdit* dateBox() const { return dateBox_; }
    QPushButton* chooseButton() const { return chooseButton_; }
    QCalendarWidget* calendar() const { return calendar_; }
    // The calendar with its cancel button, shown and hidden together.
    QWidget* calendarFrame() const { return calendarFrame_; }

signals:
    void dateChosen(int year, int month, int day);
    void cancelled();

private:
    QLineEdit* dateBox_;
    QLabel* notTodayLabel_;
    QPushButton* chooseButton_;
    QWidget* calendarFrame_;
    QCalendarWidget* calendar_;
};

}  // namespace ziv
