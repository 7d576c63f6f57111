#include "line.h"

#ifdef M45_WIN32_DEVICE_LINE
#include <QTimer>
#include <windows.h>
#else
#include <QSerialPort>
#endif

namespace {

#ifdef M45_WIN32_DEVICE_LINE
// Windows: the device through the Win32 calls. Reads never wait (all read timeouts "return at
// once"); a 1 ms timer collects what has arrived.
class DeviceLine : public Line {
  public:
    explicit DeviceLine(const QString& path) : path_(path) {}
    ~DeviceLine() override { hangUp(); }

    bool open(QString* error) {
        const QByteArray name = path_.startsWith(QLatin1String("\\\\"))
                                    ? path_.toLocal8Bit()
                                    : QByteArrayLiteral("\\\\.\\") + path_.toLocal8Bit();
        handle_ = CreateFileA(name.constData(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
        const bool ok = handle_ != INVALID_HANDLE_VALUE && GetCommState(handle_, &dcb);
        if (ok) {
            dcb.BaudRate = CBR_115200;
            dcb.ByteSize = 8;
            dcb.Parity = NOPARITY;
            dcb.StopBits = ONESTOPBIT;
            dcb.fBinary = TRUE;
            dcb.fParity = FALSE;
            dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
            dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
            dcb.fDtrControl = DTR_CONTROL_ENABLE;
            dcb.fRtsControl = RTS_CONTROL_ENABLE;
        }
        if (!ok || !SetCommState(handle_, &dcb) || !SetCommTimeouts(handle_, &timeouts)) {
            if (error)
                *error = path_ + QStringLiteral(": cannot open (Windows error %1)")
                                     .arg(GetLastError());
            hangUp();
            return false;
        }
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            char buf[4096];
            DWORD got = 0;
            if (ReadFile(handle_, buf, sizeof(buf), &got, nullptr) && got > 0 && received)
                received(QByteArray(buf, qsizetype(got)));
        });
        poll_.start(1);
        return true;
    }

    QString path() const override { return path_; }
    qint64 write(const QByteArray& bytes) override {
        DWORD done = 0;
        if (handle_ == INVALID_HANDLE_VALUE ||
            !WriteFile(handle_, bytes.constData(), DWORD(bytes.size()), &done, nullptr))
            return 0;
        return qint64(done);
    }
    void hangUp() override {
        poll_.stop();
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    QString path_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    QTimer poll_;
};
#else

class DeviceLine : public Line {
  public:
    explicit DeviceLine(const QString& path) : path_(path) { port_.setPortName(path); }

    bool open(QString* error) {
        const bool ok = port_.open(QIODevice::ReadWrite) && port_.setBaudRate(115200) &&
                        port_.setDataBits(QSerialPort::Data8) &&
                        port_.setParity(QSerialPort::NoParity) &&
                        port_.setStopBits(QSerialPort::OneStop) &&
                        port_.setFlowControl(QSerialPort::NoFlowControl);
        if (!ok) {
            if (error)
                *error = path_ + QStringLiteral(": ") + port_.errorString();
            return false;
        }
        QObject::connect(&port_, &QSerialPort::readyRead, [this] {
            const QByteArray bytes = port_.readAll();
            if (!bytes.isEmpty() && received)
                received(bytes);
        });
        return true;
    }

    QString path() const override { return path_; }
    qint64 write(const QByteArray& bytes) override { return port_.write(bytes); }
    void hangUp() override { port_.close(); }

  private:
    QString path_;
    QSerialPort port_;
};
#endif

}  // namespace

std::unique_ptr<Line> OpenSerialDevice(const QString& path, QString* error) {
    auto line = std::make_unique<DeviceLine>(path);
    if (!line->open(error))
        return nullptr;
    return line;
}
