// The menu bar, the undo history and the zone copy on the real window (offscreen), on real files.

#include "config/zone_day.h"
#include "site/site_diff.h"
#include "site/site_files.h"
#include "site/site_json.h"
#include "site/site_report.h"
#include "support/random_config.h"
#include "support/ui_rig.h"
#include "ui/window_menus.h"
#include "util/language.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <functional>

namespace {

// The next item of a list, as the operator picks it (the last wraps to "无").
void PickNext(QComboBox* list) {
    list->setCurrentIndex((list->currentIndex() + 1) % list->count());
}

// The action `name` of a context menu, triggered as a click on it does.
void Trigger(const std::unique_ptr<QMenu>& menu, const char* name) {
    auto* action = menu->findChild<QAction*>(QString::fromUtf8(name));
    ASSERT_NE(action, nullptr) << name;
    ASSERT_TRUE(action->isEnabled()) << name;
    action->trigger();
}

// A window on a task file as a save writes it (remarks padded to 20 units), its bytes in `file`.
Form主窗体& LoadSaved(WindowRig& rig, const ConfigTables& c, QByteArray* file = nullptr) {
    const QByteArray bytes = BuildTaskImage(c);
    EXPECT_TRUE(WriteFileBytes(rig.taskFile(), bytes));
    if (file != nullptr) {
        *file = bytes;
    }
    return rig.load();
}

bool SameSchedule(const ConfigTables& a, int za, const ConfigTables& b, int zb) {
    return a.TaskHour[za] == b.TaskHour[zb] && a.TaskMinute[za] == b.TaskMinute[zb] &&
           a.TaskScene[za] == b.TaskScene[zb] && a.ZoneUsesMachine[za] == b.ZoneUsesMachine[zb];
}

}  // namespace

// Every kind of edit, each one step, undone one by one back to the file as loaded (saved again
// byte for byte), then redone to the edited configuration; undo and redo never write the file.
TEST(Undo, EveryKindOfEditBackToTheLoadedFileAndForward) {
    WindowRig rig;
    QByteArray loaded;
    Form主窗体& w = LoadSaved(rig, RandomConfig(7), &loaded);
    const QString imported = QDir(rig.appDir).filePath("other.json");
    ASSERT_TRUE(WriteFileBytes(imported, SiteJson(RandomConfig(8))));
    QList<int> picked;
    w.menus().dialogs.pickZones = [&](const QString&, const QString&, int) {
        return std::optional<QList<int>>(picked);
    };
    const struct {
        const char* what;
        std::function<void()> edit;
    } edits[] = {
        {"zone remark, three keys", [&] { QTest::keyClicks(w.Text区域备注, "abc"); }},
        {"hour of task 5",
         [&] {
             w.Command定时任务(5)->click();
             PickNext(w.Combo小时);
         }},
        {"minute", [&] { PickNext(w.Combo分钟); }},
        {"scene", [&] { PickNext(w.Combox场景); }},
        {"task remark, two keys", [&] { QTest::keyClicks(w.Text任务备注, "xy"); }},
        {"address of machine 3",
         [&] {
             QTest::mouseClick(w.Command机器IP(3), Qt::LeftButton);
             PickNext(w.Combo修改IP);
         }},
        {"machine 3 used or not", [&] { QTest::mousePress(w.Command机器IP(3), Qt::RightButton); }},
        {"zone 2 onto zones 4, 9, 31",
         [&] {
             Trigger(w.menus().zoneMenu(2), "Action复制此区域");
             picked = {4, 9, 31};
             Trigger(w.menus().zoneMenu(7), "Action粘贴到多个区域");
         }},
        {"zone 9's tasks cleared", [&] { Trigger(w.menus().zoneMenu(9), "Action清除此区域任务"); }},
        {"zone 2 onto zone 6", [&] { Trigger(w.menus().zoneMenu(6), "Action粘贴到此区域"); }},
        {"task 5's time onto zones 1, 9",
         [&] {
             picked = {1, 9};
             Trigger(w.menus().taskMenu(5), "Action复制任务到区域");
         }},
        {"import", [&] { ASSERT_TRUE(w.menus().importFrom(imported)); }},
        {"zone remark after the import", [&] { QTest::keyClicks(w.Text区域备注, "Z"); }},
    };
    std::vector<ConfigTables> states{rig.config};
    for (const auto& row : edits) {
        row.edit();
        ASSERT_NE(rig.config, states.back()) << row.what << ": the edit changed nothing";
        states.push_back(rig.config);
        EXPECT_EQ(w.menus().history().undoSteps(), states.size() - 1) << row.what;
    }
    for (size_t i = states.size() - 1; i > 0; --i) {
        w.menus().undo();
        ASSERT_EQ(rig.config, states[i - 1]) << "undoing " << edits[i - 1].what;
        EXPECT_EQ(w.Text区域备注->text(), ShownRemark(rig.config.ZoneRemark[size_t(w.CurZone)]));
    }
    EXPECT_FALSE(w.menus().history().canUndo());
    EXPECT_EQ(ReadFileBytes(rig.taskFile()), loaded);
    w.Command保存->click();
    EXPECT_EQ(ReadFileBytes(rig.taskFile()), loaded);
    for (size_t i = 1; i < states.size(); ++i) {
        w.menus().redo();
        ASSERT_EQ(rig.config, states[i]) << "redoing " << edits[i - 1].what;
    }
    EXPECT_EQ(ReadFileBytes(rig.taskFile()), loaded);
    w.Command保存->click();
    EXPECT_EQ(ReadFileBytes(rig.taskFile()), BuildTaskImage(states.back()));
}

