#pragma once
// The operating-system part of the serial port layer: small, so that the real one wraps the
// platform's serial API and tests can substitute an in-memory line.

#include <QString>
#include <cstdint>

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
