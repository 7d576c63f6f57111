// Builds the real main window with a filled-in configuration, downloads it to the controller
// emulator, and writes PNG screenshots of the editing view and of the log view; then the same in
// English (main_window_en.png, download_log_en.png), as --lang en shows the window. In both
// languages also the open File menu, a zone button's context menu, the dialog of zones a paste
// goes to and the comparison with a file; and it checks that every designed control sits where
// the control table puts it, measured from the client area below the menu bar.
//   ui_screenshots <output directory>

#include "site/site_diff.h"
#include "support/emulator.h"
#include "support/captions.h"
#include "support/ui_rig.h"
#include "ui/control_table.h"
#include "ui/widget_factory.h"
#include "ui/window_menus.h"
#include "ui/zone_pick_dialog.h"
#include "util/language.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
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

// The screen around the window and whatever popup lies over it (a menu is a window of its own).
bool GrabScreen(QWidget& w, const QWidget* popup, const QString& path) {
    QTest::qWait(300);
    QRect area = w.frameGeometry();
    if (popup != nullptr) {
        area |= popup->frameGeometry();
    }
    const bool ok =
        w.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

// Every control of the control table where the table puts it in its container, the window's
// own controls in the client area, and the client area right below the menu bar. Prints the
// figures; true when every control is in its place.
bool CheckDesignedPlaces(Form主窗体& w) {
    int placed = 0, total = 0;
    QStringList misplaced;
    auto check = [&](const QWidget* control, const char* container, const QRect& designed) {
        ++total;
        const QWidget* parent =
            container[0] == '\0' ? w.clientArea() : w.clientArea()->findChild<QWidget*>(container);
        if (control != nullptr && control->parentWidget() == parent &&
            control->geometry() == designed) {
            ++placed;
        } else {
            misplaced << (control != nullptr ? control->objectName() : QStringLiteral("?"));
        }
    };
    for (const ControlRow& row : MainWindowControls()) {
        if (row.kind == ControlKind::ButtonArray) {
            for (int n = 1; n <= row.count; ++n) {
                check(w.clientArea()->findChild<QWidget*>(ArrayElementName(row.name, n)),
                      row.parent, ElementGeometry(row, n));
            }
        } else {
            check(w.clientArea()->findChild<QWidget*>(QString::fromUtf8(row.name)), row.parent,
                  PixelGeometry(row));
        }
    }
    const int menuHeight = w.menus().menuBar()->height();
    const bool client =
        w.clientArea()->geometry() ==
        QRect(0, menuHeight, TwipsToPixels(kClientWidthTwips), TwipsToPixels(kClientHeightTwips));
    std::printf("menu bar %d px high; client area at (%d, %d), %d x %d; window %d x %d\n",
                menuHeight, w.clientArea()->x(), w.clientArea()->y(), w.clientArea()->width(),
                w.clientArea()->height(), w.width(), w.height());
    std::printf(
        "designed controls measured from the client area: %d of %d where the table puts "
        "them%s%s\n",
        placed, total, misplaced.isEmpty() ? "" : "; misplaced: ", qPrintable(misplaced.join(' ')));
    return client && placed == total;
}

// The menus and dialogs of the workbench, as `<name><suffix>.png`: the open File menu, zone 2's
// context menu after a copy, the zones dialog of a paste, and a comparison with a file.
bool GrabMenusAndDialogs(Form主窗体& w, const ConfigTables& config, const QString& out,
                         const QString& suffix) {
    const QDir dir(out);
    auto* file = w.menus().menuBar()->findChild<QMenu*>(QStringLiteral("Menu文件"));
    w.menus().menuBar()->setActiveAction(file->menuAction());
    bool ok = GrabScreen(w, file, dir.filePath("menu_file" + suffix + ".png"));
    file->hide();
    w.menus().menuBar()->setActiveAction(nullptr);

    w.menus().copyZone(2);
    const std::unique_ptr<QMenu> zoneMenu = w.menus().zoneMenu(2);
    QPushButton* zone = w.Command区域(2);
    zoneMenu->popup(zone->mapToGlobal(zone->rect().center()));
    ok = GrabScreen(w, zoneMenu.get(), dir.filePath("zone_menu" + suffix + ".png")) && ok;
    zoneMenu->hide();

    ZonePickDialog pick(
        &w, QCoreApplication::translate("Form主窗体", "粘贴到多个区域"),
        QCoreApplication::translate("Form主窗体", "将区域 %1 的任务和机器粘贴到：").arg(2), config,
        0);
    pick.setChosen({3, 4, 5, 6, 7, 8});
    pick.show();
    ok = Grab(pick, dir.filePath("paste_dialog" + suffix + ".png")) && ok;
    pick.hide();

    // A comparison with the file as loaded, after two edits in the window.
    const QString path = w.taskFilePath();
    QTest::keyClicks(w.Text区域备注, "+");
    w.Command定时任务(2)->click();
    w.Combox场景->setCurrentIndex(9);
    QStringList lines;
    w.menus().dialogs.showLines = [&](const QString& title, const QString& intro,
                                      const QStringList& l) {
        const std::unique_ptr<QDialog> dialog(NewLinesDialog(&w, title, intro, l));
        dialog->show();
        ok = Grab(*dialog, dir.filePath("compare_dialog" + suffix + ".png")) && ok;
        lines = l;
    };
    ok = w.menus().compareWith(path) && !lines.isEmpty() && ok;
    w.menus().undo();
    w.menus().undo();
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
    bool ok = CheckDesignedPlaces(w);
    ok = GrabMenusAndDialogs(w, rig->config, out, QString()) && ok;
    ok = GrabEditingAndLog(w, out, QString()) && ok;
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
    ok = GrabMenusAndDialogs(*en->window, en->config, out, "_en") && ok;
    const QStringList clipped = ClippedCaptions(*en->window);
    std::printf("English: %d fixed captions clipped%s%s\n", int(clipped.size()),
                clipped.isEmpty() ? "" : ": ", qPrintable(clipped.join(' ')));
    return ok ? 0 : 1;
}
