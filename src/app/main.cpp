// M_00_main: the process entry, which runs Main.

#include "app/application.h"

int main(int argc, char** argv) {
    return Main(argc, argv);
}
