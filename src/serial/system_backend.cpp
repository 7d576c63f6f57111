#include "serial/system_backend.h"

#ifdef Q_OS_WIN
#include "serial/win_backend.h"
#else
#include "serial/qt_backend.h"
#endif

std::unique_ptr<SerialBackend> MakeSystemSerialBackend(PortMap map) {
#ifdef Q_OS_WIN
    return MakeWin32SerialBackend(std::move(map));
#else
    return MakeQtSerialBackend(std::move(map));
#endif
}
