// The window's English face, chosen at start-up: captions, lists, tooltips and boxes in English,
// all of them shown whole; and without a request, the designed Chinese whatever the locale.

#include "util/language.h"
#include "support/captions.h"
#include "support/ui_rig.h"
#include "ui/window_menus.h"

#include "util/savefile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTranslator>
#include <functional>

namespace {

struct ReadableText {
    QString control;  // its object name
    QString text;
};

// Every text the operator can read on `window` (its title, captions, tooltips, list items and
// their tooltips, text boxes), except the download log.
QList<ReadableText> ReadableTexts(const QWidget& window) {
    QList<ReadableText> texts{{window.objectName(), window.windowTitle()}};
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const QString name = w->objectName();
        texts << ReadableText{name, CaptionOf(w)} << ReadableText{name, w->toolTip()};
        if (const auto* list = qobject_cast<const QComboBox*>(w)) {
            texts << ReadableText{name, list->currentText()};
            for (int i = 0; i < list->count(); ++i) {
                texts << ReadableText{name, list->itemText(i)}
                      << ReadableText{name, list->itemData(i, Qt::ToolTipRole).toString()};
            }
        } else if (const auto* box = qobject_cast<const QLineEdit*>(w)) {
            texts << ReadableText{name, box->text()};
        }
    }
    return texts;
}

// A file last written `secondsAgo` before now.
void WriteAged(const QString& path, const QByteArray& bytes, int secondsAgo) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush());
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo),
                              QFileDevice::FileModificationTime));
}

}  // namespace

TEST(English, CaptionsTitleAndLists) {
    const auto english = InstallTranslation(Language::English);
    ASSERT_NE(english, nullptr);
    WindowRig rig;
    Form主窗体& w = rig.load();
    EXPECT_EQ(w.windowTitle(), "M-4500 Setup C30");
    EXPECT_EQ(QApplication::applicationDisplayName(), "M-4500 Setup C30");
    const struct {
        const char* name;
        const char* caption;
    } rows[] = {
        {"Frame区域", "Zones"},
        {"Frame机器",
         "Machine IPs   (left button: pick the IP to change; right button: pick the "
         "IPs the zone uses)"},
        {"Frame定时任务", "Timed tasks"},
        {"Label4", "Port"},
        {"Label1", "Zone remark"},
        {"Label5", "Set IP"},
        {"Label7", "Time"},
        {"Label8", ":"},
        {"Label2", "Scene"},
        {"Label6", "Task remark"},
        {"Command下载参数到机器", "Download"},
        {"Command保存", "Save"},
        {"Command电脑时间同步", "Sync PC time"},
        {"Command退出下载", "Close"},
    };
    for (const auto& row : rows) {
        const QWidget* widget = w.findChild<QWidget*>(QString::fromUtf8(row.name));
        ASSERT_NE(widget, nullptr) << row.name;
        EXPECT_EQ(CaptionOf(widget).toStdString(), row.caption) << row.name;
    }
    for (QComboBox* list : {w.Combo小时, w.Combo分钟, w.Combox场景, w.Combo修改IP}) {
        EXPECT_EQ(list->itemText(0), "--") << list->objectName().toStdString();
        EXPECT_EQ(list->currentText(), "--") << list->objectName().toStdString();
    }
}

// The lists, the tooltips of the port list, of a zone with a programmed task and of a task, and
// every caption: nothing Chinese is left once the remarks are not.
TEST(English, NoChineseLeftOnTheWindow) {
    const auto english = InstallTranslation(Language::English);
    WindowRig rig(std::make_unique<ListedPortsBackend>(QSet<int32_t>{2}));
    ASSERT_TRUE(WriteFileBytes(rig.process.SystemIniPath, "COM2=/dev/m45-demo\r\n"));
    ConfigTables c;
    c.ZoneRemark[1] = QStringLiteral("Hall");
    c.TaskRemark[1] = QStringLiteral("Lights on");
    c.TaskHour[1][1] = 8;
    c.TaskMinute[1][1] = 31;
    c.TaskScene[1][1] = 4;
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), BuildTaskImage(c)));
    rig.app.BringUp();
    Form主窗体& w = *rig.window;
    EXPECT_EQ(w.Command区域(1)->toolTip(), "Zone 1\nHall\n07:30  scene 04  Lights on");
#ifdef Q_OS_WIN  // COMn= lines do not apply there: port 2 is COM2
    EXPECT_EQ(w.Combo串口->itemData(0, Qt::ToolTipRole).toString(), "Port 2 = COM2");
#else
    EXPECT_EQ(w.Combo串口->itemData(0, Qt::ToolTipRole).toString(), "Port 2 = /dev/m45-demo");
