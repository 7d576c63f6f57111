#pragma once
// Window Form主窗体: what the window shows of the transfers beside the log, never in it: the
// download's progress bar over the log view (blocks sent of the total, percent, elapsed time;
// at the end the outcome and the total time), and the status line in the top group box that
// says after each download or time synchronisation what became of it, and why.

#include "device/transfer.h"
#include "device/transfer_report.h"
#include "util/clock.h"

#include <QString>
#include <functional>

class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

class TransferView {
  public:
    // The bar goes over the log view of `window`, the status line into `frame` (Frame1);
    // `port` tells which port the transfer used and what became of it.
    // `now` is the transfers' millisecond clock.
    TransferView(QWidget* window, QWidget* frame, std::function<TransferPort()> port,
                 std::function<uint32_t()> now);

    // Label状态: the status line, between "保存" and "电脑时间同步".
    QLabel* Label状态 = nullptr;
    // Progress下载: the download's progress bar, at the foot of the log view.
    QProgressBar* Progress下载 = nullptr;

    // The log view opens for a download: an empty bar above it, no status yet.
    void openForDownload();
    // The log view closes.
    void close();
    // A time synchronisation ended after `elapsedMs`, having sent `set`.
    void timeSyncFinished(TimeSyncOutcome outcome, uint32_t elapsedMs, const QDateTime& set);

    // A download's progress, as the window's TransferListener hears it.
    void downloadStarted(int32_t blocks);
    void replyArrived();
    void blockAcknowledged(int32_t n, int32_t blocks, uint32_t elapsedMs);
    void downloadFinished(const DownloadResult& result);

  private:
    void showStatus(const TransferReport& report);

    void paint(bool now);
    // The bar's text: the stage, the blocks acknowledged and the time so far.
    void showProgress();

    QWidget* window_;
    std::function<TransferPort()> port_;
    std::function<uint32_t()> now_;
    // While a download runs, the time so far keeps counting, also while it waits for a reply.
    QTimer* ticker_ = nullptr;
    uint32_t startedMs_ = 0;
    int32_t blocks_ = -1;  // -1: the request is not answered yet
    int32_t acknowledged_ = 0;
};
