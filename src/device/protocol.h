#pragma once
// The controller's frame format, the same in both directions:
//   AA 55 78 7A | length high, low (whole frame) | command | payload | checksum
// checksum = (length bytes + command + payload bytes + 0x54) mod 256.

#include "serial/port_layer.h"
#include "serial/session.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

inline constexpr uint8_t kCmdSetTime = 0xC1;
inline constexpr uint8_t kCmdDownloadRequest = 0x50;
inline constexpr uint8_t kCmdDataBlock = 0x51;
inline constexpr uint8_t kCmdVerify = 0x52;
inline constexpr uint8_t kVerifyGood = 0x66;
inline constexpr int kFrameOverhead = 8;
inline constexpr int kMaxRxFrame = 1200;
inline constexpr int kTxBuffSize = 4001;  // indices 0..4000

using PayloadBuffer = std::array<uint8_t, kTxBuffSize>;

// Buffers, last frame and reply flags shared by the sender, the parser and the transfers.
struct ProtocolState {
    RxBuffer RxBuff{};
    int32_t RxCount = 0;
    PayloadBuffer TxBuff{};
    uint8_t RxCmd = 0;
    int32_t RxLen = 0;
    PayloadBuffer RxPayload{};
    int16_t FlagTimeAck = kFalse;
    int16_t FlagReply = kFalse;
    int16_t FlagVerifyOk = kFalse;
};

QString Fun_ByteToHex2(uint8_t value);
// The frame for `command` with payload TxBuff[0..n-1] as upper-case hex text, no separators.
QString BuildFrameHex(const ProtocolState& state, uint8_t command, int32_t n);
// The same frame as bytes, for any payload (used by the emulator for its replies).
QByteArray BuildFrame(uint8_t command, const QByteArray& payload);
void Fun_SendFrame(ProtocolState& state, PortLayer& port, uint8_t command, int32_t n);
void Fun_RxParse(ProtocolState& state);
void Fun_RxDiscard(ProtocolState& state, int32_t n);
void Fun_RxDispatch(ProtocolState& state, uint8_t G_Cmd, int32_t G_len,
                    const PayloadBuffer& G_buff);
