// The product drawings and the log folders, which lie on the file server,
// without the window waiting on it: the drawing is read on a thread of its
// own and waited for a bounded time, then shown when it comes; the log
// folders are made beside the window and a failure is told when it ends.
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "drawing/drawing_editor_ui.h"
#include "platform/paths.h"
#include "records/journal.h"
#include "station/measurement_window_ui.h"

namespace ziv {

// Held by the reading thread too, so that one stuck in a hung share
// outlives the window safely.
struct MeasurementWindow::DrawingLoad {
    std::string ProductPath;
    std::mutex Guard;
    std::condition_variable Read;
    std::optional<DrawingFiles> Done;
};

struct MeasurementWindow::FolderTask {
    std::mutex Guard;
    bool Ended = false;
    std::string Refused;  // the first folder that could not be made
};

void MeasurementWindow::LoadDrawingFor(int m) {
    const std::string& product = flow_.ProductPath(m);
    std::shared_ptr<DrawingLoad>& slot = drawingLoads_[m];
    if (!flow_.Registered(m)) {
        slot.reset();
        Editor()->forgetDrawing(m);
        return;
    }
    // The same product already on its way (a machine shown again meanwhile).
    if (slot && slot->ProductPath == product) return;
    // A newer request replaces the older one, whose result is then dropped.
    auto load = std::make_shared<DrawingLoad>();
    load->ProductPath = product;
    slot = load;
    std::thread([load, image = ProductDrawingPath(product, flow_.ProductName(m)), points = PointTablePath(product), m,
                 &disk = files_.disk] {
        DrawingFiles files = ReadDrawingFiles(m, image, points, disk);
        std::lock_guard<std::mutex> guard(load->Guard);
        load->Done = std::move(files);
        load->Read.notify_all();
    }).detach();
    // The day workbooks of this product not read yet: the share does not
    // answer, and the window does not wait for it a second time.
    if (!flow_.Loading(m)) {
        std::unique_lock<std::mutex> lock(load->Guard);
        load->Read.wait_for(lock, std::chrono::milliseconds(kLoadWaitMs), [&] { return load->Done.has_value(); });
    }
    TakeBesideWork();
}

void MeasurementWindow::CreateLogFolders() {
    auto task = std::make_shared<FolderTask>();
    logFolders_ = task;
    std::string logs = JournalFolder(flow_.ProductFolder());
    std::thread([task, logs] {
        std::string refused;
        for (const std::string& folder : {logs, JoinPath(logs, "不合格記録"), JoinPath(logs, "測定者記録")})
            if (!MakeFolder(folder)) {
                refused = folder;
                break;
            }
        std::lock_guard<std::mutex> guard(task->Guard);
        task->Refused = refused;
        task->Ended = true;
    }).detach();
    TakeBesideWork();
}

void MeasurementWindow::TakeBesideWork() {
    bool pending = false;
    for (int m = 0; m < kMachineCount; ++m) {
        std::shared_ptr<DrawingLoad> load = drawingLoads_[m];
        if (!load) continue;
        std::optional<DrawingFiles> files;
        {
            std::lock_guard<std::mutex> guard(load->Guard);
            files.swap(load->Done);
        }
        if (!files) {
            pending = true;
            continue;
        }
        drawingLoads_[m].reset();
        // Read for a product the machine no longer has.
        if (load->ProductPath != flow_.ProductPath(m)) continue;
        Editor()->TakeDrawing(m, std::move(*files));
        if (m == flow_.ShownMachine()) Editor()->currentPointChanged();
    }
    if (logFolders_) {
        std::lock_guard<std::mutex> guard(logFolders_->Guard);
        pending = pending || !logFolders_->Ended;
    }
    TellLogFolders();
    if (!besideTimer_) {
        besideTimer_ = new QTimer(this);
        besideTimer_->setInterval(300);
        connect(besideTimer_, &QTimer::timeout, this, &MeasurementWindow::TakeBesideWork);
    }
    if (pending) besideTimer_->start();
    else besideTimer_->stop();
}

// Told once, when the folders are made or refused.
void MeasurementWindow::TellLogFolders() {
    if (!logFolders_) return;
    std::string refused;
    {
        std::lock_guard<std::mutex> guard(logFolders_->Guard);
        if (!logFolders_->Ended) return;
        refused = logFolders_->Refused;
    }
    logFolders_.reset();
    if (!refused.empty()) Warn("ログフォルダ \"" + refused + "\" を作成できません。製品フォルダの設定を確認して下さい。");
}

}  // namespace ziv
