#include "records/work_date.h"

namespace ziv {

namespace {

// "12/8", or "2025/12/8" in another year than today's.
std::string ShortDate(const Date& date, const Date& today) {
    std::string monthDay = std::to_string(date.Month) + "/" + std::to_string(date.Day);
    return date.Year == today.Year ? monthDay : std::to_string(date.Year) + "/" + monthDay;
}

}  // namespace

std::optional<std::string> NotTodayText(const Date& workDate, const Date& today) {
    if (workDate == today) return std::nullopt;
    return "作業日 " + ShortDate(workDate, today) + "（今日ではありません）";
}

bool AskToKeepWorkDate(const Date& workDate, const Date& since, const Date& today) {
    return workDate < today && since < today;
}

std::string KeepWorkDateQuestion(const Date& workDate, const Date& today) {
    return "作業日は " + ShortDate(workDate, today) + " のままです（今日は " + ShortDate(today, today) +
           "）。\n作業日を今日に変えますか？\n「いいえ」を選ぶと、値は引き続き " + ShortDate(workDate, today) +
           " のブックに記録されます。";
}

}  // namespace ziv
