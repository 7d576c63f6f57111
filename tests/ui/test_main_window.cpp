// The main window as the operator uses it: real widgets (offscreen), real task files.

#include "support/ui_rig.h"
#include "ui/control_table.h"
#include "ui/window_menus.h"

#include <QtTest/qtestspontaneevent.h>
#include <gtest/gtest.h>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
#include <stdexcept>

namespace {

int CountHighlighted(const ButtonArray& buttons, int count) {
    int n = 0;
    for (int i = 1; i <= count; ++i) {
        n += IsHighlighted(buttons(i)) ? 1 : 0;
    }
    return n;
}

// One notch of the wheel with the pointer over the list's edit field or its arrow, delivered as
// the window system delivers it: to the widget under the pointer, with the focus rules applied.
void TurnWheel(QComboBox* list, bool overArrow) {
    const QPoint at = overArrow ? QPoint(list->width() - 4, list->height() / 2)
                                : list->lineEdit()->geometry().center();
    QWidget* under = list->childAt(at) != nullptr ? list->childAt(at) : list;
    const QPointF local(under->mapFrom(list, at));
    QWheelEvent notch(local, under->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&notch);
    QApplication::sendEvent(under, &notch);
}

void Choose(QComboBox* list, const QString& item) {
    const int index = list->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    list->setCurrentIndex(index);
}

}  // namespace

TEST(MainWindowLoad, NoTaskFileShowsTheMessageAndAnEmptyConfiguration) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    EXPECT_EQ(rig.messages.shown, QStringList{QStringLiteral("文件错误！")});
    EXPECT_EQ(w.windowTitle(), QStringLiteral("M-4500 设置C30"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("M-4500 设置C30"));
    EXPECT_EQ(w.CurZone, 1);
    EXPECT_EQ(w.CurTask, 1);
    EXPECT_EQ(w.CurMachine, 0);
    for (QComboBox* list : {w.Combo小时, w.Combo分钟, w.Combox场景, w.Combo修改IP}) {
        EXPECT_EQ(list->currentText(), QStringLiteral("无")) << list->objectName().toStdString();
    }
    for (int m = 1; m <= kMachines; ++m) {
        EXPECT_EQ(w.Command机器IP(m)->text(), QString());
    }
    for (int t = 1; t <= kSlots; ++t) {
        EXPECT_FALSE(w.Command定时任务(t)->font().bold());
        EXPECT_EQ(w.Command定时任务(t)->text(), QStringLiteral("[%1]\n").arg(t));
    }
    EXPECT_TRUE(IsHighlighted(w.Command区域(1)));
    EXPECT_TRUE(IsHighlighted(w.Command定时任务(1)));
    EXPECT_EQ(rig.config, ConfigTables{});
}

TEST(MainWindowLoad, DamagedTaskFileNamesTheKeptCopy) {
    WindowRig rig;
    QByteArray damaged(kTaskFileSize, '\0');
    damaged[0] = 0x18;
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), damaged));
    rig.load();
    ASSERT_EQ(rig.messages.shown.size(), 1);
    const QStringList lines = rig.messages.shown[0].split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("文件错误！"));
    const QString kept = lines[1].mid(lines[1].indexOf(QStringLiteral("：")) + 1);
    EXPECT_EQ(ReadFileBytes(QDir::fromNativeSeparators(kept)), damaged) << lines[1].toStdString();
}

// A file cut short passes the header check: what it holds is loaded, and the box says that the
// file is not whole and names the copy kept of it before the next save.
TEST(MainWindowLoad, TaskFileCutShortIsLoadedAndKept) {
    WindowRig rig;
    ConfigTables c;
    c.MachineIp[1] = 7;
    c.ZoneRemark[1] = QStringLiteral("大厅");
    const QByteArray cut = BuildTaskImage(c).left(13737);  // the zone remarks are missing
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), cut));
    rig.load();
    ASSERT_EQ(rig.messages.shown.size(), 1);
    const QStringList lines = rig.messages.shown[0].split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_NE(lines[0], QStringLiteral("文件错误！"));
    const QString kept = lines[1].mid(lines[1].indexOf(QStringLiteral("：")) + 1);
    EXPECT_EQ(ReadFileBytes(QDir::fromNativeSeparators(kept)), cut) << lines[1].toStdString();
    EXPECT_EQ(rig.config.MachineIp[1], 7);
    EXPECT_EQ(rig.config.ZoneRemark[1], QString());
}

