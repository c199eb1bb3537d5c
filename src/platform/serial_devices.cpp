#include "platform/serial_devices.h"

#include <charconv>
#include <vector>

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {
namespace {

bool Refuse(FileResult* problem, Failure failure, std::string subject, std::string path = {}) {
    if (problem) *problem = Refused(failure, std::move(path), std::move(subject));
    return false;
}

std::string_view Trimmed(std::string_view text) {
    const char* blanks = " \t";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string PlatformDevice(int portNumber) {
#ifdef _WIN32
    return "COM" + DecimalText(portNumber);
#else
    return "/dev/ttyS" + DecimalText(portNumber - 1);
#endif
}

bool PortNumberInRange(const std::string& root, int portNumber, FileResult* problem) {
    if (portNumber >= kMinPortNumber && portNumber <= kMaxPortNumber) return true;
    return Refuse(problem, Failure::PortOutOfRange, DecimalText(portNumber), ComPortsFilePath(root));
}

std::vector<std::string> SplitAtCommas(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        parts.emplace_back(Trimmed(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

// Only plain decimal digits: "4800", never "4800.5", "+4800" or "48 00".
std::optional<int> PlainWholeNumber(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text[0] == '-' || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool ParseBaud(const std::string& text, SerialLineSettings& out, FileResult* problem) {
    auto rate = PlainWholeNumber(text);
    if (!rate || *rate < 50 || *rate > 4000000) return Refuse(problem, Failure::BaudRateRefused, text);
    out.baudRate = *rate;
    return true;
}

bool ParseParity(const std::string& text, SerialLineSettings& out, FileResult* problem) {
    static const std::pair<const char*, SerialParity> kLetters[] = {
        {"N", SerialParity::None}, {"E", SerialParity::Even},  {"O", SerialParity::Odd},
        {"M", SerialParity::Mark}, {"S", SerialParity::Space}, {"n", SerialParity::None},
        {"e", SerialParity::Even}, {"o", SerialParity::Odd},   {"m", SerialParity::Mark},
        {"s", SerialParity::Space}};
    for (const auto& [letter, parity] : kLetters)
        if (text == letter) {
            out.parity = parity;
            return true;
        }
    return Refuse(problem, Failure::ParityRefused, text);
}

bool ParseDataBits(const std::string& text, SerialLineSettings& out, FileResult* problem) {
    auto bits = PlainWholeNumber(text);
    if (!bits || *bits < 5 || *bits > 8) return Refuse(problem, Failure::DataBitsRefused, text);
    out.dataBits = *bits;
    return true;
}

bool ParseStopBits(const std::string& text, SerialLineSettings& out, FileResult* problem) {
    if (text == "1") {
        out.stopBits = SerialStopBits::One;
        return true;
    }
    if (text == "2") {
        out.stopBits = SerialStopBits::Two;
        return true;
    }
#ifdef _WIN32
    if (text == "1.5") {
        out.stopBits = SerialStopBits::OneAndHalf;
        return true;
    }
#endif
    return Refuse(problem, Failure::StopBitsRefused, text);
}

}  // namespace

std::string ComPortsFilePath(const std::string& root) {
    return JoinPath(JoinPath(root, "Config"), "ComPorts.dat");
}

std::optional<std::string> SerialDevicePath(const std::string& root, int portNumber, FileResult* problem) {
    if (!PortNumberInRange(root, portNumber, problem)) return std::nullopt;
    if (auto lines = ReadTextLines(ComPortsFilePath(root)); lines && lines->size() >= size_t(portNumber)) {
        auto named = Trimmed((*lines)[portNumber - 1]);
        if (!named.empty()) return std::string(named);
    }
    return PlatformDevice(portNumber);
}

FileResult BindSerialDevice(const std::string& root, int portNumber, const std::string& device) {
    if (FileResult outOfRange; !PortNumberInRange(root, portNumber, &outOfRange)) return outOfRange;
    if (device.find_first_of("\r\n") != std::string::npos)
        return Failed(Failure::DeviceNameLineBreak, ComPortsFilePath(root));
    if (!MakeFolders(JoinPath(root, "Config"))) return Failed(Failure::FolderNotMade, JoinPath(root, "Config"));
    auto lines = ReadTextLines(ComPortsFilePath(root)).value_or(std::vector<std::string>{});
    if (lines.size() < size_t(portNumber)) lines.resize(portNumber);
    lines[portNumber - 1] = device;
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return WriteTextFile(ComPortsFilePath(root), text);
}

std::optional<SerialLineSettings> ParseSerialSettings(std::string_view text, FileResult* problem) {
    auto parts = SplitAtCommas(text);
    if (parts.size() != 4) {
        Refuse(problem, Failure::LineSettingsMalformed, std::string(text));
        return std::nullopt;
    }
    SerialLineSettings settings;
    if (!ParseBaud(parts[0], settings, problem) || !ParseParity(parts[1], settings, problem) ||
        !ParseDataBits(parts[2], settings, problem) || !ParseStopBits(parts[3], settings, problem))
        return std::nullopt;
    return settings;
}

std::optional<SerialFlowControl> FlowControlFromMode(int mode, FileResult* problem) {
    switch (mode) {
        case 0: return SerialFlowControl::None;
        case 1: return SerialFlowControl::XonXoff;
        case 2: return SerialFlowControl::RtsCts;
        case 3: return SerialFlowControl::RtsCtsXonXoff;
        default:
            Refuse(problem, Failure::HandshakeRefused, DecimalText(mode));
            return std::nullopt;
    }
}

}  // namespace ziv
