// m4500ctl: the parameter download, the time synchronisation and a survey of the ports, run from
// a terminal through the same session, protocol and transfer code as the configuration window.
#include "ctl.h"

#include "output.h"
#include "site.h"

#include "config/save_leftovers.h"
#include "config/taskfile.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "device/transfer_report.h"
#include "serial/port_map.h"
#include "util/data_dir.h"

#include <QCommandLineParser>
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

struct Options {
    QString command;
    QString dir;
    std::optional<int32_t> port;
    QString device;  // --port given as a device name
    bool trace = false;
    bool force = false;  // download: also a task file that is not whole (a copy is kept first)
};

// The companion's process: the serial stack as the window builds it (with the trace when asked
// for), the configuration, and the window's log and box as lines on standard output.
struct Companion {
    Companion(const Options& opt, const CtlEnvironment& env)
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
    static int32_t DeviceNumber(const Options& opt) {
        const int32_t n = PortMap(SettingsFilePath(opt.dir)).numberOf(opt.device);
        return n != 0 ? n : kLastPort + 1;
    }
    static SerialStackOptions StackOptions(const Options& opt, const CtlEnvironment& env) {
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

int Download(const Options& opt, const CtlEnvironment& env) {
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

int TimeSync(const Options& opt, const CtlEnvironment& env) {
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
int Init(const Options& opt) {
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
int Ports(const Options& opt, const CtlEnvironment& env) {
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
    return kExitOk;
}

// The two files in use, as absolute paths, for scripts and for the operator looking for them.
int Where(const Options& opt) {
    for (const QString& path : {TaskFilePath(opt.dir), SettingsFilePath(opt.dir)}) {
        Print(stdout, QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()) + '\n');
    }
    return kExitOk;
}

std::optional<Options> Parse(const QStringList& args, int* rc) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption dir(QStringLiteral("dir"), {}, QStringLiteral("DIR"));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("N|DEVICE"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption force(QStringLiteral("force"));
    parser.addOptions({help, version, dir, port, trace, force});
    parser.addPositionalArgument(QStringLiteral("command"), {});
    *rc = kExitUsage;
    if (!parser.parse(QStringList{QStringLiteral("m4500ctl")} + args)) {
        Error(parser.errorText() + QStringLiteral(" (see m4500ctl --help)"));
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        Print(stdout, CtlHelpText());
        *rc = kExitOk;
        return std::nullopt;
    }
    if (parser.isSet(version)) {
        Print(stdout, QStringLiteral("m4500ctl " M45_VERSION "\n"));
        *rc = kExitOk;
        return std::nullopt;
    }
    Options opt;
    const QStringList positional = parser.positionalArguments();
    static const QStringList kCommands{QStringLiteral("download"), QStringLiteral("timesync"),
                                       QStringLiteral("ports"), QStringLiteral("init"),
                                       QStringLiteral("where")};
    if (positional.size() != 1 || !kCommands.contains(positional.first())) {
        Error(
            QStringLiteral("give one command: download, timesync, ports, init or where, or "
                           "first: export, import, diff or report (see m4500ctl --help)"));
        return std::nullopt;
    }
    opt.command = positional.first();
    opt.dir =
        parser.isSet(dir) ? parser.value(dir) : DataDir(QCoreApplication::applicationDirPath());
    opt.trace = parser.isSet(trace);
    opt.force = parser.isSet(force);
    if (parser.isSet(port)) {
        bool ok = false;
        const QString value = parser.value(port).trimmed();
        const int n = value.toInt(&ok);
        if (ok && (n < 1 || n > INT16_MAX)) {
            Error(QStringLiteral("--port needs a port number from 1 to 32767 or a device name"));
            return std::nullopt;
        }
        if (ok) {
            opt.port = n;
        } else if (!value.isEmpty()) {
            opt.device = value;  // /dev/ttyUSB0, COM3
        } else {
            Error(QStringLiteral("--port needs a port number from 1 to 32767 or a device name"));
            return std::nullopt;
        }
    }
    return opt;
}

}  // namespace

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

// The manual page is made from this text by help2man: "Options:" and a last "Files:" become its
// sections, and an option's description starts at least two spaces after it.
QString CtlHelpText() {
    const QString transfers = QStringLiteral(
        "Usage: m4500ctl <command> [--dir DIR] [--port N|DEVICE] [--trace] [--force]\n"
        "\n"
        "Talks to the M-4500 controller through the same code as the configuration window.\n"
        "A task file that is missing or fails its header check is reported and left exactly\n"
        "as it is: nothing is saved or sent. One that passes the check but is not whole (cut\n"
        "short, longer, other bytes than a save writes) is copied to TASK.M45.bad and left as\n"
        "it is; download sends what could be read from it only with --force.\n"
        "Commands that write (download, init, import) first remove what saves cut short by a\n"
        "crash left beside the files (TASK.M45.~m45-save-XXXXXXXX, system.ini.~m45-save-...)\n"
        "and nothing else; a whole save that never replaced TASK.M45 is kept as\n"
        "TASK.M45.recovered and named on stderr. They refuse a folder that a running window\n"
        "holds (exit 9): the window's save at its end would undo what they write.\n"
        "\n"
        "Commands:\n"
        "  download   Load DIR/TASK.M45, save it again as the window does, and send it to the\n"
        "             controller: request, blocks of at most 512 bytes, verify. Prints the\n"
        "             window's log lines; the last one is \">>下载成功\" when all went well.\n"
        "  timesync   Set the controller's clock to this computer's local date and time.\n"
        "             Prints \"时间同步成功！！！\" when the controller confirms it, then the\n"
        "             date and time the controller's clock was set to.\n"
        "  ports      List ports 1 to 30: number, device, adapter, and whether it opens; when\n"
        "             not, why (absent, busy, permission denied) and what to try. The port\n"
        "             chosen in system.ini is marked with '*'.\n"
        "  init       Write DIR/TASK.M45 of an empty configuration when there is none yet\n"
        "             (an existing task file with content is left as it is).\n"
        "  where      Print the task file and the settings file in use, one per line.\n"
        "\n"
        "Exit codes:\n"
        "  0  download ended with \">>下载成功\"; the controller confirmed the time; ports "
        "listed;\n"
        "     init found or wrote the task file; where printed the paths\n"
        "  1  unknown command or option, or a bad port number\n"
        "  2  task file missing, unreadable, or not a task file (header check failed);\n"
        "     download: not whole and no --force, or no copy of it could be kept\n"
        "  3  the port did not open (absent, busy, permission denied: the message says which)\n"
        "  4  no answer from the controller (request, a data block, or the time)\n"
        "  5  verify failed: the controller reported the data as not good, answered without\n"
        "     a verdict, or did not reply\n"
        "  6  the task file could not be saved (download: before anything was sent), or\n"
        "     standard output could not be written whole (a full disk, a closed pipe)\n"
        "  7  the line was lost during the transfer (adapter unplugged, device gone)\n"
        "  9  download, init, import: a running window (or another command) holds DIR; close\n"
        "     it first: its own save would undo what the command writes\n");
    const QString options = QStringLiteral(
        "\n"
        "Options:\n"
        "  --dir DIR  Directory holding TASK.M45 and system.ini (default: the folder the\n"
        "             window uses, see Files).\n"
        "  --port N|DEVICE\n"
        "             Use port N, or the device DEVICE (/dev/ttyUSB0, COM3), instead of the\n"
        "             line 串口=N in DIR/system.ini.\n"
#ifdef Q_OS_WIN
        "             Port n is COMn, as the Device Manager lists it under \"Ports (COM &\n"
        "             LPT)\"; COMn= lines in system.ini do not apply on Windows. See 'ports'.\n"
#else
        "             A line COMn=<device> in system.ini maps port n onto any device; see\n"
        "             'ports'.\n"
#endif
        "  --trace    Print every frame in both directions as hex with times, to stderr.\n"
        "  --force    download: send a task file that is not whole all the same, as far as\n"
        "             it could be read (it is copied to TASK.M45.bad first).\n"
        "  --help     This text (also -h).\n"
        "  --version  The version.\n"
        "\n"
        "Files:\n"
        "The window and m4500ctl keep TASK.M45 and system.ini in one folder: beside the\n"
        "executables when that folder is writable (a build tree, a portable folder, a copy on\n"
        "a USB stick); for an installed copy (executables in <prefix>/bin, the package's files\n"
        "in <prefix>/share/m4500-config) or a folder that is not writable, the user's data\n"
        "folder m4500-config (on Linux $XDG_DATA_HOME/m4500-config, by default\n"
        "~/.local/share/m4500-config), made on first use. 'm4500ctl where' prints the two\n"
        "paths in use.\n");
    return transfers + u'\n' + SiteHelpText() + options;
}

namespace {

int Dispatch(const QStringList& args, const CtlEnvironment& env) {
    if (const std::optional<int> rc = RunSiteCommand(args)) {
        return *rc;
    }
    int rc = kExitUsage;
    const std::optional<Options> opt = Parse(args, &rc);
    if (!opt) {
        return rc;
    }
    if (opt->command == QStringLiteral("download")) {
        return Download(*opt, env);
    }
    if (opt->command == QStringLiteral("timesync")) {
        return TimeSync(*opt, env);
    }
    if (opt->command == QStringLiteral("init")) {
        return Init(*opt);
    }
    if (opt->command == QStringLiteral("where")) {
        return Where(*opt);
    }
    return Ports(*opt, env);
}

}  // namespace

int RunCtl(const QStringList& args, const CtlEnvironment& env) {
    TakeOutputFailure();
    const int rc = Dispatch(args, env);
    const QString failure = TakeOutputFailure();
    if (failure.isEmpty()) {
        return rc;
    }
    // What was printed did not arrive whole: a command that went well otherwise fails here.
    Error(QStringLiteral("standard output: %1").arg(failure));
    if (!args.isEmpty() && args.first() == QStringLiteral("diff")) {
        return kDiffTrouble;  // "different" would read as an answer
    }
    return rc != kExitOk ? rc : kExitSaveFailed;
}
