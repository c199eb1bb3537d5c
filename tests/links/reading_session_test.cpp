// The reading session both windows run, without a window or a port.
#include <gtest/gtest.h>

#include "links/reading_session.h"

using namespace ziv;
using Event = ReadingSession::Event;

namespace {
InstrumentLink Link(const char* start, const char* length) {
    InstrumentLink link = DefaultInstrumentLink();  // device terminator CR
    link.DataStart = start;
    link.DataLength = length;
    return link;
}
}  // namespace

TEST(ReadingSession, ValueArrivesInPiecesAndLaterCharactersAreIgnored) {
    ReadingSession session(6);
    session.Begin(Link("4", "7"));
    EXPECT_EQ(session.Receive("01A+01", 6).event, Event::Nothing);
    auto result = session.Receive("2.345\rXY", 8);
    EXPECT_EQ(result.event, Event::Value);
    EXPECT_EQ(result.value, "+012.34");
    EXPECT_EQ(session.Receive("9\r", 2).event, Event::Nothing);
    EXPECT_EQ(session.Tick().event, Event::Nothing);  // no time-out after the value
    EXPECT_EQ(session.Reply(), "01A+012.345\rXY");
    EXPECT_TRUE(session.Active());  // until the window has entered the value
    session.End();
    EXPECT_EQ(session.Receive("01A+099.999\r", 12).event, Event::Nothing);
}

TEST(ReadingSession, TimeOutOnTheGivenTickAndCutFailure) {
    ReadingSession six(6), two(2);
    six.Begin(Link("1", "8"));
    two.Begin(Link("1", "8"));
    for (int i = 1; i < 6; ++i) EXPECT_EQ(six.Tick().event, Event::Nothing) << i;
    EXPECT_EQ(six.Tick().event, Event::TimedOut);
    EXPECT_EQ(six.Receive("+1.0\r", 5).event, Event::Nothing);
    EXPECT_EQ(two.Tick().event, Event::Nothing);
    EXPECT_EQ(two.Tick().event, Event::TimedOut);
    EXPECT_EQ(two.Ticks(), 2);

    ReadingSession cut(6);
    cut.Begin(Link("0", "8"));
    EXPECT_EQ(cut.Receive("+1.0\r", 5).event, Event::CutFailed);
    // A new request starts clean.
    cut.Begin(Link("1", "4"));
    EXPECT_EQ(cut.Ticks(), 0);
    auto result = cut.Receive("+2.5\r", 5);
    EXPECT_EQ(result.event, Event::Value);
    EXPECT_EQ(result.value, "+2.5");
}

TEST(ReadingSession, RoomCountsReceivedBytes) {
    ReadingSession session(6);
    session.Begin(Link("1", "8"));
    EXPECT_EQ(session.Room(), kReplyByteLimit);
    session.Receive("ｱｲｳ", 3);  // three bytes on the line, nine here
    EXPECT_EQ(session.Room(), kReplyByteLimit - 3);
    session.Receive(std::string(kReplyByteLimit, 'A'), kReplyByteLimit);
    EXPECT_EQ(session.Room(), 0u);
}
