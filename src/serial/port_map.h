#pragma once
// Port numbers 1..30 and the devices they stand for. On Windows port n is COMn. Elsewhere a
// line "COMn=<device path>" in the settings file maps port n onto any device; without one, a
// fixed table maps the numbers onto the usual device nodes (see the README).

#include <QMap>
#include <QString>

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 30;

class PortMap {
  public:
    explicit PortMap(QString settingsPath = {});
    // Port `number` stands for `device` in this map only, whatever the settings file or the
    // platform's naming say (a device named on a command line).
    void assign(int number, const QString& device);
    // The number whose device is `device`: the first of 1..30, or of the assigned numbers; 0
    // when none is.
    int numberOf(const QString& device) const;
    // The device that port `number` opens ("COM3" on Windows, "/dev/ttyUSB0" elsewhere).
    QString devicePath(int number) const;
    // The adapter's description as the system reports it, or "" when unknown.
    QString description(int number) const;

  private:
    QString settingsPath_;
    QMap<int, QString> assigned_;
};
