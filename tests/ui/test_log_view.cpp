// The log view and the time synchronisation against the controller emulator on a
// pseudo-terminal, through the real serial layer.

#include "support/emulator.h"
#include "ui/control_table.h"
#include "support/ui_rig.h"
#include "ui/window_menus.h"
#include "util/language.h"

#include <gtest/gtest.h>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct EmulatedRig {
    explicit EmulatedRig(const QStringList& emuArgs) : emu(emuArgs) {}
    void start() {
        ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
        ASSERT_TRUE(WritePortSetting(ini(), 6, emu.devicePath()));
        rig = std::make_unique<WindowRig>(MakeSystemSerialBackend(PortMap(ini())), temp.path());
        rig->load();
        rig->session.PortNumber = 6;
    }
    QString ini() const { return QDir(temp.path()).filePath("system.ini"); }
    EmulatorProcess emu;
    QTemporaryDir temp;
    std::unique_ptr<WindowRig> rig;
};

QPushButton* Button(Form主窗体& w, const char* name) {
    return w.findChild<QPushButton*>(QString::fromUtf8(name));
}

// The log of a whole download of the task file: the record operators and tests read, the same in
// every language of the window.
QString WholeDownloadLog() {
    return QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, '-') +
           QStringLiteral("\r\n校验中...\r\n校验成功>>下载成功\r\n");
}

}  // namespace

TEST(LogView, DownloadWritesTheFiveLinesAndExitHidesTheView) {
    EmulatedRig e({"--no-pacing"});
    ASSERT_NO_FATAL_FAILURE(e.start());
    Form主窗体& w = *e.rig->window;
    w.show();
    const QString expected = WholeDownloadLog();
    for (int round = 0; round < 2; ++round) {  // the second download starts with an empty log
        // Seen from inside the download: the exit button hidden, the covered controls out of
        // the keyboard's reach.
        bool exitShown = true;
        bool editingEnabled = true;
        QTimer::singleShot(0, &w, [&] {
            exitShown = w.Command退出下载->isVisible();
            editingEnabled = Button(w, "Command保存")->isEnabled() ||
                             w.menus().menuBar()->isEnabled();  // no undo behind the log
        });
        Button(w, "Command下载参数到机器")->click();
        EXPECT_FALSE(exitShown);
        EXPECT_FALSE(editingEnabled);
        EXPECT_FALSE(Button(w, "Command下载参数到机器")->isEnabled());  // until "退出"
        EXPECT_EQ(w.logText(), expected) << "round " << round;
        EXPECT_EQ(w.Text下载显示->toPlainText(), QString(expected).remove('\r'));
        EXPECT_TRUE(w.Text下载显示->isVisible());
        EXPECT_EQ(w.Text下载显示->geometry(), w.clientArea()->rect());
        EXPECT_TRUE(w.Command退出下载->isVisible());
        EXPECT_EQ(w.Command退出下载->pos(), QPoint(808, 8));
        w.Command退出下载->click();
        EXPECT_FALSE(w.Text下载显示->isVisible());
        EXPECT_FALSE(w.Command退出下载->isVisible());
        EXPECT_TRUE(Button(w, "Command下载参数到机器")->isEnabled());
        EXPECT_EQ(w.logText(), expected);  // kept until the next download
    }
    EXPECT_EQ(e.rig->process.ExitRequested, kFalse);
    EXPECT_EQ(ReadFileBytes(e.rig->taskFile()), BuildTaskImage(e.rig->config));
}

TEST(LogView, DownloadWhileATransferRunsLeavesEverythingAlone) {
    WindowRig rig;
    Form主窗体& w = rig.load();
    w.show();
    w.transfer().busy = true;
    Button(w, "Command下载参数到机器")->click();
    EXPECT_FALSE(w.Text下载显示->isVisible());
    EXPECT_FALSE(w.Command退出下载->isVisible());
    EXPECT_TRUE(w.logText().isEmpty());
    EXPECT_FALSE(QFileInfo(rig.taskFile()).size() > 0);  // not even saved
}

TEST(TimeSync, ConfirmationShowsTheMessageBox) {
    EmulatedRig e({"--no-pacing"});
    ASSERT_NO_FATAL_FAILURE(e.start());
    Form主窗体& w = *e.rig->window;
    e.rig->messages.shown.clear();
    Button(w, "Command电脑时间同步")->click();
    EXPECT_EQ(e.rig->messages.shown, QStringList{QStringLiteral("时间同步成功！！！")});
    EXPECT_EQ(e.rig->session.PortOpen, kFalse);
}

// In English the log is the same record, word for word; the box of the time synchronisation and
// the log view's button are English.
TEST(LogView, EnglishWindowKeepsTheLogAndTranslatesTheBox) {
    const auto english = InstallTranslation(Language::English);
    ASSERT_NE(english, nullptr);
    EmulatedRig e({"--no-pacing"});
    ASSERT_NO_FATAL_FAILURE(e.start());
    Form主窗体& w = *e.rig->window;
    w.show();
    Button(w, "Command下载参数到机器")->click();
    EXPECT_EQ(w.logText(), WholeDownloadLog());
    EXPECT_EQ(w.Text下载显示->toPlainText(), WholeDownloadLog().remove('\r'));
    EXPECT_EQ(w.Command退出下载->text(), "Close");
    w.Command退出下载->click();
    e.rig->messages.shown.clear();
    Button(w, "Command电脑时间同步")->click();
    EXPECT_EQ(e.rig->messages.shown, QStringList{"Time synchronisation succeeded!"});
}
