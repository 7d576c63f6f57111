// What saves cut short by a kill leave beside the task file and the settings file: removed at
// the next start when they are the save's own temporaries of those two files and older than the
// process, except the newest whole task image newer than the task file, which is kept. Files the
// operator named (copies such as TASK.M45.backup) are never touched, however old.
#include "config/save_leftovers.h"
#include "config/taskfile.h"
#include "support/bytes.h"
#include "util/savefile.h"

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
    static QByteArray Read(const QString& path) { return ReadFileBytes(path, "<missing>"); }
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
        {"TASK.M45.~m45-save-0000abcd", Image(2).left(4000), 120, true},  // cut short
        {"TASK.M45.~m45-save-0000abce", Image(3), 90, true},        // whole, older than TASK.M45
        {"TASK.M45.~m45-save-0000abcf", Image(4), 45, true},        // whole, newer, not the newest
        {"TASK.M45.~m45-save-0000abd0", Image(5), 30, false},       // the newest whole save: kept
        {"TASK.M45.~m45-save-0000abd1", Image(6) + "x", 20, true},  // newest, not an image
        {"system.ini.~m45-save-00001234", "串口=", 120, true},
        {"TASK.M45.~m45-save-00000001", Image(7), -5, false},  // after the start: another's
        {"system.ini.~m45-save-00000002", "串口=2", -5, false},
        // The operator's own files, named as people name copies: never the tool's.
        {"TASK.M45.backup", Image(8), 120, false},
        {"TASK.M45.before", Image(8), 20, false},
        {"TASK.M45.readme", "", 120, false},
        {"TASK.M45.AbcDef", Image(8), 30, false},
        {"system.ini.backup", "串口=3", 120, false},
        {"TASK.M45.~m45-save-0000abc", "", 120, false},  // not of the pattern
#ifndef Q_OS_WIN  // names that differ only in case are one name there
        {"TASK.M45.~m45-save-0000ABCD", "", 120, false},
        {"TASK.M45.~m45-save-0000abcd1", "", 120, false},
        {"task.m45.~m45-save-0000abcd", "", 120, false},
#endif
        {"TASK.M45X.~m45-save-0000abcd", "", 120, false},
        {"TASK.M45.bad", "", 120, false},
        {"site.ini.~m45-save-0000abcd", "", 120, false},
    };
    QStringList expected = entries();
    for (const auto& row : rows) {
        put(row.name, row.bytes, row.age);
        if (!row.removed) {
            expected << row.name;
        }
    }
    ASSERT_TRUE(QDir().mkdir(at("TASK.M45.~m45-save-000f0000")));
    ASSERT_TRUE(QFile::link(at("TASK.M45.~m45-save-0000abce"), at("TASK.M45.~m45-save-000f0001")));
    expected << "TASK.M45.~m45-save-000f0000"
             << "TASK.M45.~m45-save-000f0001";

    const LeftoverCleanup cleaned = clean();
    EXPECT_EQ(cleaned.recovered, at("TASK.M45.recovered1"));
    EXPECT_EQ(Read(cleaned.recovered), Image(5));
    EXPECT_EQ(cleaned.removed.size(), 5);
    expected.removeOne("TASK.M45.~m45-save-0000abd0");
    expected << "TASK.M45.recovered1";
    expected.sort();
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(Read(at("TASK.M45")), Image(1));
    EXPECT_EQ(Read(at("TASK.M45.recovered")), "an earlier recovery");
}

// Without a task file (a kill in the very first save) a whole save is newer than anything.
TEST_F(SaveLeftoversBeside, WholeSaveWithoutATaskFileIsKept) {
    put(SaveTemporaryName("TASK.M45", 0x1234abcd), Image(9), 30);
    const LeftoverCleanup cleaned = clean();
    EXPECT_EQ(cleaned.recovered, at("TASK.M45.recovered"));
    EXPECT_EQ(entries(), QStringList{"TASK.M45.recovered"});
}

}  // namespace
