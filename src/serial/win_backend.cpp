#include "serial/win_backend.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include <windows.h>

#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif

namespace {

// How many ports can be open at once through one backend (handles 1..kMaxOpenPorts).
constexpr size_t kMaxOpenPorts = 64;

struct OpenEntry {
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The read timeouts last given, to keep a lost line's read at the pace of a silent one.
    uint32_t readMultiplier = 1;
    uint32_t readConstant = 1;
    bool lost = false;  // the device went away while open
};

// The name CreateFileA takes: "\\.\COM12". Plain "COM1".."COM9" happen to work as DOS device
// names, "COM10" and above do not; the device namespace reaches them all.
QByteArray Win32Name(const QString& device) {
    if (device.startsWith(QLatin1String("\\\\.\\")) || device.startsWith(QLatin1String("\\\\?\\")))
        return device.toLocal8Bit();
    return QByteArrayLiteral("\\\\.\\") + device.toLocal8Bit();
}

QString SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = n > 0 ? QString::fromWCharArray(text, int(n)).trimmed()
                            : QStringLiteral("error %1").arg(code);
    if (text != nullptr)
        LocalFree(text);
    return message;
}

void Report(OpenFailure* why, QString* detail, OpenFailure failure, const QString& text) {
    if (why != nullptr)
        *why = failure;
    if (detail != nullptr)
        *detail = text;
}

// What a failed CreateFileA means to the operator. A COM port that another program holds is
// refused with ERROR_ACCESS_DENIED, not with a sharing violation.
void ReportOpenError(DWORD code, const QString& device, OpenFailure* why, QString* detail) {
    const QString text = QStringLiteral("%1: %2").arg(device, SystemMessage(code));
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
            Report(why, detail, OpenFailure::Absent, QStringLiteral("no such device: ") + device);
            return;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_NOT_READY:
        case ERROR_GEN_FAILURE:  // the name is there, no hardware answers behind it
            Report(why, detail, OpenFailure::Absent,
                   QStringLiteral("no device answers at %1").arg(text));
            return;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            Report(why, detail, OpenFailure::Busy,
                   QStringLiteral("port busy: another program holds it (%1)").arg(text));
            return;
        case ERROR_PRIVILEGE_NOT_HELD:
        case ERROR_ELEVATION_REQUIRED:
            Report(why, detail, OpenFailure::PermissionDenied,
                   QStringLiteral("permission denied (%1)").arg(text));
            return;
        default:
            Report(why, detail, OpenFailure::Other, text);
            return;
    }
}

// Errors of a read or write on a device that is no longer there (a pulled USB adapter, a line
// whose other end hung up).
bool DeviceGone(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
        case ERROR_IO_DEVICE:
        case ERROR_BROKEN_PIPE:
        case ERROR_HANDLE_EOF:
            return true;
        default:
            return false;
    }
}

class Win32SerialBackend final : public SerialBackend {
  public:
    explicit Win32SerialBackend(PortMap map) : map_(std::move(map)) {}
    ~Win32SerialBackend() override {
        for (auto& entry : table_) {
            if (entry)
                CloseHandle(entry->handle);
        }
    }

    int32_t open(int32_t number, OpenFailure* why, QString* detail) override;
    void close(int32_t handle) override {
        if (OpenEntry* entry = find(handle)) {
            CloseHandle(entry->handle);
            table_[size_t(handle) - 1].reset();
        }
    }
    bool setLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity,
                 uint8_t eofChar) override;
    bool setTimeouts(int32_t handle, uint32_t readMs, uint32_t writeMs) override;
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override;
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override;
    QString devicePath(int32_t number) const override { return map_.devicePath(number); }
    QString deviceDescription(int32_t number) const override;

  private:
    OpenEntry* find(int32_t handle) {
        if (handle <= 0 || size_t(handle) > table_.size())
            return nullptr;
        return table_[size_t(handle) - 1].get();
    }
    // After a failed read or write: whether the device is gone. A line error (framing, overrun)
    // is cleared so the next read works; a device that cannot even report its errors is gone.
    bool checkGone(OpenEntry& entry, DWORD code) {
        DWORD errors = 0;
        COMSTAT stat{};
        if (DeviceGone(code) || !ClearCommError(entry.handle, &errors, &stat))
            entry.lost = true;
        return entry.lost;
    }

    PortMap map_;
    std::vector<std::unique_ptr<OpenEntry>> table_;  // handle h lives at index h - 1
};

