#include "station/registrations.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/shared_file.h"
#include "station_log/station_log.h"

namespace ziv {

struct Registrations::Read {
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    DirectoryRead result;
};

Registrations::Registrations(StationLog& log, Files files, std::string directoryFile)
    : log_(log), files_(files), file_(std::move(directoryFile)) {}

Registrations::~Registrations() = default;

Registrations::Started Registrations::ReadAtStart(int boundMs) {
    auto read = std::make_shared<Read>();
    // The thread holds what it uses: a share that never answers keeps it, not the station.
    std::thread([read, file = file_, files = files_] {
        DirectoryRead result = ReadDirectoryFile(file, files.disk);
        if (result.status == ReadStatus::Missing) {
            std::map<int, TimedRegistration> none;
            static_cast<void>(WriteRegistrations(files, file, none));
        }
        std::lock_guard lock(read->mutex);
        read->result = std::move(result);
        read->ended = true;
        read->done.notify_all();
    }).detach();
    paths_ = {};
    started_ = true;
    for (const auto& [machine, folder] : log_.ValuesFor<QueuedRegistration>(file_)) paths_[static_cast<size_t>(machine)] = folder;
    Started started;
    std::unique_lock lock(read->mutex);
    if (!read->done.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return read->ended; })) {
        late_ = read;
        started.timedOut = true;
        return started;
    }
    started.status = read->result.status;
    started.problem = read->result.problem;
    unreadable_ = started.status == ReadStatus::Unreadable;
    if (started.status == ReadStatus::Read) TakeOver(read->result.paths);
    return started;
}

std::optional<std::vector<int>> Registrations::TakeLateRead() {
    if (!late_) return std::nullopt;
    std::shared_ptr<Read> read = late_;  // outlives the lock below
    std::lock_guard lock(read->mutex);
    if (!read->ended) return std::nullopt;
    DirectoryRead result = std::move(read->result);
    late_.reset();
    unreadable_ = result.status == ReadStatus::Unreadable;
    if (result.status != ReadStatus::Read) return std::nullopt;
    return TakeOver(result.paths);
}

FileResult Registrations::Register(int machine, const std::string& folder, const MeasuredAt& at) {
    if (machine < 0 || machine > kLastMachine) return {};
    paths_[static_cast<size_t>(machine)] = folder;
    if (!FitsOneLine(folder)) return Refused(Failure::ProductFolderLineBreak, file_, folder);
    // A path the file's encoding cannot hold would never go in: told now, not kept.
    if (!ToCp932(folder)) return Failed(Failure::NotShiftJis, file_);
    return log_.Put(QueuedRegistration{file_, machine, folder, at});
}

std::vector<int> Registrations::TakeOver(const ProductPathList& lines) {
    // Before the start-up read nothing is shown that could be taken over.
    if (!started_) return {};
    // Lines as a delivery wrote them are newer than a start-up read still on its way.
    late_.reset();
    std::map<int, std::string> waiting = log_.ValuesFor<QueuedRegistration>(file_);
    std::vector<int> changed;
    for (int k = 0; k <= kLastMachine; ++k) {
        auto& mine = paths_[static_cast<size_t>(k)];
        if (waiting.count(k) || mine == lines[static_cast<size_t>(k)]) continue;
        mine = lines[static_cast<size_t>(k)];
        changed.push_back(k);
    }
    return changed;
}

}  // namespace ziv
