#include "app/application.h"

#include "app/platform.h"
#include "app/single_instance.h"
#include "config/taskfile.h"
#include "serial/port_map.h"
#include "serial/qt_backend.h"
#include "util/data_dir.h"
#include "util/delay.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

Application::Application(const QString& dir, OperatorMessages& boxes,
                         std::unique_ptr<SerialBackend> serialBackend)
    : appDir(dir),
      messages(boxes),
      process{QDir(dir).filePath(QStringLiteral("system.ini"))},
      backend(std::move(serialBackend)),
      port(*backend, [] { PumpEvents(); }),
      session(process, port) {
    session.setReceiver(proto.RxCount, proto.RxBuff, [this] { Fun_RxParse(proto); });
}

Application::~Application() = default;

MainWindow& Application::mainWindow() {
    if (!window) {
        window = std::make_unique<MainWindow>(
            MainWindowDeps{process, config, proto, session, port, appDir, messages});
        window->Load();
    }
    return *window;
}

void Application::BringUp() {
    session.Load([this]() -> PortSelector& { return mainWindow().portSelector(); });
    mainWindow();  // exists already unless the session never touched the port list
}

void Application::SaveOnExit() {
    const QString path = TaskFilePath(appDir);
    const SaveResult saved = SaveTaskFile(config, path);
    if (!saved.ok) {
        messages.warning(
            QStringLiteral("保存失败！\n%1\n%2").arg(QDir::toNativeSeparators(path), saved.error));
    }
}

void PumpOrWait(int32_t waitMs) {
    if (waitMs != 0) {
        // Sleep in the event dispatcher until an event comes or the next hook is due.
        QTimer wake;
        wake.setTimerType(Qt::PreciseTimer);
        wake.setSingleShot(true);
        if (waitMs > 0) {
            wake.start(waitMs);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    } else {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    // Without QApplication::exec() nobody else runs the deferred deletions.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

namespace {

MainLoopEnv LoopEnv(Application& app, SingleInstance& instance, const MsClock& clock) {
    MainLoopEnv env;
    env.pump = PumpOrWait;
    env.clock = [clock] { return clock.timeGetTime(); };
    env.timeBeginPeriod1 = RequestOneMsTimerResolution;
    env.save = [&app] { app.SaveOnExit(); };
    env.endProcess = [&instance] {
        // End at once: no window's unload runs. Only the instance lock is given back, so the
        // next start does not have to recognise it as stale.
        instance.release();
        std::fflush(nullptr);
        std::_Exit(0);
    };
    env.delayMs = [clock](uint32_t ms) { Fun_DelayMs(ms, clock); };
    return env;  // the seven hooks stay empty extension points
}

}  // namespace

int Main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    qapp.setQuitOnLastWindowClosed(false);
    // Fusion draws the grid buttons' background colours on every platform.
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Installed before the lock is taken, so a request to end is never lost once it exists.
    TerminationRequests termination;

    // The folder of TASK.M45 and system.ini: beside the executable, or the user's data folder
    // for an installed copy. The instance lock keys on it, so copies sharing files exclude each
    // other and an installed copy and a build tree's do not.
    const QString appDir = DataDir(QCoreApplication::applicationDirPath());
    SingleInstance instance(appDir);
    if (instance.anotherRuns()) {
        return 0;  // silently: no window, nothing shown
    }

    MessageBoxMessages messages;
    Application app(appDir, messages,
                    MakeQtSerialBackend(PortMap(QDir(appDir).filePath("system.ini"))));
    termination.setHandler([&app] {
        // Like a close request to the serial form: port closed, exit requested; the main loop
        // saves once and ends. A box waiting for the operator is closed so the loop can go on.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        int cancel = 0;
        app.session.CloseRequest(cancel);
    });

    app.BringUp();
    app.mainWindow().show();
    const MsClock clock;
    Fun_DelayMs(100, clock);

    MainLoopState loop;
    loop.NowMs = int32_t(clock.timeGetTime());
    MainLoopEnv env = LoopEnv(app, instance, clock);
    for (;;) {
        MainLoopPass(loop, app.process, env);
    }
}