// When no copy can be made the message says so, since the next save overwrites the file.
TEST(MainWindowLoad, DamagedTaskFileThatCannotBeKeptIsSaidSo) {
    WindowRig rig;
    QByteArray damaged(kTaskFileSize, '\0');
    damaged[0] = 0x18;
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), damaged));
    for (int i = 0; i < 1000; ++i) {  // every name for a kept copy is taken
        ASSERT_TRUE(WriteFileBytes(rig.taskFile() + ".bad" + (i ? QString::number(i) : QString()),
                                   QByteArray("x")));
    }
    rig.load();
    ASSERT_EQ(rig.messages.shown.size(), 1);
    const QStringList lines = rig.messages.shown[0].split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QStringLiteral("文件错误！"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("原文件未能另存"))) << lines[1].toStdString();
}

TEST(MainWindowLoad, CaptionsComeFromTheTaskFile) {
    WindowRig rig;
    ConfigTables c;
    c.MachineIp[1] = 7;
    c.MachineIp[2] = 254;
    c.MachineIp[3] = 42;
    c.ZoneRemark[1] = QStringLiteral("[1]\r\n走廊");
    c.ZoneRemark[2] = QStringLiteral("A&B");
    c.TaskRemark[10] = QStringLiteral("走廊");
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), BuildTaskImage(c)));
    Form主窗体& w = rig.load();
    EXPECT_TRUE(rig.messages.shown.isEmpty());
    // The loaded remarks carry U+0000 up to 20 characters; only the text before them shows.
    EXPECT_EQ(rig.config.ZoneRemark[1].size(), 20);
    const struct {
        QPushButton* button;
        QString caption;
    } rows[] = {
        {w.Command机器IP(1), "007"},
        {w.Command机器IP(2), "254"},
        {w.Command机器IP(3), "042"},
        {w.Command机器IP(4), ""},
        {w.Command区域(1), QStringLiteral("[1]\n走廊")},
        {w.Command区域(2), "A&&B"},  // drawn as a literal "A&B"
        {w.Command区域(3), ""},
        {w.Command定时任务(10), QStringLiteral("[10]\n走廊")},
        {w.Command定时任务(11), "[11]\n"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.button->text(), row.caption) << row.button->objectName().toStdString();
    }
    EXPECT_EQ(w.Text区域备注->text(), QStringLiteral("[1]\r\n走廊").left(20).remove('\0'));
    rig.config.ZoneRemark[5] = QString(QStringLiteral("ab")) + QChar(0) + "cd";
    w.Command区域_Click(5);
    EXPECT_EQ(w.Command区域(5)->text(), "ab");
    EXPECT_EQ(w.Text区域备注->text(), "ab");
}

TEST(MainWindowGeometry, ControlsSitWhereTheTwipsTablePutsThem) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    // The designed client area lies below the menu bar, which is all the window grew by.
    const int menuHeight = w.menus().menuBar()->height();
    EXPECT_GT(menuHeight, 0);
    EXPECT_EQ(w.menus().menuBar()->geometry(), QRect(0, 0, 1068, menuHeight));
    EXPECT_EQ(w.clientArea()->geometry(), QRect(0, menuHeight, 1068, 669));
    EXPECT_EQ(w.size(), QSize(1068, 669 + menuHeight));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    const struct {
        QWidget* widget;
        QRect twips;  // relative to the client area: container offset + control
    } rows[] = {
        {w.Command区域(1), {120 + 240, 960 + 240, 1455, 495}},
        {w.Command区域(32), {120 + 240 + 1560 * 7, 960 + 240 + 600 * 3, 1455, 495}},
        {w.Command机器IP(17), {120 + 240, 3840 + 240 + 600, 735, 495}},
        {w.Command机器IP(64), {120 + 240 + 840 * 15, 3840 + 240 + 600 * 3, 735, 495}},
        {w.Command定时任务(18), {120 + 240 + 2400 * 5, 6720 + 240 + 720 * 2, 2300, 615}},
        {w.Combo小时, {120 + 1440, 6720 + 2520, 735, 300}},
        {w.Text任务备注, {120 + 12240, 6720 + 2520, 2295, 375}},
        {w.Combo串口, {120 + 960, 0 + 360, 1095, 300}},
    };
    for (const auto& row : rows) {
        const QRect px(row.widget->mapTo(w.clientArea(), QPoint(0, 0)), row.widget->size());
        const QRect want(qRound(row.twips.x() / 15.0), qRound(row.twips.y() / 15.0),
                         qRound(row.twips.width() / 15.0), qRound(row.twips.height() / 15.0));
        EXPECT_LE((px.topLeft() - want.topLeft()).manhattanLength(), 1)
            << row.widget->objectName().toStdString();
        EXPECT_LE(std::abs(px.width() - want.width()) + std::abs(px.height() - want.height()), 2)
            << row.widget->objectName().toStdString();
    }
    EXPECT_EQ(w.findChild<QWidget*>(QStringLiteral("Command机器IP(64)")), w.Command机器IP(64));
    EXPECT_FALSE(w.Text下载显示->isVisibleTo(&w));
    EXPECT_FALSE(w.Command退出下载->isVisibleTo(&w));
}

