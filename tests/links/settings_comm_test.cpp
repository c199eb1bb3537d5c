#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "settings_support.h"
#include "platform/serial_port_qt.h"
#include "pty_instrument.h"

using ziv::SettingsWindow;

namespace {

constexpr int kWait = 20000;

const QString kPortMessage = "ポートが開けません。ＣＯＭポートの設定及び機器を確認して下さい。";
const QString kCutMessage = "通信には成功しましたが、「データ開始位置」、又は「データ長」に誤りがあります。";

// The settings window on a fresh root whose port 1 (the default record's) is a pseudo-terminal.
struct CommTest : SettingsWindowTest {
    PtyInstrument instrument;
    SettingsWindow form{bind(), dialogs, disk};
    ziv::SerialPort* port = form.findChild<ziv::SerialPort*>("port");
    QTimer* timer = form.findChild<QTimer*>("testTimer");

    const std::string& bind() {
        BindPort(root, 1, instrument.devicePath());
        return root.path();
    }
    // Unless realTicks, the running timer is pushed far away so that every
    // tick a test counts is one it drives itself.
    void startTest(bool realTicks = false) {
        QTest::mouseClick(Button(form, "testButton"), Qt::LeftButton);
        if (realTicks || !timer->isActive()) return;
        EXPECT_EQ(timer->interval(), 1000);
        timer->start(24 * 3600 * 1000);
    }
    bool waitForMessage() {
        return QTest::qWaitFor([&] { return !messages.empty(); }, kWait);
    }
    // After any end of a test: idle again.
    void expectIdle() {
        EXPECT_TRUE(form.isEnabled());
        EXPECT_FALSE(port->isOpen());
        EXPECT_FALSE(timer->isActive());
        EXPECT_FALSE(form.testWaiting());
    }
};

QString SuccessText(const QString& received, const QString& reading) {
    return "［取得データ］\r\n" + received + "\r\n\r\n［整形したデータ］\r\n" + reading;
}

}  // namespace

TEST(SettingsCommTest, ReplyInOnePieceEndsWithSuccessMessage) {
    CommTest t;
    ASSERT_TRUE(t.instrument.ok());
    t.instrument.answerWith("01A+012.345\r");
    t.startTest();
    EXPECT_FALSE(t.form.isEnabled());
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.instrument.received(), "1\r");
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].title, "通信成功");
    EXPECT_EQ(t.messages[0].icon, ziv::MessageIcon::Information);
    EXPECT_EQ(t.messages[0].text, SuccessText("01A+012.345\r", "12.345"));
    t.expectIdle();
}

// The default record cuts from character 5: four half-width katakana are four characters.
// A reply without a number is said to hold none. (The number shown keeps its
// sign and a zero before the point: see the tests with -0.250 and 000.500.)
TEST(SettingsCommTest, AReplyWithoutANumberIsToldWithTheReply) {
    CommTest t;
    t.instrument.answerWith("01A-----\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, "通信には成功しましたが、応答に数値がありません。\r\n\r\n［取得データ］\r\n01A-----\r");
    EXPECT_EQ(t.messages[0].icon, ziv::MessageIcon::Critical);
    t.expectIdle();
}

TEST(SettingsCommTest, HalfWidthKatakanaCountAsOneCharacterEach) {
    CommTest t;
    t.instrument.answerWith("\xB1\xB2\xB3\xB4+012.345\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, SuccessText("ｱｲｳｴ+012.345\r", "12.345"));
}

TEST(SettingsCommTest, ReplyInPiecesGivesTheSameResult) {
    CommTest t;
    t.startTest();
    ASSERT_TRUE(t.instrument.waitForReceived("1\r", kWait));
    ASSERT_TRUE(t.instrument.write("01A+0"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.form.replyBuffer() == "01A+0"; }, kWait));
    EXPECT_TRUE(t.messages.empty());
    EXPECT_FALSE(t.form.isEnabled());
    ASSERT_TRUE(t.instrument.write("12.345\r"));
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, SuccessText("01A+012.345\r", "12.345"));
    t.expectIdle();
}

TEST(SettingsCommTest, NulBytesAreDroppedAndCharactersAfterTheTerminatorShown) {
    CommTest t;
    t.instrument.answerWith(std::string("01A+0\0" "00.500\rXY", 15));
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, SuccessText("01A+000.500\rXY", "0.5"));
}

TEST(SettingsCommTest, TheTestUsesTheUnsavedRecordOfTheSelectedKey) {
    CommTest t;
    List(t.form, "keyList")->setCurrentIndex(3);  // F4, port 1 like every default record
    Box(t.form, "requestBox")->setText("Q?");
    List(t.form, "pcTerminatorList")->setCurrentIndex(2);  // CR LF after the request
    List(t.form, "deviceTerminatorList")->setCurrentIndex(1);  // reply ends at LF
    Box(t.form, "dataStartBox")->setText("1");
    Box(t.form, "dataLengthBox")->setText("6");
    t.instrument.answerWith("-0.250\r\n", "\n");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.instrument.received(), "Q?\r\n");
    EXPECT_EQ(t.messages[0].text, SuccessText("-0.250\r\n", "-0.25"));
    EXPECT_EQ(ReadBytes(t.linksFile()).find("Q?"), std::string::npos);  // nothing saved
}

