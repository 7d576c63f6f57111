#pragma once
// The serial stack of one process, built in this one place for the window, the companion, the
// benchmarks and the tests: the line to the controller (the operating system's ports, or a
// test's), the trace when one is asked for, the port layer, the serial form Form串口 and the
// protocol state, with received bytes wired into the parser; and the transfers' context on top.

#include "config/config.h"
#include "config/taskfile.h"
#include "device/protocol.h"
#include "device/transfer.h"
#include "serial/port_layer.h"
#include "serial/session.h"
#include "util/clock.h"
#include "util/process_state.h"

#include <QMap>
#include <QString>
#include <functional>
#include <memory>

// The settings file of a data folder: "<folder>/system.ini". The stack sets SystemIniPath from
// it; everything else reads SystemIniPath.
QString SettingsFilePath(const QString& dataDir);

struct SerialStackOptions {
    // The line to the controller; null: the operating system's ports, numbered through the
    // settings file (COMn=<device> lines, see serial/port_map.h).
    std::unique_ptr<SerialBackend> line;
    // With the operating system's ports: numbers that stand for a named device in this stack
    // only (a device given on the command line).
    QMap<int, QString> devices;
    // Time for the session and the transfers; null: the real clock.
    Clock* clock = nullptr;
    // When set, every chunk read and written, as hex with times ("0.112 TX AA 55 ...").
    std::function<void(const QString&)> trace;
};

class SerialStack {
  public:
    // `process.SystemIniPath` becomes the settings file of `dataDir`.
    SerialStack(ProcessState& process, const QString& dataDir, SerialStackOptions options = {});
    SerialStack(const SerialStack&) = delete;
    SerialStack& operator=(const SerialStack&) = delete;

    // The transfers' context for `config`, sending the task file of the data folder.
    TransferContext transferContext(ConfigTables& config, TransferListener& listener);
    QString taskFilePath() const { return TaskFilePath(dataDir); }

    ProcessState& process;
    const QString dataDir;

    // Members are made in this order: the line and the clock before the parts built on them.
  private:
    SystemClock systemClock_;
    std::unique_ptr<SerialBackend> line_;
    std::unique_ptr<SerialBackend> tracer_;

  public:
    Clock& clock;
    PortLayer port;
    Form串口 session;
    ProtocolState proto;
};