// The labels' alignment, the one label with a font of its own and the line, as laid out; the
// button arrays answer only for their own elements.
TEST(MainWindowGeometry, LabelsLineAndArrayBounds) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    const struct {
        const char* name;
        Qt::Alignment horizontal;
        double points;
    } labels[] = {
        {"Label4", Qt::AlignRight, 9},       {"Label1", Qt::AlignHCenter, 9},
        {"Label5", Qt::AlignHCenter, 9},     {"Label7", Qt::AlignRight, 9},
        {"Label8", Qt::AlignHCenter, 14.25}, {"Label2", Qt::AlignRight, 9},
        {"Label6", Qt::AlignRight, 9},
    };
    for (const auto& row : labels) {
        const auto* label = w.findChild<QLabel*>(QString::fromUtf8(row.name));
        ASSERT_NE(label, nullptr) << row.name;
        EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, row.horizontal) << row.name;
        EXPECT_EQ(label->font().pointSizeF(), row.points) << row.name;
    }
    EXPECT_EQ(w.findChild<QLabel*>("Label8")->font().family(), QStringLiteral("宋体"));
    // From (240, 2400) to (14640, 2400) in its frame, 3 pixels wide and centred on that y.
    const auto* line = w.findChild<QFrame*>("Line1");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->parentWidget()->objectName(), QStringLiteral("Frame定时任务"));
    EXPECT_EQ(line->geometry(), QRect(16, 159, 960, 3));
    EXPECT_EQ(line->frameShape(), QFrame::HLine);
    EXPECT_EQ(line->lineWidth(), 3);
    EXPECT_EQ(w.Command区域(0), nullptr);
    EXPECT_THROW(w.Command区域(kZones + 1), std::out_of_range);
    EXPECT_THROW(w.Command机器IP(-1), std::out_of_range);
    EXPECT_NE(w.Command定时任务(kSlots), nullptr);
}

// The captions of the fixed controls, as the operator reads them.
TEST(MainWindowCaptions, FramesLabelsAndButtons) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("M-4500 设置C30"));
    const struct {
        const char* name;
        const char* caption;
    } rows[] = {
        {"Frame1", ""},
        {"Frame区域", "区域"},
        {"Frame机器", "选择机器IP   (鼠标左键选择修改IP，右键选择区域使用的IP)"},
        {"Frame定时任务", "定时任务"},
        {"Label4", "串口"},
        {"Label1", "区域备注"},
        {"Label5", "修改IP"},
        {"Label7", "触发时间"},
        {"Label8", "："},
        {"Label2", "场景"},
        {"Label6", "任务备注"},
        {"Command下载参数到机器", "下载参数到机器"},
        {"Command保存", "保存"},
        {"Command电脑时间同步", "电脑时间同步"},
        {"Command退出下载", "退出"},
    };
    for (const auto& row : rows) {
        const QString name = QString::fromUtf8(row.name);
        QWidget* widget = w.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << row.name;
        QString text;
        if (auto* box = qobject_cast<QGroupBox*>(widget)) {
            text = box->title();
        } else if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = label->text();
        } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
            text = button->text();
        }
        EXPECT_EQ(text, QString::fromUtf8(row.caption)) << row.name;
    }
    // The port list's own caption, until the serial form's initialise puts the remembered port.
    EXPECT_EQ(w.Combo串口->currentText(), QStringLiteral("1"));
}

