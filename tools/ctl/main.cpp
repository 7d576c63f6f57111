#include "ctl.h"
#include "util/language.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef Q_OS_WIN
    // Output goes out byte for byte: an exported document or the log is the same file on Windows
    // as elsewhere, with no CR put before each LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    QCoreApplication app(argc, argv);
    // The companion speaks English: the texts it shares with the window (why a port did not
    // open, what became of a transfer) come in their English translation.
    const auto english = InstallTranslation(Language::English);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCtl(args);
}
