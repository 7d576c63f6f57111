#include "serial/qt_backend.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

// How many ports can be open at once through one backend (handles 1..kMaxOpenPorts).
constexpr size_t kMaxOpenPorts = 64;

struct OpenEntry {
    std::unique_ptr<QSerialPort> port;
    QString location;  // the device behind the path, to refuse a second open in this program
    // Timeouts as the platform's serial driver takes them: a read waits at most
    // readMultiplier * requested + readConstant ms in all, and ends readInterval ms after a byte.
    uint32_t readInterval = 1;
    uint32_t readMultiplier = 1;
    uint32_t readConstant = 1;
    uint32_t writeMultiplier = 1;
    uint32_t writeConstant = 1;
    // The device went away while open. Its descriptor is closed: a hung-up tty stays readable
    // for ever, and every event pump would return at once.
    bool hungUp = false;
};

// How a device that went away shows: a pulled USB adapter as a resource error, a hung-up
// pseudo-terminal or tty as a failing read of a descriptor that polls readable for ever.
bool LineGone(QSerialPort::SerialPortError error) {
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
}

// Closes the device of an entry whose line hung up; the handle stays valid until closed.
void HangUp(OpenEntry& entry) {
    entry.hungUp = true;
    if (entry.port->isOpen()) {
        entry.port->close();
    }
}

// The device a path stands for: symbolic links (/dev/serial/by-id/...) resolved where possible.
QString DeviceLocation(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

void Report(OpenFailure* why, QString* detail, OpenFailure failure, const QString& text) {
    if (why != nullptr)
        *why = failure;
    if (detail != nullptr)
        *detail = text;
}

// Turns Qt's open error into what the operator can act on. Qt reports both a foreign lock file
// and a refused device node as PermissionError; the node's access rights tell them apart.
void ReportOpenError(const QSerialPort& port, const QString& path, OpenFailure* why,
                     QString* detail) {
    switch (port.error()) {
        case QSerialPort::DeviceNotFoundError:
            Report(why, detail, OpenFailure::Absent, QStringLiteral("no such device: ") + path);
            return;
        case QSerialPort::ResourceError:  // the node exists, but no hardware answers behind it
            Report(why, detail, OpenFailure::Absent,
                   QStringLiteral("no device answers at %1 (%2)").arg(path, port.errorString()));
            return;
        case QSerialPort::OpenError:
            Report(why, detail, OpenFailure::Busy,
                   QStringLiteral("port busy: already open in this program (%1)").arg(path));
            return;
        case QSerialPort::PermissionError: {
            const QFileInfo node(path);
            if (node.exists() && !(node.isReadable() && node.isWritable())) {
                Report(why, detail, OpenFailure::PermissionDenied,
                       QStringLiteral("permission denied: add the user to the dialout group (%1)")
                           .arg(path));
            } else {
                Report(why, detail, OpenFailure::Busy,
                       QStringLiteral("port busy: another program holds it (%1)").arg(path));
            }
            return;
        }
        default:
            Report(why, detail, OpenFailure::Other,
                   QStringLiteral("%1: %2").arg(path, port.errorString()));
            return;
    }
}

class QtSerialBackend final : public SerialBackend {
  public:
    explicit QtSerialBackend(PortMap map) : map_(std::move(map)) {}
    ~QtSerialBackend() override {
        for (auto& entry : table_) {
            if (entry)
                entry->port->close();
        }
    }

    int32_t open(int32_t number, OpenFailure* why, QString* detail) override;
    void close(int32_t handle) override {
        if (OpenEntry* entry = find(handle)) {
            entry->port->close();
            table_[size_t(handle) - 1].reset();
        }
    }
    bool setLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity,
                 uint8_t eofChar) override;
    bool setTimeouts(int32_t handle, uint32_t readMs, uint32_t writeMs) override {
        OpenEntry* entry = find(handle);
        if (entry == nullptr)
            return false;
        entry->readInterval = entry->readMultiplier = entry->readConstant = readMs;
        entry->writeMultiplier = entry->writeConstant = writeMs;
        return true;
    }
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override;
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override;
    QString devicePath(int32_t number) const override { return map_.devicePath(number); }
    QString deviceDescription(int32_t number) const override { return map_.description(number); }

  private:
    OpenEntry* find(int32_t handle) {
        if (handle <= 0 || size_t(handle) > table_.size())
            return nullptr;
        return table_[size_t(handle) - 1].get();
    }

    PortMap map_;
    std::vector<std::unique_ptr<OpenEntry>> table_;  // handle h lives at index h - 1
};