TEST(MachineButtons, RightPressesToggleOnlyTheCurrentZone) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    rig.config.ZoneUsesMachine[4][9] = 1;
    w.Command区域(3)->click();
    ASSERT_EQ(w.CurZone, 3);
    ConfigTables before = rig.config;

    QTest::mousePress(w.Command机器IP(9), Qt::RightButton);
    EXPECT_EQ(rig.config.ZoneUsesMachine[3][9], 1);
    EXPECT_TRUE(IsHighlighted(w.Command机器IP(9)));
    EXPECT_EQ(CountHighlighted(w.Command机器IP, kMachines), 1);
    EXPECT_EQ(w.CurMachine, 9);

    QTest::mousePress(w.Command机器IP(9), Qt::RightButton);
    EXPECT_EQ(rig.config.ZoneUsesMachine[3][9], 0);
    EXPECT_FALSE(IsHighlighted(w.Command机器IP(9)));
    EXPECT_EQ(rig.config, before);  // zone 4's use of machine 9 included

    // Two quick presses: the second reaches the button as a double-click and counts the same.
    QTest::mouseRelease(w.Command机器IP(9), Qt::RightButton);
    const QPointF at(w.Command机器IP(9)->rect().center());
    QMouseEvent again(QEvent::MouseButtonDblClick, at, w.Command机器IP(9)->mapToGlobal(at),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QTest::mousePress(w.Command机器IP(9), Qt::RightButton);
    QApplication::sendEvent(w.Command机器IP(9), &again);
    EXPECT_EQ(rig.config, before);
    EXPECT_FALSE(IsHighlighted(w.Command机器IP(9)));

    w.Command区域(4)->click();
    EXPECT_TRUE(IsHighlighted(w.Command机器IP(9)));
    EXPECT_EQ(CountHighlighted(w.Command机器IP, kMachines), 1);
}

TEST(MachineButtons, LeftOrMiddlePressOnlySelects) {
    for (Qt::MouseButton button : {Qt::LeftButton, Qt::MiddleButton}) {
        WindowRig rig;
        rig.config.MachineIp[12] = 42;
        Form主窗体& w = rig.load();
        rig.config.MachineIp[12] = 42;  // the load found no task file and kept the tables
        w.Command区域_Click(1);
        const ConfigTables before = rig.config;
        QTest::mousePress(w.Command机器IP(12), button);
        EXPECT_EQ(w.CurMachine, 12);
        EXPECT_EQ(w.Combo修改IP->currentText(), "042");
        EXPECT_EQ(w.focusWidget(), w.Command机器IP(12));
        EXPECT_EQ(rig.config, before);
        EXPECT_FALSE(IsHighlighted(w.Command机器IP(12)));
        QTest::mouseRelease(w.Command机器IP(12), button);
    }
}

TEST(MachineButtons, BeforeAnyPressTheAddressListEditsMachineZero) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    Choose(w.Combo修改IP, "009");
    EXPECT_EQ(rig.config.MachineIp[0], 9);
    for (int m = 1; m <= kMachines; ++m) {
        EXPECT_EQ(rig.config.MachineIp[m], 0);
        EXPECT_EQ(w.Command机器IP(m)->text(), QString());
    }
    // After a press the list edits that machine, and its caption follows.
    QTest::mousePress(w.Command机器IP(2), Qt::LeftButton);
    EXPECT_EQ(w.Combo修改IP->currentText(), QStringLiteral("无"));
    Choose(w.Combo修改IP, "254");
    EXPECT_EQ(rig.config.MachineIp[2], 254);
    EXPECT_EQ(w.Command机器IP(2)->text(), "254");
    EXPECT_EQ(rig.config.MachineIp[0], 9);
}

