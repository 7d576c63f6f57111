// The task file on disk: atomic save, failures reported with their reason, a damaged file kept
// aside before anything can overwrite it.
#include "config/taskfile.h"
#include "support/bytes.h"

#include <gtest/gtest.h>
#include <optional>
#include <random>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/not_on_windows.h"
#ifndef Q_OS_WIN
#include "support/file_size_limit.h"

#include <cerrno>
#include <cstring>
#endif

namespace {

class TaskFileOnDisk : public testing::Test {
  protected:
    QString dir() const { return dir_.path(); }
    QString path() const { return TaskFilePath(dir_.path()); }
    static QByteArray Read(const QString& p) { return ReadFileBytes(p, "<missing>"); }
    static void Write(const QString& p, const QByteArray& bytes) {
        ASSERT_TRUE(WriteFileBytes(p, bytes));
    }
    QStringList Entries() const {
        return QDir(dir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    static ConfigTables Sample(uint8_t seed) {
        ConfigTables c;
        c.MachineIp[1] = seed;
        c.TaskHour[3][4] = uint8_t(seed + 1);
        c.ZoneRemark[2] = QStringLiteral("zone %1").arg(seed);
        return c;
    }

  private:
    QTemporaryDir dir_;
};

TEST_F(TaskFileOnDisk, PathIsTheApplicationDirectoryAndTaskM45) {
    EXPECT_EQ(TaskFilePath(QStringLiteral("/opt/m4500")), QStringLiteral("/opt/m4500/TASK.M45"));
}

TEST_F(TaskFileOnDisk, SaveWritesTheImageAndReplacesALongerFile) {
    Write(path(), QByteArray(20000, 'x'));
    const FileResult saved = SaveTaskFile(Sample(7), path());
    ASSERT_TRUE(saved.ok) << saved.error.toStdString();
    const QByteArray bytes = Read(path());
    EXPECT_EQ(bytes.size(), 15742);
    EXPECT_EQ(bytes, BuildTaskImage(Sample(7)));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});  // no temporary left over
}

TEST_F(TaskFileOnDisk, SaveLoadSaveGivesTheSameFile) {
    ASSERT_TRUE(SaveTaskFile(Sample(3), path()).ok);
    const QByteArray first = Read(path());
    ConfigTables loaded;
    const LoadResult result = LoadTaskFile(loaded, path());
    EXPECT_EQ(result.status, LoadStatus::Loaded);
    EXPECT_TRUE(result.keptCopy.isEmpty());
    EXPECT_EQ(loaded.MachineIp[1], 3);
    ASSERT_TRUE(SaveTaskFile(loaded, path()).ok);
    EXPECT_EQ(Read(path()), first);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}

TEST_F(TaskFileOnDisk, MissingFileIsCreatedEmptyAndReportedAsMismatch) {
    ConfigTables c = Sample(9);
    const LoadResult result = LoadTaskFile(c, path());
    EXPECT_EQ(result.status, LoadStatus::HeaderMismatch);
    EXPECT_TRUE(result.keptCopy.isEmpty());
    EXPECT_TRUE(c == Sample(9));
    EXPECT_EQ(Read(path()), QByteArray());
    // An empty file is nothing worth keeping either.
    EXPECT_EQ(LoadTaskFile(c, path()).status, LoadStatus::HeaderMismatch);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}

TEST_F(TaskFileOnDisk, DamagedFileIsKeptBeforeTheNextSave) {
    QByteArray damaged = BuildTaskImage(Sample(5));
    damaged[0] = 0x18;
    Write(path(), damaged);
    ConfigTables c;
    LoadResult result = LoadTaskFile(c, path());
    EXPECT_EQ(result.status, LoadStatus::HeaderMismatch);
    EXPECT_TRUE(c == ConfigTables{});
    ASSERT_EQ(result.keptCopy, path() + QStringLiteral(".bad"));
    ASSERT_TRUE(SaveTaskFile(c, path()).ok);
    EXPECT_EQ(Read(result.keptCopy), damaged);
    EXPECT_EQ(Read(path()), BuildTaskImage(ConfigTables{}));

    // A second damaged file does not replace the first kept copy.
    Write(path(), QByteArray("garbage"));
    result = LoadTaskFile(c, path());
    ASSERT_EQ(result.keptCopy, path() + QStringLiteral(".bad1"));
    EXPECT_EQ(Read(result.keptCopy), QByteArray("garbage"));
    EXPECT_EQ(Read(path() + QStringLiteral(".bad")), damaged);
}

// Files that pass the header check but are not what a save writes: loaded exactly as before (as
// far as their counts, markers and length go), and kept aside before the next save replaces them.
// What a save wrote, wild stored values included, is never copied.
TEST_F(TaskFileOnDisk, FileUnlikeASaveIsKeptBeforeTheNextSave) {
    const QByteArray image = BuildTaskImage(Sample(6));
    QByteArray random = image.left(4);
    std::mt19937 gen(4500);
    while (random.size() < kTaskFileSize) {
        random += char(gen());
    }
    const auto changed = [&image](int at, char value) {
        QByteArray bytes = image;
        bytes[at] = value;
        return bytes;
    };
    ConfigTables wild = Sample(6);
    wild.TaskScene[1][1] = 255;
    wild.ZoneRemark[1] = QStringLiteral("A") + QChar(0) + QChar(0xD800) + QStringLiteral("B");
    const struct {
        const char* what;
        QByteArray bytes;
        bool irregular;
        bool allRead;  // everything the image holds comes back
    } rows[] = {
        {"cut to 100 bytes", image.left(100), true, false},
        {"cut before its end byte", image.left(kTaskFileSize - 1), true, true},
        {"random bytes behind the header", random, true, false},
        {"bytes after the end", image + "\x5A", true, true},
        {"a reserved byte of the header set", changed(20, 1), true, true},
        {"a reserved byte of a task record set", changed(169 + 3, 1), true, true},
        {"zone count 2", changed(167, 2), true, false},
        {"remark width 20", changed(13738, 20), true, true},
        {"end byte set", changed(15741, 1), true, true},
        {"section 1 marker 0x00", changed(100, 0), true, false},
        {"as a save wrote it", image, false, true},
        {"wild stored values as a save wrote them", BuildTaskImage(wild), false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Write(path(), row.bytes);
        ConfigTables c;
        const LoadResult result = LoadTaskFile(c, path());
        EXPECT_EQ(result.status, LoadStatus::Loaded);
        EXPECT_EQ(result.irregular, row.irregular);
        EXPECT_EQ(BuildTaskImage(c) == image, row.allRead);
        EXPECT_EQ(result.keptCopy, row.irregular ? path() + QStringLiteral(".bad") : QString());
        ASSERT_TRUE(SaveTaskFile(c, path()).ok);
        EXPECT_EQ(Read(path()), BuildTaskImage(c));
        EXPECT_EQ(Read(path() + QStringLiteral(".bad")),
                  row.irregular ? row.bytes : QByteArray("<missing>"));
        QFile::remove(path() + QStringLiteral(".bad"));
    }
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}

// A damaged file met again (each refused download loads it) is not copied again.
TEST_F(TaskFileOnDisk, TheSameDamagedFileIsCopiedOnce) {
    const QByteArray cut = BuildTaskImage(Sample(2)).left(500);
    Write(path(), cut);
    ConfigTables c;
    EXPECT_EQ(LoadTaskFile(c, path()).keptCopy, path() + QStringLiteral(".bad"));
    EXPECT_EQ(LoadTaskFile(c, path()).keptCopy, path() + QStringLiteral(".bad"));
    Write(path(), cut + "x");
    EXPECT_EQ(LoadTaskFile(c, path()).keptCopy, path() + QStringLiteral(".bad1"));
    EXPECT_EQ(Read(path() + QStringLiteral(".bad")), cut);
    EXPECT_EQ(Entries().size(), 3);
}

// Every name for the copy is taken (by files that must stay as they are): the load says why no
// copy was kept, so the operator can be warned before the next save overwrites the file.
TEST_F(TaskFileOnDisk, NoFreeNameForTheCopyIsReported) {
    Write(path(), QByteArray("damaged"));
    Write(path() + QStringLiteral(".bad"), QByteArray("old"));
    for (int i = 1; i < 1000; ++i) {
        Write(path() + QStringLiteral(".bad%1").arg(i), QByteArray("old"));
    }
    ConfigTables c;
    const LoadResult result = LoadTaskFile(c, path());
    EXPECT_EQ(result.status, LoadStatus::HeaderMismatch);
    EXPECT_TRUE(result.keptCopy.isEmpty());
    EXPECT_FALSE(result.keepError.isEmpty());
    EXPECT_EQ(Entries().size(), 1001);
    EXPECT_EQ(Read(path() + QStringLiteral(".bad")), QByteArray("old"));
    EXPECT_EQ(Read(path() + QStringLiteral(".bad999")), QByteArray("old"));
    EXPECT_EQ(Read(path()), QByteArray("damaged"));

    // One name freed: the copy is made there and nothing is reported.
    ASSERT_TRUE(QFile::remove(path() + QStringLiteral(".bad500")));
    const LoadResult again = LoadTaskFile(c, path());
    EXPECT_EQ(again.keptCopy, path() + QStringLiteral(".bad500"));
    EXPECT_TRUE(again.keepError.isEmpty());
    EXPECT_EQ(Read(again.keptCopy), QByteArray("damaged"));
}

TEST_F(TaskFileOnDisk, SaveIntoMissingDirectoryFailsWithReason) {
    const FileResult saved = SaveTaskFile(Sample(1), dir() + QStringLiteral("/no/such/TASK.M45"));
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.isEmpty());
}

// The final replace step fails (the target is a directory): failure is reported and the
// target is left as it was, with no temporary file behind.
TEST_F(TaskFileOnDisk, FailedReplaceIsReportedAndLeavesTheTarget) {
    ASSERT_TRUE(QDir().mkpath(path()));
    Write(path() + QStringLiteral("/inside"), QByteArray("keep"));
    const FileResult saved = SaveTaskFile(Sample(1), path());
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.isEmpty());
    EXPECT_EQ(Read(path() + QStringLiteral("/inside")), QByteArray("keep"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}

#ifndef Q_OS_WIN
// The disk fills up in the middle of writing (a file size limit stops the write after 4 KiB,
// which holds for root too): the previous file stays byte for byte, the failure carries the
// system's reason, and no partial file is left beside it.
TEST_F(TaskFileOnDisk, WriteFailingHalfwayKeepsThePreviousFile) {
    ASSERT_TRUE(SaveTaskFile(Sample(1), path()).ok);
    const QByteArray previous = Read(path());

    std::optional<FileSizeLimit> limit(std::in_place, 4096);
    ASSERT_TRUE(limit->ok());
    const FileResult saved = SaveTaskFile(Sample(2), path());
    limit.reset();

    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.error, QString::fromLocal8Bit(std::strerror(EFBIG)));  // "File too large"
    EXPECT_EQ(Read(path()), previous);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}

// The copy itself fails (a file size limit stops it, which holds for root too): no kept copy is
// claimed, the system's reason comes back, and no partial copy is left beside the file.
TEST_F(TaskFileOnDisk, FailedCopyOfADamagedFileIsReportedWithReason) {
    QByteArray damaged = BuildTaskImage(Sample(4));
    damaged[1] = 0x11;
    Write(path(), damaged);

    std::optional<FileSizeLimit> limit(std::in_place, 4096);
    ASSERT_TRUE(limit->ok());
    ConfigTables c;
    const LoadResult result = LoadTaskFile(c, path());
    limit.reset();

    EXPECT_EQ(result.status, LoadStatus::HeaderMismatch);
    EXPECT_TRUE(result.keptCopy.isEmpty());
    EXPECT_EQ(result.keepError, QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(Read(path()), damaged);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("TASK.M45")});
}
#else
M45_SKIPPED_ON_WINDOWS(TEST_F, TaskFileOnDisk, WriteFailingHalfwayKeepsThePreviousFile,
                       "a file size limit (setrlimit) makes the write fail halfway")
M45_SKIPPED_ON_WINDOWS(TEST_F, TaskFileOnDisk, FailedCopyOfADamagedFileIsReportedWithReason,
                       "a file size limit (setrlimit) makes the write fail halfway")
#endif

}  // namespace
