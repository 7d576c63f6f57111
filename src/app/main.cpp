// M_00_main: the process entry, which runs Main. --help and --version are answered here, before
// any window or display is needed, as command-line programs answer them.

#include "app/application.h"

#include <cstdio>
#include <cstring>

namespace {

const char* const kHelp =
    "Usage: m4500-config [--lang zh|en]\n"
    "\n"
    "The configuration tool of the M-4500 controller: 32 zones, 18 timed tasks and 64 machine\n"
    "addresses, kept in TASK.M45, downloaded to the controller over a serial port, and the\n"
    "controller's clock set from this computer's.\n"
    "\n"
    "Options:\n"
    "  --lang zh|en  The window's language (default: Chinese, or Language= in system.ini).\n"
    "  --help        This text.\n"
    "  --version     The version.\n"
    "\n"
    "The task file and the settings file in use: m4500ctl where. The command-line companion\n"
    "m4500ctl downloads, sets the clock and works with site documents without the window.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            return std::fputs(kHelp, stdout) >= 0 && std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            return std::printf("m4500-config %s\n", M45_VERSION) > 0 && std::fflush(stdout) == 0
                       ? 0
                       : 1;
        }
    }
    return Main(argc, argv);
}
