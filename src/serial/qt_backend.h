#pragma once
// SerialBackend over Qt Serial Port: the ports of Linux and the other POSIX systems.

#include "serial/system_backend.h"

std::unique_ptr<SerialBackend> MakeQtSerialBackend(PortMap map);
