// One instrument reading: select, request, collect the reply, cut the value,
// enter it; or time out.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "drawing/drawing_editor_ui.h"
#include "links/link_port_qt.h"
#include "platform/dialogs_qt.h"
#include "platform/serial_port_qt.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
const char* const kPortMessage = "ポートが開けません。ＣＯＭポートの設定及び機器を確認して下さい。";
const char* const kTimeoutMessage = "通信エラーが発生しました。ＣＯＭポートの設定及び機器を確認して下さい。";
const char* const kCutMessage = "通信には成功しましたが、「データ開始位置」、又は「データ長」に誤りがあります。";
}  // namespace

void MeasurementWindow::ClosePortIfOpen() {
    if (port_->isOpen()) port_->close();
}

void MeasurementWindow::SelectInstrument(int n) {
    if (n < 1 || n > static_cast<int>(links_.size())) return;
    const InstrumentLink& link = links_[n - 1];
    currentKey_ = n;
    // Settings are applied to a closed port; one left open by a failed write is closed here.
    ClosePortIfOpen();
    ApplyLink(*port_, link);
    instrumentBox->setText(QString::fromStdString(link.DisplayName));
}

void MeasurementWindow::RequestReading() {
    if (session_.Active() || mode_ != WindowMode::Measuring || !ProductRegistered()) return;
    // The editor stores a designation on the current point; a reading would move it on.
    if (editor_ && editor_->InDesignMode()) return;
    auto request = CommandText(links_[currentKey_ - 1]);
    if (!request) return;
    SendRequest(*request);
}

bool MeasurementWindow::SendRequest(const std::string& text) {
    ClosePortIfOpen();
    port_->clearInBuffer();
    port_->clearOutBuffer();
    // The message names the device and why it failed.
    FileResult opened = port_->open();
    bool sent = opened && (port_->clearInBuffer(), port_->output(text));
    if (!sent) {
        ClosePortIfOpen();
        Warn(std::string(kPortMessage) + "\n" + (opened ? RequestNotSentText(*port_, text) : FailureText(opened)));
        return false;
    }
    ShowState(QString::fromUtf8("通信中"));
    session_.Begin(links_[currentKey_ - 1]);
    readingTimer_->start(1000);
    return true;
}

void MeasurementWindow::onPortData() {
    size_t taken = 0;
    std::string received = port_->input(session_.Room(), &taken);
    // Characters after a finished or timed-out request belong to no reading.
    auto result = session_.Receive(received, taken);
    if (result.event == ReadingSession::Event::Nothing) return;
    // The reply is complete: the reading ends here, once, before its value is
    // entered, so that no tick can end it while the value is saved and what
    // the entry shows in the state label (a control signal) stays there.
    EndReading();
    if (result.event == ReadingSession::Event::CutFailed) {
        dialogs_.Warn(this, QString::fromUtf8(kCutMessage));
        return;
    }
    AcceptReading(result.value);
}

// The session keeps the reply after it ended, for the journal.
void MeasurementWindow::AcceptReading(const std::string& valueText) {
    EntryFlow::Entry entry = flow_.EnterReading(valueText, currentKey_, links_[currentKey_ - 1].InputName, session_.Reply());
    Tell(entry);
    if (entry.taken == EntryFlow::Entry::Taken::NoNumber) return TellNoNumber(entry);
    if (entry.gaugeOverdue) TellOverdue(entry);
}

// Nothing was recorded: the operator sees what the gauge sent instead.
void MeasurementWindow::TellNoNumber(const EntryFlow::Entry& entry) {
    Warn("F" + DecimalText(entry.key) + " の測定器の応答に数値がないため、値は記録していません。\n［取得データ］\n" +
         entry.reply);
    if (entry.journal && !entry.journal->Written())
        TellKept("測定記録 \"" + entry.journal->problem.path + "\" に書き込めません。\n" + FailureText(entry.journal->problem),
                 entry.journal->queueProblem);
}

void MeasurementWindow::EndReading() {
    readingTimer_->stop();
    ClosePortIfOpen();
    if (session_.Active()) ShowMeasuringState();
    session_.End();
}

void MeasurementWindow::onReadingTimeout() {
    if (!session_.Active()) {
        readingTimer_->stop();
        return;
    }
    if (session_.Tick().event != ReadingSession::Event::TimedOut) return;
    EndReading();
    dialogs_.Warn(this, QString::fromUtf8(kTimeoutMessage));
}

}  // namespace ziv
