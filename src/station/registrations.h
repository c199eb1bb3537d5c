#pragma once
// The operator's product for each machine as this station shows it, and
// every change of it. A registration goes into the station's log at once, as
// the one machine's line with when it was made; the writer puts the waiting
// lines into Directory.dat as the file is then. So this station's copy of the lines is never written over a
// line another station registered, and where the file holds a line
// registered later than the waiting one, the file's stays.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_lock.h"
#include "records/product_registry.h"

namespace ziv {

class StationLog;

class Registrations {
public:
    // The start-up read of Directory.dat waits at most this long for the share.
    static constexpr int kStartReadMs = 3000;

    Registrations(StationLog& log, Files files, std::string directoryFile);
    ~Registrations();
    Registrations(const Registrations&) = delete;
    Registrations& operator=(const Registrations&) = delete;

    struct Started {
        ReadStatus status = ReadStatus::Missing;
        FileResult problem;  // Unreadable
        bool timedOut = false;
    };
    // Reads Directory.dat on a thread of its own (a missing file is made with
    // empty lines there), waiting at most boundMs: past it the station goes
    // on with the registrations its log holds, and TakeLateRead brings the
    // file's lines once the read ends. Registrations still waiting in the log
    // stand over the file's lines: they are this station's latest choice.
    Started ReadAtStart(int boundMs = kStartReadMs);

    const std::string& File() const { return file_; }
    const ProductPathList& Paths() const { return paths_; }
    // The file exists but could not be read: its lines are unknown, so this
    // run changes none of them.
    bool Unreadable() const { return unreadable_; }

    // Machine's product (empty: none) from now on, kept in the log before it
    // returns; refused (memory changed all the same, the log not) for a path
    // Directory.dat cannot hold.
    FileResult Register(int machine, const std::string& folder, const MeasuredAt& at);
    // The file's lines as a delivery wrote them: the machines whose product
    // another station registered meanwhile take it over (not those whose
    // registration here still waits). The machines changed; none before
    // ReadAtStart. A start-up read still on its way is older: it is dropped.
    std::vector<int> TakeOver(const ProductPathList& lines);
    // After a start-up read that outlasted its bound: the machines taken over
    // once it has ended; nothing while it still runs or when none did.
    std::optional<std::vector<int>> TakeLateRead();
    bool LateReadPending() const { return late_ != nullptr; }

    struct Read;  // shared with the reading thread

private:
    StationLog& log_;
    Files files_;
    std::string file_;
    ProductPathList paths_{};
    bool unreadable_ = false;
    bool started_ = false;  // ReadAtStart was called
    std::shared_ptr<Read> late_;
};

}  // namespace ziv
