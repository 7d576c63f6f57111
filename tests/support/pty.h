#pragma once
// A real pseudo-terminal pair for tests: the slave's path is what the serial layer opens, the
// master is the other end of the line. Both are raw: no byte is translated.

#include <QByteArray>
#include <QString>

// Writes all bytes to a non-blocking descriptor, waiting while it is full; gives up when the
// line has gone away.
void WriteAllTo(int fd, const QByteArray& bytes);
// What arrives on a non-blocking descriptor within `timeoutMs`, returning early once at least
// `want` bytes are there.
QByteArray ReadFrom(int fd, int want, int timeoutMs);

class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0; }
    QString slavePath() const { return slavePath_; }
    // Writes bytes into the line (they arrive at the slave).
    void send(const QByteArray& bytes);
    // Reads what arrived from the slave within `timeoutMs` (until at least `want` bytes came).
    QByteArray receive(int want, int timeoutMs);
    // Closes this end for good, as a pulled adapter does: the slave's opener sees a hang-up.
    void hangUp();

  private:
    int master_ = -1;
    int slave_ = -1;  // kept open so the line does not hang up between opens of the slave
    QString slavePath_;
};
