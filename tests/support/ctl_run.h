#pragma once
// Runs the companion m4500ctl of this build as an operator does, and what it left behind.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

struct CtlRun {
    int code = -1;     // exit code; -1 when it did not finish within the minute
    QByteArray bytes;  // standard output as written
    QString out;       // the same as text
    QString err;       // standard error
};

// `stdoutFile`: standard output goes there instead ("/dev/full" for a full disk).
inline CtlRun Ctl(const QStringList& args, const QString& stdoutFile = QString()) {
    QProcess p;
    if (!stdoutFile.isEmpty()) {
        p.setStandardOutputFile(stdoutFile);
    }
    p.start(QStringLiteral(M45_BIN_DIR "/m4500ctl"), args);
    CtlRun r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("m4500ctl did not finish");
        return r;
    }
    r.code = p.exitCode();
    r.bytes = p.readAllStandardOutput();
    r.out = QString::fromUtf8(r.bytes);
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
