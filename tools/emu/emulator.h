#pragma once
// Runs the controller on a line: frames in, replies out, at the pace of a real 115200-baud line.
// A reply never leaves before the request it answers could have arrived in full (10 bits a
// byte), and its bytes go out no faster than the line would carry them.

#include "controller.h"
#include "line.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <deque>
#include <functional>

struct EmulatorOptions {
    FaultOptions faults;
    int delayMs = 0;     // extra wait before each reply
    bool pacing = true;  // false: reply as soon as a frame is complete, all bytes at once
    bool hex = false;    // print every received and sent byte
    bool exitAfterVerify = false;
    QString savePath;  // the received image is written here when the verify arrives
};

class Emulator {
  public:
    static constexpr qint64 kByteNs = 1'000'000'000LL * 10 / 115200;
    // A partial frame whose rest does not come within this time is thrown away.
    static constexpr int kStaleFrameMs = 250;
    // After the last reply, time for the PC to read it before the line goes away.
    static constexpr int kLingerMs = 300;

    Emulator(Line& line, EmulatorOptions options, std::function<void(const QString&)> print,
             std::function<void()> quit);

  private:
    struct Outgoing {
        QByteArray bytes;
        qint64 notBeforeNs = 0;
        qsizetype sent = 0;
        bool last = false;  // the process ends after this one
    };

    void onReceived(const QByteArray& bytes);
    void onFrame(const Frame& frame, qint64 arrivedNs);
    void pump();
    qsizetype dueBytes(const Outgoing& out, qint64 now) const;
    void finish();
    void saveImage();

    Line& line_;
    EmulatorOptions options_;
    std::function<void(const QString&)> print_;
    std::function<void()> quit_;
    Controller controller_;
    FrameReader reader_;
    QElapsedTimer clock_;
    qint64 rxLineEndNs_ = 0;   // when the last received byte would have arrived on a real line
    qint64 txLineFreeNs_ = 0;  // when the last sent byte would have left
    std::deque<Outgoing> queue_;
    QTimer pumpTimer_;
    QTimer staleTimer_;
    bool finishing_ = false;
};
