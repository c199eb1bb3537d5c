#include "platform/serial_devices.h"

#include <charconv>
#include <vector>

#include "common/numbers.h"
#include "platform/paths.h"

namespace ziv {
namespace {

void SetReason(std::string* reason, std::string text) {
    if (reason) *reason = std::move(text);
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

bool PortNumberInRange(int portNumber, std::string* reason) {
    if (portNumber >= kMinPortNumber && portNumber <= kMaxPortNumber) return true;
    SetReason(reason, "ポート番号 " + DecimalText(portNumber) + " は 1～255 の範囲にありません。");
    return false;
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

bool ParseBaud(const std::string& text, SerialLineSettings& out, std::string* reason) {
    auto rate = PlainWholeNumber(text);
    if (!rate || *rate < 50 || *rate > 4000000) {
        SetReason(reason, "ボーレート「" + text + "」は使えません。");
        return false;
    }
    out.baudRate = *rate;
    return true;
}

bool ParseParity(const std::string& text, SerialLineSettings& out, std::string* reason) {
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
    SetReason(reason, "パリティー「" + text + "」は使えません。");
    return false;
}

bool ParseDataBits(const std::string& text, SerialLineSettings& out, std::string* reason) {
    auto bits = PlainWholeNumber(text);
    if (!bits || *bits < 5 || *bits > 8) {
        SetReason(reason, "データ長「" + text + "」はこの機器では使えません。");
        return false;
    }
    out.dataBits = *bits;
    return true;
}

bool ParseStopBits(const std::string& text, SerialLineSettings& out, std::string* reason) {
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
    SetReason(reason, "ストップビット「" + text + "」はこの機器では使えません。");
    return false;
}

}  // namespace

std::string ComPortsFilePath(const std::string& root) {
    return JoinPath(JoinPath(root, "Config"), "ComPorts.dat");
}

std::optional<std::string> SerialDevicePath(const std::string& root, int portNumber, std::string* reason) {
    if (!PortNumberInRange(portNumber, reason)) return std::nullopt;
    if (auto lines = ReadTextLines(ComPortsFilePath(root)); lines && lines->size() >= size_t(portNumber)) {
        auto named = Trimmed((*lines)[portNumber - 1]);
        if (!named.empty()) return std::string(named);
    }
    return PlatformDevice(portNumber);
}

FileResult BindSerialDevice(const std::string& root, int portNumber, const std::string& device) {
    if (!PortNumberInRange(portNumber, nullptr))
        return Refused(Failure::PortOutOfRange, ComPortsFilePath(root), DecimalText(portNumber));
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

std::optional<SerialLineSettings> ParseSerialSettings(std::string_view text, std::string* reason) {
    auto parts = SplitAtCommas(text);
    if (parts.size() != 4) {
        SetReason(reason, "通信設定「" + std::string(text) + "」は「速度,パリティー,データ長,ストップビット」の形ではありません。");
        return std::nullopt;
    }
    SerialLineSettings settings;
    if (!ParseBaud(parts[0], settings, reason) || !ParseParity(parts[1], settings, reason) ||
        !ParseDataBits(parts[2], settings, reason) || !ParseStopBits(parts[3], settings, reason))
        return std::nullopt;
    return settings;
}

std::optional<SerialFlowControl> FlowControlFromMode(int mode, std::string* reason) {
    switch (mode) {
        case 0: return SerialFlowControl::None;
        case 1: return SerialFlowControl::XonXoff;
        case 2: return SerialFlowControl::RtsCts;
        case 3: return SerialFlowControl::RtsCtsXonXoff;
        default:
            SetReason(reason, "ハンドシェイク " + DecimalText(mode) + " は使えません。");
            return std::nullopt;
    }
}

}  // namespace ziv
