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

enum class DownloadOutcome { Success, Busy, SaveFailed, FileMissing, NoHandshake, VerifyFailed, Aborted };
enum class TimeSyncOutcome { Confirmed, Busy, NoReply };

void Fun_LogLine(TransferContext& ctx, const QString& text, bool newLine);
DownloadOutcome Fun_DownloadParams(TransferContext& ctx);
TimeSyncOutcome Fun_TimeSync(TransferContext& ctx);
