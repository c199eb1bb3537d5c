// Times and days as the journal and the gauge file write them, read back
// whatever the offset, and nothing taken that is not one.
#include <gtest/gtest.h>

#include "common/timestamp.h"

using namespace ziv;
using namespace std::chrono;

TEST(Timestamps, TheTextShowsTheLocalTimeAndReadsBackToTheSameInstant) {
    const sys_days leap = sys_days(Day{year{2024}, month{2}, day{29}});
    struct Case {
        sys_time<milliseconds> utc;
        minutes offset;
        const char* text;
    };
    const Case cases[] = {
        {leap + hours(23) + minutes(30) + milliseconds(5), hours(9), "2024-03-01T08:30:00.005+09:00"},
        {leap + hours(2), -minutes(3 * 60 + 30), "2024-02-28T22:30:00.000-03:30"},
        {leap + seconds(59) + milliseconds(999), minutes(0), "2024-02-29T00:00:59.999+00:00"},
    };
    for (const Case& c : cases) {
        Timestamp t{c.utc, c.offset};
        EXPECT_EQ(TimestampText(t), c.text);
        EXPECT_EQ(ParseTimestamp(c.text), t) << c.text;
    }
    Timestamp t{leap + hours(23) + minutes(30) + milliseconds(5), hours(9)};
    EXPECT_EQ(t.LocalDay(), (Day{year{2024}, month{3}, day{1}}));
    EXPECT_EQ(t.LocalTimeOfDay().hours(), hours(8));

    // Other writers' forms of the same instant.
    EXPECT_EQ(ParseTimestamp("2024-02-29T14:30:00.0050Z"), (Timestamp{leap + hours(14) + minutes(30) + milliseconds(5), {}}));
    EXPECT_EQ(ParseTimestamp("2024-03-01 08:30:00+09:00"),
              (Timestamp{leap + hours(23) + minutes(30), hours(9)}));
    for (const char* bad : {"", "2024-02-30T00:00:00+09:00", "2024-03-01T24:00:00Z", "2024-03-01T08:30:00",
                            "2024-03-01T08:30:00.+09:00", "2024-03-01T08:30:00+0900", "2024-03-01T08:30:00+09:00 ",
                            "2024-3-01T08:30:00Z"})
        EXPECT_FALSE(ParseTimestamp(bad)) << bad;

    // Now, with the offset of the time zone: the local day it shows is today's.
    Timestamp now = TimestampNow();
    EXPECT_EQ(ParseTimestamp(TimestampText(now)), now);
}

TEST(Timestamps, DaysAreWrittenOneWayAndReadInTheTwoFormsPeopleWrite) {
    const Day leap{year{2024}, month{2}, day{29}};
    EXPECT_EQ(DayText(leap), "2024-02-29");
    EXPECT_EQ(ParseDay("2024-02-29"), leap);
    EXPECT_EQ(ParseDay("2024/2/29"), leap);
    EXPECT_EQ(ParseDay("2024/02/29"), leap);
    for (const char* bad : {"", "2023-02-29", "2024-2-29", "2024/2/", "2024/2/29/", "2024-02-29 ", "24/2/29", "2024.02.29"})
        EXPECT_FALSE(ParseDay(bad)) << bad;
}
