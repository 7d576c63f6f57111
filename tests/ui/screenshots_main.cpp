// Builds the real main window with a filled-in configuration, downloads it to the controller
// emulator, and writes PNG screenshots of the editing view and of the log view.
//   ui_screenshots <output directory>

#include "support/emulator.h"
#include "ui/ui_rig.h"

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <cstdio>

namespace {

void FillDemo(ConfigTables& c) {
    const char* zones[] = {"大厅", "走廊", "会议室", "办公区", "仓库", "停车场", "前台", "餐厅"};
    for (int z = 1; z <= 8; ++z) {
        c.ZoneRemark[z] = QString::fromUtf8(zones[z - 1]);
    }
    c.ZoneRemark[9] = QStringLiteral("[9]\r\n二楼东");
    for (int m = 1; m <= 40; ++m) {
        c.MachineIp[m] = uint8_t(m * 6 % 254 + 1);
    }
    for (int m : {1, 2, 3, 5, 8, 13, 21, 34}) {
        c.ZoneUsesMachine[2][m] = 1;
    }
    const char* tasks[] = {"开灯", "关灯", "午休", "下班", "夜间巡视", "周末"};
    for (int t = 1; t <= 6; ++t) {
        c.TaskRemark[t] = QString::fromUtf8(tasks[t - 1]);
        c.TaskHour[2][t] = uint8_t(6 + t * 2);
        c.TaskMinute[2][t] = uint8_t(t * 5 + 1);
        c.TaskScene[2][t] = t == 4 ? 0 : uint8_t(t);
    }
}

bool Grab(QWidget& w, const QString& path) {
    QTest::qWait(200);
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);

    EmulatorProcess emu({"--no-pacing"});
    if (!emu.ok()) {
        std::fprintf(stderr, "emulator: %s\n", qPrintable(emu.error()));
        return 1;
    }
    QTemporaryDir dir;
    const QString ini = QDir(dir.path()).filePath("system.ini");
    WritePortSetting(ini, 1, emu.devicePath());
    ConfigTables demo;
    FillDemo(demo);
    WriteBytes(TaskFilePath(dir.path()), BuildTaskImage(demo));
    {
        QFile f(ini);
        f.open(QIODevice::Append);
        f.write(QStringLiteral("串口=1\r\n").toLocal8Bit());
    }

    WindowRig rig(MakeQtSerialBackend(PortMap(ini)), dir.path());
    rig.app.BringUp();
    MainWindow& w = *rig.window;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        std::fprintf(stderr, "window not exposed\n");
    }
    w.Command区域(2)->click();
    w.Command定时任务(3)->click();
    QTest::mousePress(w.Command机器IP(5), Qt::LeftButton);
    QTest::mouseRelease(w.Command机器IP(5), Qt::LeftButton);
    bool ok = Grab(w, QDir(out).filePath("main_window.png"));

    w.findChild<QPushButton*>(QStringLiteral("Command下载参数到机器"))->click();
    ok = Grab(w, QDir(out).filePath("download_log.png")) && ok;
    w.Command退出下载()->click();
    return ok ? 0 : 1;
}
