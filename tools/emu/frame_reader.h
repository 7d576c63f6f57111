#pragma once
// The controller's side of the line: finds the PC's frames in the received byte stream.
// It resynchronises on the header after garbage, a bad length or a bad checksum, and never
// holds more than one frame's worth of bytes plus what has just arrived.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

struct PcFrame {
    uint8_t command = 0;
    QByteArray payload;
    QByteArray raw;  // the whole frame as it came off the line
};

class FrameReader {
  public:
    // The longest frame the PC can build: a full TxBuff (4001 payload bytes) plus 8.
    static constexpr int kMaxFrame = 4009;

    // `note` hears about bytes that were thrown away ("skipped 3 bytes before a header").
    explicit FrameReader(std::function<void(const QString&)> note = {});

    void append(const QByteArray& bytes);
    // Takes the next complete good frame off the front; false when none is complete yet.
    bool next(PcFrame& frame);
    // Bytes held back: an incomplete frame, or fewer than 8 bytes that may start one.
    qsizetype pending() const { return buffer_.size(); }
    // Throws away an incomplete frame whose rest never came.
    void dropPending();

  private:
    void skip(qsizetype n, const QString& why);

    QByteArray buffer_;
    std::function<void(const QString&)> note_;
};
