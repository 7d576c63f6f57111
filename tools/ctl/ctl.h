#pragma once
// m4500ctl: its exit codes, what a command line asks for, and the commands' handlers. The table
// of commands (name, usage, help, exit codes, handler) is in commands.cpp.

#include "device/serial_stack.h"
#include "util/folder_lock.h"

#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// Exit codes, one per way a run can end; the help text lists them. diff answers as diff(1).
enum CtlExit : int {
    kExitOk = 0,            // the command did what was asked
    kExitUsage = 1,         // unknown command or option, bad port number, wrong files
    kExitTaskFile = 2,      // task file missing, unreadable or failing its header check
    kExitPortClosed = 3,    // the port did not open (absent, busy, permission denied)
    kExitNoAnswer = 4,      // the controller did not answer (request, a block, or the time)
    kExitVerifyFailed = 5,  // the verify reply said the data is not good, or none came
    kExitSaveFailed = 6,    // the task file or the output could not be written
    kExitLineLost = 7,      // the port went away during the transfer (adapter unplugged)
    kExitRefused = 8,       // import: the document was refused
    kExitFolderHeld = 9,    // a running window (or another command) holds the folder's files
    kDiffSame = 0,
    kDiffDifferent = 1,
    kDiffTrouble = 2,  // an input unreadable or refused, or a usage error
};

// What a command line asks for.
struct Invocation {
    QString command;
    QStringList files;  // site work: the files after the command
    QString dir;        // --dir, or the folder the window uses
    bool dirSet = false;
    QString output;  // -o: "" = standard output
    std::optional<int32_t> port;
    QString device;  // --port given as a device name
    bool trace = false;
    bool force = false;  // download: also a task file that is not whole (a copy is kept first)
};

using TraceSink = std::function<void(const QString&)>;

// What the commands run on: by default the operating system's ports and the real clock; tests
// give an in-memory line and a virtual clock.
struct CtlEnvironment {
    std::function<SerialStackOptions(TraceSink trace)> serial = [](TraceSink trace) {
        SerialStackOptions options;
        options.trace = std::move(trace);
        return options;
    };
};

// Runs one command line (without the program name). Needs a QCoreApplication.
int RunCtl(const QStringList& args, const CtlEnvironment& env = {});

// Before a command writes into `dir`: removes what saves cut short by a crash left beside its
// task file and settings file, and names on stderr a whole save that is kept as a recovery copy.
void CleanLeftovers(const QString& dir);

// Before a command writes the task file or the settings file of `dir`: the folder's lock, held
// until the command ends, so that a window started meanwhile does not load what is being
// replaced. Null, with the reason on stderr, when a running window (or another command) holds
// the folder: its own save would undo what the command writes.
std::unique_ptr<FolderLock> HoldFolder(const QString& dir);

QString CtlHelpText();

// The handlers: transfers.cpp and site.cpp.
int RunDownload(const Invocation& at, const CtlEnvironment& env);
int RunTimeSync(const Invocation& at, const CtlEnvironment& env);
int RunPorts(const Invocation& at, const CtlEnvironment& env);
int RunInit(const Invocation& at, const CtlEnvironment& env);
int RunWhere(const Invocation& at, const CtlEnvironment& env);
int RunExport(const Invocation& at, const CtlEnvironment& env);
int RunImport(const Invocation& at, const CtlEnvironment& env);
int RunDiff(const Invocation& at, const CtlEnvironment& env);
int RunReport(const Invocation& at, const CtlEnvironment& env);
// Whether an output over the file it is made from would destroy the site's only copy.
bool OutputOverSource(const Invocation& at);
