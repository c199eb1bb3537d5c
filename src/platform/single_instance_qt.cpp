#include "platform/single_instance_qt.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace ziv {

bool SingleInstance::Acquire(const std::string& savePath) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
    // Separate roots (a demo, a test) are separate installations.
    QByteArray key = QCryptographicHash::hash(QByteArray::fromStdString(savePath), QCryptographicHash::Sha1).toHex();
    lock_ = std::make_unique<QLockFile>(folder + "/ziv-" + QString::fromLatin1(key.left(16)) + ".lock");
    lock_->setStaleLockTime(0);
    refusal_ = "既にプログラムは起動しています。";
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    if (auto user = root_.Take(savePath)) {
        if (!user->ThisComputer()) refusal_ = RootInUseText(savePath, *user);
        Release();
        return false;
    }
    refusal_.clear();
    return true;
}

void SingleInstance::Release() {
    root_.Release();
    if (lock_) lock_->unlock();
    lock_.reset();
}

}  // namespace ziv
