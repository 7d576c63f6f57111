#pragma once
// What the M-4500 does with the PC's frames: takes the download (request, blocks, verify) into
// a parameter image, keeps its clock from the set-time frame, and builds the reply to each
// frame. Faults are injected here on request. No I/O and no timing: the caller owns the line.

#include "device/frame_codec.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <functional>

struct FaultOptions {
    int silentFrom = 0;       // no reply from this good frame on (1 = the first); 0 = never silent
    int badChecksum = 0;      // this reply (1 = the first) goes out with a wrong checksum; 0 = none
    bool failVerify = false;  // every verify reply says 00
    int garbage = 0;          // bytes of garbage sent before each reply
    bool plainAckVerify = false;  // the verify is answered by a plain 0x51 acknowledgement
    int hangUpAt = 0;  // the line goes away when this good frame arrives (1 = the first); 0 = never
};

class Controller {
  public:
    // The image may grow this large; a longer download is refused block by block.
    static constexpr qsizetype kMaxImage = 16 * 1024 * 1024;

    Controller(FaultOptions faults, std::function<void(const QString&)> report);

    // Acts on one good frame from the PC. Returns the bytes to send back (garbage and reply
    // frame), or nothing when the controller stays silent.
    QByteArray onFrame(const Frame& frame);

    // The image received since the last download request.
    const QByteArray& image() const { return image_; }
    bool verifyDone() const { return verifyDone_; }
    // The last frame taken was the one at which the line is to go away (it got no reply).
    bool hangingUp() const { return faults_.hangUpAt > 0 && framesSeen_ == faults_.hangUpAt; }
    // The controller's clock: 2000-01-01 00:00:00 at start, then what the PC last set, ticking.
    QDateTime clock() const;

  private:
    QByteArray downloadRequest(const QByteArray& payload);
    QByteArray dataBlock(const QByteArray& payload);
    QByteArray verify(const QByteArray& payload);
    QByteArray setTime(const QByteArray& payload);
    QByteArray reply(uint8_t command, const QByteArray& payload = {});
    QString verifyVerdict(const QByteArray& payload) const;

    FaultOptions faults_;
    std::function<void(const QString&)> report_;
    int framesSeen_ = 0;
    int repliesBuilt_ = 0;

    bool downloading_ = false;  // a download request was taken and no block was refused since
    int announcedLength_ = 0;
    int announcedSum_ = 0;
    int blocks_ = 0;
    QByteArray lastBlock_;  // payload of the last block taken: 2 length bytes and the data
    QByteArray image_;
    bool verifyDone_ = false;

    QDateTime clockBase_;
    QElapsedTimer clockTicking_;
};
