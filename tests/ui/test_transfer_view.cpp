// What the window shows of a transfer beside the log: the progress bar over the log view and the
// status line, on the in-memory line with the emulator's controller and its faults, in virtual
// time. The log itself stays exactly the designed text.
#include "support/ui_rig.h"
#include "util/language.h"

#include <QLabel>
#include <QProgressBar>

namespace {

struct ViewRig {
    explicit ViewRig(VirtualLineOptions options = {})
        : rig(std::make_unique<VirtualLine>(clock, std::move(options)), {}, &clock),
          window(rig.load()) {
        rig.session.PortNumber = 7;
    }
    QLabel* status() const { return window.findChild<QLabel*>(QStringLiteral("Label状态")); }
    QProgressBar* bar() const {
        return window.findChild<QProgressBar*>(QStringLiteral("Progress下载"));
    }

    VirtualClock clock;
    WindowRig rig;
    Form主窗体& window;
};

const QString kDownloaded = QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                            QStringLiteral("\r\n校验中...\r\n校验成功>>下载成功\r\n");
const QString kVerifyFailed = QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                              QStringLiteral("\r\n校验中...\r\n>>校验失败\r\n");

// The bar follows the controller's acknowledgements, block by block, and ends with the outcome.
TEST(TransferView, ProgressFollowsTheAcknowledgedBlocks) {
    ViewRig v;
    std::vector<int> values;
    QString atFifth;
    v.clock.onPump = [&] {
        if (values.empty() || values.back() != v.bar()->value()) {
            values.push_back(v.bar()->value());
        }
        if (v.bar()->value() == 5 && atFifth.isEmpty()) {
            atFifth = v.bar()->format();
        }
    };
    v.window.Command下载参数到机器_Click();
    EXPECT_EQ(v.window.logText(), kDownloaded);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 31);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_EQ(v.bar()->maximum(), 31);
    EXPECT_TRUE(atFifth.startsWith(QStringLiteral("第 5 / 31 块  16%  已用 ")))
        << atFifth.toStdString();
    EXPECT_TRUE(v.bar()->format().startsWith(QStringLiteral("下载成功，用时 ")));
    EXPECT_EQ(v.status()->text(), v.bar()->format());
    EXPECT_TRUE(v.bar()->isVisible() || !v.window.isVisible());
    v.window.Command退出下载_Click();
    EXPECT_TRUE(v.bar()->isHidden());
    EXPECT_EQ(v.status()->text(), v.bar()->format()) << "the status line stays after the view";
}

struct ReasonRow {
    const char* name;
    VirtualLineOptions options;
    int32_t port;
    QString log;
    QString status;  // what the status line says (a part of it)
};

void PrintTo(const ReasonRow& r, std::ostream* os) {
    *os << r.name;
}

class DownloadStatus : public ::testing::TestWithParam<ReasonRow> {};

TEST_P(DownloadStatus, SaysWhatWentWrongAndLeavesTheLogAlone) {
    const ReasonRow& row = GetParam();
    ViewRig v(row.options);
    v.rig.session.PortNumber = row.port;
    v.window.Command下载参数到机器_Click();
    EXPECT_EQ(v.window.logText(), row.log);
    EXPECT_TRUE(v.status()->text().contains(row.status)) << v.status()->text().toStdString();
    EXPECT_EQ(v.bar()->format(), v.status()->text());
    EXPECT_TRUE(v.window.updatesEnabled()) << "painting held after the download";
    EXPECT_NE(v.status()->palette().color(QPalette::Disabled, QPalette::WindowText),
              v.window.palette().color(QPalette::Disabled, QPalette::WindowText))
        << "the outcome in the disabled frame's grey";
}

const QString kNoHandshake = QStringLiteral(">>读取文件\r\n>>握手失败\r\n");

INSTANTIATE_TEST_SUITE_P(
    Faults, DownloadStatus,
    ::testing::Values(
        ReasonRow{"PortAbsent", {}, 8, kNoHandshake, QStringLiteral("串口 8 无法打开：")},
        ReasonRow{"PortBusy",
                  {.refusal = OpenFailure::Busy},
                  7,
                  kNoHandshake,
                  QStringLiteral("串口 7 无法打开：被另一个程序占用")},
        ReasonRow{"PermissionDenied",
                  {.refusal = OpenFailure::PermissionDenied},
                  7,
                  kNoHandshake,
#ifdef Q_OS_WIN  // no dialout group there: run as a user who may use the port
                  QStringLiteral("串口 7 无法打开：没有权限：请以可以使用该串口的用户运行")},
#else
                  QStringLiteral("串口 7 无法打开：没有权限：请把用户加入 dialout 组")},
#endif
        ReasonRow{"NoPortChosen", {}, 0, kNoHandshake, QStringLiteral("没有选择串口")},
        ReasonRow{"LineHungUp",
                  {.faults = {.hangUpAt = 3}},
                  7,
                  QStringLiteral(">>读取文件\r\n>>握手成功\r\n->>握手失败\r\n"),
                  QStringLiteral("串口 7（virtual:7）：")},
        ReasonRow{"RequestUnanswered",
                  {.faults = {.silentFrom = 1}},
                  7,
                  kNoHandshake,
                  QStringLiteral("控制器没有应答下载请求（串口 7 (virtual:7)）")},
        ReasonRow{"ThirdBlockUnanswered",
                  {.faults = {.silentFrom = 4}},
                  7,
                  QStringLiteral(">>读取文件\r\n>>握手成功\r\n-->>握手失败\r\n"),
                  QStringLiteral("控制器没有应答第 3 块（共 31 块，串口 7 (virtual:7)）")},
        ReasonRow{"VerifyNotGood",
                  {.faults = {.failVerify = true}},
                  7,
                  kVerifyFailed,
                  QStringLiteral("校验失败：控制器报告收到的数据有误")},
        ReasonRow{"VerifyAnsweredWithoutAVerdict",
                  {.faults = {.plainAckVerify = true}},
                  7,
                  kVerifyFailed,
                  QStringLiteral("校验失败：控制器的应答没有校验结果")},
        ReasonRow{"VerifyUnanswered",
                  {.faults = {.silentFrom = 33}},
                  7,
                  kVerifyFailed,
                  QStringLiteral("校验失败：控制器没有应答校验请求")},
        ReasonRow{"Success",
                  {.faults = {.garbage = 3}},
                  7,
                  kDownloaded,
                  QStringLiteral("下载成功，用时 ")}),
    [](const ::testing::TestParamInfo<ReasonRow>& info) { return info.param.name; });

