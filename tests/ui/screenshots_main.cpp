// Builds the real main window with a filled-in configuration, downloads it to the controller
// emulator, and writes PNG screenshots of the editing view and of the log view; then the same in
// English (main_window_en.png, download_log_en.png), as --lang en shows the window.
//   ui_screenshots <output directory>

#include "support/emulator.h"
#include "support/captions.h"
#include "support/ui_rig.h"
#include "util/language.h"

#include <QApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <cstdio>

namespace {

// The demonstration's remarks, in the operator's language: 8 zones, a ninth on two lines, 6 tasks.
struct DemoRemarks {
    const char* zones[8];
    const char* zone9;
    const char* tasks[6];
};

const DemoRemarks kChineseRemarks = {
    {"大厅", "走廊", "会议室", "办公区", "仓库", "停车场", "前台", "餐厅"},
    "[9]\r\n二楼东",
    {"开灯", "关灯", "午休", "下班", "夜间巡视", "周末"},
};
const DemoRemarks kEnglishRemarks = {
    {"Lobby", "Corridor", "Meeting room", "Offices", "Warehouse", "Car park", "Reception",
     "Canteen"},
    "[9]\r\nFloor 2 east",
    {"Lights on", "Lights off", "Lunch break", "End of day", "Night patrol", "Weekend"},
};

void FillDemo(ConfigTables& c, const DemoRemarks& remarks) {
    for (int z = 1; z <= 8; ++z) {
        c.ZoneRemark[z] = QString::fromUtf8(remarks.zones[z - 1]);
    }
    c.ZoneRemark[9] = QString::fromUtf8(remarks.zone9);
    for (int m = 1; m <= 40; ++m) {
        c.MachineIp[m] = uint8_t(m * 6 % 254 + 1);
    }
    for (int m : {1, 2, 3, 5, 8, 13, 21, 34}) {
        c.ZoneUsesMachine[2][m] = 1;
    }
    for (int t = 1; t <= 6; ++t) {
        c.TaskRemark[t] = QString::fromUtf8(remarks.tasks[t - 1]);
        c.TaskHour[2][t] = uint8_t(6 + t * 2);
        c.TaskMinute[2][t] = uint8_t(t * 5 + 1);
        c.TaskScene[2][t] = t == 4 ? 0 : uint8_t(t);
    }
}

// Every zone and task with a remark, half of them the full 20 code units, in Chinese and in Latin
// letters (with and without spaces).
void FillLongRemarks(ConfigTables& c) {
    const char* remarks[] = {
        "地下停车场B区入口车道照明灯第一二组灯带",
        "Meeting room 2 north",
        "行政办公区东侧开放工位第二排顶灯及射灯组",
        "Kitchen extract fans",
        "三号仓库北门装卸平台泛光照明与警示灯组合",
        "Parking B entrance 1",
        "五楼培训教室黑板灯及投影幕布上方筒灯组合",
        "Warehouse dock light",
        "消防通道应急照明与疏散指示灯每层巡检灯组",
        "Training room 5 wall",
        "研发实验室洁净区恒温恒湿照明及排风机组合",
        "Fire exit emergency1",
        "园区主干道路灯第一组南段至北门岗亭外侧灯",
        "Lab clean room HVAC2",
        "员工餐厅及厨房排风照明和后厨冷库灯光组合",
        "MainRoadLampsSouth01",
        "大厅",
        "Lobby",
        "一楼东侧走廊",
        "Corridor east wing",
        "二楼大会议室投影区",
        "Reception",
        "前台接待区",
        "Roof garden strip",
        "屋顶花园景观灯带",
        "Gate",
        "门卫室",
        "Hall",
        "总经理办公室及会客区",
        "Director office, A",
        "[9]\r\n二楼东",
        "Loading bay lamps 3",
    };
    for (int z = 1; z <= kZones; ++z) {
        c.ZoneRemark[z] = QString::fromUtf8(remarks[z - 1]);
    }
    for (int t = 1; t <= kSlots; ++t) {
        c.TaskRemark[t] = QString::fromUtf8(remarks[(t * 5) % kZones]);
    }
}

// How the zone and task captions fare with long remarks: drawn as a style draws a label, and as
// the grid buttons lay them out.
void PrintCaptionFigures(Form主窗体& w) {
    int clipped[2] = {}, elided[2] = {};
    auto count = [&](int group, QPushButton* button) {
        clipped[group] += !ButtonCaptionFits(button);
        elided[group] += static_cast<GridButton*>(button)->captionLayout().elided;
    };
    for (int z = 1; z <= kZones; ++z) {
        count(0, w.Command区域(z));
    }
    for (int t = 1; t <= kSlots; ++t) {
        count(1, w.Command定时任务(t));
    }
    std::printf("one line per line break: %d of %d zone and %d of %d task captions clipped\n",
                clipped[0], kZones, clipped[1], kSlots);
    std::printf("wrapped: zones %d shown whole, %d elided; tasks %d shown whole, %d elided\n",
                kZones - elided[0], elided[0], kSlots - elided[1], elided[1]);
}

bool Grab(QWidget& w, const QString& path) {
    QTest::qWait(200);
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// The window on the demonstration's task file in `dir`, port 1 on the emulator, with zone 2,
// task 3 and machine 5 chosen.
std::unique_ptr<WindowRig> OpenDemo(const QString& dir, const EmulatorProcess& emu,
                                    const DemoRemarks& remarks) {
    const QString ini = QDir(dir).filePath("system.ini");
    WritePortSetting(ini, 1, emu.devicePath());
    ConfigTables demo;
    FillDemo(demo, remarks);
    WriteFileBytes(TaskFilePath(dir), BuildTaskImage(demo));
    {
        QFile f(ini);
        f.open(QIODevice::Append);
        f.write(QStringLiteral("串口=1\r\n").toLocal8Bit());
    }
    auto rig = std::make_unique<WindowRig>(MakeSystemSerialBackend(PortMap(ini)), dir);
    rig->app.BringUp();
    Form主窗体& w = *rig->window;
    w.show();
    if (!QTest::qWaitForWindowExposed(&w)) {
        std::fprintf(stderr, "window not exposed\n");
    }
    w.Command区域(2)->click();
    w.Command定时任务(3)->click();
    QTest::mousePress(w.Command机器IP(5), Qt::LeftButton);
    QTest::mouseRelease(w.Command机器IP(5), Qt::LeftButton);
    return rig;
}

// The editing view, then the log view in the middle of a download (at block 15) and after it,
// as `<name><suffix>.png`.
bool GrabEditingAndLog(Form主窗体& w, const QString& out, const QString& suffix) {
    bool ok = Grab(w, QDir(out).filePath("main_window" + suffix + ".png"));
    auto* bar = w.findChild<QProgressBar*>(QStringLiteral("Progress下载"));
    bool midway = false;
    const QString midPath = QDir(out).filePath("download_midway" + suffix + ".png");
    const QMetaObject::Connection watch =
        QObject::connect(bar, &QProgressBar::valueChanged, [&](int value) {
            if (value == 15 && !midway) {
                midway = w.grab().save(midPath);  // the download is still running
                std::printf("%s %s\n", midway ? "wrote" : "FAILED", qPrintable(midPath));
            }
        });
    w.Command下载参数到机器->click();
    QObject::disconnect(watch);
    ok = midway && Grab(w, QDir(out).filePath("download_log" + suffix + ".png")) && ok;
    w.Command退出下载->click();
    return ok;
}

// A download to a port that does not open: the log view after it, and the status line then.
bool GrabFailure(Form主窗体& w, WindowRig& rig, const QString& out) {
    const int32_t port = rig.session.PortNumber;
    rig.session.PortNumber = 9;  // no device behind it
    w.Command下载参数到机器->click();
    bool ok = Grab(w, QDir(out).filePath("download_failed.png"));
    w.Command退出下载->click();
    ok = Grab(w, QDir(out).filePath("status_after_failure.png")) && ok;
    rig.session.PortNumber = port;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(out);

    EmulatorProcess emu;  // paced like a real line, so the middle of a download can be seen
    if (!emu.ok()) {
        std::fprintf(stderr, "emulator: %s\n", qPrintable(emu.error()));
        return 1;
    }
    QTemporaryDir chineseDir, englishDir;
    const std::unique_ptr<WindowRig> rig = OpenDemo(chineseDir.path(), emu, kChineseRemarks);
    Form主窗体& w = *rig->window;
    bool ok = GrabEditingAndLog(w, out, QString());
    ok = GrabFailure(w, *rig, out) && ok;
    FillLongRemarks(rig->config);
    w.Command区域(1)->click();
    ok = Grab(w, QDir(out).filePath("long_remarks.png")) && ok;
    PrintCaptionFigures(w);
    w.hide();

    // The same window in English, as --lang en shows it, on an English-speaking site's remarks.
    const auto english = InstallTranslation(Language::English);
    const std::unique_ptr<WindowRig> en = OpenDemo(englishDir.path(), emu, kEnglishRemarks);
    ok = english != nullptr && GrabEditingAndLog(*en->window, out, "_en") && ok;
    const QStringList clipped = ClippedCaptions(*en->window);
    std::printf("English: %d fixed captions clipped%s%s\n", int(clipped.size()),
                clipped.isEmpty() ? "" : ": ", qPrintable(clipped.join(' ')));
    return ok ? 0 : 1;
}
