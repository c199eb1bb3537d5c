#include "links/link_port_qt.h"

#include "common/numbers.h"
#include "platform/serial_port_qt.h"

namespace ziv {

void ApplyLink(SerialPort& port, const InstrumentLink& link) {
    // Numbers beyond what the fields can mean name no handshake and no device.
    std::string reason;
    auto line = ParseSerialSettings(SerialSettingsText(link), &reason);
    auto flow = FlowControlFromMode(WholeNumberClamped(link.Handshake, -1, 99), &reason);
    if (line && flow)
        port.setLine(*line, *flow);
    else
        port.setUnusableLine(reason);
    port.setPortNumber(WholeNumberClamped(link.PortNumber, -1, 32767));
}

}  // namespace ziv
