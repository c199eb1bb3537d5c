#include <QTest>
#include <gtest/gtest.h>
#include <vector>

#include "common/failure_text.h"
#include "platform/serial_port_qt.h"
#include "pty_instrument.h"
#include "temp_root.h"

using ziv::SerialFlowControl;
using ziv::SerialLineSettings;
using ziv::SerialParity;
using ziv::SerialPort;
using ziv::SerialStopBits;

namespace {

constexpr int kWait = 20000;  // generous: a loaded machine may be slow, a working one never waits this long

const SerialLineSettings k4800N82{4800, SerialParity::None, 8, SerialStopBits::Two};

// A port bound to a fresh pseudo-terminal through ComPorts.dat, recording each
// notification with what input() gave at that moment.
struct PortOnPty {
    TempRoot root;
    PtyInstrument instrument;
    SerialPort port;
    std::vector<std::string> arrivals;

    explicit PortOnPty(int portNumber = 3) {
        BindPort(root, portNumber, instrument.devicePath());
        port.setPortNumber(portNumber);
        port.setLine(k4800N82, SerialFlowControl::RtsCts);
        port.setNullDiscard(true);
        QObject::connect(&port, &SerialPort::received, [this] { arrivals.push_back(port.input()); });
    }
    bool waitForArrivals(size_t n) {
        return QTest::qWaitFor([&] { return arrivals.size() >= n; }, kWait);
    }
};

}  // namespace

TEST(SerialPort, OpensTheDeviceNamedByComPortsAndSendsCp932Bytes) {
    PortOnPty p;
    ASSERT_TRUE(p.instrument.ok());
    ziv::FileResult opened = p.port.open();
    ASSERT_TRUE(opened) << ziv::FailureText(opened);
    EXPECT_TRUE(p.port.isOpen());
    ASSERT_TRUE(p.port.output("1\r"));
    ASSERT_TRUE(p.port.output("計測ｱ\r\n"));
    ASSERT_TRUE(p.instrument.waitForReceived("\n", kWait));
    EXPECT_EQ(p.instrument.received(), "1\r\x8c\x76\x91\xaa\xb1\r\n");
    p.port.close();
    EXPECT_FALSE(p.port.isOpen());
    EXPECT_FALSE(p.port.output("1\r"));
}

// A pseudo-terminal keeps only 8 data bits without parity, so those two are
// left to real lines; speed, stop bits and flow control show on the device.
TEST(SerialPort, AppliesTheLineSettingsToTheDevice) {
    PortOnPty p;
    p.port.setLine({9600, SerialParity::None, 8, SerialStopBits::One}, SerialFlowControl::RtsCtsXonXoff);
    ziv::FileResult opened = p.port.open();
    ASSERT_TRUE(opened) << ziv::FailureText(opened);
    termios tio = p.instrument.lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    EXPECT_FALSE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_iflag & IXON);
    EXPECT_TRUE(tio.c_iflag & IXOFF);
    p.port.close();

    p.port.setLine(k4800N82, SerialFlowControl::XonXoff);
    ASSERT_TRUE(p.port.open());
    tio = p.instrument.lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B4800));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_iflag & IXON);
    p.port.close();

    p.port.setLine(k4800N82, SerialFlowControl::None);
    ASSERT_TRUE(p.port.open());
    tio = p.instrument.lineSettings();
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(tio.c_iflag & IXON);
}

TEST(SerialPort, EachArrivalGivesOneReceiveNotificationWithItsCharacters) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    ASSERT_TRUE(p.instrument.write("01A+01"));
    ASSERT_TRUE(p.waitForArrivals(1));
    ASSERT_TRUE(p.instrument.write("2.345\r"));
    ASSERT_TRUE(p.waitForArrivals(2));
    QCoreApplication::processEvents();
    ASSERT_EQ(p.arrivals.size(), 2u);
    EXPECT_EQ(p.arrivals[0], "01A+01");
    EXPECT_EQ(p.arrivals[1], "2.345\r");
}

TEST(SerialPort, NulBytesAreDroppedOnlyWhenDiscardingIsOn) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    // NUL bytes alone are no arrival: the first notification brings the next real characters.
    ASSERT_TRUE(p.instrument.write(std::string("\0\0\0", 3)));
    ASSERT_TRUE(p.instrument.write(std::string("01\0A+\0\r", 7)));
    ASSERT_TRUE(p.waitForArrivals(1));
    EXPECT_EQ(p.arrivals[0], "01A+\r");
    p.port.close();

    p.port.setNullDiscard(false);
    p.arrivals.clear();
    ASSERT_TRUE(p.port.open());
    ASSERT_TRUE(p.instrument.write(std::string("7\0\r", 3)));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::string all;
        for (const auto& a : p.arrivals) all += a;
        return all == std::string("7\0\r", 3);
    }, kWait));
}

