#pragma once
// The emulator's end of the serial line: a pseudo-terminal whose other end the PC opens, or a
// real serial device. Received bytes are handed to `received` as they come.

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class Line {
  public:
    virtual ~Line() = default;
    // What the PC side opens: the pseudo-terminal's slave, or the device given.
    virtual QString path() const = 0;
    // Takes as many bytes as the line accepts now without blocking; returns that count.
    virtual qint64 write(const QByteArray& bytes) = 0;
    // Takes the line away as a pulled adapter does: the PC's end sees a hang-up.
    virtual void hangUp() = 0;

    std::function<void(const QByteArray&)> received;
};

// A new pseudo-terminal in raw mode. With `linkPath`, a symbolic link to its slave is made
// there (and removed again on destruction). Null, with the reason in *error, on failure.
std::unique_ptr<Line> OpenPseudoTerminal(const QString& linkPath, QString* error);

// A serial device at 115200 baud, 8 data bits, no parity, 1 stop bit, no flow control.
std::unique_ptr<Line> OpenSerialDevice(const QString& path, QString* error);
