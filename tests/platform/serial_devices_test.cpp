#include <gtest/gtest.h>

#include "platform/serial_devices.h"
#include "temp_root.h"

using namespace ziv;

namespace {

std::string ComPorts(const TempRoot& root) { return root / "Config/ComPorts.dat"; }

}  // namespace

TEST(SerialDevices, PortNumberNamesLineOfComPortsOrPlatformDevice) {
    TempRoot root;
    EXPECT_EQ(SerialDevicePath(root.path(), 1), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(root.path(), 15), "/dev/ttyS14");

    // Line 1 blank, line 2 a device with a Japanese name (CP932 on disk), line 3 blanks only.
    WriteBytes(ComPorts(root), "\r\n/tmp/\x8c\x76\x91\xaa\x8a\xed\r\n  \r\n");
    EXPECT_EQ(SerialDevicePath(root.path(), 1), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath(root.path(), 2), "/tmp/計測器");
    EXPECT_EQ(SerialDevicePath(root.path(), 3), "/dev/ttyS2");
    EXPECT_EQ(SerialDevicePath(root.path(), 4), "/dev/ttyS3");
}

TEST(SerialDevices, PortNumberOutsideRangeIsRefusedWithReason) {
    TempRoot root;
    for (int n : {0, -1, 256, 100000}) {
        FileResult problem;
        EXPECT_FALSE(SerialDevicePath(root.path(), n, &problem)) << n;
        EXPECT_EQ(problem.failure, Failure::PortOutOfRange) << n;
        EXPECT_EQ(problem.subject, std::to_string(n));
    }
    EXPECT_TRUE(SerialDevicePath(root.path(), 255));
}

TEST(SerialDevices, BindingWritesOneLineAndKeepsTheOthers) {
    TempRoot root;
    ASSERT_TRUE(BindSerialDevice(root.path(), 3, "/dev/pts/4"));
    EXPECT_EQ(ReadBytes(ComPorts(root)), "\r\n\r\n/dev/pts/4\r\n");

    WriteBytes(ComPorts(root), "A\r\nB\r\nC\r\nD\r\n");
    ASSERT_TRUE(BindSerialDevice(root.path(), 2, "/dev/計測"));
    EXPECT_EQ(ReadBytes(ComPorts(root)), "A\r\n/dev/\x8c\x76\x91\xaa\r\nC\r\nD\r\n");
    EXPECT_EQ(SerialDevicePath(root.path(), 2), "/dev/計測");
    EXPECT_EQ(SerialDevicePath(root.path(), 4), "D");
}

TEST(SerialDevices, BindingRefusesWhatCannotBeALine) {
    TempRoot root;
    FileResult outOfRange = BindSerialDevice(root.path(), 0, "/dev/pts/4");
    EXPECT_EQ(outOfRange.failure, Failure::PortOutOfRange);
    EXPECT_EQ(outOfRange.subject, "0");
    EXPECT_EQ(BindSerialDevice(root.path(), 1, "/dev/pts/4\r\n/dev/x").failure, Failure::DeviceNameLineBreak);
    EXPECT_FALSE(FileExists(ComPorts(root)));
}

TEST(SerialDevices, SettingsTextGivesLineSettings) {
    auto line = ParseSerialSettings("4800,N,8,2");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, (SerialLineSettings{4800, SerialParity::None, 8, SerialStopBits::Two}));

    line = ParseSerialSettings("256000,E,7,1");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, (SerialLineSettings{256000, SerialParity::Even, 7, SerialStopBits::One}));

    const std::pair<const char*, SerialParity> letters[] = {{"O", SerialParity::Odd},
                                                            {"M", SerialParity::Mark},
                                                            {"S", SerialParity::Space},
                                                            {"s", SerialParity::Space}};
    for (auto [letter, parity] : letters) {
        line = ParseSerialSettings(std::string("110,") + letter + ",5,1");
        ASSERT_TRUE(line) << letter;
        EXPECT_EQ(line->parity, parity) << letter;
        EXPECT_EQ(line->dataBits, 5);
        EXPECT_EQ(line->baudRate, 110);
    }
    line = ParseSerialSettings(" 9600 , O , 6 , 2 ");
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, (SerialLineSettings{9600, SerialParity::Odd, 6, SerialStopBits::Two}));
}

TEST(SerialDevices, SettingsTheDeviceCannotTakeAreRefusedWithTheBadValueNamed) {
    const struct {
        const char* text;
        Failure refused;
        const char* value;
    } refused[] = {{"4800,N,4,2", Failure::DataBitsRefused, "4"},
                   {"4800,N,8,1.5", Failure::StopBitsRefused, "1.5"},
                   {"4800,X,8,2", Failure::ParityRefused, "X"},
                   {"48x0,N,8,2", Failure::BaudRateRefused, "48x0"},
                   {"0,N,8,2", Failure::BaudRateRefused, "0"},
                   {"-4800,N,8,2", Failure::BaudRateRefused, "-4800"},
                   {"4800.5,N,8,2", Failure::BaudRateRefused, "4800.5"},
                   {"+4800,N,8,2", Failure::BaudRateRefused, "+4800"},
                   {",N,8,2", Failure::BaudRateRefused, ""},
                   {"4800,N,9,2", Failure::DataBitsRefused, "9"},
                   {"4800,N,8,3", Failure::StopBitsRefused, "3"},
                   {"4800,,8,2", Failure::ParityRefused, ""},
                   {"9999999999,N,8,2", Failure::BaudRateRefused, "9999999999"}};
    for (const auto& r : refused) {
        FileResult problem;
        EXPECT_FALSE(ParseSerialSettings(r.text, &problem)) << r.text;
        EXPECT_EQ(problem.failure, r.refused) << r.text;
        EXPECT_EQ(problem.subject, r.value) << r.text;
    }
    for (const char* text : {"", "4800,N,8", "4800,N,8,2,1", "4800;N;8;2"}) {
        FileResult problem;
        EXPECT_FALSE(ParseSerialSettings(text, &problem)) << text;
        EXPECT_EQ(problem.failure, Failure::LineSettingsMalformed) << text;
        EXPECT_EQ(problem.subject, text);
    }
}

TEST(SerialDevices, FlowControlModes) {
    EXPECT_EQ(FlowControlFromMode(0), SerialFlowControl::None);
    EXPECT_EQ(FlowControlFromMode(1), SerialFlowControl::XonXoff);
    EXPECT_EQ(FlowControlFromMode(2), SerialFlowControl::RtsCts);
    EXPECT_EQ(FlowControlFromMode(3), SerialFlowControl::RtsCtsXonXoff);
    FileResult problem;
    EXPECT_FALSE(FlowControlFromMode(4, &problem));
    EXPECT_EQ(problem.failure, Failure::HandshakeRefused);
    EXPECT_EQ(problem.subject, "4");
    EXPECT_FALSE(FlowControlFromMode(-1));
}
