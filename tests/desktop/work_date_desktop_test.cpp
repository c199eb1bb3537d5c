// The working date chosen in the calendar on the real desktop, where keys
// reach the calendar as the operator types them.
#include "desktop_fixture.h"
#include "records/day_book_name.h"

using namespace desktop;

// Seen: with the calendar open, "8" and Enter went to the year 8, "120.000"
// to the year -4714; a click on a day then made that the working date, and
// values went into a book no report reads, with no journal line. Typed
// digits choose nothing; the day clicked, not today, stands in amber, and a
// value goes where a report finds it, with its journal line.
TEST_F(Desktop, TheCalendarTakesNoTypedYearAndADayNotTodayStandsInAmber) {
    if (!StartDesktop(1920, 1200)) GTEST_SKIP() << skip_;
    ASSERT_NO_FATAL_FAILURE(PrepareDemo());
    ASSERT_NO_FATAL_FAILURE(StartZiv());
    ASSERT_NO_FATAL_FAILURE(SignIn());
    const int before = MainPixels("working-date-today", Amber);
    ClickMain(kChooseDateFromRight, kChooseDateTop);
    X({"xdotool", "type", "120.000"});
    Key("Return");
    Screenshot("calendar-after-typing");
    ClickMain(kLastCalendarDayFromRight, kLastCalendarDayTop);
    EXPECT_TRUE(WaitUntil([&] { return MainPixels("working-date-not-today", Amber) > before + 300; }, 5000))
        << "a working date other than today looks as any day";

    Rect m = MainClient();
    Click(m.x + m.w - kNumberBoxFromRight, m.y + kNumberBoxTop);
    X({"xdotool", "type", "120"});
    Key("Return");
    ASSERT_TRUE(WaitUntil([&] { return DayBookNames().size() == 1; }, 5000)) << "the value went into no day workbook";
    const std::string book = DayBookNames().front().toStdString();
    EXPECT_TRUE(ziv::ParseDayBookName(book)) << book << " is no name a report reads";
    EXPECT_TRUE(WaitUntil([&] { return !QDir(Root("製品/ＺＩＶログ")).entryList({"journal_*.csv"}).isEmpty(); }, 5000))
        << "no journal line for the value";
    ASSERT_NO_FATAL_FAILURE(CloseZiv());
}
