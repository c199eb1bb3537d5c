#include <gtest/gtest.h>

#include "common/failure_text.h"
#include "links/link_port_qt.h"
#include "common/failure_text.h"
#include "platform/serial_port_qt.h"
#include "pty_instrument.h"
#include "temp_root.h"

using ziv::InstrumentLink;
using ziv::SerialPort;

TEST(LinkPort, TheLinkNamesDeviceLineAndHandshake) {
    TempRoot root;
    PtyInstrument instrument;
    BindPort(root, 2, instrument.devicePath());
    InstrumentLink link = ziv::DefaultInstrumentLink();
    link.PortNumber = "2";
    link.BaudRate = "9600";
    link.StopBits = "1";
    link.Handshake = "1";
    SerialPort port;
    ziv::ApplyLink(port, link);
    ziv::FileResult opened = port.open();
    ASSERT_TRUE(opened) << ziv::FailureText(opened);
    termios tio = instrument.lineSettings();
    EXPECT_EQ(cfgetospeed(&tio), speed_t(B9600));
    EXPECT_FALSE(tio.c_cflag & CSTOPB);
    EXPECT_FALSE(tio.c_cflag & CRTSCTS);
    EXPECT_TRUE(tio.c_iflag & IXON);
}

// A link is applied when its instrument is chosen; the port it names is
// refused when it is used, with the field's value in the reason.
TEST(LinkPort, FieldsThatNameNoLineRefuseTheOpeningUntilAGoodLinkIsApplied) {
    TempRoot root;
    PtyInstrument instrument;
    BindPort(root, 1, instrument.devicePath());
    const std::pair<std::string InstrumentLink::*, const char*> bad[] = {
        {&InstrumentLink::BaudRate, "fast"}, {&InstrumentLink::Parity, "Q"},   {&InstrumentLink::DataBits, "4"},
        {&InstrumentLink::StopBits, "1.5"},  {&InstrumentLink::Handshake, "4"}, {&InstrumentLink::Handshake, "-1"}};
    SerialPort port;
    for (auto [field, value] : bad) {
        InstrumentLink link = ziv::DefaultInstrumentLink();
        link.*field = value;
        ziv::ApplyLink(port, link);
        ziv::FileResult refused = port.open();
        EXPECT_FALSE(refused) << value;
        EXPECT_FALSE(port.isOpen());
        EXPECT_NE(ziv::FailureText(refused).find(value), std::string::npos) << value << " -> " << ziv::FailureText(refused);
    }
    ziv::ApplyLink(port, ziv::DefaultInstrumentLink());
    EXPECT_TRUE(port.open());
}
