// m4500ctl as the operator runs it: a directory with TASK.M45 and system.ini, the emulator on
// a pseudo-terminal behind port 7, and the exit code that tells how the run ended.
#include "config/taskfile.h"
#include "ctl.h"
#include "device/serial_stack.h"
#include "support/bytes.h"
#include "support/ctl_run.h"
#include "support/emulator.h"
#include "support/virtual_line.h"
#include "util/folder_lock.h"
#include "util/keyvalue.h"
#include "util/language.h"
#include "util/savefile.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// A working directory whose port 7 (the remembered one) is `device`.
struct Workspace {
    explicit Workspace(const QString& device) {
        ini = dir.filePath(QStringLiteral("system.ini"));
        WritePortSetting(ini, 7, device);
        WriteKeyValue(ini, QStringLiteral("串口"), QStringLiteral("7"));
        task = TaskFilePath(dir.path());
    }
    void saveTask() {
        ConfigTables config;
        config.MachineIp[1] = 17;
        config.ZoneRemark[3] = QStringLiteral("大厅");
        ASSERT_TRUE(SaveTaskFile(config, task).ok);
    }
    QStringList args(const QString& command) const {
        return {command, QStringLiteral("--dir"), dir.path()};
    }
    QTemporaryDir dir;
    QString ini;
    QString task;
};

const QString kSuccessLines = QStringLiteral(">>读取文件\n>>握手成功\n") + QString(31, u'-') +
                              QStringLiteral("\n校验中...\n校验成功>>下载成功\n");

TEST(Ctl, DownloadSucceedsWithTheWindowsLinesAndTracesBothDirections) {
    QTemporaryDir out;
    const QString received = out.filePath(QStringLiteral("received.bin"));
    EmulatorProcess emu({QStringLiteral("--no-pacing"), QStringLiteral("--save"), received});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Workspace ws(emu.devicePath());
    ws.saveTask();
    const QByteArray before = ReadFileBytes(ws.task);

    const CtlRun r = Ctl(ws.args(QStringLiteral("download")) << QStringLiteral("--trace"));
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, kSuccessLines);
    EXPECT_TRUE(r.err.contains(QStringLiteral(" TX AA 55 78 7A 00 0C 50 3D 7E ")))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(" RX AA 55 78 7A 00 08 50 AC")));
    EXPECT_TRUE(r.err.contains(QStringLiteral(" RX AA 55 78 7A 00 09 52 66 15")));
    ASSERT_TRUE(emu.waitForOutput(QStringLiteral("verify: good"), 5000));
    EXPECT_EQ(ReadFileBytes(received), before);
    EXPECT_EQ(ReadFileBytes(ws.task), before);
}

// On the port remembered in system.ini, or on a device named by --port without any settings.
TEST(Ctl, TimeSyncConfirmedOnTheRememberedPortOrANamedDevice) {
    EmulatorProcess emu({QStringLiteral("--no-pacing")});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "--port DEVICE" : "remembered port");
        Workspace ws(emu.devicePath());
        QStringList args = ws.args(QStringLiteral("timesync"));
        if (named) {
            ASSERT_TRUE(QFile::remove(ws.ini));
            args << QStringLiteral("--port") << emu.devicePath();
        }
        const CtlRun r = Ctl(args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(
            QStringLiteral("时间同步成功！！！\nthe controller's clock was set to ")))
            << r.out.toStdString();
        EXPECT_FALSE(QFileInfo::exists(ws.task)) << "a time synchronisation wrote the task file";
    }
    EXPECT_TRUE(emu.waitForOutput(QStringLiteral("set time: "), 5000));
}

