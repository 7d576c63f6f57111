#include "device/protocol.h"

#include "util/hexconv.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint8_t kHeader[4] = {0xAA, 0x55, 0x78, 0x7A};
constexpr int kChecksumBias = 0x54;
// Resynchronisation moves one byte per pass; this many passes per call at most.
constexpr int kMaxResyncPasses = 500;
// After a resync drop, a remainder this short waits for more bytes, unless a whole frame is
// already in it.
constexpr int kResyncWaitBelow = 10;
// A 16-bit length field cannot describe a longer frame.
constexpr int kMaxFrameLength = 0xFFFF;

bool HeaderAt(const ProtocolState& s, int32_t at) {
    return std::equal(std::begin(kHeader), std::end(kHeader), s.RxBuff.begin() + at);
}

int32_t DeclaredLength(const ProtocolState& s, int32_t at) {
    return s.RxBuff[size_t(at) + 4] * 256 + s.RxBuff[size_t(at) + 5];
}

// Whether dropping bytes from the front would bring a whole frame (a header and as many bytes as
// its length declares, 8..1200) to the front with the bytes already buffered. A short remainder
// waits for more bytes only when none is there: the controller sends nothing more after its
// reply, so a reply behind a few noise bytes would otherwise wait for ever.
bool CompleteFrameAhead(const ProtocolState& s) {
    for (int32_t at = 0; at + kFrameOverhead <= s.RxCount; ++at) {
        const int32_t length = DeclaredLength(s, at);
        if (HeaderAt(s, at) && length >= kFrameOverhead && length <= kMaxRxFrame &&
            at + length <= s.RxCount)
            return true;
    }
    return false;
}

// Running checksum as the sender keeps it: after each addition, 256 or more drops by 256.
int AddToChecksum(int sum, int byte) {
    sum += byte;
    if (sum >= 256)
        sum -= 256;
    return sum;
}

// One frame whose declared length is within 8..kMaxRxFrame and which is complete in RxBuff:
// dispatch it when the checksum matches, and remove it whole either way.
void TakeFrame(ProtocolState& s, int32_t length) {
    int32_t sum = 0;
    for (int32_t i = 4; i <= length - 2; ++i)
        sum = Fun_Mod256(sum + s.RxBuff[i]);
    sum = Fun_Mod256(sum + kChecksumBias);
    if (s.RxBuff[length - 1] == sum) {
        s.RxCmd = s.RxBuff[6];
        s.RxLen = length - kFrameOverhead;
        std::copy_n(s.RxBuff.begin() + 7, s.RxLen, s.RxPayload.begin());
        Fun_RxDispatch(s, s.RxCmd, s.RxLen, s.RxPayload);
    }
    Fun_RxDiscard(s, length);
}

}  // namespace

QString Fun_ByteToHex2(uint8_t value) {
    QString digits = QString::number(value, 16).toUpper();
    return Fun_PadLeftZero(digits, 2);
}

QString BuildFrameHex(const ProtocolState& state, uint8_t command, int32_t n) {
    n = std::clamp<int32_t>(n, 0, kTxBuffSize);  // the payload never reaches past TxBuff
    QString length = QString::number(n + kFrameOverhead, 16).toUpper();
    Fun_PadLeftZero(length, 4);
    const int lengthHigh = length.left(2).toInt(nullptr, 16);
    const int lengthLow = length.mid(2, 2).toInt(nullptr, 16);

    QString text = QStringLiteral("AA55787A") + length + Fun_ByteToHex2(command);
    int sum = 0;
    sum = AddToChecksum(sum, lengthHigh);
    sum = AddToChecksum(sum, lengthLow);
    sum = AddToChecksum(sum, command);
    sum = AddToChecksum(sum, kChecksumBias);
    for (int32_t i = 0; i < n; ++i) {
        text += Fun_ByteToHex2(state.TxBuff[i]);
        sum = AddToChecksum(sum, state.TxBuff[i]);
    }
    return text + Fun_ByteToHex2(static_cast<uint8_t>(sum));
}

QByteArray BuildFrame(uint8_t command, const QByteArray& payload) {
    const qsizetype length = payload.size() + kFrameOverhead;
    if (length > kMaxFrameLength)
        return {};
    QByteArray frame(reinterpret_cast<const char*>(kHeader), 4);
    frame.append(static_cast<char>(length >> 8));
    frame.append(static_cast<char>(length & 0xFF));
    frame.append(static_cast<char>(command));
    frame.append(payload);
    int sum = kChecksumBias;
    for (qsizetype i = 4; i < frame.size(); ++i)
        sum += static_cast<uint8_t>(frame[i]);
    frame.append(static_cast<char>(sum & 0xFF));
    return frame;
}

void Fun_SendFrame(ProtocolState& state, PortLayer& port, uint8_t command, int32_t n) {
    port.Fun_SendHex(BuildFrameHex(state, command, n));
}

void Fun_RxDiscard(ProtocolState& state, int32_t n) {
    if (n <= 0)
        return;
    if (n >= state.RxCount) {
        state.RxCount = 0;
        return;
    }
    // Only bytes that exist in the buffer are moved, whatever RxCount claims.
    const int32_t end = std::min<int32_t>(state.RxCount, kRxBuffSize);
    if (n < end)
        std::memmove(state.RxBuff.data(), state.RxBuff.data() + n, end - n);
    state.RxCount -= n;
}

void Fun_RxParse(ProtocolState& state) {
    // Only the session appends, and it keeps RxCount within the buffer; a larger count can
    // only be a fault elsewhere, and is cut to what the buffer holds.
    state.RxCount = std::min<int32_t>(state.RxCount, kRxBuffSize);
    for (int pass = 1;; ++pass) {
        if (state.RxCount < kFrameOverhead)
            return;
        const bool header = HeaderAt(state, 0);
        const int32_t length = DeclaredLength(state, 0);
        // A declared length below 8 cannot describe a frame (0 would put the checksum before
        // the buffer). It is treated like a header that does not match: one byte goes and the
        // resynchronisation goes on, so a good frame starting inside those bytes is still found.
        if (!header || length < kFrameOverhead) {
            Fun_RxDiscard(state, 1);
            if (pass >= kMaxResyncPasses)
                return;
            if (state.RxCount <= kResyncWaitBelow && !CompleteFrameAhead(state))
                return;
            continue;
        }
        if (length > kMaxRxFrame) {
            state.RxCount = 0;
            return;
        }
        if (state.RxCount < length)
            return;
        TakeFrame(state, length);
    }
}

void Fun_RxDispatch(ProtocolState& state, uint8_t G_Cmd, int32_t G_len,
                    const PayloadBuffer& G_buff) {
    if (G_Cmd == kCmdSetTime)
        state.FlagTimeAck = kTrue;
    if (G_Cmd == kCmdDownloadRequest || G_Cmd == kCmdDataBlock)
        state.FlagReply = kTrue;
    if (G_Cmd == kCmdVerify) {
        // A verify reply without a result byte carries no verdict: it counts as not good
        // rather than reusing a byte left over from an earlier frame.
        state.FlagVerifyOk = (G_len >= 1 && G_buff[0] == kVerifyGood) ? kTrue : kFalse;
        state.FlagReply = kTrue;
    }
}
