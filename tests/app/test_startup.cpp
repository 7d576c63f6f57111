// Start-up in its fixed order, in this process: the serial form's load brings the main
// window up through the port list, so the task-file message comes before any window is visible
// and before the ports are listed.

#include "app/application.h"
#include "app/single_instance.h"
#include "support/ui_rig.h"

#include "support/not_on_windows.h"
#include "support/unprivileged.h"

#include "util/savefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QComboBox>
#include <QLockFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <optional>

TEST(StartUp, NoTaskFileMessageComesBeforeTheWindowAndThePorts) {
    QTemporaryDir dir;
    RecordingMessages messages;
    Application app(dir.path(), messages,
                    OnLine(std::make_unique<ListedPortsBackend>(QSet<int32_t>{3, 7})));
    EXPECT_EQ(app.process.SystemIniPath, QDir(dir.path()).filePath("system.ini"));
    struct Seen {
        int visibleWindows = -1;
        int listedPorts = -1;
    } seen;
    messages.onShow = [&](const QString&) {
        seen.visibleWindows = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            seen.visibleWindows += w->isVisible() ? 1 : 0;
        }
        seen.listedPorts = app.window ? app.window->Combo串口->count() : -1;
    };
    app.BringUp();
    ASSERT_EQ(messages.shown, QStringList{QStringLiteral("文件错误！")});
    EXPECT_EQ(seen.visibleWindows, 0);
    EXPECT_EQ(seen.listedPorts, 0);

    Form主窗体& w = app.mainWindow();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.Combo串口->count(), 2);
    EXPECT_EQ(w.Combo串口->currentText(), "0");
    EXPECT_EQ(app.serial.session.PortNumber, 0);
    EXPECT_EQ(w.CurZone, 1);
    EXPECT_EQ(app.config, ConfigTables{});
    // The reader created the missing file empty; nothing else was written.
    EXPECT_EQ(QFileInfo(TaskFilePath(dir.path())).size(), 0);
    EXPECT_FALSE(QFile::exists(app.process.SystemIniPath));
    app.SaveOnExit();
    EXPECT_EQ(ReadFileBytes(TaskFilePath(dir.path())), BuildTaskImage(ConfigTables{}));
}

TEST(StartUp, RememberedPortAndTaskFileAreShown) {
    QTemporaryDir dir;
    RecordingMessages messages;
    ConfigTables c;
    c.ZoneRemark[1] = QStringLiteral("大厅");
    ASSERT_TRUE(WriteFileBytes(TaskFilePath(dir.path()), BuildTaskImage(c)));
    ASSERT_TRUE(WriteFileBytes(QDir(dir.path()).filePath("system.ini"),
                               QStringLiteral("串口=3\r\n").toLocal8Bit()));
    Application app(dir.path(), messages, OnLine(std::make_unique<ListedPortsBackend>()));
    app.BringUp();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_EQ(app.mainWindow().Combo串口->currentText(), "3");
    EXPECT_EQ(app.serial.session.PortNumber, 3);
    EXPECT_EQ(app.mainWindow().Command区域(1)->text(), QStringLiteral("大厅"));
}

// A file last written `secondsAgo` before now.
void WriteAged(const QString& path, const QByteArray& bytes, int secondsAgo) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo),
                              QFileDevice::FileModificationTime));
}

// A kill between writing a save and replacing the task file leaves that whole save beside it:
// the next start keeps it under a name of its own and says which, loads the task file as it is,
// and removes what other cut-short saves left.
TEST(StartUp, WholeSaveLeftByAKillIsKeptAndNamed) {
    QTemporaryDir dir;
    RecordingMessages messages;
    const QString task = TaskFilePath(dir.path());
    ConfigTables older, newer;
    older.MachineIp[1] = 1;
    newer.MachineIp[1] = 2;
    WriteAged(task, BuildTaskImage(older), 60);
    WriteAged(QDir(dir.path()).filePath(SaveTemporaryName(QStringLiteral("TASK.M45"), 7)),
              BuildTaskImage(newer), 30);
    WriteAged(QDir(dir.path()).filePath(SaveTemporaryName(QStringLiteral("system.ini"), 8)),
              "COM1=", 30);
    WriteAged(task + QStringLiteral(".before"), BuildTaskImage(newer), 20);  // the operator's
    Application app(dir.path(), messages, OnLine(std::make_unique<ListedPortsBackend>()));
    app.BringUp();
    const QString kept = task + QStringLiteral(".recovered");
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.shown[0].endsWith(QDir::toNativeSeparators(kept)))
        << messages.shown[0].toStdString();
    EXPECT_EQ(ReadFileBytes(kept), BuildTaskImage(newer));
    EXPECT_EQ(app.config.MachineIp[1], 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"TASK.M45", "TASK.M45.before", "TASK.M45.recovered"}));
}

