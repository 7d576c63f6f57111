#pragma once
// SerialBackend over the Win32 serial calls: the ports of Windows.

#include "serial/system_backend.h"

std::unique_ptr<SerialBackend> MakeWin32SerialBackend(PortMap map);
