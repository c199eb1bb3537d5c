#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <functional>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "children.h"
#include "common/text_file.h"
#include "drawing/drawing_editor_ui.h"
#include "links/instrument_link.h"
#include "pty_instrument.h"
#include "report/fixed_limits.h"
#include "station/sheet_grid_qt.h"
#include "station_fixture.h"
#include "workbook/workbook.h"

using namespace ziv;

namespace {

const char* const kPortMessage = "ポートが開けません。ＣＯＭポートの設定及び機器を確認して下さい。";
const char* const kTimeoutMessage = "通信エラーが発生しました。ＣＯＭポートの設定及び機器を確認して下さい。";

class Reading : public StationFixture {
protected:
    PtyInstrument instrument;
    std::unique_ptr<MeasurementWindow> form;
    InstrumentLinks links{};

    void SetUp() override {
        StationFixture::SetUp();
        ASSERT_TRUE(instrument.ok());
        BindPort(root, 1, instrument.devicePath());
        links.fill(DefaultInstrumentLink());
    }
    // before: what the product folder holds besides its master, before the window opens.
    void Start(bool withDrawing = false, const std::function<void(const std::string&)>& before = {}) {
        ASSERT_TRUE(SaveInstrumentLinks(LinksFilePath(root.path()), links));
        std::string product = MakeProduct("A-100", {{"12.3", "0.1", "-0.1", "12.3"}, {"12.3", "0.1", "-0.1", ""}});
        if (before) before(product);
        if (withDrawing) {
            QImage drawing(600, 400, QImage::Format_RGB32);
            drawing.fill(Qt::white);
            ASSERT_TRUE(drawing.save(QString::fromStdString(product + "/A-100.jpg"), "JPEG"));
        }
        Register({{0, product}});
        form = Open();
        ASSERT_TRUE(form);
        form->startMeasuring();
    }
    void Request() {
        instrument.clearReceived();
        Key(*form, Qt::Key_Space);
        ASSERT_TRUE(form->ReadingPending());
        // The running timer is pushed far away: every tick counted is the test's own.
        ASSERT_EQ(form->ReadingTimer()->interval(), 1000);
        form->ReadingTimer()->start(24 * 3600 * 1000);
        ASSERT_TRUE(instrument.waitForReceived("1\r"));
    }
    void Send(const std::string& bytes) {
        ASSERT_TRUE(instrument.write(bytes));
    }
    bool WaitIdle() {
        return WaitUntil([&] { return !form->ReadingPending(); });
    }
    void TimeOut() {
        for (int i = 0; i < 6; ++i) form->onReadingTimeout();
    }
};

}  // namespace

TEST_F(Reading, WorkedExampleArrivingInTwoPieces) {
    Start();
    Request();
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "通信中");
    EXPECT_TRUE(form->ReadingTimer()->isActive());
    Send("01A+01");
    ASSERT_TRUE(WaitUntil([&] { return form->ReplyBuffer() == "01A+01"; }));
    EXPECT_TRUE(form->ReadingPending());
    Send("2.345\r");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Cell(*form, 1, 1), "12.345");
    EXPECT_EQ(Cell(*form, 1, 2), "合");
    EXPECT_EQ(Cell(*form, 1, 7), "-0.045");
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能");
    EXPECT_FALSE(form->ReadingTimer()->isActive());
    EXPECT_EQ(form->Grid(0)->Row(), 2);
    EXPECT_TRUE(messages.empty());
    ASSERT_TRUE(form->DeliverWaiting(20000));
    auto book = Workbook::Open(form->ProductPath(0) + "/data/" + userName + "_A-100_0号機_" +
                               form->WorkingDate().Year + "年" + form->WorkingDate().Month + "月" +
                               form->WorkingDate().Day + "日.xls");
    ASSERT_TRUE(book);
    EXPECT_EQ(book->CellText(1, 1, 4), "M");
    EXPECT_EQ(book->CellText(1, 1, 5), "12.345");
}

// Seen: as the reading ended, 「測定可能」 replaced the signal of a value that
// broke the point's fixed control limits.
TEST_F(Reading, TheControlSignalOfAReadingStaysInTheStateLabel) {
    Start(false, [&](const std::string& product) {
        report::FixedLimit fixed{1, {}, {}, {2026, 1, 5}, {2026, 1, 5}, 1, 0, 20, {12.3, 12.31, 12.29, 0.004, 0.013, 0},
                                 {"12.3", "0.1", "-0.1"}};
        ASSERT_TRUE(report::AddFixing(files, report::FixedLimitsPath(product), {fixed}, "品証", TimestampNow()));
    });
    ASSERT_TRUE(WaitUntil([&] { return Child<QWidget>(*form, "controlChart")->isVisibleTo(form.get()); }));
    Request();
    Send("01A+012.400\r");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "管理外れ 点1: 管理限界外");
}