// The keys work wherever the focus is, the remark boxes and lists included (whose own undo
// would otherwise take Ctrl+Z and change the text behind the history's back).
TEST(Undo, KeysWorkWhileABoxOrListHasTheFocus) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "keys reach a focused control only in an active window, which Qt's minimal "
                    "platform under Wine does not give";
#endif
    WindowRig rig;
    Form主窗体& w = LoadSaved(rig, RandomConfig(3));
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (QWidget* holder : std::initializer_list<QWidget*>{
             w.Text区域备注, w.Text任务备注, w.Combo小时, w.Combo修改IP, w.Command机器IP(1)}) {
        const std::string name = holder->objectName().toStdString();
        const ConfigTables before = rig.config;
        QTest::keyClicks(w.Text区域备注, "k");
        const ConfigTables typed = rig.config;
        ASSERT_NE(typed, before);
        holder->setFocus();
        ASSERT_TRUE(holder->hasFocus()) << name;
        QTest::keyClick(holder, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(rig.config, before) << name << ": Ctrl+Z";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(rig.config, typed) << name << ": Ctrl+Y";
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z,
                        Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(rig.config, typed) << name << ": Ctrl+Shift+Z";
    }
}

// What each zone operation changes, and that one undo takes all of it back: the targets take the
// source's 18 tasks (and, for a zone, its machines); remarks and every other zone stay.
TEST(ZoneCopy, EachOperationChangesItsTargetsOnlyAndIsOneStep) {
    const struct {
        const char* what;
        QList<int> picked;  // what the zones dialog answers
        std::function<void(WindowMenus&)> act;
        int source;    // the zone (or, for a task, the zone shown) the values come from
        int slot;      // 0: the whole schedule, else only this task
        bool cleared;  // the targets' tasks unset instead
        QList<int> targets;
    } rows[] = {
        {"paste onto several",
         {5, 7, 9},
         [](WindowMenus& m) {
             Trigger(m.zoneMenu(2), "Action复制此区域");
             Trigger(m.zoneMenu(3), "Action粘贴到多个区域");
         },
         2,
         0,
         false,
         {5, 7, 9}},
        {"paste onto this zone",
         {},
         [](WindowMenus& m) {
             m.copyZone(2);
             Trigger(m.zoneMenu(12), "Action粘贴到此区域");
         },
         2,
         0,
         false,
         {12}},
        {"clear",
         {},
         [](WindowMenus& m) { Trigger(m.zoneMenu(8), "Action清除此区域任务"); },
         0,
         0,
         true,
         {8}},
        {"task 4 to zones",
         {2, 30},
         [](WindowMenus& m) { Trigger(m.taskMenu(4), "Action复制任务到区域"); },
         1,
         4,
         false,
         {2, 30}},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        Form主窗体& w = LoadSaved(rig, RandomConfig(11));
        const ConfigTables before = rig.config;
        w.menus().dialogs.pickZones = [&](const QString&, const QString&, int) {
            return std::optional<QList<int>>(row.picked);
        };
        row.act(w.menus());
        const ConfigTables& after = rig.config;
        EXPECT_EQ(after.ZoneRemark, before.ZoneRemark) << row.what;
        EXPECT_EQ(after.TaskRemark, before.TaskRemark) << row.what;
        EXPECT_EQ(after.MachineIp, before.MachineIp) << row.what;
        for (int z = 1; z <= kZones; ++z) {
            if (!row.targets.contains(z)) {
                EXPECT_TRUE(SameSchedule(after, z, before, z)) << row.what << " zone " << z;
            } else if (row.cleared) {
                for (int t = 1; t <= kSlots; ++t) {
                    EXPECT_EQ(after.TaskHour[z][t] | after.TaskMinute[z][t] | after.TaskScene[z][t],
                              0);
                }
                EXPECT_EQ(after.ZoneUsesMachine[z], before.ZoneUsesMachine[z]) << row.what;
            } else if (row.slot == 0) {
                EXPECT_TRUE(SameSchedule(after, z, before, row.source))
                    << row.what << " zone " << z;
            } else {
                for (int t = 1; t <= kSlots; ++t) {
                    const int from = t == row.slot ? row.source : z;
                    EXPECT_EQ(after.TaskHour[z][t], before.TaskHour[from][t]) << row.what;
                    EXPECT_EQ(after.TaskMinute[z][t], before.TaskMinute[from][t]) << row.what;
                    EXPECT_EQ(after.TaskScene[z][t], before.TaskScene[from][t]) << row.what;
                }
                EXPECT_EQ(after.ZoneUsesMachine[z], before.ZoneUsesMachine[z]) << row.what;
            }
        }
        EXPECT_EQ(w.menus().history().undoSteps(), 1u) << row.what;
        w.menus().undo();
        EXPECT_EQ(rig.config, before) << row.what;
    }
}

