#include "links/link_port_qt.h"

#include "common/numbers.h"
#include "common/text_file.h"
#include "platform/serial_port_qt.h"

namespace ziv {

void ApplyLink(SerialPort& port, const InstrumentLink& link) {
    // Numbers beyond what the fields can mean name no handshake and no device.
    FileResult problem;
    auto line = ParseSerialSettings(SerialSettingsText(link), &problem);
    auto flow = FlowControlFromMode(WholeNumberClamped(link.Handshake, -1, 99), &problem);
    if (line && flow)
        port.setLine(*line, *flow);
    else
        port.setUnusableLine(problem);
    port.setPortNumber(WholeNumberClamped(link.PortNumber, -1, 32767));
}

std::string RequestNotSentText(const SerialPort& port, const std::string& request) {
    std::string device = "装置 \"" + port.device() + "\"";
    if (!ToCp932(request)) return device + " に送る要求 \"" + request + "\" には送れない文字があります。";
    return device + " に要求を書き込めません。";
}

}  // namespace ziv