TEST(SettingsCommTest, DataStartZeroGivesTheCutFailureMessage) {
    CommTest t;
    Box(t.form, "dataStartBox")->setText("0");
    t.instrument.answerWith("01A+012.345\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].text, kCutMessage);
    EXPECT_EQ(t.messages[0].title, "ZIV - 警告");
    EXPECT_EQ(t.messages[0].icon, ziv::MessageIcon::Critical);
    t.expectIdle();
}

TEST(SettingsCommTest, AReadingTooLargeToHoldGivesTheCutFailureMessage) {
    CommTest t;
    Box(t.form, "dataStartBox")->setText("1");
    t.instrument.answerWith("9E999\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, kCutMessage);
}

TEST(SettingsCommTest, NoReplyTimesOutOnTheSecondTickAndASecondTestStartsAtOnce) {
    CommTest t;
    t.startTest();
    ASSERT_TRUE(t.instrument.waitForReceived("1\r", kWait));
    EXPECT_TRUE(t.timer->isActive());
    t.form.onTestTimeout();
    EXPECT_TRUE(t.messages.empty());
    EXPECT_FALSE(t.form.isEnabled());
    EXPECT_TRUE(t.port->isOpen());
    t.form.onTestTimeout();
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].text, "通信エラーが発生しました。");
    EXPECT_EQ(t.messages[0].title, "ZIV - 警告");
    t.expectIdle();

    t.messages.clear();
    t.instrument.clearReceived();
    t.instrument.answerWith("01A+012.345\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.instrument.received(), "1\r");
    EXPECT_EQ(t.messages[0].title, "通信成功");
}

TEST(SettingsCommTest, TheRunningTimerEndsASilentTest) {
    CommTest t;
    t.startTest(true);
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].text, "通信エラーが発生しました。");
    EXPECT_EQ(t.form.testTicks(), 2);
    t.expectIdle();
}

TEST(SettingsCommTest, APortWithNoDeviceGivesThePortMessageAtOnce) {
    CommTest t;
    BindPort(t.root, 1, t.root / "no-device");
    t.startTest();
    ASSERT_EQ(t.messages.size(), 1u);
    // The fixed words, then the device and why it would not open.
    EXPECT_TRUE(t.messages[0].text.startsWith(kPortMessage + "\nポート \"" + QString::fromStdString(t.root / "no-device")))
        << t.messages[0].text.toStdString();
    EXPECT_EQ(t.messages[0].icon, ziv::MessageIcon::Critical);
    t.expectIdle();
}

TEST(SettingsCommTest, SettingsTheLineCannotTakeGiveThePortMessage) {
    CommTest t;
    List(t.form, "dataBitsList")->setCurrentIndex(0);  // 4 data bits
    t.startTest();
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_TRUE(t.messages[0].text.startsWith(kPortMessage + "\nデータ長「4」")) << t.messages[0].text.toStdString();
    t.expectIdle();
    EXPECT_EQ(t.instrument.received(), "");
}

TEST(SettingsCommTest, ARequestThatCannotBeSentClosesThePortForTheNextTest) {
    CommTest t;
    Box(t.form, "requestBox")->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));  // no CP932 form
    t.startTest();
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_TRUE(t.messages[0].text.startsWith(kPortMessage + "\n装置 \"" + QString::fromStdString(t.instrument.devicePath())))
        << t.messages[0].text.toStdString();
    t.expectIdle();

    t.messages.clear();
    Box(t.form, "requestBox")->setText("1");
    t.instrument.answerWith("01A+012.345\r");
    t.startTest();
    ASSERT_TRUE(t.waitForMessage());
    EXPECT_EQ(t.messages[0].title, "通信成功");
}

TEST(SettingsCommTest, WithoutAPcTerminatorNothingIsSentAndTheTestTimesOut) {
    CommTest t;
    const std::string f1 = "1\r\n4800\r\nN\r\n8\r\n2\r\n1\r\n7\r\n1\r\n5\r\n8\r\nA\r\nB\r\n2\r\n";
    WriteBytes(t.linksFile(), f1);
    SettingsWindow form(t.root.path(), t.dialogs, t.disk);
    QTest::mouseClick(Button(form, "testButton"), Qt::LeftButton);
    EXPECT_TRUE(t.messages.empty());
    EXPECT_FALSE(form.isEnabled());
    form.onTestTimeout();
    form.onTestTimeout();
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].text, "通信エラーが発生しました。");
    EXPECT_EQ(t.instrument.received(), "");
}

TEST(SettingsCommTest, TheWindowDoesNotCloseWhileATestWaits) {
    CommTest t;
    QSignalSpy closed(&t.form, &SettingsWindow::closed);
    t.form.show();
    t.startTest();
    EXPECT_FALSE(t.form.close());
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(t.port->isOpen());
    t.form.onTestTimeout();
    t.form.onTestTimeout();
    EXPECT_TRUE(t.form.close());
    EXPECT_EQ(closed.count(), 1);
}

TEST(SettingsCommTest, AnInstrumentThatHangsUpEndsInTheTimeOut) {
    CommTest t;
    t.startTest();
    ASSERT_TRUE(t.instrument.waitForReceived("1\r", kWait));
    t.instrument.closeMaster();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !t.port->isOpen(); }, kWait));
    t.form.onTestTimeout();
    t.form.onTestTimeout();
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].text, "通信エラーが発生しました。");
    t.expectIdle();
}
