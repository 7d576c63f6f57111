#pragma once
// M_api串口 (serial API module): the one process-wide port handle, open by number with the line
// settings and timeouts, reads and writes as hexadecimal text, and the probe of ports 1..30.
// The operating system sits below it behind SerialBackend, time behind Clock.

#include "util/clock.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// Why a port did not open, for messages that tell the operator what to try.
enum class OpenFailure { None, Absent, Busy, PermissionDenied, Other };

// What became of the port of the last open: whether it opened (and if not, why, with the
// system's words in `detail`), and whether it went away while it was open.
struct PortStatus {
    OpenFailure failure = OpenFailure::None;
    QString detail;
    bool lineLost = false;
    bool opened() const { return failure == OpenFailure::None; }
};

// What an operator reads about a port that did not open or was lost, and what to try: the one
// text of these reasons, for the window and the companion alike.
QString DescribePortProblem(const PortStatus& status);

// The operating-system part: small, so the real one wraps QSerialPort and tests can substitute.
class SerialBackend {
  public:
    virtual ~SerialBackend() = default;
    // Opens port `number` exclusively (existing device only). Returns a handle > 0, or 0.
    virtual int32_t open(int32_t number, OpenFailure* why = nullptr, QString* detail = nullptr) = 0;
    virtual void close(int32_t handle) = 0;
    virtual bool setLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits,
                         uint8_t parity, uint8_t eofChar) = 0;
    virtual bool setTimeouts(int32_t handle, uint32_t readMs, uint32_t writeMs) = 0;
    // At most `max` bytes: returns at once with bytes already waiting, ends about 1 ms after
    // the last byte, and returns 0 after about 21 ms of silence. kLineLost when the device has
    // gone away while open (an unplugged adapter, a hung-up line): such a read still takes the
    // read's time, as a silent line does, so that no loop polling it spins.
    static constexpr int32_t kLineLost = -1;
    virtual int32_t read(int32_t handle, uint8_t* buf, int32_t max) = 0;
    // Writes all n bytes; returns the count written.
    virtual int32_t write(int32_t handle, const uint8_t* buf, int32_t n) = 0;
    // The device that port `number` stands for, and its adapter's description ("" if unknown),
    // so the operator can tell which adapter a number is.
    virtual QString devicePath(int32_t /*number*/) const { return QString(); }
    virtual QString deviceDescription(int32_t /*number*/) const { return QString(); }
};

// Passes every call on to another backend; a wrapper that watches the traffic (a trace, a
// counter) overrides only what it watches.
class ForwardingBackend : public SerialBackend {
  public:
    explicit ForwardingBackend(SerialBackend& inner) : inner_(inner) {}
    int32_t open(int32_t number, OpenFailure* why = nullptr, QString* detail = nullptr) override {
        return inner_.open(number, why, detail);
    }
    void close(int32_t handle) override { inner_.close(handle); }
    bool setLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits, uint8_t parity,
                 uint8_t eofChar) override {
        return inner_.setLine(handle, baud, byteSize, stopBits, parity, eofChar);
    }
    bool setTimeouts(int32_t handle, uint32_t readMs, uint32_t writeMs) override {
        return inner_.setTimeouts(handle, readMs, writeMs);
    }
    int32_t read(int32_t handle, uint8_t* buf, int32_t max) override {
        return inner_.read(handle, buf, max);
    }
    int32_t write(int32_t handle, const uint8_t* buf, int32_t n) override {
        return inner_.write(handle, buf, n);
    }
    QString devicePath(int32_t number) const override { return inner_.devicePath(number); }
    QString deviceDescription(int32_t number) const override {
        return inner_.deviceDescription(number);
    }

  protected:
    SerialBackend& inner_;
};

// The port selector of the main window (its port list), seen without widgets.
class PortSelector {
  public:
    virtual ~PortSelector() = default;
    virtual void clear() = 0;
    virtual void addItem(const QString& text) = 0;
    virtual void setText(const QString& text) = 0;
    virtual QString text() const = 0;
};

class PortLayer {
  public:
    // `clock` lets pending window messages run (twice inside Fun_OpenPort).
    PortLayer(SerialBackend& backend, Clock& clock);

    int32_t PortHandle = 0;  // handle of the open port; 0 = no port open

    // OpenComByNumber: open the device of a port number, exclusively; the handle, or 0.
    int32_t OpenComByNumber(int32_t number);
    // Fun_CloseComHandle: close a handle; the variable is 0 afterwards.
    void Fun_CloseComHandle(int32_t& handle);
    // Fun_SetLine: baud rate, byte size, stop bits, parity and end-of-file character.
    bool Fun_SetLine(int32_t handle, uint32_t baud, uint8_t byteSize, uint8_t stopBits,
                     uint8_t parity, int32_t eofChar);
    // Fun_SetTimeouts: the five read and write timeouts, in milliseconds.
    bool Fun_SetTimeouts(int32_t handle, int32_t readMs, int32_t writeMs);
    // Fun_OpenPort: open a port with its line settings (as decimal texts); true when it opened.
    bool Fun_OpenPort(int16_t& number, QString& baud, QString& byteSize, QString& stopBits,
                      QString& parity);
    // Fun_ClosePort: close the open port, if any.
    void Fun_ClosePort();
    // Fun_ListPorts: probe ports 1..30 into the port selector.
    void Fun_ListPorts(PortSelector& selector);
    // The numbers of 1..30 whose devices open now, in order; each is closed again at once. The
    // status of the last transfer's port stays as it was.
    QList<int32_t> ProbePorts();
    // Fun_ReadHex: one read of at most 20 bytes, as hex text ("AA 55 ").
    QString Fun_ReadHex();
    // Fun_ReceiveHex: the receive of the session, Fun_ReadHex unchanged.
    QString Fun_ReceiveHex();
    // Fun_WriteHex: hex text written as bytes; the count written.
    int32_t Fun_WriteHex(const QString& hex);
    // Fun_SendHex: hex text sent on the open port (nothing when none is open).
    void Fun_SendHex(const QString& hex);

    // The port of the last open (or of the last probe's open attempt).
    const PortStatus& status() const { return status_; }
    // The session marks a number that names no port; the next open starts afresh.
    void markUnopenable(const QString& why);

    SerialBackend& backend() { return backend_; }
    const SerialBackend& backend() const { return backend_; }

  private:
    SerialBackend& backend_;
    Clock& clock_;
    PortStatus status_;
};
