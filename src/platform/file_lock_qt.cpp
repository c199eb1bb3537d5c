#include "platform/file_lock_qt.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>
#include <random>
#include <utility>

#include "platform/file_lock.h"

namespace ziv {
namespace {

// A holder writes its process and computer into a lock file right after
// making it; a lock file still without them after this long belongs to a
// station killed in between, which QLockFile would only take over by age.
constexpr qint64 kUnwrittenLockMs = 1500;

// A lock file that may have been left without its holder's details: removed
// once it has stayed so, unchanged, for kUnwrittenLockMs.
class UnwrittenLock {
public:
    explicit UnwrittenLock(QString path) : path_(std::move(path)) {}

    // True when it removed the file.
    bool RemovedIfLeft() {
        qint64 pid = 0;
        QString host, app;
        QFileInfo file(path_);
        if (!file.exists() || QLockFile(path_).getLockInfo(&pid, &host, &app)) {
            since_.invalidate();
            return false;
        }
        QDateTime stamp = file.lastModified();
        if (!since_.isValid() || stamp != stamp_) {
            since_.start();
            stamp_ = stamp;
            return false;
        }
        if (since_.elapsed() < kUnwrittenLockMs) return false;
        since_.invalidate();
        return QFile::remove(path_);
    }

private:
    QString path_;
    QElapsedTimer since_;
    QDateTime stamp_;
};

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
        // QLockFile takes over a dead holder's lock under a second lock file,
        // "<lock>.rmlock"; a station killed right after making that one
        // leaves it empty, and then no one could take the lock for half a minute.
        UnwrittenLock unwritten(path_), removal(path_ + QStringLiteral(".rmlock"));
        for (;;) {
            if (lock_.tryLock(0)) return true;
            if (lock_.error() != QLockFile::LockFailedError || deadline.hasExpired()) return false;
            const bool lockRemoved = unwritten.RemovedIfLeft();
            const bool removalRemoved = removal.RemovedIfLeft();
            if (lockRemoved || removalRemoved) continue;
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
