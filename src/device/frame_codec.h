#pragma once
// The controller's frame format, the same in both directions, in one place for the tool, the
// controller emulator and the tests:
//   AA 55 78 7A | length high, low (whole frame) | command | payload | checksum
// checksum = (length bytes + command + payload bytes + 0x54) mod 256.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>

inline constexpr std::array<uint8_t, 4> kFrameHeader = {0xAA, 0x55, 0x78, 0x7A};
inline constexpr int kFrameOverhead = 8;  // header, two length bytes, command, checksum
inline constexpr int kChecksumBias = 0x54;

// The checksum of the `n` bytes from the first length byte up to the last payload byte: a running
// sum reduced modulo 256 after each addition (Fun_Mod256), then the bias added and reduced.
uint8_t FrameChecksum(const uint8_t* fromLength, int64_t n);

// Whether `bytes` starts with the four header bytes.
bool StartsWithHeader(const uint8_t* bytes, int64_t n);

// The whole frame as bytes, for any payload whose frame the 16-bit length can describe; empty
// otherwise.
QByteArray BuildFrame(uint8_t command, const QByteArray& payload);

// A frame taken off a line.
struct Frame {
    uint8_t command = 0;
    QByteArray payload;
    QByteArray raw;  // the whole frame as it came off the line
};

// The controller's side of the line: finds the PC's frames in the received byte stream. It
// resynchronises on the header after garbage, a bad length or a bad checksum, and never holds
// more than one frame's worth of bytes plus what has just arrived.
class FrameReader {
  public:
    // The longest frame the PC can build: a full TxBuff (4001 payload bytes) plus 8.
    static constexpr int kMaxFrame = 4009;

    // `note` hears about bytes that were thrown away ("skipped 3 bytes before a header").
    explicit FrameReader(std::function<void(const QString&)> note = {});

    void append(const QByteArray& bytes);
    // Takes the next complete good frame off the front; false when none is complete yet.
    bool next(Frame& frame);
    // Bytes held back: an incomplete frame, or fewer than 8 bytes that may start one.
    qsizetype pending() const { return buffer_.size(); }
    // Throws away an incomplete frame whose rest never came.
    void dropPending();

  private:
    void skip(qsizetype n, const QString& why);

    QByteArray buffer_;
    std::function<void(const QString&)> note_;
};
