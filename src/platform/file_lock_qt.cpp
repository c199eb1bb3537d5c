#include "platform/file_lock_qt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLockFile>
#include <QThread>
#include <random>
#include <QString>

#include "platform/file_lock.h"

namespace ziv {
namespace {

class QtHold : public FileLockHold {
public:
    explicit QtHold(const std::string& path) : lock_(QString::fromStdString(path)) {
        // A holder on this computer that is gone is seen at once; one on
        // another computer only by the lock's age, so the age must be well
        // beyond the longest read-merge-write on a slow share.
        lock_.setStaleLockTime(kStaleLockMs);
    }
    // Tried again at short, uneven intervals: QLockFile's own wait doubles
    // its pauses, and a station waiting that way loses the lock over and
    // over to stations that save often.
    bool Take() {
        QDeadlineTimer deadline(kLockWaitMs);
        std::minstd_rand pauses(static_cast<unsigned>(QCoreApplication::applicationPid()));
        for (;;) {
            if (lock_.tryLock(0)) return true;
            if (lock_.error() != QLockFile::LockFailedError || deadline.hasExpired()) return false;
            QThread::msleep(2 + pauses() % 15);
        }
    }
    // Held by another station, as opposed to a lock file that cannot be made.
    bool Busy() const { return lock_.error() == QLockFile::LockFailedError; }

private:
    QLockFile lock_;
};

}  // namespace

void UseStationFileLocks() {
    static const bool installed = [] {
        SetFileLocker([](const std::string& lockPath) -> std::unique_ptr<FileLockHold> {
            auto hold = std::make_unique<QtHold>(lockPath);
            if (hold->Take()) return hold;
            if (hold->Busy()) return nullptr;
            // The lock file cannot be made (no room, no right to create): the
            // write that follows fails for the same reason and says so.
            return std::make_unique<FileLockHold>();
        });
        return true;
    }();
    (void)installed;
}

}  // namespace ziv
