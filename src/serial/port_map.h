#pragma once
// Port numbers 1..30 and the devices they stand for. On Windows port n is COMn. Elsewhere a
// line "COMn=<device path>" in the settings file maps port n onto any device; without one, a
// fixed table maps the numbers onto the usual device nodes (see the README).

#include <QString>

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 30;

class PortMap {
  public:
    explicit PortMap(QString settingsPath = {});
    // The device that port `number` opens ("COM3" on Windows, "/dev/ttyUSB0" elsewhere).
    QString devicePath(int number) const;
    // The adapter's description as the system reports it, or "" when unknown.
    QString description(int number) const;

  private:
    QString settingsPath_;
};
