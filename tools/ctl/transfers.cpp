// m4500ctl download / timesync / ports / init / where: the parameter download, the time
// synchronisation and a survey of the ports, run from a terminal through the same session,
// protocol and transfer code as the configuration window.
#include "ctl.h"

#include "output.h"

#include "config/save_leftovers.h"
#include "config/taskfile.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "device/transfer_report.h"
#include "serial/port_map.h"
#include "util/data_dir.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

// Taken before main runs: a save temporary older than this belongs to a process that has ended.
const QDateTime kStarted = QDateTime::currentDateTimeUtc();

// A path as the system writes it ("C:\site\TASK.M45" on Windows, not "C:\site/TASK.M45").
QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// What the settings file's COMn= lines do here, for the help and the port survey.
#ifdef Q_OS_WIN
const char kPortMapAdvice[] =
    "port n is COMn (the Device Manager lists them under \"Ports (COM & LPT)\"); "
    "--port COMn or --port \\\\.\\DEVICE names any other";
#else
const char kPortMapAdvice[] = "a line COMn=<device> in system.ini maps port n onto any device";
#endif

// The window's log box and its box, as lines on standard output.
class StdoutListener : public TransferListener {
  public:
    void append(const QString& text) override {
        QString line = text;
        line.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        Print(stdout, line);
    }
    void timeSent(const QDateTime& time) override { set = time; }
    void showTimeSyncSuccess() override { Print(stdout, QStringLiteral("时间同步成功！！！\n")); }
    QDateTime set;  // what the time synchronisation sent
};

// The companion's process: the serial stack as the window builds it (with the trace when asked
// for), the configuration, and the window's log and box as lines on standard output.
struct Companion {
    Companion(const Invocation& opt, const CtlEnvironment& env)
        : serial(process, opt.dir, StackOptions(opt, env)) {
        // The remembered port, read as the session's initialisation reads it (no probe: the
        // companion has no port list to fill).
        serial.session.Fun_初始化();
        if (opt.port) {
            serial.session.PortNumber = *opt.port;
        } else if (!opt.device.isEmpty()) {
            serial.session.PortNumber = DeviceNumber(opt);
        }
    }
    // A device named by --port: the number that already stands for it, or the first after the
    // probed ones, standing for it in this run only.
    static int32_t DeviceNumber(const Invocation& opt) {
        const int32_t n = PortMap(SettingsFilePath(opt.dir)).numberOf(opt.device);
        return n != 0 ? n : kLastPort + 1;
    }
    static SerialStackOptions StackOptions(const Invocation& opt, const CtlEnvironment& env) {
        SerialStackOptions options = env.serial(opt.trace ? TraceToStderr() : TraceSink());
        if (!opt.device.isEmpty()) {
            options.devices.insert(DeviceNumber(opt), opt.device);
        }
        return options;
    }
    static TraceSink TraceToStderr() {
        return [](const QString& line) { Print(stderr, line + '\n'); };
    }
    TransferContext context() { return serial.transferContext(config, listener); }
    int32_t portNumber() const { return serial.session.PortNumber; }
    // The port the transfers used, the device behind it, and what became of it.
    TransferPort transferPort() const {
        const int32_t n = portNumber();
        return TransferPort{n, serial.port.backend().devicePath(n), serial.port.status()};
    }

    ProcessState process;
    ConfigTables config;
    SerialStack serial;
    StdoutListener listener;
};

// After a transfer that failed: the port that did not open, or the line that was lost, in the
// window's words; 0 when the port opened and stayed.
int PortProblemExit(const Companion& c) {
    const TransferPort port = c.transferPort();
    const QString failure = DescribePortFailure(port);
    if (failure.isEmpty()) {
        return kExitOk;
    }
    Error(failure);
    if (port.number == 0) {
        Error(QStringLiteral("or give --port N"));
    }
    return port.status.lineLost ? kExitLineLost : kExitPortClosed;
}

// Where the operator's file went before anything could overwrite it, or why it could not go.
QString KeptText(const LoadResult& loaded) {
    if (!loaded.keptCopy.isEmpty()) {
        return QStringLiteral("a copy is kept as %1").arg(Shown(loaded.keptCopy));
    }
    return QStringLiteral("no copy could be kept: %1").arg(loaded.keepError);
}

