#include "frame_reader.h"

namespace {

const QByteArray kHeader("\xAA\x55\x78\x7A", 4);
constexpr int kMinFrame = 8;

uint8_t Byte(const QByteArray& b, qsizetype i) {
    return static_cast<uint8_t>(b[i]);
}

}  // namespace

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

bool FrameReader::next(PcFrame& frame) {
    for (;;) {
        const qsizetype at = buffer_.indexOf(kHeader);
        if (at < 0) {
            // Keep a tail that may be the start of a header split across two reads.
            const qsizetype keep = std::min<qsizetype>(buffer_.size(), kHeader.size() - 1);
            if (buffer_.size() > keep)
                skip(buffer_.size() - keep, QStringLiteral("no header"));
            return false;
        }
        if (at > 0)
            skip(at, QStringLiteral("garbage before a header"));
        if (buffer_.size() < kMinFrame)
            return false;
        const int length = Byte(buffer_, 4) * 256 + Byte(buffer_, 5);
        if (length < kMinFrame || length > kMaxFrame) {
            skip(1, QStringLiteral("header with impossible length %1").arg(length));
            continue;
        }
        if (buffer_.size() < length)
            return false;
        int sum = 0x54;
        for (int i = 4; i < length - 1; ++i)
            sum += Byte(buffer_, i);
        if ((sum & 0xFF) != Byte(buffer_, length - 1)) {
            // Only the header goes: a good frame may start inside the bytes it claimed.
            skip(1,
                 QStringLiteral("checksum error in a frame of %1 bytes (command 0x%2)")
                     .arg(length)
                     .arg(QString::number(Byte(buffer_, 6), 16).toUpper().rightJustified(2, u'0')));
            continue;
        }
        frame.raw = buffer_.left(length);
        frame.command = Byte(buffer_, 6);
        frame.payload = buffer_.mid(7, length - kMinFrame);
        buffer_.remove(0, length);
        return true;
    }
}