// A file that is not a task file is neither overwritten nor sent; a missing one is not created.
TEST(Ctl, BadOrMissingTaskFileExits2AndStaysAsItWas) {
    EmulatorProcess emu({QStringLiteral("--no-pacing")});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Workspace ws(emu.devicePath());

    CtlRun r = Ctl(ws.args(QStringLiteral("download")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("not found"))) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(ws.task));

    const QByteArray bad = QByteArray::fromHex("1910120100000064") + QByteArray(15734, '\x5A');
    {
        QFile f(ws.task);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bad);
    }
    r = Ctl(ws.args(QStringLiteral("download")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("header"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(ReadFileBytes(ws.task), bad);
    EXPECT_FALSE(emu.output().contains(QStringLiteral("download request")));
}

// A task file cut short passes the header check: download neither replaces nor sends it, and
// names the copy kept of it; with --force it sends what could be read, and the copy stays.
TEST(Ctl, TaskFileNotWholeIsSentOnlyWhenForced) {
    QTemporaryDir out;
    const QString received = out.filePath(QStringLiteral("received.bin"));
    EmulatorProcess emu({QStringLiteral("--no-pacing"), QStringLiteral("--save"), received});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Workspace ws(emu.devicePath());
    ws.saveTask();
    const QByteArray cut = ReadFileBytes(ws.task).left(13737);  // the zone remarks are missing
    {
        QFile f(ws.task);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(cut);
    }
    const QString copy = ws.task + QStringLiteral(".bad");

    CtlRun r = Ctl(ws.args(QStringLiteral("download")));
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("a copy is kept as ") + copy)) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(ReadFileBytes(ws.task), cut);
    EXPECT_EQ(ReadFileBytes(copy), cut);
    EXPECT_FALSE(emu.output().contains(QStringLiteral("download request")));

    r = Ctl(ws.args(QStringLiteral("download")) << QStringLiteral("--force"));
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, kSuccessLines);
    EXPECT_TRUE(r.err.contains(copy)) << r.err.toStdString();
    ConfigTables readable;
    readable.MachineIp[1] = 17;
    ASSERT_TRUE(emu.waitForOutput(QStringLiteral("verify: good"), 5000));
    EXPECT_EQ(ReadFileBytes(received), BuildTaskImage(readable));
    EXPECT_EQ(ReadFileBytes(ws.task), BuildTaskImage(readable));
    EXPECT_EQ(ReadFileBytes(copy), cut);
    EXPECT_FALSE(QFileInfo::exists(copy + QStringLiteral("1"))) << "copied again";
}

// init writes the untouched configuration where the file is missing or empty, and nothing else.
TEST(Ctl, InitWritesAnEmptyConfigurationOnlyWhereThereIsNone) {
    QTemporaryDir dir;
    const QString task = TaskFilePath(dir.path());
    const QStringList args{QStringLiteral("init"), QStringLiteral("--dir"), dir.path()};
    CtlRun r = Ctl(args);
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_EQ(ReadFileBytes(task), BuildTaskImage(ConfigTables{}));

    { QFile(task).resize(0); }
    r = Ctl(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadFileBytes(task).size(), kTaskFileSize);

    ConfigTables edited;
    edited.MachineIp[5] = 99;
    ASSERT_TRUE(SaveTaskFile(edited, task).ok);
    r = Ctl(args);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadFileBytes(task), BuildTaskImage(edited));
}