TEST(ChoiceLists, ItemsAndStoredPositions) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    const struct {
        QComboBox* list;
        int count;
        QString second, last;
    } rows[] = {
        {w.Combo小时, 25, "00", "23"},
        {w.Combo分钟, 61, "00", "59"},
        {w.Combox场景, 31, "01", "30"},
        {w.Combo修改IP, 255, "001", "254"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.list->count(), row.count);
        EXPECT_EQ(row.list->itemText(0), QStringLiteral("无"));
        EXPECT_EQ(row.list->itemText(1), row.second);
        EXPECT_EQ(row.list->itemText(row.count - 1), row.last);
    }
    w.Command区域(6)->click();
    w.Command定时任务(4)->click();
    Choose(w.Combo小时, "07");
    Choose(w.Combo分钟, "00");
    Choose(w.Combox场景, "30");
    EXPECT_EQ(rig.config.TaskHour[6][4], 8);
    EXPECT_EQ(rig.config.TaskMinute[6][4], 1);
    EXPECT_EQ(rig.config.TaskScene[6][4], 30);
    // Arrow keys still choose.
    QTest::keyClick(w.Combo小时, Qt::Key_Down);
    EXPECT_EQ(rig.config.TaskHour[6][4], 9);
    EXPECT_EQ(w.Combo小时->currentText(), "08");
}

// Typed keys and input-method text alike.
TEST(ChoiceLists, TypedCharactersChangeNothing) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    QTest::mousePress(w.Command机器IP(1), Qt::LeftButton);
    Choose(w.Combo小时, "07");
    rig.session.PortNumber = 4;
    const ConfigTables before = rig.config;
    for (QComboBox* list : {w.Combo小时, w.Combo分钟, w.Combox场景, w.Combo修改IP, w.Combo串口}) {
        const QString text = list->currentText();
        const int index = list->currentIndex();
        for (QWidget* target :
             {static_cast<QWidget*>(list), static_cast<QWidget*>(list->lineEdit()),
              static_cast<QWidget*>(list->view())}) {
            QTest::keyClicks(target, "12a");
            QTest::keyClick(target, Qt::Key_Backspace);
            QTest::keyClick(target, Qt::Key_Delete);
            QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
            for (const QString& commit : {QStringLiteral("07七"), QStringLiteral("05")}) {
                QInputMethodEvent composing(QStringLiteral("七"), {});
                QApplication::sendEvent(target, &composing);
                QInputMethodEvent committed;
                committed.setCommitString(commit);
                QApplication::sendEvent(target, &committed);
                QTest::keyClick(target, Qt::Key_Return);
            }
        }
        EXPECT_EQ(list->currentText(), text) << list->objectName().toStdString();
        EXPECT_EQ(list->currentIndex(), index) << list->objectName().toStdString();
    }
    EXPECT_EQ(rig.config, before);
    EXPECT_EQ(rig.session.PortNumber, 4);
    EXPECT_FALSE(QFile::exists(rig.process.SystemIniPath));
}

// The wheel over a list that lacks the keyboard focus neither turns it nor gives it the focus;
// a list that has the focus turns.
TEST(ChoiceLists, WheelTurnsOnlyTheFocusedList) {
    WindowRig rig(std::make_unique<ListedPortsBackend>(QSet<int32_t>{2, 5}));
    ASSERT_TRUE(WriteFileBytes(rig.process.SystemIniPath, "\xE4\xB8\xB2\xE5\x8F\xA3=2\r\n"));
    rig.config.MachineIp[1] = 10;
    rig.app.BringUp();
    Form主窗体& w = *rig.window;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::mousePress(w.Command机器IP(1), Qt::LeftButton);
    QTest::mouseRelease(w.Command机器IP(1), Qt::LeftButton);
    for (QComboBox* list : {w.Combo小时, w.Combo分钟, w.Combox场景, w.Combo修改IP, w.Combo串口}) {
        SCOPED_TRACE(list->objectName().toStdString());
        w.Text区域备注->setFocus();
        const int index = list->currentIndex();
        const ConfigTables before = rig.config;
        TurnWheel(list, false);
        TurnWheel(list, true);
        EXPECT_EQ(list->currentIndex(), index);
        EXPECT_FALSE(list->hasFocus());
        EXPECT_EQ(rig.config, before);
        EXPECT_EQ(rig.session.PortNumber, 2);

        list->setFocus();
        TurnWheel(list, true);
        EXPECT_EQ(list->currentIndex(), index + 1);
    }
    EXPECT_EQ(rig.config.MachineIp[1], 11);
    EXPECT_EQ(rig.session.PortNumber, 5);
    EXPECT_TRUE(ReadFileBytes(rig.process.SystemIniPath).contains("\xE4\xB8\xB2\xE5\x8F\xA3=5"));
}

