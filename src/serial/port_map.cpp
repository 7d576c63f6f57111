#include "serial/port_map.h"

#include "util/keyvalue.h"

#include <QDir>
#include <QFileInfo>
#ifndef Q_OS_WIN
#include <QSerialPortInfo>
#endif

// Port numbers and devices.
//
// Windows: port n is the device COMn, as the operator knows it from the device manager (the
// backend opens it as \\.\COMn, the only name under which COM10 and above can be opened).
// COMn= lines in the settings file do not apply there.
//
// Elsewhere a line "COMn=<device path>" in the settings file gives port n any device (a USB
// adapter under /dev/serial/by-id, a pseudo-terminal, ...). Without such a line the number
// falls into a fixed table of the usual device nodes:
//
//   1..10   /dev/ttyS0   .. /dev/ttyS9     built-in ports
//   11..20  /dev/ttyUSB0 .. /dev/ttyUSB9   USB serial adapters
//   21..30  /dev/ttyACM0 .. /dev/ttyACM9   USB modem-class devices
//
// Numbers outside 1..30 have no device unless a settings line names one.

PortMap::PortMap(QString settingsPath) : settingsPath_(std::move(settingsPath)) {}

void PortMap::assign(int number, const QString& device) {
    assigned_.insert(number, device);
}

int PortMap::numberOf(const QString& device) const {
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity cs = Qt::CaseInsensitive;  // com3 is COM3
#else
    const Qt::CaseSensitivity cs = Qt::CaseSensitive;
#endif
    for (int n = kFirstPort; n <= kLastPort; ++n) {
        if (devicePath(n).compare(device, cs) == 0) {
            return n;
        }
    }
    for (auto it = assigned_.cbegin(); it != assigned_.cend(); ++it) {
        if (it.value().compare(device, cs) == 0) {
            return it.key();
        }
    }
    return 0;
}

QString PortMap::devicePath(int number) const {
    if (const auto it = assigned_.constFind(number); it != assigned_.cend()) {
        return it.value();
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(number);
#else
    if (!settingsPath_.isEmpty()) {
        const QString mapped =
            ReadKeyValue(settingsPath_, QStringLiteral("COM") + QString::number(number));
        if (!mapped.trimmed().isEmpty()) {
            return mapped.trimmed();
        }
    }
    struct Range {
        int first;
        const char* prefix;
    };
    static constexpr Range kTable[] = {{1, "/dev/ttyS"}, {11, "/dev/ttyUSB"}, {21, "/dev/ttyACM"}};
    for (const Range& range : kTable) {
        if (number >= range.first && number < range.first + 10) {
            return QString::fromLatin1(range.prefix) + QString::number(number - range.first);
        }
    }
    return QString();
#endif
}

QString PortMap::description(int number) const {
#ifdef Q_OS_WIN
    Q_UNUSED(number);
    return QString();  // the Win32 backend asks the system itself
#else
    const QString path = devicePath(number);
    if (path.isEmpty()) {
        return QString();
    }
    // A mapped path may be a symbolic link (/dev/serial/by-id/...); compare the devices behind.
    const QString target = QFileInfo(path).canonicalFilePath();
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const bool same =
            info.portName() == path || info.systemLocation() == path ||
            (!target.isEmpty() && QFileInfo(info.systemLocation()).canonicalFilePath() == target);
        if (same) {
            return info.description().isEmpty() ? info.manufacturer() : info.description();
        }
    }
    return QString();
#endif
}

std::vector<StableAdapter> PortMap::stableAdapters(const QString& folder) const {
    std::vector<StableAdapter> adapters;
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
#else
    constexpr int kMostAdapters = 64;
    const QFileInfoList links =
        QDir(folder).entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo& link : links) {
        if (adapters.size() == kMostAdapters) {
            break;
        }
        const QString device = link.canonicalFilePath();
        if (device.isEmpty()) {
            continue;  // a link left behind by an adapter that is gone
        }
        StableAdapter adapter{link.absoluteFilePath(), device};
        for (int n = kFirstPort; n <= kLastPort && adapter.number == 0; ++n) {
            const QString path = devicePath(n);
            if (!path.isEmpty() && QFileInfo(path).canonicalFilePath() == device) {
                adapter.number = n;
                adapter.kept = path == adapter.name;
            }
        }
        int number = adapter.number;
        for (int n = 11; n <= kLastPort && number == 0; ++n) {
            const QString path = devicePath(n);
            if (path.isEmpty() || !QFileInfo::exists(path)) {
                number = n;
            }
        }
        if (number != 0) {
            adapter.settingsLine =
                QStringLiteral("COM") + QString::number(number) + u'=' + adapter.name;
        }
        adapters.push_back(adapter);
    }
#endif
    return adapters;
}
