#include "util/data_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

const QString kAppName = QStringLiteral("m4500-config");

// The package's marker folder, found relative to the executable, so a copy unpacked into a
// private root counts as installed as much as one in /usr.
bool IsInstalledCopy(const QString& exeDir) {
    return QFileInfo(QDir(exeDir).filePath(QStringLiteral("../share/") + kAppName)).isDir();
}

// Root passes every access check, so only creating a file tells whether the folder takes one.
bool TakesNewFiles(const QString& dir) {
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".m4500-probe-XXXXXX")));
    return probe.open();  // the probe is removed again when it goes out of scope
}

bool HoldsConfiguration(const QString& dir) {
    const QDir d(dir);
    return QFileInfo(d.filePath(QString::fromUtf16(kTaskFileName))).isFile() ||
           QFileInfo(d.filePath(QString::fromUtf16(kSettingsFileName))).isFile();
}

}  // namespace

// The window and the companion share one folder whatever each executable is called.
QString UserDataDir() {
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(kAppName);
    QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setApplicationName(ownName);
    QDir().mkpath(dir);
    return dir;
}

QString DataDir(const QString& exeDir) {
    if (!IsInstalledCopy(exeDir) && (HoldsConfiguration(exeDir) || TakesNewFiles(exeDir))) {
        return QDir(exeDir).absolutePath();
    }
    return UserDataDir();
}
