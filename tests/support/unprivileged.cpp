#include "support/unprivileged.h"

#include <QFile>

#ifndef Q_OS_WIN
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
bool Nobody(uid_t& uid, gid_t& gid) {
    const passwd* user = getpwnam("nobody");
    if (user == nullptr) {
        return false;
    }
    uid = user->pw_uid;
    const group* nogroup = getgrnam("nogroup");
    gid = nogroup != nullptr ? nogroup->gr_gid : user->pw_gid;
    return true;
}
#endif

}  // namespace

int RunUnprivileged(const std::function<int()>& body) {
#ifndef Q_OS_WIN
    if (geteuid() != 0) {
        return body();
    }
    uid_t uid = 0;
    gid_t gid = 0;
    if (!Nobody(uid, gid)) {
        return -1;
    }
    const pid_t child = fork();
    if (child < 0) {
        return -1;
    }
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) {
            _exit(255);
        }
        _exit(body() & 0xFF);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) {
        return -1;
    }
    return WEXITSTATUS(status);
#else
    return body();
#endif
}

bool GiveToUnprivileged(const QString& path) {
#ifndef Q_OS_WIN
    if (geteuid() != 0) {
        return true;
    }
    uid_t uid = 0;
    gid_t gid = 0;
    return Nobody(uid, gid) && chown(QFile::encodeName(path).constData(), uid, gid) == 0;
#else
    Q_UNUSED(path);
    return true;
#endif
}
