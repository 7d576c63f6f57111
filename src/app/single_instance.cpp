// M_00_main: the instance lock that keeps a second copy from starting.

#include "app/single_instance.h"

#include <QDir>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <sys/types.h>
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
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
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

}  // namespace

QString InstanceLockPath(const QString& appDir) {
    return QDir(appDir).filePath(QStringLiteral(".m4500-config.lock"));
}

SingleInstance::SingleInstance(const QString& appDir) : lock_(InstanceLockPath(appDir)) {
    // Only a live owner counts: a copy that runs for hours keeps its lock however old the file.
    lock_.setStaleLockTime(0);
    if (lock_.tryLock(0)) {
        return;
    }
    // A lock that cannot be created at all (a folder gone read-only) must not keep the operator
    // from working, nor one whose owner is gone but which cannot be removed (another user's, in a
    // folder with the sticky bit): only a lock held by another live copy refuses the start.
    another_ = lock_.error() == QLockFile::LockFailedError && OwnerMayRun(lock_);
}
