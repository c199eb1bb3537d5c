#include "common/timestamp.h"

#include <cstdio>
#include <ctime>

namespace ziv {

using namespace std::chrono;

namespace {

// Exactly `width` ASCII digits at text[at]; nothing otherwise.
std::optional<int> Digits(std::string_view text, size_t at, size_t width) {
    if (at + width > text.size()) return std::nullopt;
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// One to `most` digits at text[at], the count of them in *width.
std::optional<int> SomeDigits(std::string_view text, size_t at, size_t most, size_t* width) {
    size_t n = 0;
    while (at + n < text.size() && n < most && text[at + n] >= '0' && text[at + n] <= '9') ++n;
    if (n == 0) return std::nullopt;
    *width = n;
    return Digits(text, at, n);
}

std::optional<Day> DayOf(int y, int m, int d) {
    Day day{year{y}, month{static_cast<unsigned>(m)}, std::chrono::day{static_cast<unsigned>(d)}};
    if (!day.ok()) return std::nullopt;
    return day;
}

sys_time<milliseconds> LocalClock(const Timestamp& t) { return t.Utc + t.Offset; }

}  // namespace

Day Timestamp::LocalDay() const { return Day{floor<days>(LocalClock(*this))}; }

hh_mm_ss<milliseconds> Timestamp::LocalTimeOfDay() const {
    auto local = LocalClock(*this);
    return hh_mm_ss<milliseconds>{local - floor<days>(local)};
}

Timestamp TimestampNow() { return TimestampAt(duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count()); }

Timestamp TimestampAt(std::int64_t ns) {
    Timestamp now;
    now.Utc = floor<milliseconds>(sys_time<nanoseconds>(nanoseconds(ns)));
    std::time_t seconds = system_clock::to_time_t(time_point_cast<system_clock::duration>(now.Utc));
    std::tm local{};
    if (localtime_r(&seconds, &local)) now.Offset = duration_cast<minutes>(std::chrono::seconds(local.tm_gmtoff));
    return now;
}

std::string TimestampText(const Timestamp& time) {
    Day day = time.LocalDay();
    auto clock = time.LocalTimeOfDay();
    int offset = static_cast<int>(time.Offset.count());
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03d%c%02d:%02d", static_cast<int>(day.year()),
                  static_cast<unsigned>(day.month()), static_cast<unsigned>(day.day()),
                  static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()), sign,
                  offset / 60, offset % 60);
    return text;
}

std::optional<Timestamp> ParseTimestamp(std::string_view text) {
    auto y = Digits(text, 0, 4), mo = Digits(text, 5, 2), d = Digits(text, 8, 2);
    auto h = Digits(text, 11, 2), mi = Digits(text, 14, 2), s = Digits(text, 17, 2);
    if (!y || !mo || !d || !h || !mi || !s || text[4] != '-' || text[7] != '-' ||
        (text[10] != 'T' && text[10] != ' ') || text[13] != ':' || text[16] != ':')
        return std::nullopt;
    auto day = DayOf(*y, *mo, *d);
    if (!day || *h > 23 || *mi > 59 || *s > 59) return std::nullopt;
    size_t at = 19;
    long long millis = 0;
    if (at < text.size() && text[at] == '.') {
        size_t width = 0;
        auto fraction = SomeDigits(text, at + 1, 9, &width);
        if (!fraction) return std::nullopt;
        millis = *fraction;
        for (size_t w = width; w < 3; ++w) millis *= 10;
        for (size_t w = 3; w < width; ++w) millis /= 10;
        at += 1 + width;
    }
    Timestamp time;
    if (at + 1 == text.size() && text[at] == 'Z') {
        time.Offset = minutes(0);
    } else {
        auto oh = Digits(text, at + 1, 2), om = Digits(text, at + 4, 2);
        if (at + 6 != text.size() || (text[at] != '+' && text[at] != '-') || text[at + 3] != ':' || !oh || !om ||
            *oh > 23 || *om > 59)
            return std::nullopt;
        time.Offset = minutes((text[at] == '-' ? -1 : 1) * (*oh * 60 + *om));
    }
    sys_time<milliseconds> local =
        sys_days(*day) + hours(*h) + minutes(*mi) + seconds(*s) + milliseconds(millis);
    time.Utc = local - time.Offset;
    return time;
}

std::string DayText(const Day& day) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(day.year()), static_cast<unsigned>(day.month()),
                  static_cast<unsigned>(day.day()));
    return text;
}

std::optional<Day> ParseDay(std::string_view text) {
    auto y = Digits(text, 0, 4);
    if (!y || text.size() < 5) return std::nullopt;
    if (text[4] == '-') {
        auto m = Digits(text, 5, 2), d = Digits(text, 8, 2);
        if (text.size() != 10 || text[7] != '-' || !m || !d) return std::nullopt;
        return DayOf(*y, *m, *d);
    }
    if (text[4] != '/') return std::nullopt;
    size_t mw = 0, dw = 0;
    auto m = SomeDigits(text, 5, 2, &mw);
    if (!m || 5 + mw >= text.size() || text[5 + mw] != '/') return std::nullopt;
    auto d = SomeDigits(text, 6 + mw, 2, &dw);
    if (!d || 6 + mw + dw != text.size()) return std::nullopt;
    return DayOf(*y, *m, *d);
}

}  // namespace ziv
