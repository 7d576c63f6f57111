#include "emulator.h"

#include "device/protocol.h"
#include "util/hexconv.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>

Emulator::Emulator(Line& line, EmulatorOptions options, std::function<void(const QString&)> print,
                   std::function<void()> quit)
    : line_(line),
      options_(std::move(options)),
      print_(std::move(print)),
      quit_(std::move(quit)),
      controller_(options_.faults, print_),
      reader_(print_) {
    clock_.start();
    pumpTimer_.setSingleShot(true);
    pumpTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&pumpTimer_, &QTimer::timeout, [this] { pump(); });
    staleTimer_.setSingleShot(true);
    staleTimer_.setInterval(kStaleFrameMs);
    QObject::connect(&staleTimer_, &QTimer::timeout, [this] { reader_.dropPending(); });
    line_.received = [this](const QByteArray& bytes) { onReceived(bytes); };
}

void Emulator::onReceived(const QByteArray& bytes) {
    const qint64 now = clock_.nsecsElapsed();
    // The bytes read now may have been written in one go; on the line they follow each other
    // (and whatever was still arriving) at one byte per 10 bit times.
    rxLineEndNs_ = options_.pacing ? std::max(rxLineEndNs_, now) + bytes.size() * kByteNs : now;
    if (options_.hex)
        print_(QStringLiteral("RX ") + HexBytes(bytes));
    reader_.append(bytes);
    Frame frame;
    while (reader_.next(frame)) {
        const qint64 behind = options_.pacing ? reader_.pending() * kByteNs : 0;
        onFrame(frame, rxLineEndNs_ - behind);
    }
    if (reader_.pending() > 0) {
        staleTimer_.start();
    } else {
        staleTimer_.stop();
    }
}

void Emulator::onFrame(const Frame& frame, qint64 arrivedNs) {
    if (finishing_)
        return;
    const QByteArray reply = controller_.onFrame(frame);
    if (controller_.hangingUp()) {
        queue_.clear();
        line_.hangUp();
        finish();
        return;
    }
    const bool verify = frame.command == kCmdVerify;
    if (verify && !options_.savePath.isEmpty())
        saveImage();
    const bool last = verify && options_.exitAfterVerify;
    if (!reply.isEmpty()) {
        queue_.push_back({reply, arrivedNs + options_.delayMs * 1'000'000LL, 0, last});
        pump();
    } else if (last) {
        finish();
    }
    finishing_ = finishing_ || last;
}

qsizetype Emulator::dueBytes(const Outgoing& out, qint64 now) const {
    const qsizetype left = out.bytes.size() - out.sent;
    if (!options_.pacing)
        return now >= out.notBeforeNs ? left : 0;
    // A byte is handed over once it could have left the wire completely.
    qint64 lineFree = txLineFreeNs_;
    qsizetype n = 0;
    while (n < left) {
        const qint64 end = std::max(lineFree, out.notBeforeNs) + kByteNs;
        if (end > now)
            break;
        lineFree = end;
        ++n;
    }
    return n;
}

void Emulator::pump() {
    pumpTimer_.stop();
    while (!queue_.empty()) {
        Outgoing& out = queue_.front();
        const qint64 now = clock_.nsecsElapsed();
        const qsizetype due = dueBytes(out, now);
        if (due > 0) {
            const qint64 written = line_.write(out.bytes.mid(out.sent, due));
            for (qint64 i = 0; i < written; ++i)
                txLineFreeNs_ = std::max(txLineFreeNs_, out.notBeforeNs) + kByteNs;
            out.sent += written;
            if (written < due) {  // the line is full: try again shortly
                pumpTimer_.start(1);
                return;
            }
        }
        if (out.sent < out.bytes.size()) {
            const qint64 pace = options_.pacing ? kByteNs : 0;
            const qint64 next = std::max(txLineFreeNs_, out.notBeforeNs) + pace;
            pumpTimer_.start(
                static_cast<int>(std::max<qint64>(1, (next - now + 999'999) / 1'000'000)));
            return;
        }
        if (options_.hex)
            print_(QStringLiteral("TX ") + HexBytes(out.bytes));
        const bool last = out.last;
        queue_.pop_front();
        if (last) {
            finish();
            return;
        }
    }
}

void Emulator::finish() {
    finishing_ = true;
    QTimer::singleShot(kLingerMs, [quit = quit_] { quit(); });
}

void Emulator::saveImage() {
    QSaveFile file(options_.savePath);
    const QByteArray& image = controller_.image();
    if (file.open(QIODevice::WriteOnly) && file.write(image) == image.size() && file.commit()) {
        print_(
            QStringLiteral("image saved: %1 (%2 bytes)").arg(options_.savePath).arg(image.size()));
    } else {
        print_(
            QStringLiteral("image not saved: %1: %2").arg(options_.savePath, file.errorString()));
    }
}
