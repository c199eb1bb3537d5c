// What becomes of entries on their way into the files: what the operator
// hears of a value, a rejection or a journal line not written and of files
// that cannot be read, and what waits for the file server.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "links/gauge_register.h"
#include "platform/paths.h"
#include "platform/station_identity.h"
#include "records/day_book.h"
#include "station_log/station_log.h"
#include "records/server_clock.h"
#include "station/measurement_window_ui.h"
#include "station/sheet_grid_qt.h"

namespace ziv {

void MeasurementWindow::TellUnreadable(const EntryFlow::Unreadables& files) {
    for (const EntryFlow::Unreadable& file : files) {
        if (file.file == EntryFlow::Unreadable::File::DayBook)
            Warn("ブック \"" + file.path + "\" を読み込めません（" + BookReasonText(file.reason) + "）。");
        else
            Warn("製品マスタ \"" + file.path + "\" を読み込めません（" + BookOpenText(file.reason) +
                 "）。寸法・公差・狙い値は表示されません。");
    }
}

void MeasurementWindow::Tell(const EntryFlow::Entry& entry) {
    if (!entry) return;
    ShowControl(entry);
    // The judgement stands whatever happens here; the operator must know the record is missing.
    if (entry.rejection && !*entry.rejection) Warn(FailureText(*entry.rejection));
    // The entry went into the station's log, or the log's disk refused it:
    // the writer takes it to the share and tells what it meets there.
    if (!entry.kept) TellNotKept(entry);
    else ShowWaiting();
}

void MeasurementWindow::TellOverdue(const EntryFlow::Entry& entry) {
    std::string gauge = "F" + DecimalText(entry.key) + " の測定器" +
                        (entry.gauge.ControlNumber.empty() ? "" : "（管理番号 " + entry.gauge.ControlNumber + "）");
    std::string due = entry.gauge.Due ? DayText(*entry.gauge.Due) : "";
    // The state label is large and narrow: the key alone, the message says the rest.
    ShowState(QString::fromStdString("校正期限切れ F" + DecimalText(entry.key)));
    bool& told = toldOverdue_[static_cast<size_t>(entry.key - 1)];
    if (told) return;
    told = true;
    Warn(gauge + " は校正期限 " + due + " を過ぎています。値は記録しましたが、測定記録には期限切れとして残ります。"
         "校正済みの測定器に替えてください。");
}

// Every entry goes into this station's journal as well, with the gauges of
// F1-F10 from their register; a register that cannot be read names no gauge.
void MeasurementWindow::StartJournal() {
    GaugesRead gauges = ReadGauges(GaugesFilePath(op_.SavePath), files_.disk);
    if (gauges.status == ReadStatus::Unreadable) Warn(FailureText(gauges.problem));
    flow_.KeepJournal(StationIdentity(op_.SavePath), gauges.gauges);
}

// When the share goes away every value fails the same way: the operator hears
// of it once, later failures only raise the count, and once everything is
// written the next failure is told again. Should the queue's own file fail,
// he hears of that every time, since the value then lives in memory only.
void MeasurementWindow::TellKept(const std::string& text, const FileResult& queued) {
    bool tell = !toldWaiting_ || !queued;
    ShowWaiting();
    if (!tell) return;
    toldWaiting_ = true;
    if (queued) Warn(text);
    else Warn(text + "\n" + FailureText(queued) + "控えを書き込めないため、ZIV を終了すると失われます。");
}

// The station's own disk refused the value: it lives in memory alone until
// the disk or the share takes it. Told every time, naming the value, since
// ending the program now would lose it.
void MeasurementWindow::TellNotKept(const EntryFlow::Entry& entry) {
    ShowWaiting();
    Warn("値 " + entry.after.Value + "（" + DecimalText(entry.machine) + "号機 点" + DecimalText(entry.point) +
         "）をこのステーションのディスクに書き込めませんでした。値は画面にありますが、どのディスクにもまだありません。"
         "ZIV を終了すると失われます。\n" + FailureText(entry.kept));
}

// The values (registrations and designations too) this station holds for
// the file server; records that go with them are counted only when nothing else waits.
std::string MeasurementWindow::WaitingText(const StationLog::Tally& tally) {
    if (tally.values) return "未保存 " + DecimalText(static_cast<long long>(tally.values));
    if (tally.records) return "未保存 記録 " + DecimalText(static_cast<long long>(tally.records));
    return {};
}

// A share that hangs (a hard mount whose server went away) fails nothing: the
// writer's try just does not end. Said in words beside the count, and in its
// tooltip, without a box that would take the operator's next key.
void MeasurementWindow::ShowWaiting() {
    StationLog::Tally tally = log_.Counted();
    const bool waiting = tally.values + tally.records != 0;
    const bool hung = waiting && writer_.TryingForMs() > kHungShareMs;
    waitingLabel->setText(QString::fromStdString(WaitingText(tally) + (hung ? "\nサーバー応答なし" : "")));
    waitingLabel->setToolTip(!hung ? QString()
                                   : QString::fromStdString("ファイルサーバー（\"" + flow_.ProductFolder() +
                                                            "\"）が応答しません。値・登録・記録はこのステーションに"
                                                            "控えてあり、サーバーが応答すると自動で書き込まれます。"));
    waitingLabel->setVisible(waiting);
    if (!waiting) toldWaiting_ = false;
    // A start-up read of Directory.dat that outlasted its bound is looked for on the same tick.
    if (!waiting && !registrations_.LateReadPending()) retryTimer_->stop();
    else if (!retryTimer_->isActive()) retryTimer_->start();
}

void MeasurementWindow::retryWaiting() {
    if (auto late = registrations_.TakeLateRead()) {
        TakeOverRegistrations(*late);
        StartOperatorRecord();
    }
    TakeProgress();
    ShowWaiting();
}

bool MeasurementWindow::DeliverWaiting(int ms) {
    bool done = writer_.Drain(ms);
    TakeProgress();
    ShowWaiting();
    return done;
}

void MeasurementWindow::WriteWaiting() {
    writer_.Wake();
    TakeProgress();
    ShowWaiting();
}

// What the writer delivered shows here: what other stations measured,
// registered or designated meanwhile; and a share away is told once.
void MeasurementWindow::TakeProgress() {
    EntryWriter::Progress progress = writer_.Take();
    for (const auto& [book, rows] : progress.written) flow_.TakeWritten(book, rows);
    for (const auto& [file, lines] : progress.directories)
        if (file == registrations_.File()) TakeOverRegistrations(registrations_.TakeOver(lines));
    for (const auto& [file, table] : progress.pointFiles) TakeWrittenPoints(file, table);
    if (log_.Empty()) earlierWaiting_ = 0;
    if (!progress.problem || toldWaiting_ || log_.Empty()) return;
    toldWaiting_ = true;
    std::string why = progress.problem->path.empty() ? std::string() : "\n" + FailureText(*progress.problem);
    if (earlierWaiting_ != 0)
        why = "\n前回書き込めなかった値・登録・指定 " + DecimalText(static_cast<long long>(earlierWaiting_)) + " 件も含みます。" + why;
    earlierWaiting_ = 0;
    // Told once the timer's tick is over: a tick held up by the message would
    // keep the count from following the writer while the message is open.
    QTimer::singleShot(0, this, [this, why] {
        Warn("ファイルサーバーに書き込めません。値・登録・記録はこのステーションに控えてあり、書き込めるようになると"
             "自動で書き込まれます。" + why);
    });
}

EditorHost::DesignationKept MeasurementWindow::EditorLink::KeepDesignation(const std::string& pointFile, int point,
                                                                           const DesignatedPoint& designated) {
    DesignationKept kept;
    // A point designated again replaces what waited for it, the newer winning.
    kept.kept = static_cast<bool>(f.log_.Put(QueuedDesignation{pointFile, point, designated, f.flow_.MeasuredNow()}));
    f.WriteWaiting();
    return kept;
}

void MeasurementWindow::LoadWaiting() {
    StationLog::Loaded loaded = log_.Load();
    std::string text = loaded.damaged ? "未保存の値の控えが壊れていました。" : "";
    if (!loaded.problem) text += FailureText(loaded.problem);
    if (!loaded.keptAside.empty()) text += "\"" + loaded.keptAside + "\" として残しました。";
    if (loaded.damaged) text += "読み取れた " + DecimalText(static_cast<long long>(loaded.salvaged)) + " 件は書き込まれます。";
    if (!text.empty()) Warn(text);
    writer_.ClockBeside(flow_.ProductFolder(), KeptServerClockPath(op_.SavePath));
    writer_.Start();
    retryTimer_->setInterval(500);
    flow_.WakeWriterWith([this] { writer_.Wake(); });
    // What an earlier run left goes first, without the window waiting for it;
    // told only should the share not take it.
    earlierWaiting_ = log_.Counted().values;
    WriteWaiting();
}

}  // namespace ziv
