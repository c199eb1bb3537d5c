#pragma once
// Sets a closed serial port up for one instrument link: the same for a
// reading in the measurement window and for the settings window's test.
#include <string>

#include "links/instrument_link.h"

namespace ziv {

class SerialPort;

void ApplyLink(SerialPort& port, const InstrumentLink& link);

// Why a request could not be sent on an open port, naming its device: a
// character the line cannot carry, or the device refused the write.
std::string RequestNotSentText(const SerialPort& port, const std::string& request);

}  // namespace ziv