TEST(SerialPort, DoubleByteCharacterSplitAcrossArrivalsStaysWhole) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    // 計 whole, then the lead byte of 測 alone.
    ASSERT_TRUE(p.instrument.write("\x8c\x76\x91"));
    ASSERT_TRUE(p.waitForArrivals(1));
    EXPECT_EQ(p.arrivals[0], "計");
    ASSERT_TRUE(p.instrument.write("\xaa\xb1\r"));
    ASSERT_TRUE(p.waitForArrivals(2));
    EXPECT_EQ(p.arrivals[1], "測ｱ\r");
}

TEST(SerialPort, ALeadByteFollowedByACarriageReturnDoesNotSwallowIt) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    ASSERT_TRUE(p.instrument.write("\x91"));
    ASSERT_TRUE(p.waitForArrivals(1));
    ASSERT_TRUE(p.instrument.write("\r"));
    ASSERT_TRUE(p.waitForArrivals(2));
    EXPECT_EQ(p.arrivals[0] + p.arrivals[1], "\xEF\xBF\xBD\r");
}

TEST(SerialPort, BytesWaitingBeforeTheOpeningAreNotTakenAsReply) {
    PortOnPty p;
    ASSERT_TRUE(p.instrument.write("late reply\r"));
    ASSERT_TRUE(p.port.open());
    ASSERT_TRUE(p.instrument.write("fresh\r"));
    ASSERT_TRUE(p.waitForArrivals(1));
    EXPECT_EQ(p.arrivals[0], "fresh\r");
}

TEST(SerialPort, MissingDeviceFailsToOpenAtOnce) {
    TempRoot root;
    BindPort(root, 1, root / "no-such-device");
    SerialPort port;
    port.setPortNumber(1);
    EXPECT_EQ(port.open().failure, ziv::Failure::PortNotOpened);
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, NumbersThatNameNoDeviceAndUnusableLinesFailTheOpeningWithAReason) {
    PortOnPty p;
    for (int number : {0, 256}) {
        p.port.setPortNumber(number);
        EXPECT_EQ(p.port.open().failure, ziv::Failure::PortOutOfRange) << number;
        EXPECT_FALSE(p.port.isOpen());
    }
    p.port.setUnusableLine(ziv::Refused(ziv::Failure::ParityRefused, {}, "Q"));
    EXPECT_EQ(ziv::FailureText(p.port.open()), "パリティー「Q」は使えません。");  // the line before the device
    p.port.setPortNumber(3);
    EXPECT_EQ(p.port.open().failure, ziv::Failure::ParityRefused);
    EXPECT_FALSE(p.port.isOpen());
    p.port.setLine(k4800N82, SerialFlowControl::RtsCts);
    EXPECT_TRUE(p.port.open());
}

// A pseudo-terminal takes no parity: the device's refusal names the setting and the device.
TEST(SerialPort, ASettingTheDeviceRefusesFailsTheOpeningNamingBoth) {
    PortOnPty p;
    p.port.setLine({9600, SerialParity::Even, 8, SerialStopBits::One}, SerialFlowControl::None);
    ziv::FileResult refused = p.port.open();
    EXPECT_EQ(refused.failure, ziv::Failure::ParityRefused);
    EXPECT_EQ(ziv::FailureText(refused),
              "パリティー「E」は使えません。（装置 \"" + p.instrument.devicePath() + "\"）");
    EXPECT_FALSE(p.port.isOpen());
}

TEST(SerialPort, AnOpenPortCannotBeOpenedAgainUntilClosed) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    EXPECT_EQ(p.port.open().failure, ziv::Failure::PortAlreadyOpen);
    EXPECT_TRUE(p.port.isOpen());  // the failed second opening leaves the first alone
    SerialPort other;
    other.setPortNumber(3);
    EXPECT_EQ(other.open().failure, ziv::Failure::PortNotOpened);  // in use
    p.port.close();
    EXPECT_TRUE(other.open());
}

TEST(SerialPort, TextWithoutCp932FormIsNotSentAndThePortStaysOpen) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    EXPECT_FALSE(p.port.output("1\xF0\x9F\x98\x80\r"));
    EXPECT_TRUE(p.port.isOpen());
    ASSERT_TRUE(p.port.output("2\r"));
    ASSERT_TRUE(p.instrument.waitForReceived("\r", kWait));
    EXPECT_EQ(p.instrument.received(), "2\r");
}

TEST(SerialPort, ADeviceThatHangsUpClosesThePort) {
    PortOnPty p;
    ASSERT_TRUE(p.port.open());
    p.instrument.closeMaster();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.port.isOpen(); }, kWait));
    EXPECT_TRUE(p.arrivals.empty());
}
