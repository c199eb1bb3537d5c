#pragma once
// The serial port as the measurement window and the settings window use it:
// the port number, settings text, thresholds and notifications those windows
// work with, over QSerialPort.
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

class QSerialPort;

namespace ziv {

class SerialPort : public QObject {
    Q_OBJECT
public:
    explicit SerialPort(QObject* parent = nullptr);
    ~SerialPort() override;

    // Port number n names the device of line n of <root>/Config/ComPorts.dat,
    // or /dev/ttyS<n-1> when that line is empty or missing. Set while closed.
    void setCommPort(int number);
    // The root whose Config/ComPorts.dat names the devices; the installation
    // root until set.
    void setDeviceRoot(const std::string& root);
    // "4800,N,8,2": baud, parity letter (E M N O S), data bits, stop bits (1, 1.5, 2).
    void setSettings(const std::string& settingsText);
    // 0 none, 1 XON/XOFF, 2 RTS/CTS, 3 both.
    void setHandshaking(int mode);
    void setNullDiscard(bool discard);
    void setRThreshold(int threshold);
    void clearInBuffer();
    void clearOutBuffer();

    // Opens with the settings above; false (with a reason) when the device is
    // missing, in use, or refuses the settings.
    bool open(QString* error = nullptr);
    bool isOpen() const;
    void close();

    // Sends UTF-8 text as CP932 bytes; false when it cannot be written (port
    // not open, text without a CP932 form, write error). The port stays open
    // after a failed write: the caller closes it, or the next open() fails.
    bool output(const std::string& text);
    // All waiting input as UTF-8 text (NUL bytes dropped when discarding is on;
    // a lead byte split from its trail byte waits for the next call). Bytes
    // past byteLimit are dropped; bytesTaken tells how many received bytes the
    // text stands for, since one byte may become up to three here.
    std::string input(size_t byteLimit = SIZE_MAX, size_t* bytesTaken = nullptr);
    // Kind of the current notification: 2 = characters received.
    int commEvent() const;

signals:
    // Raised on the UI thread when characters have arrived.
    void onComm();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace ziv
