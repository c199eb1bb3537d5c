#pragma once
// A pseudo-terminal pair standing in for an instrument on a serial line: the
// program under test opens the slave device as its serial port, the test plays
// the instrument on the master side from the Qt event loop.
#include <QSocketNotifier>
#include <memory>
#include <string>
#include <termios.h>

class TempRoot;

class PtyInstrument {
public:
    PtyInstrument();
    ~PtyInstrument();
    PtyInstrument(const PtyInstrument&) = delete;
    PtyInstrument& operator=(const PtyInstrument&) = delete;

    bool ok() const { return master_ >= 0; }
    // The slave device, e.g. /dev/pts/7.
    const std::string& devicePath() const { return device_; }

    // The line settings the device holds now (as the program's port set them).
    termios lineSettings() const;

    // Every byte the program has sent so far.
    const std::string& received() const { return received_; }
    void clearReceived() { received_.clear(); }
    // Runs the event loop until received() holds text; false after timeoutMs.
    bool waitForReceived(const std::string& text, int timeoutMs = 20000);

    // Sends bytes to the program now, as one piece.
    bool write(const std::string& bytes);
    // From now on answers each request (bytes up to terminator) with reply.
    void answerWith(const std::string& reply, const std::string& terminator = "\r");
    void stopAnswering() { answering_ = false; }
    // Hangs up: the device disappears, as an unplugged instrument would.
    void closeMaster();

private:
    void readMaster();

    int master_ = -1;
    int slave_ = -1;  // held open so the master never sees a hang-up between requests
    std::string device_;
    std::string received_;
    size_t answeredUpTo_ = 0;
    bool answering_ = false;
    std::string reply_;
    std::string terminator_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

// Writes <root>/Config/ComPorts.dat so that port number n names the device.
void BindPort(const TempRoot& root, int n, const std::string& device);
