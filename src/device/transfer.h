#pragma once
// M_下载 (download module): the two device operations, the parameter download and the time
// synchronisation. They log, show their box and report progress through TransferListener, and
// wait on the context's Clock, so they run headless and, in tests, in virtual time.

#include "config/config.h"
#include "device/protocol.h"
#include "serial/port_layer.h"
#include "serial/session.h"
#include "util/clock.h"
#include "util/process_state.h"

#include <QDateTime>
#include <QString>

struct DownloadResult;

// Who follows a transfer: the log box, the time synchronisation's box, and a download's
// progress for a view beside the log. Only the log is required; the rest may be ignored.
class TransferListener {
  public:
    virtual ~TransferListener() = default;
    // Fun_LogLine's text, a line or a piece of one ("\r\n" ends a line).
    virtual void append(const QString& text) = 0;
    // The time synchronisation sent `set`, the computer's local date and time.
    virtual void timeSent(const QDateTime& /*set*/) {}
    // The confirmation box "时间同步成功！！！".
    virtual void showTimeSyncSuccess() {}
    // The file is read: `blocks` data blocks will go, if the request is answered.
    virtual void downloadStarted(int32_t /*blocks*/) {}
    // A block's acknowledgement came: the log line and the next frame follow at once. A view
    // paints nothing from here to blockAcknowledged, which comes once that frame is on its way:
    // painting in that gap would slow every block.
    virtual void replyArrived() {}
    // Block `n` of `blocks` was acknowledged, `elapsedMs` after the download began.
    virtual void blockAcknowledged(int32_t /*n*/, int32_t /*blocks*/, uint32_t /*elapsedMs*/) {}
    // The download is over and the port closed.
    virtual void downloadFinished(const DownloadResult& /*result*/) {}
};

struct TransferContext {
    ProcessState& process;
    ConfigTables& config;
    ProtocolState& proto;
    Form串口& session;
    PortLayer& port;
    Clock& clock;
    QString taskFilePath;
    TransferListener& listener;
    bool busy = false;       // a transfer is running; a second one started meanwhile is refused
    uint32_t startedMs = 0;  // the clock when the running download began
};

enum class DownloadOutcome {
    Success,
    Busy,
    SaveFailed,
    FileMissing,
    NoHandshake,
    VerifyFailed,
    Aborted
};

// How a download ended, with what an operator needs to know of it.
struct DownloadResult {
    DownloadOutcome outcome = DownloadOutcome::Success;
    int32_t blocks = 0;        // data blocks of the file (0 when it was not read)
    int32_t acknowledged = 0;  // blocks the controller acknowledged
    // NoHandshake: 0 when the request went unanswered, n when block n did.
    int32_t unansweredBlock = 0;
    QString saveError;  // SaveFailed: the system's reason
    // VerifyFailed: what came back to the verify request.
    enum class VerifyAnswer {
        None,            // nothing within the wait
        WithoutVerdict,  // a reply without a result: another frame's acknowledgement, or a
                         // verify reply without its result byte
        NotGood,         // the controller's verdict: the data it received is not good
    };
    VerifyAnswer verify = VerifyAnswer::None;
    uint32_t elapsedMs = 0;  // from the start to the closed port
};

enum class TimeSyncOutcome { Confirmed, Busy, NoReply };

// Fun_LogLine: append a line (or a piece of one) to the log, then let events run.
void Fun_LogLine(TransferContext& ctx, const QString& text, bool newLine);

// Fun_DownloadParams: force-open, settle, save the configuration to ctx.taskFilePath, then send
// that file. A save that fails stops the download (">>保存失败: <path>: <reason>"); a stale file
// is never sent.
DownloadResult Fun_DownloadParams(TransferContext& ctx);

// The same download without the save: sends whatever file is at `path` (any length), with the
// same frames, waits and log lines. Fun_DownloadParams is the save followed by this.
DownloadResult Fun_DownloadFile(TransferContext& ctx, const QString& path);

// Fun_TimeSync: the computer's time to the controller; the box when it confirms.
TimeSyncOutcome Fun_TimeSync(TransferContext& ctx);