// The time synchronisation's silent failure shows no box and no log, but the status line says
// the controller did not answer; a confirmation is stated there too, with the time it took.
TEST(TransferView, TimeSyncStatus) {
    ViewRig silent({.faults = {.silentFrom = 1}});
    const QStringList boxesAtLoad = silent.rig.messages.shown;  // the first start's box
    silent.window.Command电脑时间同步_Click();
    EXPECT_EQ(silent.rig.messages.shown, boxesAtLoad);
    EXPECT_TRUE(silent.window.logText().isEmpty());
    EXPECT_EQ(silent.status()->text(), QStringLiteral("控制器没有应答（串口 7 (virtual:7)）"))
        << silent.status()->text().toStdString();

    ViewRig confirmed;
    // The operator reads the box for a minute: that is no part of the operation's time.
    confirmed.rig.messages.onShow = [&](const QString&) {
        confirmed.clock.advanceTo(confirmed.clock.nowUs() + 60'000'000);
    };
    const QDateTime sent = confirmed.clock.LocalNow();
    confirmed.window.Command电脑时间同步_Click();
    EXPECT_EQ(confirmed.rig.messages.shown.last(), QStringLiteral("时间同步成功！！！"));
    EXPECT_TRUE(confirmed.status()->text().startsWith(QStringLiteral("时间同步成功，用时 0.1")))
        << confirmed.status()->text().toStdString();
    EXPECT_TRUE(confirmed.status()->text().contains(
        sent.addMSecs(100).toString(QStringLiteral("yyyy-MM-dd HH:mm"))))
        << "the time set is named";
}

}  // namespace

namespace {

// An adapter plugged in after start-up is in the port list the next time it opens, and a pulled
// one is gone; the remembered port and the list's text stay, and nothing is written.
TEST(PortList, ProbedAgainEachTimeItOpens) {
    auto owned = std::make_unique<ListedPortsBackend>(QSet<int32_t>{3});
    ListedPortsBackend& ports = *owned;
    WindowRig rig(std::move(owned));
    ASSERT_TRUE(WriteFileBytes(rig.process.SystemIniPath, "串口=5\r\n"));
    rig.app.BringUp();
    Form主窗体& w = rig.app.mainWindow();
    QComboBox* list = w.Combo串口;
    ASSERT_EQ(list->count(), 1);
    ports.present = {3, 7, 12};
    list->showPopup();
    list->hidePopup();
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->itemText(i);
    }
    EXPECT_EQ(items, (QStringList{"3", "7", "12"}));
    EXPECT_EQ(list->currentText(), "5");
    EXPECT_EQ(rig.session.PortNumber, 5);
    EXPECT_EQ(ReadFileBytes(rig.process.SystemIniPath), QByteArray("串口=5\r\n"));
    ports.present = {7};
    list->showPopup();
    list->hidePopup();
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "7");
    EXPECT_EQ(list->currentText(), "5");
}

}  // namespace

namespace {

// In the English window the status line and the bar speak English too, in the companion's
// words; the log stays the designed text.
TEST(TransferView, EnglishStatusInTheCompanionsWords) {
    const auto english = InstallTranslation(Language::English);
    ASSERT_TRUE(english);
    ViewRig silent({.faults = {.silentFrom = 4}});
    silent.window.Command下载参数到机器_Click();
    EXPECT_EQ(silent.window.logText(),
              QStringLiteral(">>读取文件\r\n>>握手成功\r\n-->>握手失败\r\n"));
    EXPECT_EQ(silent.status()->text(),
              QStringLiteral("no answer from the controller on port 7 (virtual:7) to block 3 of "
                             "31: check the cable and the controller"));
    ViewRig busy({.refusal = OpenFailure::Busy});
    busy.window.Command电脑时间同步_Click();
    EXPECT_EQ(busy.status()->text(),
              QStringLiteral("port 7 did not open: busy: another program holds it (close that "
                             "program and retry) (virtual:7)"));
}

}  // namespace
