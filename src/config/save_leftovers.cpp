#include "config/save_leftovers.h"

#include "config/taskfile.h"
#include "util/savefile.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr int kMaxRecoveredCopies = 1000;

// Bounded: a temporary longer than an image is not one.
QByteArray ReadHead(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(kTaskFileSize + 1) : QByteArray();
}

// The task file's time, or the earliest time there is when it holds nothing worth keeping.
QDateTime TaskFileTime(const QString& taskPath) {
    const QFileInfo info(taskPath);
    return info.size() > 0 ? info.lastModified() : QDateTime::fromMSecsSinceEpoch(0);
}

// The newest whole image among the leftovers that is newer than the task file; "" if none.
QString NewestWholeSave(const QStringList& leftovers, const QString& taskPath) {
    QString newest;
    QDateTime newestTime = TaskFileTime(taskPath);
    for (const QString& path : leftovers) {
        const QDateTime time = QFileInfo(path).lastModified();
        if (time > newestTime && IsWholeTaskImage(ReadHead(path))) {
            newest = path;
            newestTime = time;
        }
    }
    return newest;
}

// Renamed to the first free "TASK.M45.recovered", ".recovered1", ...; left where it is if none.
QString KeepRecovered(const QString& temporary, const QString& taskPath) {
    for (int i = 0; i < kMaxRecoveredCopies; ++i) {
        QString name =
            taskPath + QStringLiteral(".recovered") + (i == 0 ? QString() : QString::number(i));
        if (!QFileInfo::exists(name) && QFile::rename(temporary, name)) {
            return name;
        }
    }
    return temporary;
}

}  // namespace

LeftoverCleanup CleanSaveLeftovers(const QString& taskPath, const QString& iniPath,
                                   const QDateTime& started) {
    LeftoverCleanup result;
    const QStringList taskLeftovers = SaveLeftovers(taskPath, started);
    const QString newest = NewestWholeSave(taskLeftovers, taskPath);
    if (!newest.isEmpty()) {
        result.recovered = KeepRecovered(newest, taskPath);
    }
    for (const QString& path : taskLeftovers + SaveLeftovers(iniPath, started)) {
        if (path != newest && QFile::remove(path)) {
            result.removed << path;
        }
    }
    return result;
}
