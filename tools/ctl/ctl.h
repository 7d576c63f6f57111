#pragma once
// m4500ctl: commands, options and exit codes.

#include "device/serial_stack.h"
#include "util/folder_lock.h"

#include <QStringList>
#include <functional>
#include <memory>

// Exit codes, one per way a run can end; the help text lists them.
enum CtlExit : int {
    kExitOk = 0,     // download ended with ">>下载成功", or the controller confirmed the time
    kExitUsage = 1,  // unknown command or option, bad port number
    kExitTaskFile = 2,      // task file missing, unreadable or failing its header check
    kExitPortClosed = 3,    // the port did not open (absent, busy, permission denied)
    kExitNoAnswer = 4,      // the controller did not answer (request, a block, or the time)
    kExitVerifyFailed = 5,  // the verify reply said the data is not good, or none came
    kExitSaveFailed = 6,    // the task file could not be written before the download
    kExitLineLost = 7,      // the port went away during the transfer (adapter unplugged)
    // 8 is import's: the document was refused (site.h)
    kExitFolderHeld = 9,  // a running window (or another command) holds the folder's files
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
