#include "device/frame_codec.h"

#include "util/hexconv.h"

#include <algorithm>

namespace {

// A 16-bit length field cannot describe a longer frame.
constexpr int kMaxFrameLength = 0xFFFF;

const uint8_t* Bytes(const QByteArray& b) {
    return reinterpret_cast<const uint8_t*>(b.constData());
}

QString CommandText(uint8_t command) {
    QString text = QStringLiteral("0x");
    AppendHexByte(text, command);
    return text;
}

}  // namespace

uint8_t FrameChecksum(const uint8_t* fromLength, int64_t n) {
    int32_t sum = 0;
    for (int64_t i = 0; i < n; ++i) {
        sum = Fun_Mod256(sum + fromLength[i]);
    }
    return uint8_t(Fun_Mod256(sum + kChecksumBias));
}

bool StartsWithHeader(const uint8_t* bytes, int64_t n) {
    return n >= int64_t(kFrameHeader.size()) &&
           std::equal(kFrameHeader.begin(), kFrameHeader.end(), bytes);
}

QByteArray BuildFrame(uint8_t command, const QByteArray& payload) {
    const qsizetype length = payload.size() + kFrameOverhead;
    if (length > kMaxFrameLength)
        return {};
    QByteArray frame(reinterpret_cast<const char*>(kFrameHeader.data()), kFrameHeader.size());
    frame.append(char(length >> 8));
    frame.append(char(length & 0xFF));
    frame.append(char(command));
    frame.append(payload);
    frame.append(char(FrameChecksum(Bytes(frame) + 4, frame.size() - 4)));
    return frame;
}

FrameReader::FrameReader(std::function<void(const QString&)> note) : note_(std::move(note)) {}

void FrameReader::append(const QByteArray& bytes) {
    buffer_.append(bytes);
}

void FrameReader::dropPending() {
    if (!buffer_.isEmpty())
        skip(buffer_.size(), QStringLiteral("an incomplete frame"));
}

void FrameReader::skip(qsizetype n, const QString& why) {
    buffer_.remove(0, n);
    if (note_)
        note_(QStringLiteral("dropped %1 byte(s): %2").arg(n).arg(why));
}

bool FrameReader::next(Frame& frame) {
    static const QByteArray header(reinterpret_cast<const char*>(kFrameHeader.data()),
                                   kFrameHeader.size());
    for (;;) {
        const qsizetype at = buffer_.indexOf(header);
        if (at < 0) {
            // Keep a tail that may be the start of a header split across two reads.
            const qsizetype keep = std::min<qsizetype>(buffer_.size(), header.size() - 1);
            if (buffer_.size() > keep)
                skip(buffer_.size() - keep, QStringLiteral("no header"));
            return false;
        }
        if (at > 0)
            skip(at, QStringLiteral("garbage before a header"));
        if (buffer_.size() < kFrameOverhead)
            return false;
        const int length = uint8_t(buffer_[4]) * 256 + uint8_t(buffer_[5]);
        if (length < kFrameOverhead || length > kMaxFrame) {
            skip(1, QStringLiteral("header with impossible length %1").arg(length));
            continue;
        }
        if (buffer_.size() < length)
            return false;
        if (FrameChecksum(Bytes(buffer_) + 4, length - 5) != uint8_t(buffer_[length - 1])) {
            // Only the header goes: a good frame may start inside the bytes it claimed.
            skip(1, QStringLiteral("checksum error in a frame of %1 bytes (command %2)")
                        .arg(length)
                        .arg(CommandText(uint8_t(buffer_[6]))));
            continue;
        }
        frame.raw = buffer_.left(length);
        frame.command = uint8_t(buffer_[6]);
        frame.payload = buffer_.mid(7, length - kFrameOverhead);
        buffer_.remove(0, length);
        return true;
    }
}