TEST(ChoiceLists, ValueBeyondTheListIsShownAndKept) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    rig.config.TaskHour[1][1] = 200;
    rig.config.TaskScene[1][1] = 31;
    w.Command区域_Click(1);
    EXPECT_EQ(w.Combo小时->currentIndex(), -1);
    EXPECT_EQ(w.Combo小时->currentText(), "200");
    EXPECT_EQ(w.Combox场景->currentText(), "31");
    w.Command定时任务(1)->click();
    EXPECT_EQ(rig.config.TaskHour[1][1], 200);
    EXPECT_EQ(rig.config.TaskScene[1][1], 31);
    Choose(w.Combo小时, "05");
    EXPECT_EQ(rig.config.TaskHour[1][1], 6);
}

TEST(Remarks, ZoneRemarkRenamesItsButtonAtEachKeystroke) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.Command区域(5)->click();
    const QString typed = QStringLiteral("走廊B2");
    for (int i = 0; i < typed.size(); ++i) {
        // One keystroke that types one character (QTest::keyClicks knows only Latin-1 keys).
        QTest::sendKeyEvent(QTest::Click, w.Text区域备注, Qt::Key_unknown, typed.mid(i, 1),
                            Qt::NoModifier);
        EXPECT_EQ(rig.config.ZoneRemark[5], typed.left(i + 1));
        EXPECT_EQ(w.Command区域(5)->text(), typed.left(i + 1));
    }
    EXPECT_EQ(w.Command区域(4)->text(), QString());
    QTest::keyClick(w.Text区域备注, Qt::Key_Backspace);
    EXPECT_EQ(w.Command区域(5)->text(), typed.left(typed.size() - 1));
}

// A key typed into a full box goes into the remark; the file keeps its first 20 code units. A
// remark wider than its box is shown from its start.
TEST(Remarks, FullBoxTakesAKeyAndTheFileKeepsTwentyUnits) {
    WindowRig rig;
    ConfigTables c;
    c.ZoneRemark[1] = c.TaskRemark[1] = "ABCDEFGHIJKLMNOPQRST";
    c.ZoneRemark[2] = c.TaskRemark[2] = QString(20, QChar(0x8D70));  // 走
    ASSERT_TRUE(WriteFileBytes(rig.taskFile(), BuildTaskImage(c)));
    Form主窗体& w = rig.load();
    const struct {
        QLineEdit* box;
        QString& remark;
    } rows[] = {{w.Text区域备注, rig.config.ZoneRemark[1]},
                {w.Text任务备注, rig.config.TaskRemark[1]}};
    for (const auto& row : rows) {
        QTest::keyClick(row.box, Qt::Key_Home);
        QTest::keyClicks(row.box, "X");
        EXPECT_EQ(row.remark, "XABCDEFGHIJKLMNOPQRST") << row.box->objectName().toStdString();
        // The box says what the file will not keep, and stops saying so once it fits.
        EXPECT_TRUE(row.box->toolTip().contains(QStringLiteral("XABCDEFGHIJKLMNOPQRS")) &&
                    row.box->toolTip().contains(QStringLiteral("多出的 1 个字符")))
            << row.box->toolTip().toStdString();
        QTest::keyClick(row.box, Qt::Key_Backspace);
        EXPECT_TRUE(row.box->toolTip().isEmpty());
        QTest::keyClicks(row.box, "X");
    }
    w.findChild<QPushButton*>(QStringLiteral("Command保存"))->click();
    ConfigTables saved;
    ASSERT_EQ(LoadTaskFile(saved, rig.taskFile()).status, LoadStatus::Loaded);
    EXPECT_EQ(saved.ZoneRemark[1], "XABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(saved.TaskRemark[1], "XABCDEFGHIJKLMNOPQRS");

    w.Command区域(2)->click();
    w.Command定时任务(2)->click();
    for (QLineEdit* box : {w.Text区域备注, w.Text任务备注}) {
        EXPECT_EQ(box->text(), QString(20, QChar(0x8D70)));
        EXPECT_EQ(box->cursorPosition(), 0) << box->objectName().toStdString();
    }
}

TEST(Remarks, TaskRemarkIsSharedWhileHourMinuteSceneArePerZone) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.Command区域(7)->click();
    w.Command定时任务(3)->click();
    QTest::keyClicks(w.Text任务备注, "Gate");
    Choose(w.Combo小时, "06");
    Choose(w.Combo分钟, "30");
    Choose(w.Combox场景, "02");
    EXPECT_EQ(w.Command定时任务(3)->text(), "[3]\nGate");

    w.Command区域(2)->click();
    EXPECT_EQ(w.CurTask, 3);
    EXPECT_EQ(w.Text任务备注->text(), "Gate");
    EXPECT_EQ(w.Command定时任务(3)->text(), "[3]\nGate");
    EXPECT_EQ(w.Combo小时->currentText(), QStringLiteral("无"));
    EXPECT_EQ(w.Combo分钟->currentText(), QStringLiteral("无"));
    EXPECT_EQ(w.Combox场景->currentText(), QStringLiteral("无"));
    EXPECT_EQ(rig.config.TaskRemark[3], "Gate");
    EXPECT_EQ(rig.config.TaskHour[7][3], 7);
    EXPECT_EQ(rig.config.TaskMinute[7][3], 31);
    EXPECT_EQ(rig.config.TaskScene[7][3], 2);
    EXPECT_EQ(rig.config.TaskHour[2][3], 0);

    w.Command区域(7)->click();
    EXPECT_EQ(w.Combo小时->currentText(), "06");
    EXPECT_EQ(w.Combo分钟->currentText(), "30");
    EXPECT_EQ(w.Combox场景->currentText(), "02");
}

