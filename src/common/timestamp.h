#pragma once
// When something happened, as the station's clock told it: the instant and the
// offset of the local time zone then, so that a journal read on another
// computer, or after the clocks changed, still shows the time the operator saw.
// Calendar days (working dates, calibration due dates) are plain dates.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ziv {

using Day = std::chrono::year_month_day;

struct Timestamp {
    std::chrono::sys_time<std::chrono::milliseconds> Utc{};
    std::chrono::minutes Offset{0};  // local time minus UTC
    bool operator==(const Timestamp&) const = default;

    // The local calendar day and time of day.
    Day LocalDay() const;
    std::chrono::hh_mm_ss<std::chrono::milliseconds> LocalTimeOfDay() const;
};

// Now, with the offset the local time zone has now.
Timestamp TimestampNow();
// ns since the epoch (a time on another clock, such as the file server's),
// with the offset the local time zone has then.
Timestamp TimestampAt(std::int64_t ns);

// "2024-03-07T14:05:09.123+09:00" (RFC 3339, milliseconds): sorts as text
// within one offset, and spreadsheets and pandas read it as a time.
std::string TimestampText(const Timestamp& time);
// That form, also without the fraction or with another number of its digits
// (cut to milliseconds), and "Z" for UTC; nothing for anything else.
std::optional<Timestamp> ParseTimestamp(std::string_view text);

// "2024-03-07".
std::string DayText(const Day& day);
// "2024-03-07" or "2024/3/7" (the form a person types); nothing for anything
// else or a day that does not exist.
std::optional<Day> ParseDay(std::string_view text);

}  // namespace ziv
