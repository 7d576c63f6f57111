// The download and the time synchronisation against a real controller, when one is attached:
// M45_TEST_DEVICE names its port (/dev/ttyUSB0, COM3). The task file sent is a sample one; the
// controller must answer as the emulator does.
#include "config/taskfile.h"
#include "support/bytes.h"
#include "support/ctl_run.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace {

TEST(RealController, DownloadAndTimeSyncThroughTheCompanion) {
    const QString device = qEnvironmentVariable("M45_TEST_DEVICE");
    if (device.isEmpty()) {
        GTEST_SKIP() << "M45_TEST_DEVICE is not set: no real controller to test against "
                        "(set it to the controller's port, /dev/ttyUSB0 or COM3)";
    }
    QTemporaryDir dir;
    ConfigTables config;
    config.MachineIp[1] = 17;
    config.ZoneRemark[1] = QStringLiteral("大厅");
    ASSERT_TRUE(SaveTaskFile(config, TaskFilePath(dir.path())).ok);
    const QStringList common{QStringLiteral("--dir"), dir.path(), QStringLiteral("--port"), device};

    const CtlRun download = Ctl(QStringList{QStringLiteral("download")} + common);
    EXPECT_EQ(download.code, 0) << download.err.toStdString();
    EXPECT_TRUE(download.out.endsWith(QStringLiteral("校验成功>>下载成功\n")))
        << download.out.toStdString();

    const CtlRun timesync = Ctl(QStringList{QStringLiteral("timesync")} + common);
    EXPECT_EQ(timesync.code, 0) << timesync.err.toStdString();
    EXPECT_EQ(timesync.out, QStringLiteral("时间同步成功！！！\n"));
}

}  // namespace