// Commands that write first remove what saves cut short by a kill left, and keep a whole save that
// never replaced the task file; commands that only read leave the folder alone.
TEST(Ctl, CommandsThatWriteCleanUpAfterAKilledSave) {
    for (const char* command : {"init", "where"}) {
        SCOPED_TRACE(command);
        QTemporaryDir dir;
        const QString task = TaskFilePath(dir.path());
        ConfigTables newer;
        newer.MachineIp[2] = 2;
        const struct {
            QString path;
            QByteArray bytes;
        } leftovers[] = {
            {dir.filePath(SaveTemporaryName(QStringLiteral("TASK.M45"), 1)),
             BuildTaskImage(newer).left(9000)},
            {dir.filePath(SaveTemporaryName(QStringLiteral("TASK.M45"), 2)), BuildTaskImage(newer)},
            {task + QStringLiteral(".backup"), BuildTaskImage(newer)}};  // the operator's copy
        for (const auto& file : leftovers) {
            QFile f(file.path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(file.bytes);
        }
        const CtlRun r = Ctl({QString::fromLatin1(command), QStringLiteral("--dir"), dir.path()});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        const bool writes = QByteArray(command) == "init";
        const QString kept = task + QStringLiteral(".recovered");
        EXPECT_EQ(r.err.contains(kept), writes) << r.err.toStdString();
        EXPECT_EQ(ReadFileBytes(kept), writes ? BuildTaskImage(newer) : QByteArray());
        EXPECT_NE(QFileInfo::exists(leftovers[0].path), writes);
        EXPECT_NE(QFileInfo::exists(leftovers[1].path), writes);
        EXPECT_EQ(ReadFileBytes(leftovers[2].path), BuildTaskImage(newer));
    }
}

// Under a running window every command that writes the folder's files refuses, and changes
// nothing: the window's own save at its end would undo what it wrote.
TEST(Ctl, CommandsThatWriteRefuseAFolderAWindowHolds) {
    QTemporaryDir dir;
    const QString task = TaskFilePath(dir.path());
    const QString json = dir.filePath(QStringLiteral("site.json"));
    ConfigTables window;
    window.MachineIp[3] = 3;
    ASSERT_TRUE(SaveTaskFile(window, task).ok);
    ASSERT_EQ(Ctl({QStringLiteral("export"), task, QStringLiteral("-o"), json}).code, 0);
    QFile(task).resize(0);  // init would write here, import and download save
    const QByteArray before = ReadFileBytes(task);
    FolderLock held(dir.path());
    ASSERT_FALSE(held.heldByAnother());
    const QStringList commands[] = {
        {QStringLiteral("init")},
        {QStringLiteral("import"), json},
        {QStringLiteral("download"), QStringLiteral("--port"), QStringLiteral("1")}};
    for (const QStringList& command : commands) {
        const CtlRun r = Ctl(command + QStringList{QStringLiteral("--dir"), dir.path()});
        EXPECT_EQ(r.code, 9) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("nothing was changed"))) << r.err.toStdString();
        EXPECT_EQ(ReadFileBytes(task), before) << command.first().toStdString();
    }
    held.release();
    EXPECT_EQ(Ctl({QStringLiteral("init"), QStringLiteral("--dir"), dir.path()}).code, 0);
}

// What goes to standard output is checked to its end: a full disk is a failure with its reason.
TEST(Ctl, OutputThatDoesNotArriveWholeFails) {
    QTemporaryDir dir;
    const QString task = TaskFilePath(dir.path());
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, task).ok);
    const QString json = dir.filePath(QStringLiteral("edited.json"));
    ASSERT_EQ(Ctl({QStringLiteral("export"), task, QStringLiteral("-o"), json}).code, 0);
    QByteArray edited = ReadFileBytes(json);
    edited.replace("\"address\": null", "\"address\": 7");
    ASSERT_TRUE(WriteFileBytes(json, edited));
    const struct {
        QStringList args;
        int code;
    } rows[] = {
        {{QStringLiteral("export"), task}, 6},
        {{QStringLiteral("report"), task}, 6},
        {{QStringLiteral("where"), QStringLiteral("--dir"), dir.path()}, 6},
        {{QStringLiteral("--help")}, 6},
        {{QStringLiteral("diff"), task, json}, 2},
        {{QStringLiteral("export"), QStringLiteral("--dir"), dir.filePath("none")}, 2},
    };
    for (const auto& row : rows) {
        const CtlRun r = Ctl(row.args, QStringLiteral("/dev/full"));
        EXPECT_EQ(r.code, row.code) << row.args.join(u' ').toStdString();
        EXPECT_TRUE((row.code == 2 && row.args.first() != QStringLiteral("diff")) ||
                    r.err.contains(QStringLiteral("standard output: No space left on device")))
            << r.err.toStdString();
    }
}

// The ways a transfer ends badly, each with its exit code and its reason, in this process on the
// in-memory line and a virtual clock: the 500 silent cycles of a request take 11 s of virtual
// time and none of real time.
struct FaultRow {
    const char* name;
    VirtualLineOptions line;
    QStringList args;        // after the command's --dir
    const char* remembered;  // 串口= in the settings file
    int code;
    const char* err;  // in what it says on stderr
    const char* out;  // in what it prints on stdout
};

