#include "device/serial_stack.h"

#include "serial/port_map.h"
#include "serial/system_backend.h"

#include <QDir>

namespace {

QString AdoptDataDir(ProcessState& process, const QString& dataDir) {
    process.SystemIniPath = SettingsFilePath(dataDir);
    return dataDir;
}

std::unique_ptr<SerialBackend> LineOrPorts(SerialStackOptions& options,
                                           const ProcessState& process) {
    if (options.line) {
        return std::move(options.line);
    }
    PortMap map(process.SystemIniPath);
    for (auto it = options.devices.cbegin(); it != options.devices.cend(); ++it) {
        map.assign(it.key(), it.value());
    }
    return MakeSystemSerialBackend(std::move(map));
}

}  // namespace

QString SettingsFilePath(const QString& dataDir) {
    return QDir(dataDir).filePath(QStringLiteral("system.ini"));
}

SerialStack::SerialStack(ProcessState& processState, const QString& folder,
                         SerialStackOptions options)
    : process(processState),
      dataDir(AdoptDataDir(processState, folder)),
      line_(LineOrPorts(options, processState)),
      tracer_(options.trace ? MakeTraceBackend(*line_, std::move(options.trace)) : nullptr),
      clock(options.clock != nullptr ? *options.clock : systemClock_),
      port(tracer_ ? *tracer_ : *line_, clock),
      session(processState, port, clock) {
    // Received bytes go into the protocol's receive buffer and every batch is parsed there.
    session.setReceiver(proto.RxCount, proto.RxBuff, [this] { Fun_RxParse(proto); });
}

TransferContext SerialStack::transferContext(ConfigTables& config, TransferListener& listener) {
    return TransferContext{process, config, proto, session, port, clock, taskFilePath(), listener};
}