TEST_F(Reading, CarriageReturnAloneDoesNotCompleteACrLfReply) {
    links[0].DeviceTerminator = "3";
    Start();
    Request();
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitUntil([&] { return form->ReplyBuffer().size() == 12; }));
    EXPECT_TRUE(form->ReadingPending());
    Send("\n");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Cell(*form, 1, 1), "12.345");
}

TEST_F(Reading, CutReachesCharactersAfterTheTerminatorAndBeyondTheEnd) {
    links[0].DataStart = "10";
    links[0].DataLength = "5";
    links[1] = links[0];
    links[1].DataStart = "40";
    Start();
    Request();
    Send("01A+012.345\r99");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(form->ReplyBuffer(), "01A+012.345\r99");  // the whole reply, cut at characters 10-14
    EXPECT_EQ(Cell(*form, 1, 1), "45");
    Key(*form, Qt::Key_F2);
    Request();
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitIdle());
    // An empty value is no measurement: nothing recorded, the reply shown.
    EXPECT_EQ(Cell(*form, 2, 1), "");
    EXPECT_EQ(Cell(*form, 2, 2), "");
    EXPECT_EQ(Messages(), std::vector<std::string>{"F2 の測定器の応答に数値がないため、値は記録していません。\n［取得データ］\n01A+012.345\r"});
}

TEST_F(Reading, NoReplyTimesOutOnTheSixthTickAndTheNextRequestStartsClean) {
    Start();
    Request();
    for (int i = 0; i < 5; ++i) form->onReadingTimeout();
    EXPECT_TRUE(form->ReadingPending());
    EXPECT_TRUE(messages.empty());
    form->onReadingTimeout();
    EXPECT_FALSE(form->ReadingPending());
    EXPECT_EQ(Messages(), std::vector<std::string>{kTimeoutMessage});
    EXPECT_EQ(Cell(*form, 1, 1), "");
    // A reply that comes too late must not become the next value.
    Send("01A+099.999\r");
    QTest::qWait(50);
    Request();
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Cell(*form, 1, 1), "12.345");
}

TEST_F(Reading, KeysWaitWhileAReadingIsPending) {
    Start();
    Request();
    Key(*form, Qt::Key_F3);
    Key(*form, Qt::Key_F11);
    Key(*form, Qt::Key_Escape);
    Type(*form, "w");
    EXPECT_EQ(form->CurrentKey(), 1);
    EXPECT_EQ(Cell(*form, 1, 1), "");
    EXPECT_TRUE(form->Measuring());
    EXPECT_EQ(form->ShownMachine(), 0);
    Key(*form, Qt::Key_Space);  // no second request while one waits
    QTest::qWait(20);
    EXPECT_EQ(instrument.received(), "1\r");
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitIdle());
    Key(*form, Qt::Key_F3);
    EXPECT_EQ(form->CurrentKey(), 3);
}

TEST_F(Reading, SpaceDoesNothingBeforeStartOrWithoutProduct) {
    Start();
    Key(*form, Qt::Key_Escape);
    Key(*form, Qt::Key_Space);
    EXPECT_FALSE(form->ReadingPending());
    form->startMeasuring();
    form->ShowMachine(2);
    Key(*form, Qt::Key_Space);
    EXPECT_FALSE(form->ReadingPending());
    QTest::qWait(20);
    EXPECT_EQ(instrument.received(), "");
}