// A file that loads but is not the image a save writes: the save before the download would
// replace it, so that happens only when asked for, and never without a copy of it.
int IrregularForDownload(const QString& path, const LoadResult& loaded, bool force) {
    const QString what =
        QStringLiteral(
            "%1 is not a whole task file as a save writes it (cut short, longer, or "
            "other bytes than a save puts there)")
            .arg(Shown(path));
    if (force && !loaded.keptCopy.isEmpty()) {
        Error(what +
              QStringLiteral("; saving and sending what could be read (%1)").arg(KeptText(loaded)));
        return kExitOk;
    }
    const QString hint = loaded.keptCopy.isEmpty()
                             ? QString()
                             : QStringLiteral("; --force sends what could be read");
    Error(what +
          QStringLiteral("; it is left as it is, nothing was saved or sent (%1)")
              .arg(KeptText(loaded)) +
          hint);
    return kExitTaskFile;
}

int LoadForDownload(const QString& path, ConfigTables& config, bool force) {
    // LoadTaskFile creates a missing file empty; the operator asked for a download, not for a new
    // file, so a missing one is only reported.
    if (!QFileInfo(path).isFile()) {
        Error(QStringLiteral("task file not found: %1").arg(Shown(path)));
        return kExitTaskFile;
    }
    const LoadResult loaded = LoadTaskFile(config, path);
    if (loaded.status != LoadStatus::Loaded) {
        QString text = QStringLiteral(
                           "%1 is not a task file (header check failed: 文件错误！); "
                           "it is left as it is, nothing was saved or sent")
                           .arg(Shown(path));
        if (!loaded.keptCopy.isEmpty() || !loaded.keepError.isEmpty()) {
            text += QStringLiteral(" (%1)").arg(KeptText(loaded));
        }
        Error(text);
        return kExitTaskFile;
    }
    return loaded.irregular ? IrregularForDownload(path, loaded, force) : kExitOk;
}

}  // namespace

int RunDownload(const Invocation& opt, const CtlEnvironment& env) {
    const std::unique_ptr<FolderLock> held = HoldFolder(opt.dir);
    if (!held) {
        return kExitFolderHeld;
    }
    CleanLeftovers(opt.dir);
    Companion c(opt, env);
    if (const int rc = LoadForDownload(c.serial.taskFilePath(), c.config, opt.force);
        rc != kExitOk) {
        return rc;
    }
    TransferContext ctx = c.context();
    const DownloadResult result = Fun_DownloadParams(ctx);
    if (result.outcome == DownloadOutcome::Success) {
        return kExitOk;
    }
    if (const int rc = PortProblemExit(c); rc != kExitOk) {
        return rc;
    }
    const TransferReport report = DescribeDownload(result, c.transferPort());
    switch (result.outcome) {
        case DownloadOutcome::SaveFailed:
            Error(report.text);
            return kExitSaveFailed;
        case DownloadOutcome::FileMissing:
            Error(report.text);
            return kExitTaskFile;
        case DownloadOutcome::VerifyFailed:
            Error(report.text);
            return kExitVerifyFailed;
        case DownloadOutcome::NoHandshake:
            Error(report.text + QStringLiteral(" (--trace shows the traffic)"));
            return kExitNoAnswer;
        case DownloadOutcome::Success:
        case DownloadOutcome::Busy:
        case DownloadOutcome::Aborted:
            break;
    }
    return kExitUsage;
}