int32_t QtSerialBackend::open(int32_t number, OpenFailure* why, QString* detail) {
    Report(why, detail, OpenFailure::None, QString());
    const QString path = map_.devicePath(number);
    if (path.isEmpty()) {
        Report(why, detail, OpenFailure::Absent,
               QStringLiteral("no device for port %1").arg(number));
        return 0;
    }
    // Opening is exclusive within this program too, even where the lock would let it pass.
    const QString location = DeviceLocation(path);
    for (const auto& entry : table_) {
        if (entry && entry->location == location) {
            Report(why, detail, OpenFailure::Busy,
                   QStringLiteral("port busy: already open in this program (%1)").arg(path));
            return 0;
        }
    }
    auto slot = std::find(table_.begin(), table_.end(), nullptr);
    if (slot == table_.end() && table_.size() >= kMaxOpenPorts) {
        Report(why, detail, OpenFailure::Other, QStringLiteral("too many ports open"));
        return 0;
    }
    auto entry = std::make_unique<OpenEntry>();
    entry->port = std::make_unique<QSerialPort>();
    entry->port->setPortName(path);
    entry->location = location;
    // QSerialPort opens non-blocking with a lock file and TIOCEXCL: an absent or foreign port
    // fails at once.
    if (!entry->port->open(QIODevice::ReadWrite)) {
        ReportOpenError(*entry->port, path, why, detail);
        return 0;
    }
    // A hang-up shows first in the event loop, between reads: close there at once (deferred, as
    // the notifier reporting it must not be deleted under itself).
    OpenEntry* raw = entry.get();
    QObject::connect(raw->port.get(), &QSerialPort::errorOccurred, raw->port.get(),
                     [raw](QSerialPort::SerialPortError error) {
                         if (LineGone(error)) {
                             QTimer::singleShot(0, raw->port.get(), [raw] { HangUp(*raw); });
                         }
                     });
    if (slot == table_.end()) {
        table_.push_back(std::move(entry));
        return int32_t(table_.size());
    }
    *slot = std::move(entry);
    return int32_t(slot - table_.begin()) + 1;
}

bool QtSerialBackend::setLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits,
                              uint8_t parity, uint8_t /*eofChar*/) {
    // The end-of-file character has no meaning on a raw line: every byte value passes as is.
    OpenEntry* entry = find(handle);
    if (entry == nullptr || byteSize < 5 || byteSize > 8 || stopBits > 2 || parity > 4 ||
        baud == 0 || baud > uint32_t(INT32_MAX)) {
        return false;
    }
    static constexpr QSerialPort::StopBits kStops[] = {
        QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    static constexpr QSerialPort::Parity kParities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    QSerialPort& port = *entry->port;
    bool ok = port.setBaudRate(qint32(baud));
    ok = port.setDataBits(QSerialPort::DataBits(byteSize)) && ok;
    ok = port.setStopBits(kStops[stopBits]) && ok;
    ok = port.setParity(kParities[parity]) && ok;
    ok = port.setFlowControl(QSerialPort::NoFlowControl) && ok;
    return ok;
}

int32_t QtSerialBackend::read(int32_t handle, uint8_t* buf, int32_t max) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr || buf == nullptr || max <= 0)
        return 0;
    QSerialPort& port = *entry->port;
    // waitForReadyRead blocks without running the event loop, like a synchronous read.
    const qint64 total = qint64(entry->readMultiplier) * max + entry->readConstant;
    QElapsedTimer clock;
    clock.start();
    if (!entry->hungUp && port.bytesAvailable() == 0) {
        port.waitForReadyRead(int(total));
        if (LineGone(port.error())) {
            HangUp(*entry);
        }
    }
    if (entry->hungUp) {
        // Nothing can arrive any more; the read takes its time all the same.
        QThread::msleep(ulong(std::max<qint64>(0, total - clock.elapsed())));
        return kLineLost;
    }
    while (port.bytesAvailable() > 0 && port.bytesAvailable() < max) {
        const qint64 left = total - clock.elapsed();
        if (left <= 0 || !port.waitForReadyRead(int(std::min<qint64>(entry->readInterval, left)))) {
            break;
        }
    }
    const qint64 got = port.read(reinterpret_cast<char*>(buf), max);
    return int32_t(std::clamp<qint64>(got, 0, max));
}

int32_t QtSerialBackend::write(int32_t handle, const uint8_t* buf, int32_t n) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr || buf == nullptr || n <= 0 || entry->hungUp)
        return 0;
    QSerialPort& port = *entry->port;
    const qint64 before = port.bytesToWrite();
    if (port.write(reinterpret_cast<const char*>(buf), n) != n)
        return 0;
    const qint64 total = qint64(entry->writeMultiplier) * n + entry->writeConstant;
    QElapsedTimer clock;
    clock.start();
    while (port.bytesToWrite() > 0) {
        const qint64 left = total - clock.elapsed();
        if (left <= 0 || !port.waitForBytesWritten(int(left)))
            break;
    }
    // Bytes still queued go out later from the event loop; they are not counted as written.
    const qint64 pending = std::max<qint64>(0, port.bytesToWrite() - before);
    return int32_t(std::clamp<qint64>(n - pending, 0, n));
}

}  // namespace

std::unique_ptr<SerialBackend> MakeQtSerialBackend(PortMap map) {
    return std::make_unique<QtSerialBackend>(std::move(map));
}
