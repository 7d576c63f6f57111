#include "serial/port_layer.h"

#include "serial/port_map.h"
#include "util/hexconv.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <limits>

namespace {

// A read asks for 20 bytes only, into a block far larger than that.
constexpr int32_t kReadRequest = 20;
constexpr int kReadBlockSize = 1001;
constexpr int32_t kTimeoutMs = 1;
constexpr int kEofChar = 26;

template <typename T>
T ClampedNumber(const QString& text) {
    const qlonglong value = text.trimmed().toLongLong();
    return T(
        std::clamp<qlonglong>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

}  // namespace

QString DescribePortProblem(const PortStatus& status) {
    if (status.lineLost) {
        return QCoreApplication::translate("M_api串口",
                                           "连接中断：适配器被拔出或设备已断开；请重新插上后重试");
    }
    switch (status.failure) {
        case OpenFailure::None:
            return QCoreApplication::translate("M_api串口", "可以打开");
        case OpenFailure::Absent:
            return QCoreApplication::translate("M_api串口", "不存在");
        case OpenFailure::Busy:
            return QCoreApplication::translate("M_api串口",
                                               "被另一个程序占用（请关闭那个程序后重试）");
        case OpenFailure::PermissionDenied:
#ifdef Q_OS_WIN
            return QCoreApplication::translate("M_api串口",
                                               "没有权限：请以可以使用该串口的用户运行");
#else
            return QCoreApplication::translate("M_api串口",
                                               "没有权限：请把用户加入 dialout 组（sudo usermod "
                                               "-aG dialout $USER，然后重新登录）");
#endif
        case OpenFailure::Other:
            break;
    }
    return QCoreApplication::translate("M_api串口", "无法打开（%1）").arg(status.detail);
}

PortLayer::PortLayer(SerialBackend& backend, Clock& clock) : backend_(backend), clock_(clock) {}

int32_t PortLayer::OpenComByNumber(int32_t number) {
    status_ = PortStatus{};
    const int32_t handle = backend_.open(number, &status_.failure, &status_.detail);
    if (handle > 0) {
        status_.failure = OpenFailure::None;
        return handle;
    }
    if (status_.failure == OpenFailure::None) {
        status_.failure = OpenFailure::Other;
    }
    return 0;
}

void PortLayer::markUnopenable(const QString& why) {
    status_ = PortStatus{OpenFailure::Other, why, false};
}

void PortLayer::Fun_CloseComHandle(int32_t& handle) {
    if (handle > 0) {
        backend_.close(handle);
    }
    handle = 0;
}

bool PortLayer::Fun_SetLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits,
                            uint8_t parity, int32_t eofChar) {
    if (handle == 0 || eofChar < 0 || eofChar > 255) {
        return false;
    }
    return backend_.setLine(handle, baud, byteSize, stopBits, parity, uint8_t(eofChar));
}

bool PortLayer::Fun_SetTimeouts(int32_t handle, int32_t readMs, int32_t writeMs) {
    if (handle == 0 || readMs < 0 || writeMs < 0) {
        return false;
    }
    return backend_.setTimeouts(handle, uint32_t(readMs), uint32_t(writeMs));
}

bool PortLayer::Fun_OpenPort(int16_t& number, QString& baud, QString& byteSize, QString& stopBits,
                             QString& parity) {
    Fun_ClosePort();
    clock_.PumpEvents();
    PortHandle = OpenComByNumber(number);
    bool opened = false;
    if (PortHandle != 0) {
        // Settings the driver refuses leave the port open with what it kept.
        Fun_SetLine(PortHandle, ClampedNumber<uint32_t>(baud), ClampedNumber<uint8_t>(byteSize),
                    ClampedNumber<uint8_t>(stopBits), ClampedNumber<uint8_t>(parity), kEofChar);
        Fun_SetTimeouts(PortHandle, kTimeoutMs, kTimeoutMs);
        opened = true;
    }
    clock_.PumpEvents();
    return opened;
}

void PortLayer::Fun_ClosePort() {
    Fun_CloseComHandle(PortHandle);
}

void PortLayer::Fun_ListPorts(PortSelector& selector) {
    selector.clear();
    bool first = true;
    for (const int32_t n : ProbePorts()) {
        selector.addItem(QString::number(n));
        if (first) {
            selector.setText(QString::number(n));
            first = false;
        }
    }
}

QList<int32_t> PortLayer::ProbePorts() {
    // The probe's opens are not the port's: what became of the last transfer's port stays.
    const PortStatus kept = status_;
    QList<int32_t> found;
    for (int32_t n = kFirstPort; n <= kLastPort; ++n) {
        int32_t handle = OpenComByNumber(n);
        if (handle != 0) {
            found.append(n);
            Fun_CloseComHandle(handle);
        }
    }
    status_ = kept;
    return found;
}

QString PortLayer::Fun_ReadHex() {
    std::array<uint8_t, kReadBlockSize> block{};
    int32_t count = 0;
    if (PortHandle > 0) {
        count = backend_.read(PortHandle, block.data(), kReadRequest);
    }
    if (count == SerialBackend::kLineLost) {
        status_.lineLost = true;
    }
    count = std::clamp<int32_t>(count, 0, kReadRequest);  // a failed read counts as nothing
    QString text;
    text.reserve(qsizetype(count) * 3);
    for (int32_t i = 0; i < count; ++i) {
        AppendHexByte(text, block[size_t(i)]);
        text += QLatin1Char(' ');
    }
    return text;
}

QString PortLayer::Fun_ReceiveHex() {
    return Fun_ReadHex();
}

int32_t PortLayer::Fun_WriteHex(const QString& hex) {
    QString digits = hex;
    digits.remove(QLatin1Char(' '));
    const qsizetype n = (digits.size() + 1) / 2;
    if (n == 0 || PortHandle <= 0) {
        return 0;
    }
    QByteArray bytes(n, '\0');
    for (qsizetype k = 0; k < n; ++k) {
        bytes[k] = char(HexDigitsValue(QStringView(digits).mid(2 * k, 2)));
    }
    const int32_t size = int32_t(std::min<qsizetype>(n, std::numeric_limits<int32_t>::max()));
    return backend_.write(PortHandle, reinterpret_cast<const uint8_t*>(bytes.constData()), size);
}

void PortLayer::Fun_SendHex(const QString& hex) {
    if (PortHandle > 0) {
        Fun_WriteHex(hex);
    }
}
