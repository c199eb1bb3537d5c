#include "links/link_port_qt.h"

#include "common/numbers.h"
#include "platform/serial_port_qt.h"

namespace ziv {

void ApplyLink(SerialPort& port, const InstrumentLink& link) {
    // Numbers beyond what the fields can mean name no handshake and no device.
    port.setHandshaking(WholeNumberClamped(link.Handshake, -1, 99));
    port.setSettings(SerialSettingsText(link));
    port.setRThreshold(1);
    port.setCommPort(WholeNumberClamped(link.PortNumber, -1, 32767));
}

}  // namespace ziv
