#include "ctl.h"
#include "util/language.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // The companion speaks English: the texts it shares with the window (why a port did not
    // open, what became of a transfer) come in their English translation.
    const auto english = InstallTranslation(Language::English);
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    return RunCtl(args);
}
