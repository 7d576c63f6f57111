// CPU use of the real m4500-config while the operator does nothing: the executable runs from a
// private application directory with a valid task file, and its user + system time is read
// from /proc over 10 s after start-up. Target: <= 1 % of one core.

#include "config/taskfile.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstdio>

namespace {

// utime + stime of a process, in clock ticks (fields 14 and 15 of /proc/<pid>/stat).
long long CpuTicks(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString exe = QDir(dir.path()).filePath("m4500-config");
    if (!QFile::copy(QStringLiteral(M45_BIN_DIR "/m4500-config"), exe)) {
        std::fprintf(stderr, "cannot copy the executable\n");
        return 1;
    }
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
    QFile task(TaskFilePath(dir.path()));
    task.open(QIODevice::WriteOnly);
    task.write(BuildTaskImage(ConfigTables{}));
    task.close();

    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (env.value("DISPLAY").isEmpty() && env.value("WAYLAND_DISPLAY").isEmpty()) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    tool.setProcessEnvironment(env);
    tool.start(exe, {});
    if (!tool.waitForStarted(10000)) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(exe));
        return 1;
    }
    QThread::sleep(2);  // past the start-up and the 100 ms wait
    const long long before = CpuTicks(tool.processId());
    QElapsedTimer span;
    span.start();
    QThread::sleep(10);
    const long long after = CpuTicks(tool.processId());
    const double seconds = double(span.elapsed()) / 1000.0;
    ::kill(pid_t(tool.processId()), SIGTERM);
    tool.waitForFinished(20000);
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "cannot read /proc/%lld/stat\n", tool.processId());
        return 1;
    }
    const double cpuSeconds = double(after - before) / double(sysconf(_SC_CLK_TCK));
    const double percent = 100.0 * cpuSeconds / seconds;
    std::printf("idle CPU over %.1f s: %.3f s = %.2f %% of one core (platform %s)\n", seconds,
                cpuSeconds, percent, qPrintable(env.value("QT_QPA_PLATFORM", "default")));
    std::printf("target <= 1 %%: %s\n", percent <= 1.0 ? "met" : "NOT met");
    std::printf("exit after SIGTERM: code %d\n", tool.exitCode());
    return 0;
}
