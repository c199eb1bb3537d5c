// The machines' sheets, their grids, day workbooks and product master, and
// what waits to be written.
#include <QLabel>
#include <QTimer>

#include "common/failure_text.h"
#include "common/numbers.h"
#include "platform/flex_grid_qt.h"
#include "platform/paths.h"
#include "records/day_book.h"
#include "records/save_queue.h"
#include "station/measurement_window_ui.h"

namespace ziv {

namespace {
const char* const kHeaders[MachineSheet::kColumns] = {"番号", "測定値", "判定", "寸法", "上限", "下限", "狙い", "補正"};
}  // namespace

void MeasurementWindow::ShowRow(int m, int r) {
    for (int c = 1; c < MachineSheet::kColumns; ++c)
        grids_[m]->SetTextMatrix(r, c, QString::fromStdString(sheets_[m].ColumnText(r, c)));
}

void MeasurementWindow::ShowSheet(int m) {
    FlexGrid* grid = grids_[m];
    grid->Clear();
    for (int c = 0; c < MachineSheet::kColumns; ++c) grid->SetTextMatrix(0, c, QString::fromUtf8(kHeaders[c]));
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        grid->SetTextMatrix(r, 0, QString::number(r));
        ShowRow(m, r);
    }
}

void MeasurementWindow::ClearSheet(int m) {
    sheets_[m].Clear();
    ShowSheet(m);
}

void MeasurementWindow::LoadDayBook(int m) {
    sheets_[m].Clear();
    dayBooks_.Close(m);
    if (!productPaths_[m].empty()) {
        std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
        bool present = IsFile(path);
        if (present) {
            if (FileResult opened = dayBooks_.Open(m, path); !opened) {
                // Left closed: a later save opens it again rather than overwrite it.
                Warn("ブック \"" + path + "\" を読み込めません（" + BookReasonText(opened) + "）。");
            } else {
                for (int r = kFirstPoint; r <= kLastPoint; ++r) sheets_[m].SetMeasured(r, dayBooks_.Row(m, r));
            }
        }
        // Rows still waiting to be written are this station's newest values.
        for (const auto& [r, row] : dayBooks_.Waiting(path)) sheets_[m].SetMeasured(r, row);
        if (!present) {
            // The second call brings the point the first one moved to up to
            // the top of the view: a new day starts with its first point on top.
            AdvanceToEmptyPoint(m);
            AdvanceToEmptyPoint(m);
        }
        ReadMaster(m);
    }
    ShowSheet(m);
}

void MeasurementWindow::ReadMaster(int m) {
    std::string path = MasterBookPath(productPaths_[m]);
    if (!IsFile(path)) return;
    FileResult problem;
    auto master = Workbook::Open(path, &problem, files_.disk);
    if (!master) {
        Warn("製品マスタ \"" + path + "\" を読み込めません（" + BookOpenText(problem) +
             "）。寸法・公差・狙い値は表示されません。");
        return;
    }
    for (int r = kFirstPoint; r <= kLastPoint; ++r) {
        MasterRow row = ReadMasterRow(*master, r);
        sheets_[m].SetMaster(r, row);
        if (!row.Nominal.empty()) ++loadedPointCount_;
    }
}

bool MeasurementWindow::SaveDayBook() {
    int m = shownMachine_;
    std::string path = DayBookPath(productPaths_[m], op_.UserName, productNames_[m], m, workDate_);
    MachineSheet& sheet = sheets_[m];
    auto result = dayBooks_.Save(
        m, path, CurrentGridRow(), currentInputName_, kLastPoint,
        [&](int r, const std::string& inputName) { return sheet.Measured(r, inputName); },
        [&](int r) { return sheet.Master(r); });
    // Rows another station measured meanwhile are taken as the workbook now holds them.
    for (int r : result.fromDisk) {
        sheet.SetMeasured(r, dayBooks_.Row(m, r));
        ShowRow(m, r);
    }
    if (result) {
        ++savedCount_;
        // Every save tries again what waits, for this workbook and any other.
        WriteWaiting(LockWait::Once);
        return true;
    }
    TellKept(SaveFailureText(result, path), result.queued);
    return false;
}