// The saves outside the window's own save button: the session manager's request saves what is
// there now; the last resort (the display gone) saves only if the exit sequence has not, so the
// file is never written twice on the way out.
TEST(ExitSaves, SessionRequestSavesTheLastResortOnlyWithoutTheExitSequence) {
    QTemporaryDir dir;
    RecordingMessages messages;
    Application app(dir.path(), messages, OnLine(std::make_unique<ListedPortsBackend>()));
    const QString task = TaskFilePath(dir.path());
    app.config.ZoneRemark[1] = QStringLiteral("前");
    app.SaveForSession(true);
    EXPECT_EQ(ReadFileBytes(task), BuildTaskImage(app.config));

    app.config.ZoneRemark[1] = QStringLiteral("后");
    app.SaveAtLastResort();
    EXPECT_EQ(ReadFileBytes(task), BuildTaskImage(app.config));

    const QByteArray exitImage = BuildTaskImage(app.config);
    app.SaveOnExit();
    app.config.ZoneRemark[1] = QStringLiteral("晚");
    app.SaveAtLastResort();
    app.SaveForSession(true);
    EXPECT_EQ(ReadFileBytes(task), exitImage) << "saved again after the exit sequence";
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(SingleInstance, OneHolderPerApplicationDirectory) {
    QTemporaryDir a, b;
    SingleInstance first(a.path());
    EXPECT_FALSE(first.anotherRuns());
    SingleInstance second(a.path());
    EXPECT_TRUE(second.anotherRuns());
    SingleInstance elsewhere(b.path());
    EXPECT_FALSE(elsewhere.anotherRuns());
    EXPECT_NE(InstanceLockPath(a.path()), InstanceLockPath(b.path()));
    first.release();
    SingleInstance after(a.path());
    EXPECT_FALSE(after.anotherRuns());
}

// This machine's name as a lock file carries it: QLockFile's own name for it, which on Windows is
// the computer name (upper case), not QSysInfo::machineHostName().
QByteArray LockHostName() {
    QTemporaryDir dir;
    QLockFile lock(dir.filePath(QStringLiteral("probe.lock")));
    qint64 pid = 0;
    QString host, app;
    if (!lock.tryLock(0) || !lock.getLockInfo(&pid, &host, &app)) {
        return QSysInfo::machineHostName().toUtf8();
    }
    return host.toUtf8();
}

TEST(SingleInstance, LockLeftByACrashedCopyDoesNotBlock) {
    QTemporaryDir dir;
    // A lock file as QLockFile writes it, naming a process that no longer exists.
    const QString path = InstanceLockPath(dir.path());
    ASSERT_TRUE(WriteFileBytes(path, "999999999\nm4500-config\n" + LockHostName() + "\n"));
    SingleInstance next(dir.path());
    EXPECT_FALSE(next.anotherRuns());
    next.release();
    EXPECT_FALSE(QFile::exists(path));
}

// A shared site folder (world-writable with the sticky bit, like /tmp): a copy of another user
// cannot remove a lock left there. One left by a crashed copy (its process is gone) must not block
// the start all the same; one held by a live copy does, silently. The start runs as the
// unprivileged user against a lock of root's (this process).
TEST(SingleInstance, LockOfAnotherUserBlocksOnlyWhileItsOwnerRuns) {
#ifdef Q_OS_WIN
    M45_NOT_ON_WINDOWS("no sticky-bit folder and no other user to run as");
#endif
    for (const bool ownerRuns : {false, true}) {
        SCOPED_TRACE(ownerRuns ? "live owner" : "crashed owner");
        QTemporaryDir dir;
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 01777), 0);
        std::optional<SingleInstance> holder;
        if (ownerRuns) {
            holder.emplace(dir.path());
            ASSERT_FALSE(holder->anotherRuns());
        } else {
            ASSERT_TRUE(WriteFileBytes(InstanceLockPath(dir.path()),
                                       "999999999\nm4500-config\n" + LockHostName() + "\n"));
        }
        const QString ownData = dir.filePath(QStringLiteral("nobody-data"));
        const int started = RunUnprivileged([&] {
            qputenv("XDG_DATA_HOME", ownData.toUtf8());
            SingleInstance next(dir.path());
            if (next.anotherRuns()) {
                return 1;
            }
            // The lock nobody can remove must not let a second copy of this user in beside it.
            SingleInstance again(dir.path());
            return again.anotherRuns() ? 0 : 2;
        });
        EXPECT_EQ(started, ownerRuns ? 1 : 0);
        EXPECT_TRUE(QFile::exists(InstanceLockPath(dir.path())));  // root's, in any case
    }
}
