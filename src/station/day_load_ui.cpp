// Loading the day workbooks at start-up, at a date change and at a product
// change without the window waiting on the file server: the files are read
// on a thread of their own, the window waits for them a bounded time, and a
// share that does not answer by then leaves the window answering the
// operator, who may go on measuring: his values go into the station's log as
// always, and the files are shown when the share answers.
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/station_identity.h"
#include "station/measurement_window_ui.h"
#include "station/self_heal.h"

namespace ziv {

// What the reading thread hands back. The window looks at it only under the
// guard; the thread holds it too, so that one stuck in a hung share outlives
// the window safely.
struct MeasurementWindow::DayLoad {
    std::mutex Guard;
    std::condition_variable Read;
    std::vector<EntryFlow::LoadedFiles> Done;  // read, not yet shown
    size_t Left = 0;                           // still to read
};

namespace {
const char* const kShareSilent = "サーバー応答なし\n読み込み待ち";
const char* const kShareSilentWhy =
    "ファイルサーバーが応答しないため、ブックと製品マスタを読み込めません。入力した値はこのステーションに控えてあり、"
    "書き込めるようになると自動で書き込まれます。";
}  // namespace

std::vector<int> MeasurementWindow::EveryMachine() {
    std::vector<int> machines;
    for (int m = 0; m <= kLastMachine; ++m) machines.push_back(m);
    return machines;
}

void MeasurementWindow::LoadMachines(const std::vector<int>& machines, bool fromTheTop) {
    auto load = std::make_shared<DayLoad>();
    std::vector<EntryFlow::LoadRequest> requests;
    for (int m : machines) requests.push_back(flow_.BeginLoad(m, fromTheTop));
    load->Left = requests.size();
    std::thread([load, requests = std::move(requests), &disk = files_.disk] {
        for (const EntryFlow::LoadRequest& request : requests) {
            EntryFlow::LoadedFiles files = EntryFlow::ReadLoad(request, disk);
            std::lock_guard<std::mutex> guard(load->Guard);
            load->Done.push_back(std::move(files));
            --load->Left;
            load->Read.notify_all();
        }
    }).detach();
    dayLoads_.push_back(load);
    WatchForHealing();
    {
        // A share that answers is read well within the bound: the window then
        // shows the day as it always did.
        std::unique_lock<std::mutex> lock(load->Guard);
        load->Read.wait_for(lock, std::chrono::milliseconds(kLoadWaitMs), [&] { return load->Left == 0; });
    }
    if (!loadTimer_) {
        loadTimer_ = new QTimer(this);
        loadTimer_->setInterval(300);
        connect(loadTimer_, &QTimer::timeout, this, &MeasurementWindow::TakeLoaded);
    }
    TakeLoaded();
}

// What this station delivers is checked at start and after every outage, by the writer.
void MeasurementWindow::WatchForHealing() {
    const WorkDate& date = flow_.WorkingDate();
    auto day = ParseDay(date.Year + "/" + date.Month + "/" + date.Day);
    if (!day) return;
    bool first = !heal_;
    if (first) heal_ = std::make_shared<SelfHeal>(StationIdentity(op_.SavePath), files_);
    heal_->Watch(flow_.ProductPaths(), *day);
    if (first) writer_.HealAfterOutage([heal = heal_] { heal->Heal(TimestampNow().LocalDay()); });
}

void MeasurementWindow::TakeLoaded() {
    EntryFlow::Unreadables problems;
    bool finished = false;
    for (const std::shared_ptr<DayLoad>& load : dayLoads_) {
        std::vector<EntryFlow::LoadedFiles> done;
        {
            std::lock_guard<std::mutex> guard(load->Guard);
            done.swap(load->Done);
        }
        finished = finished || !done.empty();
        for (EntryFlow::LoadedFiles& files : done) {
            EntryFlow::Unreadables more = flow_.FinishLoad(std::move(files));
            problems.insert(problems.end(), more.begin(), more.end());
        }
    }
    bool waiting = false;
    for (int m = 0; m <= kLastMachine; ++m) waiting = waiting || flow_.Loading(m);
    // A load whose machines were all loaded again since reads for nothing.
    std::erase_if(dayLoads_, [&](const std::shared_ptr<DayLoad>& load) {
        std::lock_guard<std::mutex> guard(load->Guard);
        return !waiting || (load->Left == 0 && load->Done.empty());
    });
    if (finished) inputPositionBox->setText(QString::number(flow_.Point(flow_.ShownMachine())));
    ShowLoadWaiting(waiting);
    TellUnreadable(problems);
}

// Said in the state label, never in a box: the operator goes on measuring.
void MeasurementWindow::ShowLoadWaiting(bool waiting) {
    const QString silent = QString::fromUtf8(kShareSilent);
    const QString shown = stateLabel->text();
    if (waiting) {
        loadTimer_->start();
        // A control signal or an overdue gauge keeps the label.
        if (shown.isEmpty() || shown == QString::fromUtf8("測定可能") || shown == QString::fromUtf8("製品未登録") ||
            shown == QString::fromUtf8("全点測定済み")) {
            ShowState(silent);
            stateLabel->setToolTip(QString::fromUtf8(kShareSilentWhy));
        }
        return;
    }
    loadTimer_->stop();
    if (shown != silent) return;
    stateLabel->setToolTip(QString());
    ShowRestingState();
}

}  // namespace ziv
