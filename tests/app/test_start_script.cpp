// scripts/start leaves the settings file as it found it: the demonstration's line for port 1 is
// gone when the script ends (by itself, by SIGTERM, by Ctrl-C), and an earlier line for port 1 is
// back. The script runs with the build tree's emulator and a stub in place of the window.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include "support/bytes.h"

namespace {

QByteArray Read(const QString& path) {
    return ReadFileBytes(path, "<missing>");
}

TEST(StartScript, PortOneIsGivenBackWhenTheDemonstrationEnds) {
    const QByteArray mine = "串口=3\r\nCOM1=/dev/ttyUSB5\r\nCOM2=/dev/ttyS9\r\n";
    const QByteArray given = "串口=3\r\nCOM2=/dev/ttyS9\r\nCOM1=/dev/ttyUSB5\r\n";
    const struct {
        const char* how;  // the stub window's last act
        QByteArray before;
        QByteArray after;
    } rows[] = {
        {"exit 0", "", "串口=1\r\n"},
        {"exit 0", mine, given},
        {"kill -TERM $PPID; exec sleep 30", mine, given},
        {"kill -INT 0; exec sleep 30", mine, given},  // Ctrl-C: the whole process group
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        QTemporaryDir bin;
        ASSERT_TRUE(
            QFile::link(QStringLiteral(M45_BIN_DIR "/m4500-emu"), bin.filePath("m4500-emu")));
        const QString ini = bin.filePath("system.ini");
        if (!row.before.isEmpty()) {
            QFile f(ini);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(row.before) == row.before.size());
        }
        QProcess start;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("M45_START_BIN", bin.path());
        env.insert("M45_START_COMMAND",
                   QStringLiteral("cd \"$M45_START_BIN\"; cp system.ini during; echo $$ >stub; ") +
                       QString::fromLatin1(row.how));
        start.setProcessEnvironment(env);
        // A session of its own, so that "kill 0" reaches the script and not the test.
        start.start(QStringLiteral("setsid"),
                    {QStringLiteral("-w"), QStringLiteral(M45_SOURCE_DIR "/scripts/start")});
        ASSERT_TRUE(start.waitForFinished(20000)) << "the script did not end";
        const QByteArray during = "\n" + Read(bin.filePath("during"));
        EXPECT_TRUE(during.contains("\nCOM1=/dev/pts/"))
            << during.toStdString() << start.readAll().toStdString();
        EXPECT_EQ(Read(ini), row.after);
        EXPECT_FALSE(QFile::exists(bin.filePath("m4500-demo-port"))) << "the emulator still runs";
        const pid_t stub = pid_t(Read(bin.filePath("stub")).trimmed().toLongLong());
        ASSERT_GT(stub, 0);
        EXPECT_NE(::kill(stub, 0), 0) << "the window outlived the script";
        EXPECT_EQ(QDir(bin.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 4);
    }
}

}  // namespace
