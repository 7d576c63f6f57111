#pragma once
// Port numbers 1..30 and the devices they stand for. On Windows port n is COMn. Elsewhere a
// line "COMn=<device path>" in the settings file maps port n onto any device; without one, a
// fixed table maps the numbers onto the usual device nodes (see the README).

#include <QMap>
#include <QString>

#include <vector>

inline constexpr int kFirstPort = 1;
inline constexpr int kLastPort = 30;

// An adapter under its stable name, which stays the same when it is plugged in again or into
// another socket, while the kernel's ttyUSBn numbers move.
struct StableAdapter {
    QString name;    // "/dev/serial/by-id/usb-FTDI_..."
    QString device;  // what it stands for now: "/dev/ttyUSB0"
    int number = 0;  // the port that reaches it now, 0 when none does
    bool kept = false;  // that port is mapped onto the stable name itself, by a COMn= line
    // The line for the settings file that keeps a port on this adapter: the number that reaches
    // it now, otherwise the first of 11..30 that stands for no device present.
    QString settingsLine;
};

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
    // The adapters linked in `folder` (none on Windows), in name order, at most 64.
    std::vector<StableAdapter> stableAdapters(
        const QString& folder = QStringLiteral("/dev/serial/by-id")) const;

  private:
    QString settingsPath_;
    QMap<int, QString> assigned_;
};
