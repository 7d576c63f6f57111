#pragma once
// M_00_main's process-wide flags and the settings path, created once by start-up and handed to the
// serial session, the transfers and the main window. Tests make their own instance.

#include <QString>
#include <cstdint>

// Booleans shared between modules are 16-bit: true = -1, false = 0. Waits compare with -1.
inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

struct ProcessState {
    QString SystemIniPath;           // application directory + "system.ini"
    int16_t ExitRequested = kFalse;  // set by the main window's unload and the serial form's close
    int16_t TicksStopped = kFalse;   // the periodic hooks no longer run (exit sequence started)
};
