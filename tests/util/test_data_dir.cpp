// The folder that holds TASK.M45 and system.ini: beside the executable where that folder is a
// plain writable one, the user's data folder for an installed copy or a folder that takes no
// new file.
#include "support/bytes.h"
#include "support/unprivileged.h"
#include "util/data_dir.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

TEST(DataDir, BesideTheExecutableOnlyInAPlainWritableFolder) {
    QTemporaryDir root;
#ifdef Q_OS_WIN
    // %APPDATA%\m4500-config, as the operator is told to look for it.
    const QString user =
        QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA")) + QStringLiteral("/m4500-config");
    QDir(user).removeRecursively();
#else
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("data")).toUtf8());
    const QString user = root.filePath(QStringLiteral("data/m4500-config"));
#endif
    const QString portable = root.filePath(QStringLiteral("portable"));
    ASSERT_TRUE(QDir().mkpath(portable));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("usr/bin"))));
    ASSERT_TRUE(QDir().mkpath(root.filePath(QStringLiteral("usr/share/m4500-config"))));

    EXPECT_EQ(DataDir(portable), portable);
    EXPECT_EQ(QDir(portable).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{})
        << "the write probe was left behind";
    EXPECT_FALSE(QFileInfo::exists(user)) << "a portable copy made a user folder";

    const struct {
        QString exeDir;
        const char* why;
    } rows[] = {
        {root.filePath(QStringLiteral("usr/bin")), "installed, though writable (as for root)"},
        {QStringLiteral("/proc"), "takes no new file, not even from root"},
        {root.filePath(QStringLiteral("missing")), "does not exist"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(DataDir(row.exeDir), user) << row.why;
        EXPECT_TRUE(QFileInfo(user).isDir()) << row.why;
    }

    // A site's folder that refuses new files but holds its configuration: that folder, so the
    // configuration is not hidden behind an empty one (as the unprivileged user who meets it).
    const QString site = root.filePath(QStringLiteral("site"));
    ASSERT_TRUE(QDir().mkpath(site));
    ASSERT_TRUE(WriteFileBytes(site + QStringLiteral("/system.ini"), "串口=2\r\n"));
    ASSERT_TRUE(WriteFileBytes(root.filePath(QStringLiteral("usr/bin/TASK.M45")), "x"));
    ASSERT_TRUE(QFile::setPermissions(
        root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ExeOther));
    EXPECT_EQ(RunUnprivileged([&] { return DataDir(site) == site ? 0 : 1; }), 0);
    EXPECT_EQ(DataDir(root.filePath(QStringLiteral("usr/bin"))), user)
        << "an installed copy keeps the user's folder whatever lies beside it";
    qunsetenv("XDG_DATA_HOME");
}