TEST_F(Reading, MissingDeviceAndRefusedSettingsGiveThePortMessage) {
    links[1].PortNumber = "7";  // nothing behind /dev/ttyS6 or the ComPorts.dat line
    links[2].DataBits = "4";
    links[3].PortNumber = "";
    Start();
    WriteBytes(root / "Config/ComPorts.dat", instrument.devicePath() + "\r\n\r\n\r\n\r\n\r\n\r\n/dev/ziv-no-such-port\r\n");
    // The fixed words first, then the device and why.
    const std::pair<int, std::string> told[] = {{Qt::Key_F2, "\"/dev/ziv-no-such-port\""},
                                                {Qt::Key_F3, "データ長「4」"},
                                                {Qt::Key_F4, "ポート番号 0 "}};
    for (const auto& [key, why] : told) {
        messages.clear();
        Key(*form, key);
        Key(*form, Qt::Key_Space);
        ASSERT_EQ(Messages().size(), 1u);
        EXPECT_TRUE(Messages()[0].starts_with(std::string(kPortMessage) + "\n")) << Messages()[0];
        EXPECT_NE(Messages()[0].find(why), std::string::npos) << Messages()[0];
        EXPECT_FALSE(form->ReadingPending());
        EXPECT_EQ(Child<QLabel>(*form, "stateLabel")->text().toStdString(), "測定可能");
    }
}

TEST_F(Reading, CutFailureIsReportedAndNothingIsEntered) {
    links[0].DataStart = "0";
    Start();
    Request();
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Cell(*form, 1, 1), "");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.toStdString().find("「データ開始位置」"), std::string::npos);
    EXPECT_FALSE(form->ReadingTimer()->isActive());
}

// Half-width katakana: one byte on the line, three in the buffer. The cap
// counts what the instrument sent.
TEST_F(Reading, FloodWithoutTerminatorIsCappedAndEndsByTimeOut) {
    Start();
    Request();
    std::string flood(2000, '\xB1');
    for (int i = 0; i < 40; ++i) {
        Send(flood);
        QTest::qWait(2);
        size_t expected = 3 * std::min<size_t>((i + 1) * flood.size(), 64 * 1024);
        ASSERT_TRUE(WaitUntil([&] { return form->ReplyBuffer().size() >= expected; }));
    }
    EXPECT_EQ(form->ReplyBuffer().size(), 3u * 64 * 1024);
    Send("\r");
    QTest::qWait(50);
    EXPECT_TRUE(form->ReadingPending());
    TimeOut();
    EXPECT_FALSE(form->ReadingPending());
    EXPECT_EQ(Messages(), std::vector<std::string>{kTimeoutMessage});
}

TEST_F(Reading, DeviceGoneInTheMiddleOfAReading) {
    Start();
    Request();
    Send("01A+0");
    instrument.closeMaster();
    QTest::qWait(50);
    TimeOut();
    EXPECT_FALSE(form->ReadingPending());
    EXPECT_EQ(Cell(*form, 1, 1), "");
    EXPECT_EQ(Messages(), std::vector<std::string>{kTimeoutMessage});
}

// The instrument counts characters: a half-width katakana or a noise byte
// before the value is one character, whatever it takes in memory.
TEST_F(Reading, ValueIsCutByCharactersNotBytes) {
    links[0].DataStart = "2";
    links[0].DataLength = "8";
    Start();
    const std::pair<std::string, std::string> replies[] = {{"\xB1+012.345\r", "12.345"},
                                                            {"\x80-012.301\r", "12.301"}};
    int row = 1;
    for (const auto& [reply, value] : replies) {
        Request();
        Send(reply);
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(Cell(*form, row, 1), value) << row;
        EXPECT_EQ(Cell(*form, row, 2), "合") << row;
        ++row;
    }
    EXPECT_TRUE(messages.empty());
}

// The operator asked for a reading, then began designating the point in the
// editor; the value still lands on its point, and "OK" stores the place of
// the point being designated, not of the one the grid moved on to.
TEST_F(Reading, AReadingEndingDuringDesignationLeavesTheDesignatedPoint) {
    Start(true);
    Request();
    DrawingEditor* editor = form->Editor();
    editor->startDesignation();
    ASSERT_TRUE(editor->InDesignMode());
    Send("01A+012.345\r");
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Cell(*form, 1, 1), "12.345");
    EXPECT_EQ(form->Grid(0)->Row(), 2);
    EXPECT_TRUE(editor->InDesignMode());
    EXPECT_FALSE(Child<QPushButton>(*editor, "designateButton")->isEnabled());
    EXPECT_FALSE(editor->IsZoomButtonEnabled());
    editor->overviewMouseDown(1, 0, 2000, 1000);
    editor->overviewMouseUp(1, 0, 2000, 1000);
    editor->confirmDesignation();
    EXPECT_EQ(editor->Table(0).PosX[1], 2000);
    EXPECT_EQ(editor->Table(0).PosX[2], 0);
    EXPECT_TRUE(form->isEnabled());
}
