#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <csignal>

#include "common/failure_text.h"
#include "common/text_file.h"
#include "platform/serial_port_qt.h"
#include "temp_root.h"

namespace {

constexpr int kWait = 20000;
const QString kSimulator = ZIV_BINARY_DIR "/tools/ziv-gauge-sim/ziv-gauge-sim";

// The simulator running with its arguments; its device path once it has printed it.
struct Simulator {
    QProcess process;
    std::string device;

    explicit Simulator(const QStringList& arguments) {
        process.start(kSimulator, arguments);
        if (!process.waitForStarted(kWait)) return;
        (void)QTest::qWaitFor([&] { return process.canReadLine() || process.state() != QProcess::Running; }, kWait);
        device = process.readLine().trimmed().toStdString();
    }
    ~Simulator() {
        if (process.state() == QProcess::Running) {
            process.kill();
            process.waitForFinished(kWait);
        }
    }
    // Ends it as a desktop session would; true when it left cleanly.
    bool terminate() {
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(kWait) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
    }
};

// Sends one request through the system's own serial port and collects the reply up to CR.
std::string Ask(ziv::SerialPort& port, const std::string& request) {
    std::string reply;
    auto connection = QObject::connect(&port, &ziv::SerialPort::received, [&] { reply += port.input(); });
    if (port.output(request))
        (void)QTest::qWaitFor([&] { return reply.find('\r') != std::string::npos; }, kWait);
    QObject::disconnect(connection);
    return reply;
}

void OpenPort(ziv::SerialPort& port, int number) {
    port.setPortNumber(number);
    port.setLine({4800, ziv::SerialParity::None, 8, ziv::SerialStopBits::Two}, ziv::SerialFlowControl::RtsCts);
    port.setNullDiscard(true);
    ziv::FileResult opened = port.open();
    ASSERT_TRUE(opened) << ziv::FailureText(opened);
}

}  // namespace

TEST(GaugeSimulator, BindsAPortAndAnswersWithTheDefaultReply) {
    ASSERT_TRUE(QFile::exists(kSimulator)) << "build the ziv-gauge-sim target first";
    TempRoot root;
    WriteBytes(root / "Config/ComPorts.dat", "A\r\nB\r\nC\r\n");
    Simulator sim({"--bind", QString::fromStdString(root.path()), "2"});
    ASSERT_EQ(sim.device.rfind("/dev/", 0), 0u) << sim.device;
    EXPECT_EQ(ReadBytes(root / "Config/ComPorts.dat"), "A\r\n" + sim.device + "\r\nC\r\n");

    ziv::SerialPort port;
    OpenPort(port, 2);
    EXPECT_EQ(Ask(port, "1\r"), "01A+012.345\r");
    EXPECT_EQ(Ask(port, "1\r"), "01A+012.345\r");
    port.close();
    EXPECT_TRUE(sim.terminate());
}

TEST(GaugeSimulator, ValuesInTurnSplitIntoPiecesWithNulsAndExtraCharacters) {
    TempRoot root;
    Simulator sim({"--bind", QString::fromStdString(root.path()), "1", "--values", "10.0,-9.98", "--pieces", "3",
                   "--pause", "10", "--nul", "2", "--extra", "Z", "--request-end", "lf"});
    ASSERT_FALSE(sim.device.empty());
    ziv::SerialPort port;
    OpenPort(port, 1);
    int arrivals = 0;
    QObject::connect(&port, &ziv::SerialPort::received, [&] { ++arrivals; });
    ASSERT_TRUE(port.output("R\r"));  // CR does not end a request here: one answer for "R\r\n"
    std::string first = Ask(port, "\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return (first += port.input()).find('Z') != std::string::npos; }, kWait));
    EXPECT_EQ(first, "01A+010.000\rZ");
    EXPECT_GE(arrivals, 2);
    std::string second = Ask(port, "R\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return (second += port.input()).find('Z') != std::string::npos; }, kWait));
    EXPECT_EQ(second, "01A-009.980\rZ");
    EXPECT_TRUE(sim.terminate());
}

TEST(GaugeSimulator, SilentGaugeReadsButNeverAnswers) {
    TempRoot root;
    Simulator sim({"--bind", QString::fromStdString(root.path()), "1", "--silent", "--verbose"});
    ziv::SerialPort port;
    OpenPort(port, 1);
    ASSERT_TRUE(port.output("1\r"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.process.readAllStandardError().contains("request: 1"); }, kWait));
    EXPECT_EQ(port.input(), "");
    EXPECT_TRUE(sim.terminate());
}

TEST(GaugeSimulator, RefusesBadArgumentsAndExplainsItself) {
    QProcess bad;
    bad.start(kSimulator, {"--pieces", "0"});
    ASSERT_TRUE(bad.waitForFinished(kWait));
    EXPECT_EQ(bad.exitCode(), 2);
    EXPECT_TRUE(bad.readAllStandardError().contains("--pieces"));

    QProcess help;
    help.start(kSimulator, {"--help"});
    ASSERT_TRUE(help.waitForFinished(kWait));
    EXPECT_EQ(help.exitCode(), 0);
    QByteArray text = help.readAllStandardOutput();
    for (const char* option : {"--bind", "--reply", "--delay", "--pieces", "--silent", "--values", "--around"})
        EXPECT_TRUE(text.contains(option)) << option;
}
