// Saving as an operator who may write the files but not create new ones in their folder (a
// shared install folder, a site folder on a server). Run as the unprivileged user: root would
// pass every check and hide the fault.
#include "support/bytes.h"
#include "support/unprivileged.h"
#include "util/keyvalue.h"
#include "util/savefile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

constexpr auto kReadable = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                           QFile::ReadOther | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;

TEST(SaveInPlace, FolderThatRefusesNewFilesStillTakesItsFiles) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "POSIX permissions: a folder's write bit, the sticky bit, another user";
#endif
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), kReadable));  // others may pass through
    const QString site = tmp.filePath(QStringLiteral("site"));
    ASSERT_TRUE(QDir().mkdir(site));
    const QString task = site + QStringLiteral("/TASK.M45");
    const QString ini = site + QStringLiteral("/system.ini");
    const QString locked = site + QStringLiteral("/locked.M45");
    ASSERT_TRUE(WriteFileBytes(task, "old"));
    ASSERT_TRUE(WriteFileBytes(ini, "串口=1\r\n"));
    ASSERT_TRUE(WriteFileBytes(locked, "keep"));
    ASSERT_TRUE(GiveToUnprivileged(task) && GiveToUnprivileged(ini));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadOther));
    // Root's folder refuses "nobody" new files; for anyone else it is made read-only.
    ASSERT_TRUE(QFile::setPermissions(site, kReadable & ~QFile::WriteOwner));

    const int rc = RunUnprivileged([&] {
        if (!WriteFileAtomically(task, "new bytes").ok) {
            return 1;
        }
        if (!WriteKeyValue(ini, QStringLiteral("串口"), QStringLiteral("3")).ok) {
            return 2;
        }
        // Neither folder nor file may be written: a failure with its reason.
        const FileResult refused = WriteFileAtomically(locked, "lost");
        if (refused.ok || refused.error.isEmpty()) {
            return 3;
        }
        return 0;
    });
    QFile::setPermissions(site, kReadable);

    EXPECT_EQ(rc, 0);
    EXPECT_EQ(ReadFileBytes(task), QByteArray("new bytes"));
    EXPECT_EQ(ReadFileBytes(ini), QByteArray("串口=3\r\n"));
    EXPECT_EQ(ReadFileBytes(locked), QByteArray("keep"));
    QStringList left = QDir(site).entryList(QDir::Files | QDir::Hidden);  // no temporary file
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("TASK.M45"), QStringLiteral("locked.M45"),
                                 QStringLiteral("system.ini")}));
}

// A shared folder with the sticky bit: the temporary file may be made but not put in place of a
// file another user owns, which may still be written.
TEST(SaveInPlace, StickyFolderFileOfAnotherOwner) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "POSIX permissions: a folder's write bit, the sticky bit, another user";
#endif
    QTemporaryDir tmp;
    ASSERT_TRUE(QFile::setPermissions(tmp.path(), kReadable));
    const QString shared = tmp.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir().mkdir(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString task = shared + QStringLiteral("/TASK.M45");
    const QString link = shared + QStringLiteral("/linked.M45");
    ASSERT_TRUE(WriteFileBytes(task, "root's bytes"));
    ASSERT_EQ(::chmod(QFile::encodeName(task).constData(), 0666), 0);
    ASSERT_TRUE(QFile::link(task, link));

    EXPECT_EQ(RunUnprivileged([&] { return WriteFileAtomically(task, "nobody's").ok ? 0 : 1; }), 0);
    EXPECT_EQ(ReadFileBytes(task), QByteArray("nobody's"));
    // Through a link the file it names is saved; the link stays a link.
    ASSERT_TRUE(WriteFileAtomically(link, "linked").ok);
    EXPECT_EQ(ReadFileBytes(task), QByteArray("linked"));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QDir(shared).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

}  // namespace
