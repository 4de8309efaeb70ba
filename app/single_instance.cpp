#include "app/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace vellumar {

QString SingleInstance::lockPath(const QString& name) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) folder = QDir::tempPath();
    return folder + QLatin1Char('/') + name + QStringLiteral(".lock");
}

SingleInstance::SingleInstance(const QString& name) : lock_(lockPath(name)) {
    // Age alone never makes a lock stale: only a dead owner does.
    lock_.setStaleLockTime(0);
    acquired_ = lock_.tryLock(0);
    // A lock that cannot even be written (no runtime folder) must not keep
    // the program from starting; only a live owner refuses it.
    if (!acquired_ && lock_.error() != QLockFile::LockFailedError) acquired_ = true;
}

}  // namespace vellumar
