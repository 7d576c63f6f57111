// m4500ctl's site work as the operator runs it: export, import back into another site, compare,
// and the exit codes that scripts rely on.
#include "config/taskfile.h"
#include "support/bytes.h"
#include "support/ctl_run.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void WriteAll(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, bytes));
}

// A task file as another tool may have written it: values outside the window's lists, a remark
// with text after U+0000, one of exactly 20 units.
QByteArray WildTaskFile() {
    ConfigTables c;
    c.MachineIp[1] = 255;
    c.MachineIp[12] = 42;
    c.TaskHour[3][5] = 8, c.TaskMinute[3][5] = 31, c.TaskScene[3][5] = 2;
    c.TaskHour[7][3] = 30, c.TaskMinute[7][3] = 61, c.TaskScene[7][3] = 31;
    c.ZoneUsesMachine[4][9] = 5;
    c.ZoneRemark[2] = QStringLiteral("大厅") + QChar(0) + QStringLiteral("old");
    c.TaskRemark[18] = QStringLiteral("twenty code units ok");
    return BuildTaskImage(c);
}

TEST(CtlSite, ExportImportGivesTheSameBytesAndDiffTellsByItsExitCode) {
    QTemporaryDir site, other;
    const QString task = TaskFilePath(site.path());
    const QString json = site.filePath(QStringLiteral("site.json"));
    WriteAll(task, WildTaskFile());

    CtlRun r = Ctl({QStringLiteral("export"), QStringLiteral("--dir"), site.path(),
                    QStringLiteral("-o"), json});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(Ctl({QStringLiteral("export"), task}).bytes, ReadFileBytes(json));
    r = Ctl({QStringLiteral("import"), json, QStringLiteral("--dir"), other.path()});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(TaskFilePath(other.path())), WildTaskFile());

    r = Ctl({QStringLiteral("diff"), task, json});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.bytes.isEmpty());
    QByteArray edited = ReadFileBytes(json);
    edited.replace("\"07:30\"", "\"08:00\"");
    WriteAll(json, edited);
    r = Ctl({QStringLiteral("diff"), task, json});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.bytes, "zone 3 task 5: 07:30 scene 2 -> 08:00 scene 2\n");
    EXPECT_EQ(Ctl({QStringLiteral("diff"), task, site.filePath(QStringLiteral("absent"))}).code, 2);
    EXPECT_EQ(Ctl({QStringLiteral("diff"), task}).code, 2);
}

TEST(CtlSite, RefusedImportExits7AndLeavesTheTaskFile) {
    QTemporaryDir site;
    const QString task = TaskFilePath(site.path());
    const QString json = site.filePath(QStringLiteral("site.json"));
    WriteAll(task, WildTaskFile());
    ASSERT_EQ(Ctl({QStringLiteral("export"), task, QStringLiteral("-o"), json}).code, 0);
    QByteArray doc = ReadFileBytes(json);
    doc.replace("\"07:30\"", "\"24:00\"");
    WriteAll(json, doc);
    const CtlRun r = Ctl({QStringLiteral("import"), json, QStringLiteral("--dir"), site.path()});
    EXPECT_EQ(r.code, 8);
    EXPECT_TRUE(r.err.contains(QStringLiteral("zone 3, task 5: hour 24:00 is not a time")))
        << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(task), WildTaskFile());
}

TEST(CtlSite, ReportIsOneHtmlFileAndHelpListsTheCommands) {
    QTemporaryDir site;
    WriteAll(TaskFilePath(site.path()), WildTaskFile());
    const QString html = site.filePath(QStringLiteral("site.html"));
    const CtlRun r = Ctl({QStringLiteral("report"), QStringLiteral("--dir"), site.path(),
                          QStringLiteral("-o"), html});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(ReadFileBytes(html).startsWith("<!DOCTYPE html>"));
    EXPECT_EQ(Ctl({QStringLiteral("report"), site.filePath(QStringLiteral("absent"))}).code, 2);
    const QByteArray help = Ctl({QStringLiteral("--help")}).bytes;
    for (const char* word : {"export [--dir DIR | FILE]", "import IN.json", "diff A B",
                             "report [--dir DIR | FILE]", "Exit codes of diff"}) {
        EXPECT_TRUE(help.contains(word)) << word;
    }
}

}  // namespace
