// M_00_main: the instance lock that keeps a second copy from starting.

#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

QString InstanceLockPath(const QString& appDir) {
    const QString key = QFileInfo(appDir).canonicalFilePath().isEmpty()
                            ? QDir::cleanPath(appDir)
                            : QFileInfo(appDir).canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1);
    return QDir::temp().filePath(
        QStringLiteral("m4500-config-%1.lock").arg(QString::fromLatin1(hash.toHex().left(16))));
}

SingleInstance::SingleInstance(const QString& appDir) : lock_(InstanceLockPath(appDir)) {
    // Only a live owner counts: a copy that runs for hours keeps its lock however old the file.
    lock_.setStaleLockTime(0);
    if (!lock_.tryLock(0)) {
        // A lock that cannot be created at all (no writable temporary directory) must not keep
        // the operator from working: only a lock held by another copy refuses the start.
        another_ = lock_.error() == QLockFile::LockFailedError;
    }
}
