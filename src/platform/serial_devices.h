#pragma once
// How a port number names a serial device on this machine, and what the line
// settings text means to a device. Plain rules, used by the serial port and by
// the gauge simulator that binds a pseudo-terminal to a port number.
#include <optional>
#include <string>
#include <string_view>

#include "common/text_file.h"

namespace ziv {

// Port numbers the system can name: 1 to 255, as COM ports go.
constexpr int kMinPortNumber = 1;
constexpr int kMaxPortNumber = 255;

// <root>/Config/ComPorts.dat: line n names the device of port n.
std::string ComPortsFilePath(const std::string& root);

// The device of port n: line n of ComPorts.dat when that line is not blank,
// otherwise the platform's n-th serial device (/dev/ttyS<n-1>, COMn on Windows).
// Nothing, with PortOutOfRange, for a number outside 1..255.
std::optional<std::string> SerialDevicePath(const std::string& root, int portNumber,
                                            FileResult* problem = nullptr);

// Writes the device into line n of ComPorts.dat (creating the folder and the
// file), keeping every other line; missing lines before it are left empty.
FileResult BindSerialDevice(const std::string& root, int portNumber, const std::string& device);

enum class SerialParity { None, Even, Odd, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

struct SerialLineSettings {
    int baudRate = 0;
    SerialParity parity = SerialParity::None;
    int dataBits = 8;
    SerialStopBits stopBits = SerialStopBits::One;
    bool operator==(const SerialLineSettings&) const = default;
};

// "4800,N,8,2" -> the line settings; nothing, with the part refused (its
// value the subject), when a part is missing or is a value no device here can
// take (4 data bits; 1.5 stop bits, which termios does not offer; an unknown
// parity letter; a rate that is not a whole number from 50 to 4000000).
std::optional<SerialLineSettings> ParseSerialSettings(std::string_view text, FileResult* problem = nullptr);

enum class SerialFlowControl { None, XonXoff, RtsCts, RtsCtsXonXoff };

// 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both; nothing, with HandshakeRefused, otherwise.
std::optional<SerialFlowControl> FlowControlFromMode(int mode, FileResult* problem = nullptr);

}  // namespace ziv
