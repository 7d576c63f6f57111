#pragma once
// The two device operations: the parameter download and the time synchronisation.
// They log through LogSink and ask the user interface through TransferUi, so they run headless.

#include "config/config.h"
#include "device/protocol.h"
#include "serial/port_layer.h"
#include "serial/session.h"
#include "util/process_state.h"

#include <QDateTime>
#include <QString>
#include <functional>

class LogSink {
  public:
    virtual ~LogSink() = default;
    virtual void append(const QString& text) = 0;
};

class TransferUi {
  public:
    virtual ~TransferUi() = default;
    // The confirmation box "时间同步成功！！！".
    virtual void showTimeSyncSuccess() = 0;
};

struct TransferContext {
    ProcessState& process;
    ConfigTables& config;
    ProtocolState& proto;
    SerialForm& session;
    PortLayer& port;
    QString taskFilePath;
    LogSink& log;
    TransferUi* ui = nullptr;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    bool busy = false;  // a transfer is running; a second one started meanwhile is refused
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
enum class TimeSyncOutcome { Confirmed, Busy, NoReply };

// Received bytes go into the protocol's receive buffer and every batch is parsed there. Whoever
// builds a session for the transfers calls this once, so the window and the companion agree.
void WireReceiver(SerialForm& session, ProtocolState& proto);

void Fun_LogLine(TransferContext& ctx, const QString& text, bool newLine);

// Force-open, settle, save the configuration to ctx.taskFilePath, then send that file.
// A save that fails stops the download (">>保存失败: <path>: <reason>"); a stale file is never
// sent.
DownloadOutcome Fun_DownloadParams(TransferContext& ctx);

// The same download without the save: sends whatever file is at `path` (any length), with the
// same frames, waits and log lines. Fun_DownloadParams is the save followed by this.
DownloadOutcome Fun_DownloadFile(TransferContext& ctx, const QString& path);

TimeSyncOutcome Fun_TimeSync(TransferContext& ctx);
