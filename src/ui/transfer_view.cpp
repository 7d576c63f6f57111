#include "ui/transfer_view.h"

#include "ui/control_table.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>

namespace {

// In twips, as the window's layout: the status line fills the free stretch of Frame1 between
// "保存" (ending at 6615) and "电脑时间同步" (starting at 13680); the bar lies along the foot
// of the log view, left of where its "退出" button would not reach.
constexpr int kStatusLeft = 6840, kStatusTop = 180, kStatusWidth = 6600, kStatusHeight = 615;
constexpr int kBarLeft = 240, kBarTop = 9300, kBarWidth = 11640, kBarHeight = 495;

const QColor kFailureText(170, 0, 0);
constexpr int kTickMs = 200;

QString Seconds(uint32_t ms) {
    return QString::number(double(ms) / 1000.0, 'f', 1);
}

}  // namespace

TransferView::TransferView(QWidget* window, QWidget* frame, std::function<TransferPort()> port,
                           std::function<uint32_t()> now)
    : window_(window), port_(std::move(port)), now_(std::move(now)) {
    ticker_ = new QTimer(window);
    ticker_->setInterval(kTickMs);
    QObject::connect(ticker_, &QTimer::timeout, window, [this] { showProgress(); });
    Label状态 = new QLabel(frame);
    Label状态->setObjectName(QStringLiteral("Label状态"));
    Label状态->setGeometry(TwipsToPixels(kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight));
    Label状态->setWordWrap(true);
    Label状态->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Progress下载 = new QProgressBar(window);
    Progress下载->setObjectName(QStringLiteral("Progress下载"));
    Progress下载->setGeometry(TwipsToPixels(kBarLeft, kBarTop, kBarWidth, kBarHeight));
    Progress下载->setAlignment(Qt::AlignCenter);
    Progress下载->hide();
}

void TransferView::openForDownload() {
    Label状态->clear();
    Label状态->setToolTip(QString());
    Progress下载->setRange(0, 1);
    Progress下载->setValue(0);
    startedMs_ = now_();
    blocks_ = -1;
    acknowledged_ = 0;
    showProgress();
    Progress下载->show();
    Progress下载->raise();
    ticker_->start();
}

void TransferView::close() {
    ticker_->stop();
    Progress下载->hide();
}

void TransferView::downloadStarted(int32_t blocks) {
    Progress下载->setRange(0, std::max(blocks, 1));
    Progress下载->setValue(0);
    blocks_ = blocks;
    acknowledged_ = 0;
    Progress下载->setFormat(QCoreApplication::translate("Form主窗体", "第 0 / %1 块").arg(blocks));
}

void TransferView::showProgress() {
    const QString elapsed = Seconds(now_() - startedMs_);
    if (blocks_ < 0) {
        Progress下载->setFormat(
            QCoreApplication::translate("Form主窗体", "正在连接控制器…  已用 %1 秒").arg(elapsed));
        return;
    }
    Progress下载->setFormat(
        QCoreApplication::translate("Form主窗体", "第 %1 / %2 块  %3%  已用 %4 秒")
            .arg(acknowledged_)
            .arg(blocks_)
            .arg(blocks_ > 0 ? acknowledged_ * 100 / blocks_ : 0)
            .arg(elapsed));
}

// The window paints again once the next frame is on its way; what changed meanwhile (the log's
// "-", the bar) is painted then, while the block crosses the line.
void TransferView::paint(bool now) {
    window_->setUpdatesEnabled(now);
}

void TransferView::replyArrived() {
    paint(false);
}

void TransferView::blockAcknowledged(int32_t n, int32_t blocks, uint32_t elapsedMs) {
    paint(true);
    blocks_ = blocks;
    acknowledged_ = n;
    Progress下载->setFormat(
        QCoreApplication::translate("Form主窗体", "第 %1 / %2 块  %3%  已用 %4 秒")
            .arg(n)
            .arg(blocks)
            .arg(blocks > 0 ? n * 100 / blocks : 0)
            .arg(Seconds(elapsedMs)));
    Progress下载->setValue(n);  // after the text, so whoever sees the value sees its text
}

void TransferView::downloadFinished(const DownloadResult& result) {
    ticker_->stop();
    paint(true);
    const TransferReport report = DescribeDownload(result, port_());
    Progress下载->setFormat(report.text);
    showStatus(report);
}

void TransferView::timeSyncFinished(TimeSyncOutcome outcome, uint32_t elapsedMs,
                                    const QDateTime& set) {
    showStatus(DescribeTimeSync(outcome, elapsedMs, port_(), set));
}

void TransferView::showStatus(const TransferReport& report) {
    QPalette palette = Label状态->palette();
    // In every state of the frame: a download sets the text while the frame is still disabled,
    // and its grey would make the outcome unreadable.
    palette.setColor(QPalette::WindowText, report.ok ? Label状态->parentWidget()->palette().color(
                                                           QPalette::Active, QPalette::WindowText)
                                                     : kFailureText);
    Label状态->setPalette(palette);
    Label状态->setText(report.text);
    Label状态->setToolTip(report.text);  // the whole text, when two lines cannot hold it
}
