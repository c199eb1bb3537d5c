#include "platform/file_lock_qt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>
#include <random>

#include "platform/file_lock.h"

namespace ziv {
namespace {

// A holder writes its process and computer into the lock file right after
// making it; a lock file still without them after this long belongs to a
// station killed in between, which QLockFile would only take over by age.
constexpr qint64 kUnwrittenLockMs = 1500;

class QtHold : public FileLockHold {
public:
    explicit QtHold(const std::string& path) : path_(QString::fromStdString(path)), lock_(path_) {
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
        QElapsedTimer unwrittenFor;
        QDateTime unwrittenStamp;
        for (;;) {
            if (lock_.tryLock(0)) return true;
            if (lock_.error() != QLockFile::LockFailedError || deadline.hasExpired()) return false;
            qint64 pid = 0;
            QString host, app;
            if (lock_.getLockInfo(&pid, &host, &app)) {
                unwrittenFor.invalidate();
            } else {
                QDateTime stamp = QFileInfo(path_).lastModified();
                if (!unwrittenFor.isValid() || stamp != unwrittenStamp) {
                    unwrittenFor.start();
                    unwrittenStamp = stamp;
                } else if (unwrittenFor.elapsed() >= kUnwrittenLockMs) {
                    lock_.removeStaleLockFile();
                    unwrittenFor.invalidate();
                    continue;
                }
            }
            QThread::msleep(2 + pauses() % 15);
        }
    }
    // Held by another station, as opposed to a lock file that cannot be made.
    bool Busy() const { return lock_.error() == QLockFile::LockFailedError; }

private:
    QString path_;
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
