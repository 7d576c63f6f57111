// End to end, in real time: the serial stack as the window builds it, the operating system's
// serial layer on a real pseudo-terminal, and the controller emulator m4500-emu on the other end.
#include "config/taskfile.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "support/bytes.h"
#include "support/emulator.h"
#include "support/random_config.h"
#include "support/recording_listener.h"
#include "util/keyvalue.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <random>

namespace {

// Port 7 (the remembered one) opens the emulator's pseudo-terminal.
struct LineRig {
    explicit LineRig(const QString& device) : serial(process, dir.path()) {
        WritePortSetting(process.SystemIniPath, 7, device);
        WriteKeyValue(process.SystemIniPath, QStringLiteral("串口"), QStringLiteral("7"));
        serial.session.Fun_初始化();
    }
    TransferContext context() { return serial.transferContext(config, log); }
    void expectPortClosed() const {
        EXPECT_EQ(serial.port.PortHandle, 0);
        EXPECT_EQ(serial.session.PortOpen, kFalse);
    }

    QTemporaryDir dir;
    ProcessState process;
    ConfigTables config;
    SerialStack serial;
    RecordingListener log;  // the log box, and the box of the time synchronisation
    RecordingListener& ui = log;
};

const QString kSuccessLog = QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                            QStringLiteral("\r\n校验中...\r\n校验成功>>下载成功\r\n");

// The received image is what the window shows: the stale file on disk is replaced by the save.
TEST(DownloadEndToEnd, ControllerReceivesTheSavedTaskFileByteForByte) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "configuration seed " << seed);
    QTemporaryDir out;
    const QString received = out.filePath(QStringLiteral("received.bin"));
    EmulatorProcess emu({QStringLiteral("--no-pacing"), QStringLiteral("--save"), received});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    LineRig rig(emu.devicePath());
    TransferContext ctx = rig.context();
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, ctx.taskFilePath).ok);  // stale
    rig.config = RandomConfig(seed);

    EXPECT_EQ(Fun_DownloadParams(ctx).outcome, DownloadOutcome::Success);
    EXPECT_EQ(rig.log.text, kSuccessLog);
    const QByteArray file = ReadFileBytes(ctx.taskFilePath);
    ASSERT_EQ(file.size(), kTaskFileSize);
    EXPECT_EQ(file, BuildTaskImage(rig.config));
    ASSERT_TRUE(emu.waitForOutput(QStringLiteral("verify: good"), 5000))
        << emu.output().toStdString();
    EXPECT_EQ(ReadFileBytes(received), file);
    EXPECT_TRUE(emu.output().contains(QStringLiteral("download request: length 15742")));
    rig.expectPortClosed();
}

// Noise before every reply on a paced line (AA 55 00 ...): each reply is still taken.
TEST(DownloadEndToEnd, GarbageBeforeEveryReplyStillDownloads) {
    EmulatorProcess emu({QStringLiteral("--garbage"), QStringLiteral("3")});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    LineRig rig(emu.devicePath());
    rig.config = RandomConfig(7);
    rig.serial.proto.FlagVerifyOk = kTrue;  // the verdict of an earlier download never counts
    TransferContext ctx = rig.context();
    EXPECT_EQ(Fun_DownloadParams(ctx).outcome, DownloadOutcome::Success);
    EXPECT_EQ(rig.log.text, kSuccessLog);
    rig.expectPortClosed();
}

TEST(TimeSyncEndToEnd, ControllerTakesTheClock) {
    EmulatorProcess emu({QStringLiteral("--no-pacing")});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    LineRig rig(emu.devicePath());
    TransferContext ctx = rig.context();
    const QDateTime before = QDateTime::currentDateTime();
    EXPECT_EQ(Fun_TimeSync(ctx), TimeSyncOutcome::Confirmed);
    EXPECT_EQ(rig.ui.shown, 1);
    // The emulator prints the time it was set to; it is this computer's, to the second.
    ASSERT_TRUE(emu.waitForOutput(QStringLiteral("set time: "), 5000))
        << emu.output().toStdString();
    const QString line = emu.output().section(QStringLiteral("set time: "), 1).left(19);
    const QDateTime set = QDateTime::fromString(line, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(set.isValid()) << line.toStdString();
    EXPECT_LE(std::abs(before.secsTo(set)), 2) << line.toStdString();
    rig.expectPortClosed();
}

}  // namespace
