#pragma once
// M_api串口 (serial API module): the one process-wide port handle, open by number with the line
// settings and timeouts, reads and writes as hexadecimal text, and the probe of ports 1..30.
// The operating system sits below it behind SerialBackend, time behind Clock.

#include "serial/serial_backend.h"
#include "util/clock.h"

#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

// What an operator reads about a port that did not open or was lost, and what to try: the one
// text of these reasons, for the window and the companion alike.
QString DescribePortProblem(const PortStatus& status);

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
