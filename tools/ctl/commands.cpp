// m4500ctl: the one table of commands, the one parser and dispatch, and the one help text, which
// the manual page is made from.
#include "ctl.h"
#include "output.h"

#include "util/data_dir.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <climits>
#include <vector>

namespace {

// Transfers talk to the controller and may stand anywhere on the line; site work reads and
// writes a site's files, and its command comes first.
enum class Group { Transfer, Site };

struct Command {
    const char* name;
    Group group;
    const char* help;  // its lines in the help text: usage, then what it does
    // The files (site work) and options it takes; a line that does not fit is a usage error.
    bool (*fits)(const Invocation& at, bool outputSet);
    int usageExit;
    int (*run)(const Invocation& at, const CtlEnvironment& env);
};

bool NoFiles(const Invocation& at, bool) {
    return at.files.isEmpty();
}

// --dir D or FILE, and -o.
bool OneSource(const Invocation& at, bool) {
    return at.files.size() + (at.dirSet ? 1 : 0) <= 1;
}

bool OneDocument(const Invocation& at, bool outputSet) {
    return at.files.size() == 1 && !outputSet;
}

bool TwoFiles(const Invocation& at, bool outputSet) {
    return at.files.size() == 2 && !at.dirSet && !outputSet;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> table = {
        {"download", Group::Transfer,
         "  download   Load DIR/TASK.M45, save it again as the window does, and send it to the\n"
         "             controller: request, blocks of at most 512 bytes, verify. Prints the\n"
         "             window's log lines; the last one is \">>下载成功\" when all went well.\n",
         NoFiles, kExitUsage, RunDownload},
        {"timesync", Group::Transfer,
         "  timesync   Set the controller's clock to this computer's local date and time.\n"
         "             Prints \"时间同步成功！！！\" when the controller confirms it, then the\n"
         "             date and time the controller's clock was set to.\n",
         NoFiles, kExitUsage, RunTimeSync},
        {"ports", Group::Transfer,
         "  ports      List ports 1 to 30: number, device, adapter, and whether it opens; when\n"
         "             not, why (absent, busy, permission denied) and what to try. The port\n"
         "             chosen in system.ini is marked with '*'. On Linux then each adapter\n"
         "             under /dev/serial/by-id, with the COMn= line that keeps a port on it.\n",
         NoFiles, kExitUsage, RunPorts},
        {"init", Group::Transfer,
         "  init       Write DIR/TASK.M45 of an empty configuration when there is none yet\n"
         "             (an existing task file with content is left as it is).\n",
         NoFiles, kExitUsage, RunInit},
        {"where", Group::Transfer,
         "  where      Print the task file and the settings file in use, one per line.\n", NoFiles,
         kExitUsage, RunWhere},
        {"export", Group::Site,
         "  export [--dir DIR | FILE] [-o OUT.json]\n"
         "             Write the whole configuration as JSON (fields in the README) to OUT.json\n"
         "             or standard output. FILE is a task file or a site document; without\n"
         "             one, DIR/TASK.M45. Only reads: a damaged file is reported, not kept "
         "aside.\n",
         OneSource, kExitUsage, RunExport},
        {"import", Group::Site,
         "  import IN.json [--dir DIR]\n"
         "             Check every field of IN.json and, only when all are good, save it as\n"
         "             DIR/TASK.M45 as the window saves. Faults are listed with their lines and\n"
         "             nothing is changed. A remark over 20 code units is refused, not cut.\n"
         "             IN.json over 1 MiB is refused unread.\n",
         OneDocument, kExitUsage, RunImport},
        {"diff", Group::Site,
         "  diff A B   What changed from A to B, one change per line; A and B are task files\n"
         "             or site documents, told apart by content.\n",
         TwoFiles, kDiffTrouble, RunDiff},
        {"report", Group::Site,
         "  report [--dir DIR | FILE] [-o site.html]\n"
         "             A printable handover sheet in one HTML file: machine addresses, a\n"
         "             timeline of all zones, and each zone's machines and programmed tasks.\n",
         OneSource, kExitUsage, RunReport},
    };
    return table;
}

// What each exit code means, for each group of commands, as the help lists them.
struct ExitMeaning {
    int code;
    const char* meaning;  // continuation lines start with five spaces
};

const ExitMeaning kTransferExits[] = {
    {kExitOk,
     "download ended with \">>下载成功\"; the controller confirmed the time; ports listed;\n"
     "     init found or wrote the task file; where printed the paths"},
    {kExitUsage, "unknown command or option, or a bad port number"},
    {kExitTaskFile,
     "task file missing, unreadable, or not a task file (header check failed);\n"
     "     download: not whole and no --force, or no copy of it could be kept"},
    {kExitPortClosed,
     "the port did not open (absent, busy, permission denied: the message says which)"},
    {kExitNoAnswer, "no answer from the controller (request, a data block, or the time)"},
    {kExitVerifyFailed,
     "verify failed: the controller reported the data as not good, answered without\n"
     "     a verdict, or did not reply"},
    {kExitSaveFailed,
     "the task file could not be saved (download: before anything was sent), or\n"
     "     standard output could not be written whole (a full disk, a closed pipe)"},
    {kExitLineLost, "the line was lost during the transfer (adapter unplugged, device gone)"},
    {kExitFolderHeld,
     "download, init, import: a running window (or another command) holds DIR; close\n"
     "     it first: its own save would undo what the command writes"},
};

const ExitMeaning kSiteExits[] = {
    {kExitOk, "written"},
    {kExitUsage, "unknown option, or wrong files for the command"},
    {kExitTaskFile,
     "the task file (or FILE) is missing, unreadable or not a task file; import: it\n"
     "     is damaged and no copy of it could be kept, so it was not replaced"},
    {kExitSaveFailed,
     "the output (a file, or standard output whole), or (import) the task file,\n"
     "     could not be written"},
    {kExitRefused, "import: the document was refused (too large, not JSON, a field wrong)"},
    {kExitFolderHeld, "import: a running window holds DIR; close it first"},
};

template <size_t N>
QString ExitLines(const ExitMeaning (&meanings)[N]) {
    QString text;
    for (const ExitMeaning& m : meanings) {
        text += QStringLiteral("  %1  ").arg(m.code) + QString::fromUtf8(m.meaning) + u'\n';
    }
    return text;
}

QString CommandLines(Group group) {
    QString text;
    for (const Command& c : Commands()) {
        if (c.group == group) {
            text += QString::fromUtf8(c.help);
        }
    }
    return text;
}

QString SiteHelp() {
    return QStringLiteral("Site work (the command comes first):\n") + CommandLines(Group::Site) +
           QStringLiteral("\nExit codes of export, import and report:\n") + ExitLines(kSiteExits) +
           QStringLiteral(
               "Exit codes of diff:\n"
               "  %1  the same   %2  different   %3  an input unreadable or refused, a usage "
               "error,\n"
               "     or standard output could not be written whole\n")
               .arg(kDiffSame)
               .arg(kDiffDifferent)
               .arg(kDiffTrouble);
}

const Command* Named(const QString& name) {
    for (const Command& c : Commands()) {
        if (name == QLatin1String(c.name)) {
            return &c;
        }
    }
    return nullptr;
}

QString CommandList(Group group) {
    QStringList names;
    for (const Command& c : Commands()) {
        if (c.group == group) {
            names << QString::fromLatin1(c.name);
        }
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

// --port N (a number) or --port DEVICE (a device name): false on anything else.
bool TakePort(const QString& given, Invocation& at) {
    bool ok = false;
    const QString value = given.trimmed();
    const int n = value.toInt(&ok);
    if (ok) {
        at.port = n;
        return n >= 1 && n <= INT16_MAX;
    }
    at.device = value;  // /dev/ttyUSB0, COM3
    return !value.isEmpty();
}

// The outcome of reading a command line: what to run, or the exit code to end with.
struct Parsed {
    const Command* command = nullptr;
    Invocation at;
    int exit = kExitUsage;
};

Parsed Parse(const QStringList& args) {
    Parsed p;
    // Site work is named first; a transfer may stand anywhere among its options.
    const Command* first = args.isEmpty() ? nullptr : Named(args.first());
    const bool site = first != nullptr && first->group == Group::Site;
    const int usageExit = site ? first->usageExit : kExitUsage;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption dir(QStringLiteral("dir"), {}, QStringLiteral("DIR"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("FILE"));
    const QCommandLineOption port(QStringLiteral("port"), {}, QStringLiteral("N|DEVICE"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption force(QStringLiteral("force"));
    if (site) {
        parser.addOptions({help, dir, output});
    } else {
        parser.addOptions({help, version, dir, port, trace, force});
    }
    p.exit = usageExit;
    if (!parser.parse(QStringList{QStringLiteral("m4500ctl")} + args)) {
        Error(parser.errorText() + QStringLiteral(" (see m4500ctl --help)"));
        return p;
    }
    if (parser.isSet(help)) {
        Print(stdout, site ? SiteHelp() : CtlHelpText());
        p.exit = kExitOk;
        return p;
    }
    if (!site && parser.isSet(version)) {
        Print(stdout, QStringLiteral("m4500ctl " M45_VERSION "\n"));
        p.exit = kExitOk;
        return p;
    }
    Invocation& at = p.at;
    at.files = parser.positionalArguments();
    const Command* command = site ? first : nullptr;
    if (site) {
        at.files.removeFirst();
    } else if (at.files.size() == 1) {
        command = Named(at.files.takeFirst());
    }
    if (command == nullptr || (!site && command->group == Group::Site)) {
        Error(QStringLiteral("give one command: %1, or first: %2 (see m4500ctl --help)")
                  .arg(CommandList(Group::Transfer), CommandList(Group::Site)));
        return p;
    }
    at.command = QString::fromLatin1(command->name);
    at.dirSet = parser.isSet(dir);
    at.dir = at.dirSet ? parser.value(dir) : DataDir(QCoreApplication::applicationDirPath());
    if (site) {
        at.output = parser.value(output);
        if (!command->fits(at, parser.isSet(output))) {
            Error(
                QStringLiteral("%1: wrong files or options (see m4500ctl --help)").arg(at.command));
            return p;
        }
        if (OutputOverSource(at)) {
            Error(QStringLiteral("%1: -o names the file it reads").arg(at.command));
            return p;
        }
    } else {
        at.trace = parser.isSet(trace);
        at.force = parser.isSet(force);
        if (parser.isSet(port) && !TakePort(parser.value(port), at)) {
            Error(QStringLiteral("--port needs a port number from 1 to 32767 or a device name"));
            return p;
        }
    }
    p.command = command;
    return p;
}

}  // namespace

// The manual page is made from this text by help2man: "Options:" and a last "Files:" become its
// sections, and an option's description starts at least two spaces after it.
QString CtlHelpText() {
    const QString transfers =
        QStringLiteral(
            "Usage: m4500ctl <command> [--dir DIR] [--port N|DEVICE] [--trace] [--force]\n"
            "\n"
            "Talks to the M-4500 controller through the same code as the configuration window.\n"
            "A task file that is missing or fails its header check is reported and left exactly\n"
            "as it is: nothing is saved or sent. One that passes the check but is not whole (cut\n"
            "short, longer, other bytes than a save writes) is copied to TASK.M45.bad and left "
            "as\n"
            "it is; download sends what could be read from it only with --force.\n"
            "Commands that write (download, init, import) first remove what saves cut short by "
            "a\n"
            "crash left beside the files (TASK.M45.~m45-save-XXXXXXXX, "
            "system.ini.~m45-save-...)\n"
            "and nothing else; a whole save that never replaced TASK.M45 is kept as\n"
            "TASK.M45.recovered and named on stderr. They refuse a folder that a running window\n"
            "holds (exit 9): the window's save at its end would undo what they write.\n"
            "\n"
            "Commands:\n") +
        CommandLines(Group::Transfer) + QStringLiteral("\nExit codes:\n") +
        ExitLines(kTransferExits);
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
        "executables when that folder holds either file or is writable (a site's folder, a\n"
        "build tree, a portable folder, a copy on a USB stick); for an installed copy\n"
        "(executables in <prefix>/bin, the package's files in <prefix>/share/m4500-config)\n"
        "or a folder that is not writable and holds neither file, the user's data\n"
        "folder m4500-config (on Linux $XDG_DATA_HOME/m4500-config, by default\n"
        "~/.local/share/m4500-config), made on first use. 'm4500ctl where' prints the two\n"
        "paths in use.\n");
    return transfers + u'\n' + SiteHelp() + options;
}

int RunCtl(const QStringList& args, const CtlEnvironment& env) {
    TakeOutputFailure();
    const Parsed parsed = Parse(args);
    const int rc = parsed.command != nullptr ? parsed.command->run(parsed.at, env) : parsed.exit;
    const QString failure = TakeOutputFailure();
    if (failure.isEmpty()) {
        return rc;
    }
    // What was printed did not arrive whole: a command that went well otherwise fails here.
    Error(QStringLiteral("standard output: %1").arg(failure));
    if (parsed.command != nullptr && parsed.command->usageExit == kDiffTrouble) {
        return kDiffTrouble;  // "different" would read as an answer
    }
    return rc != kExitOk ? rc : kExitSaveFailed;
}