std::string MeasurementWindow::SaveFailureText(const DayBooks::SaveResult& result, const std::string& path) {
    const std::string kept = "値はこのステーションに控えてあり、書き込めるようになると自動で書き込まれます。";
    switch (result.failure.failure) {
        case Failure::None:
            return {};
        case Failure::FolderNotMade:
            return "フォルダ \"" + result.failure.path + "\" を作成できないため、ブック \"" + path +
                   "\" に値は保存されていません。" + kept;
        case Failure::Unreadable:
        case Failure::BookUnreadable:
            return "ブック \"" + path + "\" を読み込めないため、値は保存されていません（" +
                   BookReasonText(result.failure) + "）。" + kept;
        case Failure::CellRefused:
            return "ブック \"" + path + "\" の形が違うため、値は保存されていません。" + kept;
        case Failure::Busy:
            return "ブック \"" + path + "\" は他のステーションが書き込み中のため、値は保存されていません（\"" +
                   result.failure.path + "\"）。値は残してあり、次の保存で書き込まれます。";
        default:
            return "ブック \"" + path + "\" に保存できませんでした。値は保存されていません。" + kept + "\n" +
                   FailureText(result.failure);
    }
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

void MeasurementWindow::ShowWaiting() {
    size_t count = queue_.Count();
    waitingLabel->setText(count ? QString::fromUtf8("未保存 ") + QString::number(count) : QString());
    waitingLabel->setVisible(count != 0);
    if (count == 0) {
        retryTimer_->stop();
        toldWaiting_ = false;
    } else if (!retryTimer_->isActive()) {
        retryTimer_->start();
    }
}

void MeasurementWindow::retryWaiting() {
    // A reading's reply must not wait behind a lock.
    if (session_.Active()) return;
    WriteWaiting();
}

void MeasurementWindow::WriteWaiting(LockWait wait) {
    if (!queue_.Empty()) {
        // Taking written entries out of the queue's file may fail (the
        // station's own disk): they are then only written once more.
        DayBooks::Retried retried = dayBooks_.SaveWaiting(wait);
        for (const auto& [m, rows] : retried.fromDisk) {
            for (int r : rows) {
                sheets_[m].SetMeasured(r, dayBooks_.Row(m, r));
                ShowRow(m, r);
            }
        }
        static_cast<void>(SaveWaitingRegistrations(queue_, files_));
        static_cast<void>(SaveWaitingDesignations(queue_, files_));
    }
    ShowWaiting();
}

bool MeasurementWindow::EditorLink::KeepDesignation(const std::string& pointFile, int point,
                                                    const DesignatedPoint& designated) {
    FileResult kept = f.queue_.PutDesignation({pointFile, point, designated});
    f.toldWaiting_ = true;  // the editor tells the operator itself
    f.ShowWaiting();
    return static_cast<bool>(kept);
}

void MeasurementWindow::EditorLink::DesignationSaved(const std::string& pointFile, int point,
                                                     const PointTable& saved) {
    // An older designation of the point, kept waiting, must not come back
    // over the one just saved.
    std::map<int, DesignatedPoint> done;
    for (const auto& [p, designated] : f.queue_.DesignationsOf(pointFile))
        if (p == point || PointOf(saved, p) == designated) done[p] = designated;
    static_cast<void>(f.queue_.RemoveDesignations(pointFile, done));
    f.WriteWaiting(LockWait::Once);
}

void MeasurementWindow::LoadWaiting() {
    SaveQueue::Loaded loaded = queue_.Load();
    std::string text = loaded.damaged ? "未保存の値の控え \"" + queue_.Path() + "\" が壊れていました。" : "";
    if (!loaded.problem) text += FailureText(loaded.problem);
    if (!loaded.keptAside.empty()) text += "\"" + loaded.keptAside + "\" として残しました。";
    if (loaded.damaged) text += "読み取れた " + DecimalText(static_cast<long long>(loaded.salvaged)) + " 件は書き込まれます。";
    if (!text.empty()) Warn(text);
    WriteWaiting();
    if (queue_.Empty()) return;
    toldWaiting_ = true;
    Warn("前回書き込めなかった値・登録・指定 " + DecimalText(static_cast<long long>(queue_.Count())) +
         " 件があります。書き込めるようになると自動で書き込まれます。");
}

}  // namespace ziv