#endif
    EXPECT_TRUE(w.Combo串口->toolTip().contains("Ports found:"))
        << w.Combo串口->toolTip().toStdString();
    // The menus too: the menu bar's, and the context menus of a zone and a task button.
    QList<ReadableText> texts = ReadableTexts(w);
    const std::unique_ptr<QMenu> zoneMenu = w.menus().zoneMenu(1);
    const std::unique_ptr<QMenu> taskMenu = w.menus().taskMenu(1);
    for (const QWidget* holder : {static_cast<QWidget*>(w.menus().menuBar()),
                                  static_cast<QWidget*>(zoneMenu.get()),
                                  static_cast<QWidget*>(taskMenu.get())}) {
        for (const QAction* action : holder->findChildren<QAction*>()) {
            texts << ReadableText{action->objectName(), action->text()};
        }
    }
    QStringList chinese;
    for (const ReadableText& shown : texts) {
        if (HasChinese(shown.text)) {
            chinese << shown.control + ": " + shown.text;
        }
    }
    EXPECT_TRUE(chinese.isEmpty()) << chinese.join('\n').toStdString();
    EXPECT_TRUE(rig.messages.shown.isEmpty());
}

// The boxes of start-up and of the save, each as a first line and the file it names.
TEST(English, BoxesOfTheTaskFileAndTheSave) {
    const auto english = InstallTranslation(Language::English);
    ConfigTables c;
    c.MachineIp[1] = 7;
    QByteArray damaged(kTaskFileSize, '\0');
    damaged[0] = 0x18;
    const struct {
        const char* what;
        std::function<void(WindowRig&)> arrange;  // the files before the start
        QString box;                              // its first line; then the file it names
        QString named;                            // "" = none; else appended to the task file
    } rows[] = {
        {"no task file", [](WindowRig&) {}, "File error!", ""},
        {"damaged", [&](WindowRig& r) { WriteFileBytes(r.taskFile(), damaged); },
         "File error!\nThe original file was kept as: ", ".bad"},
        {"cut short",
         [&](WindowRig& r) { WriteFileBytes(r.taskFile(), BuildTaskImage(c).left(13737)); },
         "The file is incomplete or not in the expected format; what could be read has been "
         "loaded.\nThe original file was kept as: ",
         ".bad"},
        {"save left by a kill",
         [&](WindowRig& r) {
             WriteAged(r.taskFile(), BuildTaskImage(ConfigTables{}), 60);
             WriteAged(QFileInfo(r.taskFile()).dir().filePath(SaveTemporaryName("TASK.M45", 1)),
                       BuildTaskImage(c), 30);
         },
         "The last save was interrupted; its complete content was kept as: ", ".recovered"},
    };
    for (const auto& row : rows) {
        WindowRig rig;
        row.arrange(rig);
        rig.app.BringUp();
        const QString named =
            row.named.isEmpty() ? QString() : QDir::toNativeSeparators(rig.taskFile() + row.named);
        EXPECT_EQ(rig.messages.shown, QStringList{row.box + named}) << row.what;
    }

    QTemporaryDir elsewhere;
    WindowRig broken(std::make_unique<ListedPortsBackend>(), elsewhere.path() + "/missing/dir");
    broken.load().Command保存->click();
    ASSERT_EQ(broken.messages.shown.size(), 2);
    EXPECT_TRUE(broken.messages.shown[1].startsWith(
        "Save failed!\n" + QDir::toNativeSeparators(broken.taskFile()) + "\n"))
        << broken.messages.shown[1].toStdString();
    broken.app.SaveOnExit();
    ASSERT_EQ(broken.messages.shown.size(), 3);
    EXPECT_EQ(broken.messages.shown[2], broken.messages.shown[1]);
}

// Every fixed caption, in both languages, is drawn whole on its control.
TEST(CaptionsFit, NoFixedCaptionIsClippedInEitherLanguage) {
    for (const Language language : {Language::Chinese, Language::English}) {
        const auto translation = InstallTranslation(language);
        WindowRig rig;
        Form主窗体& w = rig.load();
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        EXPECT_EQ(ClippedCaptions(w).join(' ').toStdString(), "")
            << (language == Language::English ? "English" : "Chinese");
    }
}

// Nothing asked for, on the command line of this process or in the settings file: the designed
// Chinese. CTest runs this once more with LANG, LC_ALL and LANGUAGE set to English.
TEST(Language, WithoutARequestEveryCaptionIsTheDesignedChinese) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    WindowRig rig;
    const Language chosen =
        ChosenLanguage(QCoreApplication::arguments(), rig.process.SystemIniPath);
    EXPECT_EQ(chosen, Language::Chinese);
    const auto translation = InstallTranslation(chosen);
    EXPECT_EQ(translation, nullptr);
    // Qt's own texts follow: a box's button says 确定 whatever the locale.
    const auto qtTexts = InstallQtTranslation(chosen);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
    Form主窗体& w = rig.load();
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("M-4500 设置C30"));
    EXPECT_EQ(rig.messages.shown, QStringList{QStringLiteral("文件错误！")});
    for (const char* name : {"Frame区域", "Label4", "Label8", "Command保存", "Command退出下载"}) {
        const QWidget* widget = w.findChild<QWidget*>(QString::fromUtf8(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_TRUE(HasChinese(CaptionOf(widget))) << name;
    }
    EXPECT_EQ(w.Combo小时->itemText(0), QStringLiteral("无"));
}
