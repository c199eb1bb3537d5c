// Instruments that misbehave on the serial line: NUL bytes inside replies,
// bytes that are not Shift_JIS, a device that goes away and comes back, a
// reply that is already waiting when the time-out ends the reading.
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <functional>

#include "children.h"
#include "links/instrument_link.h"
#include "platform/serial_port_qt.h"
#include "pty_instrument.h"
#include "records/day_book.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;

namespace {

class SerialFaults : public StationFixture {
protected:
    std::unique_ptr<PtyInstrument> instrument = std::make_unique<PtyInstrument>();
    std::unique_ptr<MeasurementWindow> form;

    void SetUp() override {
        StationFixture::SetUp();
        ASSERT_TRUE(instrument->ok());
        BindPort(root, 1, instrument->devicePath());
        Register({{0, MakeProduct("A-100", {{"12.3", "0.1", "-0.1", "12.3"},
                                            {"12.3", "0.1", "-0.1", "12.3"},
                                            {"12.3", "0.1", "-0.1", "12.3"},
                                            {"12.3", "0.1", "-0.1", "12.3"}})}});
        form = Open();
        ASSERT_TRUE(form);
        form->startMeasuring();
    }
    void Request() {
        instrument->clearReceived();
        Key(*form, Qt::Key_Space);
        ASSERT_TRUE(form->ReadingPending());
        // The running timer is pushed far away: every tick counted is the test's own.
        ASSERT_EQ(form->ReadingTimer()->interval(), 1000);
        form->ReadingTimer()->start(24 * 3600 * 1000);
        ASSERT_TRUE(instrument->waitForReceived("1\r"));
    }
    void Send(const std::string& bytes) { ASSERT_TRUE(instrument->write(bytes)); }
    // More bytes than the line holds at once: sent piece by piece as the
    // window takes them.
    void Flood(char byte, size_t count) {
        const std::string piece(512, byte);
        for (size_t sent = 0; sent < count; sent += piece.size())
            ASSERT_TRUE(WaitUntil([&] { return instrument->write(piece); })) << "after " << sent << " bytes";
    }
    // Idle again: nothing pending, the port closed, the timer stopped.
    void ExpectIdle(const std::string& context) {
        EXPECT_FALSE(form->ReadingPending()) << context;
        EXPECT_FALSE(form->ReadingTimer()->isActive()) << context;
        EXPECT_FALSE(form->Port()->isOpen()) << context;
        EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能") << context;
        EXPECT_TRUE(form->Measuring()) << context;
    }
    void TimeOut() {
        for (int i = 0; i < 6; ++i) form->onReadingTimeout();
    }
    // A reading that works: the window is back to normal.
    void ExpectNextReadingWorks(int row, const std::string& context) {
        form->Grid(0)->SetRow(row);
        messages.clear();
        Request();
        Send("01A+012.345\r");
        ASSERT_TRUE(WaitUntil([&] { return !form->ReadingPending(); })) << context;
        EXPECT_EQ(Cell(*form, row, 1), "12.345") << context;
        EXPECT_TRUE(messages.empty()) << context;
    }
    std::string BookCell(int row, int col) {
        EXPECT_TRUE(form->DeliverWaiting(20000));
        auto book = Workbook::Open(DayBookPath(form->ProductPath(0), userName, "A-100", 0, form->WorkingDate()));
        return book ? book->CellText(1, row, col) : "<no workbook>";
    }
};

}  // namespace

TEST_F(SerialFaults, NulBytesInsideAReplyAreDroppedAndTheValueIsCutWhereItStands) {
    Request();
    form->ReadingTimer()->stop();  // the flood takes as long as it takes
    // NULs before, inside and after the value, one piece of nothing but NULs,
    // and a flood of them that must neither count nor fill the memory.
    Send(std::string("0\0\0", 3));
    Flood('\0', 256 * 1024);
    Send(std::string("1A+0\0", 5));
    ASSERT_TRUE(WaitUntil([&] { return form->ReplyBuffer() == "01A+0"; }));
    Send(std::string("12.\0" "3", 5));
    Send(std::string(1000, '\0'));
    Send(std::string("45\0\r", 4));
    ASSERT_TRUE(WaitUntil([&] { return !form->ReadingPending(); }));
    EXPECT_EQ(Cell(*form, 1, 1), "12.345");
    EXPECT_EQ(Cell(*form, 1, 2), "合");
    EXPECT_EQ(BookCell(1, 5), "12.345");
    EXPECT_TRUE(messages.empty());
    ExpectIdle("after a reply with NULs");
}