TEST(TaskButtons, BoldOnlyAtTheNextRefreshAfterTheSceneIsChosen) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.Command定时任务(5)->click();
    Choose(w.Combo小时, "00");
    Choose(w.Combo分钟, "00");
    EXPECT_FALSE(w.Command定时任务(5)->font().bold());
    Choose(w.Combox场景, "01");
    EXPECT_EQ(rig.config.TaskScene[1][5], 1);
    EXPECT_FALSE(w.Command定时任务(5)->font().bold());
    w.Command定时任务(5)->click();
    EXPECT_TRUE(w.Command定时任务(5)->font().bold());
    w.Command区域(2)->click();
    EXPECT_FALSE(w.Command定时任务(5)->font().bold());
}

TEST(FullRefresh, ExactlyOneZoneAndOneTaskHighlighted) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    const int zones[] = {1, 32, 9, 9, 17, 3};
    const int tasks[] = {18, 1, 6, 7, 12, 2};
    for (int i = 0; i < 6; ++i) {
        w.Command区域(zones[i])->click();
        w.Command定时任务(tasks[i])->click();
        EXPECT_EQ(CountHighlighted(w.Command区域, kZones), 1);
        EXPECT_EQ(CountHighlighted(w.Command定时任务, kSlots), 1);
        EXPECT_TRUE(IsHighlighted(w.Command区域(zones[i])));
        EXPECT_TRUE(IsHighlighted(w.Command定时任务(tasks[i])));
        EXPECT_EQ(w.FlagRefreshing, kFalse);
    }
    // Highlight is light green (red 128, green 255, blue 128); neutral is the button face.
    EXPECT_EQ(w.Command区域(3)->palette().color(QPalette::Button), QColor(0x80, 0xFF, 0x80));
    EXPECT_EQ(w.Command区域(4)->palette().color(QPalette::Button),
              QApplication::palette(w.Command区域(4)).color(QPalette::Button));
}

TEST(WindowCommands, SaveWritesTheTaskFileOrSaysWhyNot) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    rig.messages.shown.clear();
    rig.config.MachineIp[1] = 5;
    w.findChild<QPushButton*>(QStringLiteral("Command保存"))->click();
    EXPECT_EQ(ReadFileBytes(rig.taskFile()), BuildTaskImage(rig.config));
    EXPECT_TRUE(rig.messages.shown.isEmpty());

    WindowRig broken(std::make_unique<ListedPortsBackend>(), rig.appDir + "/missing/dir");
    Form主窗体& bw = broken.load();
    broken.messages.shown.clear();
    bw.findChild<QPushButton*>(QStringLiteral("Command保存"))->click();
    ASSERT_EQ(broken.messages.shown.size(), 1);
    EXPECT_TRUE(broken.messages.shown[0].contains(QDir::toNativeSeparators(broken.taskFile())));
}

TEST(WindowCommands, ClosingRequestsTheExit) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.show();
    EXPECT_EQ(rig.process.ExitRequested, kFalse);
    w.close();
    EXPECT_EQ(rig.process.ExitRequested, kTrue);
    EXPECT_FALSE(w.isVisible());
}

