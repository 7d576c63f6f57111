#pragma once
// The operating system's ports, whichever backend the platform has (the Win32 calls on Windows,
// Qt Serial Port elsewhere), and a wrapper that traces both directions as hex text.

#include "serial/port_layer.h"
#include "serial/port_map.h"

#include <functional>
#include <memory>

std::unique_ptr<SerialBackend> MakeSystemSerialBackend(PortMap map);

// Wraps any backend; every byte read or written is reported as one line
// ("<ms> TX AA 55 78 7A ..." / "<ms> RX ...") through `sink`.
std::unique_ptr<SerialBackend> MakeTraceBackend(SerialBackend& inner,
                                                std::function<void(const QString&)> sink);
