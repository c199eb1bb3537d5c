#pragma once
// Sets a closed serial port up for one instrument link: the same for a
// reading in the measurement window and for the settings window's test.
#include "links/instrument_link.h"

namespace ziv {

class SerialPort;

void ApplyLink(SerialPort& port, const InstrumentLink& link);

}  // namespace ziv