int32_t Win32SerialBackend::open(int32_t number, OpenFailure* why, QString* detail) {
    Report(why, detail, OpenFailure::None, QString());
    const QString device = map_.devicePath(number);
    if (device.isEmpty()) {
        Report(why, detail, OpenFailure::Absent,
               QStringLiteral("no device for port %1").arg(number));
        return 0;
    }
    auto slot = std::find(table_.begin(), table_.end(), nullptr);
    if (slot == table_.end() && table_.size() >= kMaxOpenPorts) {
        Report(why, detail, OpenFailure::Other, QStringLiteral("too many ports open"));
        return 0;
    }
    // Read and write, no sharing, existing device only, synchronous I/O, no attributes. No
    // sharing also refuses a second open within this program.
    const HANDLE h = CreateFileA(Win32Name(device).constData(), GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        ReportOpenError(GetLastError(), device, why, detail);
        return 0;
    }
    auto entry = std::make_unique<OpenEntry>();
    entry->handle = h;
    if (slot == table_.end()) {
        table_.push_back(std::move(entry));
        return int32_t(table_.size());
    }
    *slot = std::move(entry);
    return int32_t(slot - table_.begin()) + 1;
}

bool Win32SerialBackend::setLine(int32_t handle, uint32_t baud, uint8_t byteSize,
                                 uint8_t stopBits, uint8_t parity, uint8_t eofChar) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr)
        return false;
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(entry->handle, &dcb))
        return false;
    dcb.BaudRate = baud;
    dcb.ByteSize = byteSize;
    dcb.Parity = parity;
    dcb.StopBits = stopBits;
    dcb.EofChar = char(eofChar);
    // A raw 8-bit line: no byte is a flow-control or error character, and nothing waits for
    // handshake lines that a three-wire cable does not have. Frames carry any byte value.
    dcb.fBinary = TRUE;
    dcb.fParity = parity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return SetCommState(entry->handle, &dcb) != FALSE;
}

bool Win32SerialBackend::setTimeouts(int32_t handle, uint32_t readMs, uint32_t writeMs) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr)
        return false;
    // A read of n bytes ends readMs after a byte when no other follows, and after
    // n * readMs + readMs in all; bytes already waiting come back at once.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = readMs;
    timeouts.ReadTotalTimeoutMultiplier = readMs;
    timeouts.ReadTotalTimeoutConstant = readMs;
    timeouts.WriteTotalTimeoutMultiplier = writeMs;
    timeouts.WriteTotalTimeoutConstant = writeMs;
    if (!SetCommTimeouts(entry->handle, &timeouts))
        return false;
    entry->readMultiplier = readMs;
    entry->readConstant = readMs;
    return true;
}

int32_t Win32SerialBackend::read(int32_t handle, uint8_t* buf, int32_t max) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr || buf == nullptr || max <= 0)
        return 0;
    const qint64 total = qint64(entry->readMultiplier) * max + entry->readConstant;
    QElapsedTimer clock;
    clock.start();
    DWORD got = 0;
    if (!entry->lost) {
        if (ReadFile(entry->handle, buf, DWORD(max), &got, nullptr)) {
            if (got > 0)
                return int32_t(std::min<DWORD>(got, DWORD(max)));
            // Nothing came: a silent line, or one that went away without failing the read (a
            // hung-up line under Wine reads as empty); only the second cannot report its errors.
            if (!checkGone(*entry, ERROR_SUCCESS))
                return 0;
        } else if (!checkGone(*entry, GetLastError())) {
            return 0;
        }
    }
    // Nothing can arrive any more; the read takes its time all the same.
    Sleep(DWORD(std::max<qint64>(0, total - clock.elapsed())));
    return kLineLost;
}

int32_t Win32SerialBackend::write(int32_t handle, const uint8_t* buf, int32_t n) {
    OpenEntry* entry = find(handle);
    if (entry == nullptr || buf == nullptr || n <= 0 || entry->lost)
        return 0;
    DWORD done = 0;
    if (!WriteFile(entry->handle, buf, DWORD(n), &done, nullptr))
        checkGone(*entry, GetLastError());
    return int32_t(std::min<DWORD>(done, DWORD(n)));
}

// The kernel device behind the name ("\Device\Serial0", "\Device\USBSER000"): enough to tell a
// built-in port from an adapter without the setup API.
QString Win32SerialBackend::deviceDescription(int32_t number) const {
    const QString device = map_.devicePath(number);
    if (device.isEmpty() || device.startsWith(QLatin1String("\\\\")))
        return QString();
    char target[512] = {};
    if (QueryDosDeviceA(device.toLocal8Bit().constData(), target, sizeof(target)) == 0)
        return QString();
    return QString::fromLocal8Bit(target);
}

}  // namespace

std::unique_ptr<SerialBackend> MakeWin32SerialBackend(PortMap map) {
    return std::make_unique<Win32SerialBackend>(std::move(map));
}
