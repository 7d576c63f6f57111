#include "support/emulator.h"

#include "util/keyvalue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace {

QString LinkArgument(const QStringList& args) {
    const qsizetype at = args.indexOf(QStringLiteral("--link"));
    if (at >= 0 && at + 1 < args.size())
        return args[at + 1];
    for (const QString& a : args)
        if (a.startsWith(QStringLiteral("--link=")))
            return a.mid(7);
    return {};
}

}  // namespace

EmulatorProcess::EmulatorProcess(const QStringList& extraArgs, int startTimeoutMs) {
    outputPath_ = dir_.filePath(QStringLiteral("emu.out"));
    process_.setStandardOutputFile(outputPath_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(M45_BIN_DIR "/m4500-emu"), extraArgs);
    if (!process_.waitForStarted(startTimeoutMs)) {
        error_ = QStringLiteral("m4500-emu did not start: ") + process_.errorString();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    while (!output().contains(u'\n')) {
        if (timer.elapsed() > startTimeoutMs || process_.waitForFinished(10)) {
            error_ = QStringLiteral("m4500-emu printed no device path: ") + output();
            return;
        }
    }
    const QString link = LinkArgument(extraArgs);
    devicePath_ = link.isEmpty() ? output().section(u'\n', 0, 0).trimmed() : link;
}

EmulatorProcess::~EmulatorProcess() {
    stop();
}

QString EmulatorProcess::output() const {
    QFile file(outputPath_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

bool EmulatorProcess::waitForOutput(const QString& text, int timeoutMs) const {
    QElapsedTimer timer;
    timer.start();
    while (!output().contains(text)) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QThread::msleep(5);
    }
    return true;
}

bool EmulatorProcess::stop() {
    if (process_.state() == QProcess::NotRunning)
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

int EmulatorProcess::waitForExit(int timeoutMs) {
    if (process_.state() != QProcess::NotRunning && !process_.waitForFinished(timeoutMs))
        return -1;
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

bool WritePortSetting(const QString& settingsPath, int port, const QString& devicePath) {
    return WriteKeyValue(settingsPath, QStringLiteral("COM") + QString::number(port), devicePath)
        .ok;
}
