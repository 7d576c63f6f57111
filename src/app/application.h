#pragma once
// M_00_main: the process-wide parts of the application, their start-up in its fixed order,
// and the process entry that runs the main loop for the rest of the process's life.

#include "app/main_loop.h"
#include "config/config.h"
#include "device/serial_stack.h"
#include "ui/main_window.h"
#include "ui/operator_messages.h"
#include "util/process_state.h"

#include <QDateTime>
#include <QString>
#include <memory>

// Everything that exists once per process. Tests build their own.
struct Application {
    // `dataDir` holds the task file and the settings file; `serial` chooses the line and the
    // clock (the operating system's ports and the real clock when left empty).
    Application(const QString& dataDir, OperatorMessages& messages, SerialStackOptions serial = {});
    ~Application();

    // Main step 3: the serial form is loaded; its first use of the port list creates the main
    // window and runs its load (titles, lists, task file, zone 1) before the ports are listed.
    // Before that, what saves cut short by a crash left beside the files is removed; a whole save
    // that never replaced the task file is kept, and a box after the load names it.
    void BringUp();
    Form主窗体& mainWindow();

    // The exit sequence's save; a failure is shown with the file's path and the reason.
    void SaveOnExit();
    // The session manager asks for the operator's work before a logout: saved now, a failure
    // shown only when the session manager lets the application interact (else on stderr).
    void SaveForSession(bool mayShowBox);
    // The process ends without the exit sequence (the display connection broke): the same
    // single save, unless the exit sequence has saved already. Never shows a box.
    void SaveAtLastResort();
    bool exitSaved = false;  // the exit sequence (or the last resort) has saved

    QString dataDir;
    // When this process started: save temporaries older than that belong to one that ended.
    QDateTime startedAt = QDateTime::currentDateTimeUtc();
    OperatorMessages& messages;
    ProcessState process;
    ConfigTables config;
    SerialStack serial;
    std::unique_ptr<Form主窗体> window;
};

// The events of the one thread, pumped as MainLoopEnv::pump wants them.
void PumpOrWait(int32_t waitMs);

// Process entry (Main). Returns only when another copy runs; otherwise ends the process from
// the exit sequence.
int Main(int argc, char** argv);
