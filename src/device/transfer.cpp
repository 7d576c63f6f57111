// M_下载: the parameter download and the time synchronisation.
#include "device/transfer.h"

#include "config/taskfile.h"
#include "util/hexconv.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace {

constexpr int32_t kBlockSize = 512;
constexpr int32_t kReplyCycles = 500;
constexpr int32_t kTimeAckCycles = 100;
constexpr uint32_t kSettleMs = 100;

// Marks the context busy for the length of one transfer. Waits pump events, so a second click
// can arrive in the middle of a transfer; the flag makes it bounce off instead of opening the
// port a second time under the running one.
class BusyScope {
  public:
    explicit BusyScope(TransferContext& ctx) : ctx_(ctx) { ctx_.busy = true; }
    ~BusyScope() { ctx_.busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    TransferContext& ctx_;
};

uint8_t ByteOfWord(int64_t value, int selector) {
    return uint8_t(HexNotationValue(Fun_ByteOfWord(value, selector)));
}

// Every device operation owns the port from its forced open to its close: the body runs between
// the 100 ms settling wait and the close, which happens on every path.
template <typename Outcome, typename Body>
Outcome OnOpenPort(TransferContext& ctx, Outcome busy, Body body) {
    if (ctx.busy) {
        return busy;
    }
    BusyScope scope(ctx);
    ctx.session.Fun_强制打开串口();
    ctx.clock.Fun_DelayMs(kSettleMs);
    Outcome outcome = body();
    ctx.session.Fun_关闭串口();
    return outcome;
}

// A block's acknowledgement, shown to the progress view only once the next frame is on its way:
// painting it in the gap between the reply and the next block would slow every download.
struct PendingProgress {
    int32_t acknowledged = 0;
    int32_t blocks = 0;
    uint32_t elapsedMs = 0;
    int32_t shown = 0;
    void acknowledge(TransferContext& ctx, int32_t n, int32_t total) {
        acknowledged = n;
        blocks = total;
        elapsedMs = ctx.clock.timeGetTime() - ctx.startedMs;
    }
    void show(TransferContext& ctx) {
        if (shown < acknowledged) {
            shown = acknowledged;
            ctx.listener.blockAcknowledged(acknowledged, blocks, elapsedMs);
        }
    }
};

bool SendAndWait(TransferContext& ctx, uint8_t command, int32_t n,
                 PendingProgress* pending = nullptr) {
    ctx.proto.FlagReply = kFalse;
    Fun_SendFrame(ctx.proto, ctx.port, command, n);
    if (pending != nullptr) {
        pending->show(ctx);
    }
    ctx.session.Fun_串口接收delay(ctx.proto.FlagReply, kReplyCycles);
    return ctx.proto.FlagReply == kTrue;
}

// The whole file in one piece. A file that cannot be opened counts as missing; the length is
// what was actually read, so a file changing under us cannot make the blocks overrun the image.
QByteArray ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    QByteArray image = file.readAll();
    file.close();
    return image;
}

uint16_t FileSum(const QByteArray& image) {
    uint16_t sum = 0;
    for (const char c : image) {
        sum = uint16_t(sum + uint8_t(c));
    }
    return sum;
}

bool SendRequest(TransferContext& ctx, const QByteArray& image) {
    const int64_t length = image.size();
    const uint16_t sum = FileSum(image);
    ctx.proto.TxBuff[0] = ByteOfWord(length, 1);
    ctx.proto.TxBuff[1] = ByteOfWord(length, 2);
    ctx.proto.TxBuff[2] = ByteOfWord(sum, 1);
    ctx.proto.TxBuff[3] = ByteOfWord(sum, 2);
    return SendAndWait(ctx, kCmdDownloadRequest, 4);
}

int32_t BlockCount(qsizetype length) {
    return int32_t((length + kBlockSize - 1) / kBlockSize);
}

// Blocks of at most 512 bytes, each answered before the next; the payload of the last one stays
// in TxBuff for the verify request. Ends early when a block goes unanswered or the exit is
// requested; `result.acknowledged` counts the blocks that were answered.
void SendBlocks(TransferContext& ctx, const QByteArray& image, DownloadResult& result,
                PendingProgress& pending) {
    const int32_t length = int32_t(image.size());
    int32_t position = 0;
    for (;;) {
        const int32_t k = std::min(length - position, kBlockSize);
        std::copy_n(reinterpret_cast<const uint8_t*>(image.constData()) + position, k,
                    ctx.proto.TxBuff.begin() + 2);
        position += k;
        ctx.proto.TxBuff[0] = ByteOfWord(k, 1);
        ctx.proto.TxBuff[1] = ByteOfWord(k, 2);
        if (!SendAndWait(ctx, kCmdDataBlock, k + 2, &pending)) {
            Fun_LogLine(ctx, QStringLiteral(">>握手失败"), true);
            result.outcome = DownloadOutcome::NoHandshake;
            result.unansweredBlock = result.acknowledged + 1;
            return;
        }
        ++result.acknowledged;
        pending.acknowledge(ctx, result.acknowledged, result.blocks);
        ctx.listener.replyArrived();
        Fun_LogLine(ctx, QStringLiteral("-"), false);
        if (ctx.process.ExitRequested == kTrue) {
            result.outcome = DownloadOutcome::Aborted;
            return;
        }
        if (position >= length) {
            return;
        }
    }
}

