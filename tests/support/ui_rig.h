#pragma once
// A real main window on real files in a temporary directory, with the message boxes recorded
// instead of shown and a serial backend that finds exactly the ports a test asks for.

#include "app/application.h"
#include "config/config.h"
#include "config/taskfile.h"
#include "device/protocol.h"
#include "serial/port_layer.h"
#include "serial/session.h"
#include "serial/system_backend.h"
#include "support/bytes.h"
#include "support/virtual_line.h"
#include "ui/main_window.h"
#include "ui/operator_messages.h"
#include "util/process_state.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

struct RecordingMessages : OperatorMessages {
    void information(const QString& text) override { record(text); }
    void warning(const QString& text) override { record(text); }
    void record(const QString& text) {
        shown << text;
        if (onShow) {
            onShow(text);
        }
    }
    QStringList shown;
    std::function<void(const QString&)> onShow;  // runs while the box would be open
};

// Ports that "open" are those in `present`; nothing is ever read or written.
struct ListedPortsBackend : SerialBackend {
    explicit ListedPortsBackend(QSet<int32_t> ports = {}) : present(std::move(ports)) {}
    int32_t open(int32_t number, OpenFailure* why, QString*) override {
        if (why != nullptr) {
            *why = present.contains(number) ? OpenFailure::None : OpenFailure::Absent;
        }
        return present.contains(number) ? 100 + number : 0;
    }
    void close(int32_t) override {}
    bool setLine(int32_t, uint32_t, uint8_t, uint8_t, uint8_t, uint8_t) override { return true; }
    bool setTimeouts(int32_t, uint32_t, uint32_t) override { return true; }
    int32_t read(int32_t, uint8_t*, int32_t) override { return 0; }
    int32_t write(int32_t, const uint8_t*, int32_t n) override { return n; }
    QSet<int32_t> present;
};

// The parts of one process, built by the application's own start-up code, on real files in a
// temporary directory (or `dir`) and with the message boxes recorded. The line and the clock are
// the test's: by default ports that open and say nothing, on the real clock.
struct WindowRig {
    explicit WindowRig(
        std::unique_ptr<SerialBackend> serial = std::make_unique<ListedPortsBackend>(),
        QString dir = {}, Clock* clock = nullptr)
        : appDir(dir.isEmpty() ? temp.path() : dir),
          app(appDir, messages, OnLine(std::move(serial), clock)) {}
    QString taskFile() const { return TaskFilePath(appDir); }
    // Creates the window and runs its load, as the serial form's first use of the port list does.
    Form主窗体& load() { return app.mainWindow(); }

    QTemporaryDir temp;
    QString appDir;
    RecordingMessages messages;
    Application app;
    ProcessState& process = app.process;
    ConfigTables& config = app.config;
    ProtocolState& proto = app.serial.proto;
    PortLayer& port = app.serial.port;
    Form串口& session = app.serial.session;
    std::unique_ptr<Form主窗体>& window = app.window;
};

// Benchmarks run on the screen when there is one, offscreen otherwise.
inline void OffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}