class CtlFault : public testing::TestWithParam<FaultRow> {};

TEST_P(CtlFault, ExitsWithItsCodeAndSaysWhy) {
    const FaultRow& row = GetParam();
    const auto english = InstallTranslation(Language::English);  // as m4500ctl's main does
    ASSERT_TRUE(english) << "the English translation is not in the executable";
    VirtualClock clock;
    CtlEnvironment env;
    env.serial = [&clock, &row](TraceSink) {
        return OnLine(std::make_unique<VirtualLine>(clock, row.line), &clock);
    };
    QTemporaryDir dir;
    WriteKeyValue(SettingsFilePath(dir.path()), QStringLiteral("串口"),
                  QString::fromLatin1(row.remembered));
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, TaskFilePath(dir.path())).ok);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int rc = RunCtl(
        QStringList{row.args.first(), QStringLiteral("--dir"), dir.path()} + row.args.mid(1), env);
    const QString out = QString::fromStdString(testing::internal::GetCapturedStdout());
    const QString err = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_EQ(rc, row.code) << err.toStdString();
    EXPECT_TRUE(err.contains(QString::fromUtf8(row.err))) << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromUtf8(row.out))) << out.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CtlFault,
    testing::Values(
        FaultRow{"PortAbsent",
                 {},
                 {"download", "--port", "8"},
                 "7",
                 3,
                 "port 8 did not open: absent",
                 ">>读取文件\n>>握手失败\n"},
        FaultRow{"PortBusy",
                 {.refusal = OpenFailure::Busy},
                 {"timesync"},
                 "7",
                 3,
                 "port 7 did not open: busy",
                 ""},
        FaultRow{"NotAPortNumber", {}, {"timesync"}, "70000", 3, "70000 is not a port number", ""},
        FaultRow{"SilentController",
                 {.faults = {.silentFrom = 1}},
                 {"download"},
                 "7",
                 4,
                 "no answer from the controller on port 7",
                 ">>读取文件\n>>握手失败\n"},
        FaultRow{"VerifyNotGood",
                 {.faults = {.failVerify = true}},
                 {"download"},
                 "7",
                 5,
                 "verify failed",
                 "\n校验中...\n>>校验失败\n"},
        FaultRow{"LineLost",
                 {.faults = {.hangUpAt = 1}},
                 {"timesync"},
                 "7",
                 7,
                 "port 7 (virtual:7): the line was lost",
                 ""},
        FaultRow{"PortsListed", {}, {"ports"}, "7", 0, "", "* 7  virtual:7"}),
    [](const testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

// The build tree takes files, so by default they are the ones beside m4500ctl.
TEST(Ctl, WherePrintsTheTaskFileAndTheSettingsFile) {
    QTemporaryDir dir;
    const QString bin = QFileInfo(QStringLiteral(M45_BIN_DIR)).absoluteFilePath();
    const struct {
        QStringList args;
        QString folder;
    } rows[] = {
        {{QStringLiteral("where"), QStringLiteral("--dir"), dir.path()}, dir.path()},
        {{QStringLiteral("where")}, bin},
    };
    for (const auto& row : rows) {
        const CtlRun r = Ctl(row.args);
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, row.folder + QStringLiteral("/TASK.M45\n") + row.folder +
                             QStringLiteral("/system.ini\n"));
    }
}

TEST(Ctl, UsageErrorsExit1) {
    for (const QStringList& args :
         {QStringList{}, QStringList{QStringLiteral("upload")},
          QStringList{QStringLiteral("download"), QStringLiteral("--port"), QStringLiteral("0")},
          QStringList{QStringLiteral("download"), QStringLiteral("--port"), QStringLiteral(" ")},
          QStringList{QStringLiteral("ports"), QStringLiteral("--bogus")}}) {
        EXPECT_EQ(Ctl(args).code, 1) << args.join(' ').toStdString();
    }
}

}  // namespace