int RunTimeSync(const Invocation& opt, const CtlEnvironment& env) {
    Companion c(opt, env);
    TransferContext ctx = c.context();
    Clock& clock = c.serial.clock;
    const uint32_t started = clock.timeGetTime();
    const TimeSyncOutcome outcome = Fun_TimeSync(ctx);
    if (outcome == TimeSyncOutcome::Confirmed) {
        Print(stdout, QStringLiteral("the controller's clock was set to %1 (this computer's local "
                                     "time)\n")
                          .arg(c.listener.set.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        return kExitOk;
    }
    if (const int rc = PortProblemExit(c); rc != kExitOk) {
        return rc;
    }
    Error(DescribeTimeSync(outcome, clock.timeGetTime() - started, c.transferPort()).text);
    return kExitNoAnswer;
}

// The task file of an untouched configuration, where none with content exists yet (the window
// leaves an empty one behind when its first start is ended before any save).
int RunInit(const Invocation& opt, const CtlEnvironment& /*env*/) {
    const std::unique_ptr<FolderLock> held = HoldFolder(opt.dir);
    if (!held) {
        return kExitFolderHeld;
    }
    CleanLeftovers(opt.dir);
    const QString path = TaskFilePath(opt.dir);
    if (QFileInfo(path).size() > 0) {
        Print(stdout, QStringLiteral("%1 exists; left as it is\n").arg(Shown(path)));
        return kExitOk;
    }
    const FileResult saved = SaveTaskFile(ConfigTables{}, path);
    if (!saved.ok) {
        Error(QStringLiteral("cannot write %1: %2").arg(Shown(path), saved.error));
        return kExitSaveFailed;
    }
    Print(stdout, QStringLiteral("wrote %1 (an empty configuration)\n").arg(Shown(path)));
    return kExitOk;
}

// The probe of the window's port list, one line per number with what stands behind it.
int RunPorts(const Invocation& opt, const CtlEnvironment& env) {
    Companion c(opt, env);
    PortLayer& layer = c.serial.port;
    const SerialBackend& backend = layer.backend();
    for (int32_t n = kFirstPort; n <= kLastPort; ++n) {
        int32_t handle = layer.OpenComByNumber(n);
        layer.Fun_CloseComHandle(handle);
        const QString description = backend.deviceDescription(n);
        // Joined, not substituted: device paths come from the settings file and may hold '%'.
        Print(stdout,
              QString(n == c.portNumber() ? u'*' : u' ') + QString::number(n).rightJustified(2) +
                  QStringLiteral("  ") + backend.devicePath(n).leftJustified(16) +
                  QStringLiteral("  ") +
                  (description.isEmpty() ? QStringLiteral("-") : description).leftJustified(24) +
                  QStringLiteral("  ") + DescribePortProblem(layer.status()) + '\n');
    }
    Print(stdout, QStringLiteral("absent: plug in the adapter; %1 (settings file: %2)\n")
                      .arg(QLatin1String(kPortMapAdvice), Shown(c.process.SystemIniPath)));
#ifndef Q_OS_WIN
    // The kernel numbers adapters in the order they appear: after a replug ttyUSB0 may be
    // another adapter, and a number that was mapped onto it reaches the wrong device.
    const std::vector<StableAdapter> adapters =
        PortMap(c.process.SystemIniPath).stableAdapters();
    if (adapters.empty()) {
        Print(stdout, QStringLiteral("no adapter under /dev/serial/by-id\n"));
    } else {
        Print(stdout, QStringLiteral("adapters by their stable names (a COMn= line in system.ini "
                                     "keeps port n on the adapter after a replug):\n"));
    }
    for (const StableAdapter& adapter : adapters) {
        QString line = QStringLiteral("  ") + adapter.name + QStringLiteral("  is ") +
                       adapter.device +
                       (adapter.number != 0
                            ? QStringLiteral(", port ") + QString::number(adapter.number)
                            : QStringLiteral(", no port"));
        if (adapter.kept) {
            line += QStringLiteral(" (kept by system.ini)");
        } else if (!adapter.settingsLine.isEmpty()) {
            line += QStringLiteral("; to keep it: ") + adapter.settingsLine;
        }
        Print(stdout, line + u'\n');
    }
#endif
    return kExitOk;
}

// The two files in use, as absolute paths, for scripts and for the operator looking for them.
int RunWhere(const Invocation& opt, const CtlEnvironment& /*env*/) {
    for (const QString& path : {TaskFilePath(opt.dir), SettingsFilePath(opt.dir)}) {
        Print(stdout, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + '\n');
    }
    return kExitOk;
}

void CleanLeftovers(const QString& dir) {
    const QString task = TaskFilePath(dir);
    const LeftoverCleanup cleaned =
        CleanSaveLeftovers(task, dir + QStringLiteral("/system.ini"), kStarted);
    if (!cleaned.recovered.isEmpty()) {
        Error(QStringLiteral("a save of %1 was cut short after it was written whole, before it "
                             "replaced the file; that newer save is kept as %2")
                  .arg(Shown(task), Shown(cleaned.recovered)));
    }
}

std::unique_ptr<FolderLock> HoldFolder(const QString& dir) {
    auto lock = std::make_unique<FolderLock>(dir);
    if (!lock->heldByAnother()) {
        return lock;
    }
    const QString who = lock->holder().isEmpty() ? QStringLiteral("m4500-config") : lock->holder();
    Error(QStringLiteral("%1 is in use by a running %2: its own save would undo what this command "
                         "writes. Close the window (or let the other command end) and run this "
                         "again; nothing was changed")
              .arg(QDir::toNativeSeparators(QDir(dir).absolutePath()), who));
    return nullptr;
}
