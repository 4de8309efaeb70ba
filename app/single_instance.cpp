#include "app/single_instance.h"

#include <QFile>

#include "app/instance_folder.h"

namespace vellumar {

QString SingleInstance::lockPath(const QString& name) {
    const std::string folder = instanceFolder();
    if (folder.empty()) return {};
    const QString path = QFile::decodeName(folder.c_str());
    // A folder Qt cannot name as it is on disk holds no lock of ours.
    if (QFile::encodeName(path).toStdString() != folder) return {};
    return path + QLatin1Char('/') + name + QStringLiteral(".lock");
}

SingleInstance::SingleInstance(const QString& name) : lock_(lockPath(name)) {
    // A lock that cannot even be written (no private folder) must not keep
    // the program from starting; only a live owner refuses it.
    if (lock_.fileName().isEmpty()) {
        acquired_ = true;
        return;
    }
    // Age alone never makes a lock stale: only a dead owner does.
    lock_.setStaleLockTime(0);
    acquired_ = lock_.tryLock(0);
    if (!acquired_ && lock_.error() != QLockFile::LockFailedError) acquired_ = true;
}

}  // namespace vellumar