TEST(PortList, EntriesTellTheirDeviceAndAPickIsRemembered) {
    WindowRig rig(std::make_unique<ListedPortsBackend>(QSet<int32_t>{2, 5}));
    ASSERT_TRUE(WriteFileBytes(rig.process.SystemIniPath, "COM5=/dev/m45-demo\r\n"));
    rig.app.BringUp();
    Form主窗体& w = *rig.window;
    QComboBox* list = w.Combo串口;
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentText(), "0");
#ifdef Q_OS_WIN  // COMn= lines do not apply there: port 5 is COM5
    const char* device = "COM5";
#else
    const char* device = "/dev/m45-demo";
#endif
    EXPECT_TRUE(list->itemData(1, Qt::ToolTipRole).toString().contains(device));
    EXPECT_TRUE(list->toolTip().contains(device));
    QTest::keyClick(list, Qt::Key_Down);  // the operator moves to "5"
    EXPECT_EQ(rig.session.PortNumber, 5);
    EXPECT_TRUE(ReadFileBytes(rig.process.SystemIniPath).contains("\xE4\xB8\xB2\xE5\x8F\xA3=5"));
}

// The keyboard reaches what the mouse does in the grids: the arrows move within a grid, Tab
// leaves it, Space and Enter press as the left button, Ctrl+Space on a machine as the right one.
TEST(Keyboard, GridsAreWalkedAndPressedByKeys) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "keys reach a focused control only in an active window, which Qt's minimal "
                    "platform under Wine does not give";
#endif
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    const struct {
        QWidget* from;
        Qt::Key key;
        QWidget* to;
    } moves[] = {
        {w.Command机器IP(1), Qt::Key_Right, w.Command机器IP(2)},
        {w.Command机器IP(2), Qt::Key_Down, w.Command机器IP(18)},
        {w.Command机器IP(18), Qt::Key_Up, w.Command机器IP(2)},
        {w.Command机器IP(1), Qt::Key_Left, w.Command机器IP(1)},  // the edge holds
        {w.Command区域(8), Qt::Key_Down, w.Command区域(16)},
        {w.Command定时任务(1), Qt::Key_End, w.Command定时任务(18)},
    };
    for (const auto& move : moves) {
        move.from->setFocus();
        QTest::keyClick(move.from, move.key);
        EXPECT_EQ(QApplication::focusWidget(), move.to) << move.from->objectName().toStdString();
    }
    for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
        w.Command机器IP(5)->setFocus();
        QTest::keyClick(w.Command机器IP(5), key);
        EXPECT_FALSE(QApplication::focusWidget()->objectName().startsWith("Command机器IP"))
            << "Tab walks the grid instead of leaving it";
    }
    QTest::keyClick(w.Command区域(3), Qt::Key_Return);
    EXPECT_EQ(w.CurZone, 3);
    QTest::keyClick(w.Command机器IP(7), Qt::Key_Space);
    EXPECT_EQ(w.CurMachine, 7);
    const uint8_t used = rig.config.ZoneUsesMachine[3][7];
    QTest::keyClick(w.Command机器IP(7), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_NE(rig.config.ZoneUsesMachine[3][7], used);
}

// A screen too small for the designed size gets the largest scale that fits, window and frame
// together; a screen large enough keeps the designed size.
TEST(ScreenFit, LargestScaleThatFits) {
    const QSize decoration(24, 96);
    const struct {
        QSize available;  // the screen's free area, in Qt's pixels
        double scale;
    } rows[] = {
        {{1920, 1040}, 1.0},
        {{1093, 582}, (582.0 - 96) / 669},  // 1366x768 at 125 %, less the task bar
        {{640, 472}, (472.0 - 96) / 669},   // 1280x1024 at 200 %
        {{1000, 1000}, (1000.0 - 24) / 1068},
    };
    for (const auto& row : rows) {
        const double scale = ScaleToFit(row.available, decoration);
        EXPECT_NEAR(scale, row.scale, 0.002)
            << row.available.width() << "x" << row.available.height();
        SetLayoutScale(scale);
        EXPECT_LE(TwipsToPixels(kClientWidthTwips) + decoration.width(), row.available.width());
        EXPECT_LE(TwipsToPixels(kClientHeightTwips) + decoration.height(), row.available.height());
    }
    SetLayoutScale(1.0);
}
