// Any byte stream from the line, in batches of any size, through the receive buffer and the
// frame parser: nothing may be read or written outside RxBuff, RxPayload or the flags' range.
// Input: a sequence of [size byte][that many bytes]; the last batch takes what is left.
// A second pass builds a frame from the same input and checks that the parser gives it back.
#include "device/protocol.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace {

// As the serial session's receive poll appends.
void Receive(ProtocolState& s, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        AppendReceived(s.RxCount, s.RxBuff, data[i]);
    }
}

void Check(bool ok) {
    if (!ok)
        __builtin_trap();
}

bool IsFlag(int16_t f) {
    return f == kTrue || f == kFalse;
}

void ParseBatches(const uint8_t* data, size_t size) {
    auto s = std::make_unique<ProtocolState>();
    size_t at = 0;
    while (at < size) {
        const size_t wanted = data[at++];
        const size_t batch = std::min(wanted, size - at);
        Receive(*s, data + at, batch);
        at += batch;
        Fun_RxParse(*s);
        Check(s->RxCount >= 0 && s->RxCount <= 2000);
        Check(s->RxLen >= 0 && s->RxLen <= kMaxRxFrame - kFrameOverhead);
        Check(IsFlag(s->FlagTimeAck) && IsFlag(s->FlagReply) && IsFlag(s->FlagVerifyOk));
    }
}

void RoundTrip(const uint8_t* data, size_t size) {
    if (size == 0)
        return;
    const size_t n = std::min<size_t>(size - 1, kMaxRxFrame - kFrameOverhead);
    const QByteArray payload(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(n));
    const QByteArray frame = BuildFrame(data[0], payload);
    auto s = std::make_unique<ProtocolState>();
    Receive(*s, reinterpret_cast<const uint8_t*>(frame.constData()), frame.size());
    Fun_RxParse(*s);
    Check(s->RxCount == 0 && s->RxCmd == data[0] && s->RxLen == static_cast<int32_t>(n));
    Check(std::memcmp(s->RxPayload.data(), payload.constData(), n) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseBatches(data, size);
    RoundTrip(data, size);
    return 0;
}
