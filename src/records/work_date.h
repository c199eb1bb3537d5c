#pragma once
// The working date against today. Values go to the working date's day
// workbooks whatever the clock says, so a date other than today must be seen
// at a glance, and a station left running into a later day asks once whether
// its values still belong to the earlier date.
#include <optional>
#include <string>

#include "records/day_book_name.h"

namespace ziv {

// "作業日 12/8（今日ではありません）", with the year where it is not
// today's year; nothing when the working date is today.
std::optional<std::string> NotTodayText(const Date& workDate, const Date& today);

// Whether to ask: the working date lies before today, and today is a later
// day than the one on which it was chosen or last confirmed (`since`).
bool AskToKeepWorkDate(const Date& workDate, const Date& since, const Date& today);

// The question: yes changes the working date to today.
std::string KeepWorkDateQuestion(const Date& workDate, const Date& today);

}  // namespace ziv
