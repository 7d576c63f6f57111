// What saves cut short by a kill leave beside the task file and the settings file: removed at
// the next start when they are QSaveFile's temporaries of those two files and older than the
// process, except the newest whole task image newer than the task file, which is kept.
#include "config/save_leftovers.h"
#include "config/taskfile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

void PrintTo(const QString& text, std::ostream* os) {
    *os << text.toStdString();
}

namespace {

class SaveLeftoversBeside : public testing::Test {
  protected:
    QString at(const QString& name) const { return dir_.filePath(name); }
    // A file with `bytes`, last written `age` seconds before the start (negative: after it).
    void put(const QString& name, const QByteArray& bytes, int age) {
        QFile f(at(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
        ASSERT_TRUE(f.flush());  // a later flush would set the time again
        ASSERT_TRUE(f.setFileTime(started.addSecs(-age), QFileDevice::FileModificationTime));
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const {
        QStringList names =
            QDir(dir_.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
        names.sort();
        return names;
    }
    LeftoverCleanup clean() const {
        return CleanSaveLeftovers(at("TASK.M45"), at("system.ini"), started);
    }
    static QByteArray Image(uint8_t address) {
        ConfigTables c;
        c.MachineIp[1] = address;
        return BuildTaskImage(c);
    }
    const QDateTime started = QDateTime::currentDateTimeUtc();

  private:
    QTemporaryDir dir_;
};

TEST_F(SaveLeftoversBeside, TemporariesGoTheNewestWholeSaveIsKept) {
    put("TASK.M45", Image(1), 60);
    put("system.ini", "串口=1\r\n", 60);
    put("TASK.M45.recovered", "an earlier recovery", 600);
    const struct {
        const char* name;
        QByteArray bytes;
        int age;
        bool removed;
    } rows[] = {
        // (names differ in more than case: Windows does not tell such names apart)
        {"TASK.M45.AbcDeg", Image(2).left(4000), 120, true},  // cut short while written
        {"TASK.M45.abcdef", Image(3), 90, true},              // whole, older than TASK.M45
        {"TASK.M45.MnoPqr", Image(4), 45, true},              // whole, newer, not the newest
        {"TASK.M45.ZyxWvu", Image(5), 30, false},             // the newest whole save: kept
        {"TASK.M45.QrsTuv", Image(6) + "x", 20, true},        // newest, but not an image
        {"system.ini.QwErTy", "串口=", 120, true},
        {"TASK.M45.NewOne", Image(7), -5, false},  // written after the start: another's save
        {"system.ini.YoungA", "串口=2", -5, false},
        {"TASK.M45.abc12f", "", 120, false},  // not of the pattern
        {"TASK.M45.abcde", "", 120, false},
        {"TASK.M45.abcdefg", "", 120, false},
#ifndef Q_OS_WIN  // the same name as TASK.M45.abcdef there
        {"task.m45.abcdef", "", 120, false},
#endif
        {"TASK.M45X.abcdef", "", 120, false},
        {".TASK.M45.abcdef", "", 120, false},
        {"TASK.M45.bad", "", 120, false},
        {"site.ini.abcdef", "", 120, false},
    };
    QStringList expected = entries();
    for (const auto& row : rows) {
        put(row.name, row.bytes, row.age);
        if (!row.removed) {
            expected << row.name;
        }
    }
    ASSERT_TRUE(QDir().mkdir(at("TASK.M45.Folder")));
    ASSERT_TRUE(QFile::link(at("TASK.M45.abcdef"), at("TASK.M45.Linked")));
    expected << "TASK.M45.Folder"
             << "TASK.M45.Linked";

    const LeftoverCleanup cleaned = clean();
    EXPECT_EQ(cleaned.recovered, at("TASK.M45.recovered1"));
    EXPECT_EQ(Read(cleaned.recovered), Image(5));
    EXPECT_EQ(cleaned.removed.size(), 5);
    expected.removeOne("TASK.M45.ZyxWvu");
    expected << "TASK.M45.recovered1";
    expected.sort();
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(Read(at("TASK.M45")), Image(1));
    EXPECT_EQ(Read(at("TASK.M45.recovered")), "an earlier recovery");
}

// Without a task file (a kill in the very first save) a whole save is newer than anything.
TEST_F(SaveLeftoversBeside, WholeSaveWithoutATaskFileIsKept) {
    put("TASK.M45.KeepMe", Image(9), 30);
    const LeftoverCleanup cleaned = clean();
    EXPECT_EQ(cleaned.recovered, at("TASK.M45.recovered"));
    EXPECT_EQ(entries(), QStringList{"TASK.M45.recovered"});
}

}  // namespace
