#pragma once
// The serial line to an instrument, over QSerialPort: a port number that
// names the device, the line it runs, and a signal when characters arrive.
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial_devices.h"

class QSerialPort;

namespace ziv {

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    // Port number n names the device of line n of <root>/Config/ComPorts.dat,
    // or /dev/ttyS<n-1> when that line is empty or missing. Set while closed.
    void setPortNumber(int number);
    // The root whose Config/ComPorts.dat names the devices; the installation
    // root until set.
    void setDeviceRoot(const std::string& root);
    // The line the next open() sets up; 9600 baud, no parity, 8 data bits,
    // 1 stop bit and no flow control until set.
    void setLine(const SerialLineSettings& line, SerialFlowControl flow);
    // For settings that name no line a device here takes: the next open()
    // fails, saying this problem, until a line is set. Refusing at open()
    // rather than here lets a window show the instrument and report the port
    // when it is used, as it does for a device that is missing.
    void setUnusableLine(FileResult problem);
    void setNullDiscard(bool discard);
    void clearInBuffer();
    void clearOutBuffer();

    // Opens with the settings above; what went wrong when the settings name
    // no line or no device, the device will not open, or it refuses a setting.
    FileResult open();
    bool isOpen() const;
    void close();
    // The device the last open() took, for what is said about it.
    const std::string& device() const;

    // Sends UTF-8 text as CP932 bytes; false when it cannot be written (port
    // not open, text without a CP932 form, write error). The port stays open
    // after a failed write: the caller closes it, or the next open() fails.
    bool output(const std::string& text);
    // All waiting input as UTF-8 text (NUL bytes dropped when discarding is on;
    // a lead byte split from its trail byte waits for the next call). Bytes
    // past byteLimit are dropped; bytesTaken tells how many received bytes the
    // text stands for, since one byte may become up to three here.
    std::string input(size_t byteLimit = SIZE_MAX, size_t* bytesTaken = nullptr);

signals:
    // Raised on the UI thread when characters have arrived; NUL bytes that
    // are discarded count for none.
    void received();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace ziv
