// The window's save, again and again: the configurations of the task files A and B are saved to
// FILE in turn, as fast as the disk takes them. bench/kill-saves kills it at random moments to
// show what a kill in the middle of a save leaves behind.
//
//   bench_save_loop FILE A B [seconds]
//
// Without seconds it saves until it is killed. With them it stops after that time and prints the
// number of saves and the time of one.
#include "config/taskfile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: bench_save_loop FILE A B [seconds]\n");
        return 1;
    }
    ConfigTables configs[2];
    for (int i = 0; i < 2; ++i) {
        if (LoadTaskFile(configs[i], args[2 + i]).status != LoadStatus::Loaded) {
            std::fprintf(stderr, "bench_save_loop: %s is not a task file\n",
                         qPrintable(args[2 + i]));
            return 1;
        }
    }
    const qint64 budgetMs = args.size() > 4 ? qint64(args[4].toDouble() * 1000) : -1;
    QElapsedTimer clock;
    clock.start();
    qint64 saves = 0;
    while (budgetMs < 0 || clock.elapsed() < budgetMs) {
        const FileResult saved = SaveTaskFile(configs[saves % 2], args[1]);
        if (!saved.ok) {
            std::fprintf(stderr, "bench_save_loop: %s\n", qPrintable(saved.error));
            return 2;
        }
        ++saves;
    }
    std::printf("%lld saves in %.2f s: %.3f ms per save\n", static_cast<long long>(saves),
                double(clock.elapsed()) / 1000, double(clock.elapsed()) / double(saves));
    return 0;
}
