#include "util/folder_lock.h"

#include "util/data_dir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <sys/types.h>
#include <unistd.h>
#include <cerrno>
#include <csignal>
#endif

namespace {

// Whether the process named in the lock may still run. Only a process of this machine that is
// known to be gone counts as dead; an unreadable lock may be one being written right now.
bool OwnerMayRun(const QLockFile& lock) {
    qint64 pid = 0;
    QString host;
    QString app;
    if (!lock.getLockInfo(&pid, &host, &app)) {
        return true;
    }
    if (!host.isEmpty() && host.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) != 0) {
        return true;
    }
#ifdef Q_OS_WIN
    // Windows lets the stale lock be removed, so QLockFile has taken it over already.
    return true;
#else
    // Another user's live process answers EPERM: it runs.
    return pid <= 0 || ::kill(pid_t(pid), 0) == 0 || errno != ESRCH;
#endif
}

QString UserName() {
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    return QString::number(::getuid());
#endif
}

QString LocksFolder() {
    const QString locks = QDir(UserDataDir()).filePath(QStringLiteral("locks"));
    if (QDir().mkpath(locks) && QFileInfo(locks).isWritable()) {
        return locks;
    }
    const QString temp =
        QDir(QDir::tempPath()).filePath(QStringLiteral("m4500-config-") + UserName());
    QDir().mkpath(temp);
    return temp;
}

}  // namespace

QString FolderLockPath(const QString& dir) {
    return QDir(dir).filePath(QStringLiteral(".m4500-config.lock"));
}

QString OwnFolderLockPath(const QString& dir) {
    const QFileInfo info(dir);
    const QString path =
        info.canonicalFilePath().isEmpty() ? info.absoluteFilePath() : info.canonicalFilePath();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1);
    return QDir(LocksFolder())
        .filePath(QString::fromLatin1(hash.toHex().left(16)) + QStringLiteral(".lock"));
}

FolderLock::FolderLock(const QString& dir) {
    switch (TryTake(FolderLockPath(dir))) {
        case Take::Taken:
            return;
        case Take::HeldByAnother:
            another_ = true;
            return;
        case Take::Impossible:
            break;
    }
    // Another user's copy holding the shared lock would have refused us above; this one keeps
    // two copies of this user from working on one folder.
    another_ = TryTake(OwnFolderLockPath(dir)) == Take::HeldByAnother;
}

FolderLock::~FolderLock() = default;

FolderLock::Take FolderLock::TryTake(const QString& path) {
    auto lock = std::make_unique<QLockFile>(path);
    // Only a live owner counts: a copy that runs for hours keeps its lock however old the file.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        held_ = std::move(lock);
        return Take::Taken;
    }
    if (lock->error() == QLockFile::LockFailedError && OwnerMayRun(*lock)) {
        qint64 pid = 0;
        QString host;
        QString app;
        if (lock->getLockInfo(&pid, &host, &app)) {
            holder_ = QStringLiteral("%1 %2").arg(app).arg(pid).trimmed();
        }
        return Take::HeldByAnother;
    }
    return Take::Impossible;
}

void FolderLock::release() {
    if (held_) {
        held_->unlock();
    }
}
