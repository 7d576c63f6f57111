#include "device/protocol.h"

#include "util/hexconv.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Resynchronisation moves one byte per pass; this many passes per call at most.
constexpr int kMaxResyncPasses = 500;
// After a resync drop, a remainder this short waits for more bytes, unless a whole frame is
// already in it.
constexpr int kResyncWaitBelow = 10;

bool HeaderAt(const ProtocolState& s, int32_t at) {
    return StartsWithHeader(s.RxBuff.data() + at, s.RxCount - at);
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

// One frame whose declared length is within 8..kMaxRxFrame and which is complete in RxBuff:
// dispatch it when the checksum matches, and remove it whole either way.
void TakeFrame(ProtocolState& s, int32_t length) {
    if (s.RxBuff[size_t(length) - 1] == FrameChecksum(s.RxBuff.data() + 4, length - 5)) {
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
    // Length, command and payload as bytes, for the checksum over exactly those.
    std::vector<uint8_t> body{uint8_t(length.left(2).toInt(nullptr, 16)),
                              uint8_t(length.mid(2, 2).toInt(nullptr, 16)), command};
    body.insert(body.end(), state.TxBuff.begin(), state.TxBuff.begin() + n);
    QString text;
    text.reserve((qsizetype(body.size()) + 5) * 2);
    for (uint8_t b : kFrameHeader)
        text += Fun_ByteToHex2(b);
    text += length + Fun_ByteToHex2(command);
    for (int32_t i = 0; i < n; ++i)
        text += Fun_ByteToHex2(state.TxBuff[size_t(i)]);
    return text + Fun_ByteToHex2(FrameChecksum(body.data(), int64_t(body.size())));
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
        state.FlagVerifyVerdict = G_len >= 1 ? kTrue : kFalse;
        state.FlagReply = kTrue;
    }
}