// An import takes the whole configuration, checked first: on any fault the faults are shown with
// their lines and nothing changes; a good one changes the tables (one step), not the file.
TEST(FileMenu, ImportChecksFirstAndChangesOnlyTheTables) {
    ConfigTables source = RandomConfig(21);
    source.MachineIp[5] = 253;
    source.TaskHour[3][2] = 9;
    source.TaskScene[3][2] = 29;
    QByteArray faulty = SiteJson(source);
    faulty.replace("\"address\": 253,", "\"address\": 255,")
        .replace("\"scene\": 29,", "\"scene\": 31,");
    const struct {
        const char* what;
        QByteArray bytes;
        bool taken;
    } rows[] = {
        {"site document", SiteJson(source), true},
        {"task file", BuildTaskImage(source), true},
        {"document with faults", faulty, false},  // each fault shown with its line
        {"neither", "hello", false},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        QByteArray file;
        Form主窗体& w = LoadSaved(rig, RandomConfig(20), &file);
        const ConfigTables before = rig.config;
        const QString path = QDir(rig.appDir).filePath("in.file");
        ASSERT_TRUE(WriteFileBytes(path, row.bytes));
        QStringList shown;
        w.menus().dialogs.showLines = [&](const QString&, const QString&, const QStringList& l) {
            shown = l;
        };
        EXPECT_EQ(w.menus().importFrom(path), row.taken) << row.what;
        EXPECT_EQ(ReadFileBytes(rig.taskFile()), file) << row.what;
        if (row.taken) {
            EXPECT_EQ(BuildTaskImage(rig.config), BuildTaskImage(source)) << row.what;
            EXPECT_TRUE(shown.isEmpty()) << row.what;
            w.menus().undo();
            EXPECT_EQ(rig.config, before) << row.what;
        } else {
            EXPECT_EQ(rig.config, before) << row.what;
            EXPECT_FALSE(w.menus().history().canUndo()) << row.what;
            EXPECT_EQ(shown, ReadSiteSource(path).errors) << row.what;
            EXPECT_FALSE(shown.isEmpty()) << row.what;
        }
    }
}

