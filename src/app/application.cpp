// M_00_main: Main, the start-up of the process-wide parts and the exit sequence's saves.

#include "app/application.h"

#include "app/single_instance.h"
#include "config/save_leftovers.h"
#include "config/taskfile.h"
#include "util/data_dir.h"
#include "util/delay.h"
#include "util/termination.h"
#include "util/language.h"

#include <QApplication>
#include <QDir>
#include <QSessionManager>
#include <QTimer>
#include <QTranslator>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <utility>

Application::Application(const QString& dir, OperatorMessages& boxes, SerialStackOptions serial)
    : dataDir(dir), messages(boxes), serial(process, dir, std::move(serial)) {}

Application::~Application() = default;

Form主窗体& Application::mainWindow() {
    if (!window) {
        window = std::make_unique<Form主窗体>(MainWindowDeps{process, config, serial, messages});
        window->Load();
    }
    return *window;
}

void Application::BringUp() {
    const LeftoverCleanup leftovers =
        CleanSaveLeftovers(TaskFilePath(dataDir), process.SystemIniPath, startedAt);
    serial.session.Load([this]() -> PortSelector& { return mainWindow().portSelector(); });
    mainWindow();  // exists already unless the session never touched the port list
    if (!leftovers.recovered.isEmpty()) {
        messages.information(
            QCoreApplication::translate("M_00_main", "上次保存被中断，保存的完整内容已另存为：%1")
                .arg(QDir::toNativeSeparators(leftovers.recovered)));
    }
}

namespace {

QString SaveFailureText(const QString& path, const QString& error) {
    return QCoreApplication::translate("M_00_main", "保存失败！\n%1\n%2")
        .arg(QDir::toNativeSeparators(path), error);
}

}  // namespace

void Application::SaveOnExit() {
    exitSaved = true;
    const QString path = TaskFilePath(dataDir);
    const FileResult saved = SaveTaskFile(config, path);
    if (!saved.ok) {
        messages.warning(SaveFailureText(path, saved.error));
    }
}

void Application::SaveForSession(bool mayShowBox) {
    if (exitSaved) {
        return;
    }
    const QString path = TaskFilePath(dataDir);
    const FileResult saved = SaveTaskFile(config, path);
    if (saved.ok) {
        return;
    }
    if (mayShowBox) {
        messages.warning(SaveFailureText(path, saved.error));
    } else {
        std::fprintf(stderr, "m4500-config: %s\n", qPrintable(SaveFailureText(path, saved.error)));
    }
}

void Application::SaveAtLastResort() {
    if (exitSaved) {
        return;
    }
    exitSaved = true;
    const QString path = TaskFilePath(dataDir);
    const FileResult saved = SaveTaskFile(config, path);
    std::fprintf(stderr, "m4500-config: ending without the window: %s\n",
                 saved.ok ? qPrintable(QStringLiteral("configuration saved to ") + path)
                          : qPrintable(SaveFailureText(path, saved.error)));
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

// The one application whose work must not be lost when the process ends some other way than
// through the exit sequence: Qt ends the process with exit() when the connection to the display
// breaks (the X server killed, a logout without a signal), and with a fatal message on some
// platforms. Static storage, as only that is left to an exit handler.
Application* g_lastResort = nullptr;
QtMessageHandler g_previousHandler = nullptr;

void SaveBeforeTheProcessEnds() {
    if (Application* app = std::exchange(g_lastResort, nullptr)) {
        app->SaveAtLastResort();
    }
}

void OnQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        SaveBeforeTheProcessEnds();
    }
    if (g_previousHandler != nullptr) {
        g_previousHandler(type, context, text);
    }
}

// Registered once the application is up, so its handler runs before the exit handlers of the
// parts of Qt that the save needs.
void GuardAgainstAnEndWithoutTheExitSequence(Application& app, QApplication& qapp) {
    g_lastResort = &app;
    std::atexit(SaveBeforeTheProcessEnds);
    g_previousHandler = qInstallMessageHandler(OnQtMessage);
    QObject::connect(&qapp, &QGuiApplication::commitDataRequest, [&app](QSessionManager& manager) {
        app.SaveForSession(manager.allowsInteraction());
        manager.release();
    });
}

MainLoopEnv LoopEnv(Application& app, SingleInstance& instance, Clock& clock) {
    MainLoopEnv env;
    env.pump = PumpOrWait;
    env.clock = [&clock] { return clock.timeGetTime(); };
    env.timeBeginPeriod1 = RequestOneMsTimerResolution;
    env.save = [&app] { app.SaveOnExit(); };
    env.endProcess = [&instance] {
        // End at once: no window's unload runs. Only the instance lock is given back, so the
        // next start does not have to recognise it as stale.
        instance.release();
        std::fflush(nullptr);
        std::_Exit(0);
    };
    env.delayMs = [&clock](uint32_t ms) { clock.Fun_DelayMs(ms); };
    return env;  // the seven hooks stay empty extension points
}

}  // namespace

int Main(int argc, char** argv) {
    const QDateTime started = QDateTime::currentDateTimeUtc();
    QApplication qapp(argc, argv);
    qapp.setQuitOnLastWindowClosed(false);
    // Fusion draws the grid buttons' background colours on every platform.
    QApplication::setStyle(QStringLiteral("Fusion"));
    // Installed before the lock is taken, so a request to end is never lost once it exists.
    TerminationRequests termination;

    // The folder of TASK.M45 and system.ini: beside the executable, or the user's data folder
    // for an installed copy. The instance lock keys on it, so copies sharing files exclude each
    // other and an installed copy and a build tree's do not.
    const QString dataDir = DataDir(QCoreApplication::applicationDirPath());
    SingleInstance instance(dataDir);
    if (instance.anotherRuns()) {
        return 0;  // silently: no window, nothing shown
    }

    MessageBoxMessages messages;
    Application app(dataDir, messages);
    app.startedAt = started;
    // Before the window exists: its load reads every text through the translation.
    const Language language =
        ChosenLanguage(QCoreApplication::arguments(), app.process.SystemIniPath);
    const std::unique_ptr<QTranslator> translation = InstallTranslation(language);
    const std::unique_ptr<QTranslator> qtTexts = InstallQtTranslation(language);
    termination.setHandler([&app] {
        // Like a close request to the serial form: port closed, exit requested; the main loop
        // saves once and ends. A box waiting for the operator is closed so the loop can go on.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
        int cancel = 0;
        app.serial.session.CloseRequest(cancel);
    });

    app.BringUp();
    GuardAgainstAnEndWithoutTheExitSequence(app, qapp);
    app.mainWindow().show();
    Clock& clock = app.serial.clock;
    clock.Fun_DelayMs(100);

    MainLoopState loop;
    loop.NowMs = int32_t(clock.timeGetTime());
    MainLoopEnv env = LoopEnv(app, instance, clock);
    for (;;) {
        MainLoopPass(loop, app.process, env);
    }
}