TEST_F(SerialFaults, BytesThatAreNotShiftJisNeverStopTheWindow) {
    struct Case {
        std::vector<std::string> pieces;
        std::string value;  // what the grid must hold, empty: any number
    };
    const Case cases[] = {
        // Broken bytes before the cut: the value is still cut right.
        {{"01A+012.345\x81\r"}, "12.345"},
        {{"01A+012.345\x81", "\r"}, "12.345"},  // a lead byte waits for its trail; CR is none
        {{"01A+012.345\xFD\xFE\xFF\x80\xA0\r"}, "12.345"},
        // Broken bytes inside the value: whatever number is read, or none, no crash.
        {{"01A+\xFD\xFE" "2.345\r"}, ""},
        {{"\x82", "\xA0\x82\xA0\x82\r"}, ""},
        {{"\x81\x7F\x81\xFD\x9F\x20\xEF\xFC\r"}, ""},
    };
    int row = 1;
    for (const Case& c : cases) {
        std::string context = "case " + std::to_string(row);
        form->Grid(0)->SetRow(row);
        messages.clear();
        Request();
        for (const std::string& piece : c.pieces) Send(piece);
        ASSERT_TRUE(WaitUntil([&] { return !form->ReadingPending(); })) << context;
        ExpectIdle(context);
        std::string cell = Cell(*form, row, 1);
        if (!c.value.empty()) {
            EXPECT_EQ(cell, c.value) << context;
        }
        // A reply in which no number stands records nothing, and says so.
        if (cell.empty()) {
            EXPECT_EQ(messages.size(), 1u) << context;
        }
        EXPECT_EQ(cell.find_first_not_of("0123456789."), std::string::npos) << context << ": " << cell;
        EXPECT_EQ(BookCell(row, 5), cell) << context;
        for (auto& m : messages) EXPECT_EQ(m.title.toStdString(), "ZIV - 警告") << context;
        ++row;
        if (row > 4) row = 1;
    }
    ExpectNextReadingWorks(1, "after the broken replies");
}

TEST_F(SerialFaults, DeviceThatGoesAwayAndComesBackWorksAgain) {
    Request();
    Send("01A+01");
    ASSERT_TRUE(WaitUntil([&] { return form->ReplyBuffer() == "01A+01"; }));
    instrument->closeMaster();  // unplugged in the middle of the reply
    QTest::qWait(50);
    TimeOut();
    ExpectIdle("after the time-out");
    EXPECT_EQ(Cell(*form, 1, 1), "");
    // A request while it is still away ends in a message, never a value.
    messages.clear();
    Key(*form, Qt::Key_Space);
    if (form->ReadingPending()) TimeOut();
    ExpectIdle("while away");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(Cell(*form, 1, 1), "");
    // Plugged in again, on another device name.
    instrument = std::make_unique<PtyInstrument>();
    ASSERT_TRUE(instrument->ok());
    BindPort(root, 1, instrument->devicePath());
    ExpectNextReadingWorks(1, "after the device came back");
    EXPECT_EQ(BookCell(1, 5), "12.345");
}

TEST_F(SerialFaults, ReplyWaitingUnreadWhenTheTimeOutEndsTheReadingIsDropped) {
    Request();
    // The late reply reaches the port, but the sixth tick comes before the
    // window reads it.
    Send("01A+099.999\r");
    TimeOut();
    ExpectIdle("after the time-out");
    QTest::qWait(50);
    EXPECT_EQ(Cell(*form, 1, 1), "");
    ExpectNextReadingWorks(1, "the next request");
    EXPECT_EQ(BookCell(1, 5), "12.345");
}