// Exports read back as what the window holds; the comparison lists the changes from the file to
// the window; the handover sheet is written and handed to the desktop; a failed write says so.
TEST(FileMenu, ExportCompareHandoverSheet) {
    WindowRig rig;
    Form主窗体& w = LoadSaved(rig, RandomConfig(30));
    QTest::keyClicks(w.Text区域备注, "!");  // the window's tables, not the file, are exported
    const QDir dir(rig.appDir);
    ASSERT_TRUE(w.menus().exportSiteDocument(dir.filePath("site.json")));
    ASSERT_TRUE(w.menus().exportTaskFile(dir.filePath("copy.M45")));
    EXPECT_EQ(ReadFileBytes(dir.filePath("copy.M45")), BuildTaskImage(rig.config));
    const CheckedConfig back = ReadSiteSource(dir.filePath("site.json"));
    ASSERT_TRUE(back.ok);
    EXPECT_EQ(BuildTaskImage(back.config), BuildTaskImage(rig.config));

    QStringList lines;
    w.menus().dialogs.showLines = [&](const QString&, const QString&, const QStringList& l) {
        lines = l;
    };
    ASSERT_TRUE(w.menus().compareWith(dir.filePath("site.json")));
    EXPECT_TRUE(lines.isEmpty());
    QTest::keyClicks(w.Text区域备注, "?");
    ASSERT_TRUE(w.menus().compareWith(dir.filePath("site.json")));
    // From the file to the window.
    EXPECT_EQ(lines, QStringList{"zone 1 remark: " + RemarkText(back.config.ZoneRemark[1]) +
                                 " -> " + RemarkText(rig.config.ZoneRemark[1])});

    QUrl opened;
    w.menus().dialogs.openUrl = [&](const QUrl& url) {
        opened = url;
        return true;
    };
    ASSERT_TRUE(w.menus().writeHandoverSheet(dir.filePath("site.html")));
    EXPECT_EQ(opened, QUrl::fromLocalFile(dir.filePath("site.html")));
    EXPECT_TRUE(ReadFileBytes(dir.filePath("site.html"))
                    .contains(HtmlText(ShownRemark(rig.config.ZoneRemark[1])).toUtf8()));

    EXPECT_FALSE(w.menus().exportTaskFile(dir.filePath("missing/copy.M45")));
    ASSERT_FALSE(rig.messages.shown.isEmpty());
    EXPECT_TRUE(rig.messages.shown.last().startsWith(QStringLiteral("导出失败！")));
}

// About names the task file and the settings file in use, and the language the window is in.
TEST(HelpMenu, AboutNamesTheFilesInUseAndTheLanguage) {
    for (const Language language : {Language::Chinese, Language::English}) {
        const auto translation = InstallTranslation(language);
        WindowRig rig;
        Form主窗体& w = rig.load();
        w.menus().menuBar()->findChild<QAction*>(QStringLiteral("Action关于"))->trigger();
        const QString box = rig.messages.shown.last();
        EXPECT_TRUE(box.contains(QDir::toNativeSeparators(rig.taskFile()))) << box.toStdString();
        EXPECT_TRUE(box.contains(QDir::toNativeSeparators(rig.process.SystemIniPath)));
        EXPECT_TRUE(box.endsWith(language == Language::English ? QStringLiteral("Language: English")
                                                               : QStringLiteral("语言：中文")))
            << box.toStdString();
    }
}
