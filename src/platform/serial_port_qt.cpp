#include "platform/serial_port_qt.h"

#include <QSerialPort>
#include <optional>

#include "common/text_file.h"
#include "platform/paths.h"
#include "platform/serial_devices.h"

#ifdef Q_OS_UNIX
#include <termios.h>
#endif

namespace ziv {

namespace {

// What QSerialPort may hold before it leaves further bytes in the driver:
// a caller that stops taking input never makes the process grow.
constexpr qint64 kReadBufferLimit = 64 * 1024;

bool IsCp932LeadByte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// Length of the bytes that form whole characters; a lead byte at the very end
// waits for its trail byte.
size_t WholeCharactersLength(const QByteArray& bytes) {
    size_t i = 0;
    const size_t size = size_t(bytes.size());
    while (i < size) {
        if (IsCp932LeadByte(static_cast<unsigned char>(bytes[qsizetype(i)]))) {
            if (i + 1 == size) return i;
            i += 2;
        } else {
            ++i;
        }
    }
    return size;
}

QSerialPort::Parity QtParity(SerialParity parity) {
    switch (parity) {
        case SerialParity::Even: return QSerialPort::EvenParity;
        case SerialParity::Odd: return QSerialPort::OddParity;
        case SerialParity::Mark: return QSerialPort::MarkParity;
        case SerialParity::Space: return QSerialPort::SpaceParity;
        case SerialParity::None: break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits QtStopBits(SerialStopBits stop) {
    switch (stop) {
        case SerialStopBits::OneAndHalf: return QSerialPort::OneAndHalfStop;
        case SerialStopBits::Two: return QSerialPort::TwoStop;
        case SerialStopBits::One: break;
    }
    return QSerialPort::OneStop;
}

QSerialPort::FlowControl QtFlowControl(SerialFlowControl flow) {
    switch (flow) {
        case SerialFlowControl::XonXoff: return QSerialPort::SoftwareControl;
        case SerialFlowControl::RtsCts:
        case SerialFlowControl::RtsCtsXonXoff: return QSerialPort::HardwareControl;
        case SerialFlowControl::None: break;
    }
    return QSerialPort::NoFlowControl;
}

}  // namespace

struct SerialPort::Impl {
    QSerialPort port;
    int portNumber = 1;
    std::optional<std::string> deviceRoot;
    // Nothing when the settings named no usable line; noLine tells why.
    std::optional<SerialLineSettings> line = SerialLineSettings{9600, SerialParity::None, 8, SerialStopBits::One};
    SerialFlowControl flow = SerialFlowControl::None;
    FileResult noLine;
    bool nullDiscard = false;
    // At most one CP932 lead byte whose trail byte has not arrived yet.
    QByteArray heldLead;

    FileResult fail(FileResult why) {
        if (port.isOpen()) port.close();
        return why;
    }
    // Sets the opened device to the line; only called with one set.
    FileResult applyLine();
    std::string device;  // as ComPorts.dat or the platform names it, for what went wrong
    qint64 waitingCharacters();
};

FileResult SerialPort::Impl::applyLine() {
    // The device refusing a setting is said with the setting as it is written in RS232C.dat.
    auto refused = [&](Failure kind, std::string setting, int err = 0) {
        FileResult why = Refused(kind, device, std::move(setting));
        why.err = err;
        return fail(why);
    };
    if (!port.setBaudRate(line->baudRate)) return refused(Failure::BaudRateRefused, std::to_string(line->baudRate));
    if (!port.setParity(QtParity(line->parity)))
        return refused(Failure::ParityRefused, std::string(1, "NEOMS"[static_cast<int>(line->parity)]));
    if (!port.setDataBits(static_cast<QSerialPort::DataBits>(line->dataBits)))
        return refused(Failure::DataBitsRefused, std::to_string(line->dataBits));
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    if (!port.setStopBits(QtStopBits(line->stopBits)))
        return refused(Failure::StopBitsRefused, kStopBits[static_cast<int>(line->stopBits)]);
    // Handshake modes are numbered in RS232C.dat as the flow controls are listed.
    const std::string mode = std::to_string(static_cast<int>(flow));
    if (!port.setFlowControl(QtFlowControl(flow))) return refused(Failure::HandshakeRefused, mode);
#ifdef Q_OS_UNIX
    // QSerialPort offers one kind of flow control at a time; the line takes both.
    if (flow == SerialFlowControl::RtsCtsXonXoff) {
        termios tio{};
        int fd = int(port.handle());
        if (tcgetattr(fd, &tio) != 0) return refused(Failure::HandshakeRefused, mode, errno);
        tio.c_iflag |= IXON | IXOFF;
        if (tcsetattr(fd, TCSANOW, &tio) != 0) return refused(Failure::HandshakeRefused, mode, errno);
    }
#endif
    return {};
}

// Characters that count for a notification: NUL bytes that are discarded never do.
qint64 SerialPort::Impl::waitingCharacters() {
    qint64 available = port.bytesAvailable();
    if (!nullDiscard || available == 0) return available;
    QByteArray waiting = port.peek(available);
    return available - waiting.count('\0');
}

SerialPort::SerialPort(QObject* parent) : QObject(parent), d(std::make_unique<Impl>()) {
    d->port.setReadBufferSize(kReadBufferLimit);
    connect(&d->port, &QSerialPort::readyRead, this, [this] {
        if (d->waitingCharacters() == 0) {
            if (d->nullDiscard) d->port.readAll();  // nothing but NUL bytes: they never reach the caller
            return;
        }
        emit received();
    });
    // A device that goes away (a hung-up pseudo-terminal, an unplugged adapter)
    // keeps reporting read errors; closing it stops them, and the caller's
    // time-out then reports the missing reply.
    connect(&d->port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if ((error == QSerialPort::ReadError || error == QSerialPort::ResourceError) && d->port.isOpen())
            d->port.close();
    });
}

SerialPort::~SerialPort() = default;

void SerialPort::setPortNumber(int number) {
    if (!d->port.isOpen()) d->portNumber = number;
}

void SerialPort::setDeviceRoot(const std::string& root) { d->deviceRoot = root; }

void SerialPort::setLine(const SerialLineSettings& line, SerialFlowControl flow) {
    d->line = line;
    d->flow = flow;
    d->noLine = {};
}

void SerialPort::setUnusableLine(FileResult problem) {
    d->line.reset();
    d->noLine = std::move(problem);
}

void SerialPort::setNullDiscard(bool discard) { d->nullDiscard = discard; }

void SerialPort::clearInBuffer() {
    d->heldLead.clear();
    if (d->port.isOpen()) d->port.clear(QSerialPort::Input);
}

void SerialPort::clearOutBuffer() {
    if (d->port.isOpen()) d->port.clear(QSerialPort::Output);
}

FileResult SerialPort::open() {
    if (d->port.isOpen()) return Failed(Failure::PortAlreadyOpen, d->device);
    FileResult problem;
    auto device = SerialDevicePath(d->deviceRoot.value_or(InstallationRoot()), d->portNumber, &problem);
    // Settings that name no line are the reason even when the device is missing too.
    if (!d->line) return d->noLine;
    if (!device) return problem;
    d->device = *device;
    d->port.setPortName(QString::fromStdString(*device));
    // Qt's words for why the device would not open are the system's, kept as they come.
    if (!d->port.open(QIODevice::ReadWrite))
        return d->fail(Refused(Failure::PortNotOpened, *device, d->port.errorString().toStdString()));
    if (FileResult refused = d->applyLine(); !refused) return refused;
    // Whatever the device held before this opening belongs to no request of ours.
    d->port.clear(QSerialPort::AllDirections);
    d->heldLead.clear();
    return {};
}

bool SerialPort::isOpen() const { return d->port.isOpen(); }

const std::string& SerialPort::device() const { return d->device; }

void SerialPort::close() {
    if (d->port.isOpen()) d->port.close();
    d->heldLead.clear();
}

bool SerialPort::output(const std::string& text) {
    if (!d->port.isOpen()) return false;
    auto bytes = ToCp932(text);
    if (!bytes) return false;
    if (bytes->empty()) return true;
    d->port.clearError();
    if (d->port.write(bytes->data(), qint64(bytes->size())) != qint64(bytes->size())) return false;
    d->port.flush();
    return d->port.isOpen() && d->port.error() == QSerialPort::NoError;
}

std::string SerialPort::input(size_t byteLimit, size_t* bytesTaken) {
    if (bytesTaken) *bytesTaken = 0;
    if (!d->port.isOpen()) return {};
    QByteArray bytes = d->heldLead + d->port.readAll();
    d->heldLead.clear();
    if (d->nullDiscard) bytes.replace(QByteArray(1, '\0'), QByteArray());
    size_t whole = WholeCharactersLength(bytes);
    if (size_t(bytes.size()) > byteLimit) {
        // What follows is dropped, so a lead byte cut off here has no trail to wait for.
        whole = byteLimit;
    } else {
        d->heldLead = bytes.mid(qsizetype(whole));
    }
    if (bytesTaken) *bytesTaken = whole;
    return FromCp932(std::string_view(bytes.constData(), whole));
}

}  // namespace ziv
