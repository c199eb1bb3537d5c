#include "pty_instrument.h"

#include <QTest>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "common/failure_text.h"
#include "platform/serial_devices.h"
#include "temp_root.h"

PtyInstrument::PtyInstrument() {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
        master_ = slave_ = -1;
        return;
    }
    device_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(master_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readMaster(); });
}

PtyInstrument::~PtyInstrument() {
    closeMaster();
    if (slave_ >= 0) ::close(slave_);
}

termios PtyInstrument::lineSettings() const {
    termios tio{};
    if (slave_ >= 0) tcgetattr(slave_, &tio);
    return tio;
}

void PtyInstrument::readMaster() {
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            received_.append(buf, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) notifier_->setEnabled(false);
        break;
    }
    if (!answering_) return;
    for (;;) {
        size_t end = received_.find(terminator_, answeredUpTo_);
        if (end == std::string::npos) break;
        answeredUpTo_ = end + terminator_.size();
        write(reply_);
    }
}

bool PtyInstrument::waitForReceived(const std::string& text, int timeoutMs) {
    return QTest::qWaitFor([&] { return received_.find(text) != std::string::npos; }, timeoutMs);
}

bool PtyInstrument::write(const std::string& bytes) {
    size_t done = 0;
    while (master_ >= 0 && done < bytes.size()) {
        ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return master_ >= 0;
}

void PtyInstrument::answerWith(const std::string& reply, const std::string& terminator) {
    reply_ = reply;
    terminator_ = terminator;
    answeredUpTo_ = received_.size();
    answering_ = true;
}

void PtyInstrument::closeMaster() {
    notifier_.reset();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void BindPort(const TempRoot& root, int n, const std::string& device) {
    auto written = ziv::BindSerialDevice(root.path(), n, device);
    ASSERT_TRUE(written) << ziv::FailureText(written);
}