// The verify request repeats the last block's payload, still in TxBuff.
DownloadOutcome Verify(TransferContext& ctx, int32_t lastBlock, DownloadResult& result,
                       PendingProgress& pending) {
    Fun_LogLine(ctx, QString(), true);
    Fun_LogLine(ctx, QStringLiteral("校验中..."), true);
    // Only a verify reply of this download may say good: a verdict left by an earlier download
    // must not turn a plain acknowledgement of the verify into a success.
    ctx.proto.FlagVerifyOk = kFalse;
    ctx.proto.FlagVerifyVerdict = kFalse;
    const bool answered = SendAndWait(ctx, kCmdVerify, lastBlock + 2, &pending);
    if (answered && ctx.proto.FlagVerifyOk == kTrue) {
        Fun_LogLine(ctx, QStringLiteral("校验成功"), false);
        Fun_LogLine(ctx, QStringLiteral(">>下载成功"), true);
        return DownloadOutcome::Success;
    }
    using Answer = DownloadResult::VerifyAnswer;
    result.verify = !answered                              ? Answer::None
                    : ctx.proto.FlagVerifyVerdict == kTrue ? Answer::NotGood
                                                           : Answer::WithoutVerdict;
    Fun_LogLine(ctx, QStringLiteral(">>校验失败"), true);
    return DownloadOutcome::VerifyFailed;
}

// From ">>读取文件" to the result line; the port is open and settled.
DownloadResult SendFile(TransferContext& ctx, const QString& path) {
    DownloadResult result;
    Fun_LogLine(ctx, QStringLiteral(">>读取文件"), true);
    const QByteArray image = ReadWholeFile(path);
    // Positions are 32-bit counts; a file of 2 GiB or more is treated like a missing one
    // instead of letting them wrap.
    if (image.isEmpty() || image.size() > INT32_MAX - kBlockSize) {
        Fun_LogLine(ctx, QStringLiteral(">>文件不存在！！！"), true);
        result.outcome = DownloadOutcome::FileMissing;
        return result;
    }
    result.blocks = BlockCount(image.size());
    ctx.listener.downloadStarted(result.blocks);
    if (!SendRequest(ctx, image)) {
        Fun_LogLine(ctx, QStringLiteral(">>握手失败"), true);
        result.outcome = DownloadOutcome::NoHandshake;
        return result;
    }
    Fun_LogLine(ctx, QStringLiteral(">>握手成功"), true);
    PendingProgress pending;
    SendBlocks(ctx, image, result, pending);
    if (result.outcome == DownloadOutcome::Success) {
        const int32_t lastBlock = int32_t(image.size()) - (result.blocks - 1) * kBlockSize;
        result.outcome = Verify(ctx, lastBlock, result, pending);
    }
    pending.show(ctx);  // a download stopped after a block shows that block too
    return result;
}

}  // namespace

void Fun_LogLine(TransferContext& ctx, const QString& text, bool newLine) {
    ctx.listener.append(text);
    if (newLine) {
        ctx.listener.append(QStringLiteral("\r\n"));
    }
    ctx.clock.PumpEvents();
}

namespace {

// A download from its start to its closed port, timed, and reported to the progress view.
template <typename Body>
DownloadResult TimedDownload(TransferContext& ctx, Body body) {
    DownloadResult busy;
    busy.outcome = DownloadOutcome::Busy;
    if (ctx.busy) {
        return busy;  // the running download's view stays as it is
    }
    ctx.startedMs = ctx.clock.timeGetTime();
    DownloadResult result = OnOpenPort(ctx, busy, body);
    result.elapsedMs = ctx.clock.timeGetTime() - ctx.startedMs;
    ctx.listener.downloadFinished(result);
    return result;
}

}  // namespace

DownloadResult Fun_DownloadParams(TransferContext& ctx) {
    return TimedDownload(ctx, [&ctx] {
        // What is sent must be what the window shows: when the save fails, the file on disk is
        // stale (or absent), so the download stops here instead of sending it.
        const FileResult saved = SaveTaskFile(ctx.config, ctx.taskFilePath);
        if (!saved.ok) {
            Fun_LogLine(
                ctx, QStringLiteral(">>保存失败: %1: %2").arg(ctx.taskFilePath, saved.error), true);
            DownloadResult failed;
            failed.outcome = DownloadOutcome::SaveFailed;
            failed.saveError = saved.error;
            return failed;
        }
        return SendFile(ctx, ctx.taskFilePath);
    });
}

DownloadResult Fun_DownloadFile(TransferContext& ctx, const QString& path) {
    return TimedDownload(ctx, [&ctx, &path] { return SendFile(ctx, path); });
}

TimeSyncOutcome Fun_TimeSync(TransferContext& ctx) {
    return OnOpenPort(ctx, TimeSyncOutcome::Busy, [&ctx] {
        const QDateTime now = ctx.clock.LocalNow();
        const QDate date = now.date();
        const QTime time = now.time();
        ctx.proto.TxBuff[0] = uint8_t((date.year() % 100 + 100) % 100);
        ctx.proto.TxBuff[1] = uint8_t(date.month());
        ctx.proto.TxBuff[2] = uint8_t(date.day());
        ctx.proto.TxBuff[3] = uint8_t(time.hour());
        ctx.proto.TxBuff[4] = uint8_t(time.minute());
        ctx.proto.TxBuff[5] = uint8_t(time.second());
        ctx.proto.FlagTimeAck = kFalse;
        Fun_SendFrame(ctx.proto, ctx.port, kCmdSetTime, 6);
        ctx.listener.timeSent(now);
        ctx.session.Fun_串口接收delay(ctx.proto.FlagTimeAck, kTimeAckCycles);
        if (ctx.proto.FlagTimeAck != kTrue) {
            return TimeSyncOutcome::NoReply;
        }
        // The box is shown while the port is still open; the close follows on every path.
        ctx.listener.showTimeSyncSuccess();
        return TimeSyncOutcome::Confirmed;
    });
}
