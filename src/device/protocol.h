#pragma once
// M_串口协议 (serial protocol module): the frames the PC sends, the parser that finds the
// controller's replies in the received bytes, and the reply flags the transfers wait for. The
// frame format itself is in device/frame_codec.h.

#include "device/frame_codec.h"
#include "serial/port_layer.h"
#include "serial/rx_buffer.h"
#include "util/process_state.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

inline constexpr uint8_t kCmdSetTime = 0xC1;
inline constexpr uint8_t kCmdDownloadRequest = 0x50;
inline constexpr uint8_t kCmdDataBlock = 0x51;
inline constexpr uint8_t kCmdVerify = 0x52;
inline constexpr uint8_t kVerifyGood = 0x66;
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
    // A verify reply with its result byte came: FlagVerifyOk is a verdict, not a default. An
    // acknowledgement of another frame also sets FlagReply, and carries none.
    int16_t FlagVerifyVerdict = kFalse;
};

// Fun_ByteToHex2: exactly two upper-case hex digits ("0A").
QString Fun_ByteToHex2(uint8_t value);
// The frame for `command` with payload TxBuff[0..n-1] as upper-case hex text, no separators.
QString BuildFrameHex(const ProtocolState& state, uint8_t command, int32_t n);
// Fun_SendFrame: send a frame: its hex text goes to the port layer's Fun_SendHex.
void Fun_SendFrame(ProtocolState& state, PortLayer& port, uint8_t command, int32_t n);
// Fun_RxParse: parse received bytes: every complete frame at the front of RxBuff is taken and
// the good ones dispatched; an incomplete one stays.
void Fun_RxParse(ProtocolState& state);
// Fun_RxDiscard: drop the first n bytes of RxBuff.
void Fun_RxDiscard(ProtocolState& state, int32_t n);
// Fun_RxDispatch: act on one good frame: set the reply flags of its command.
void Fun_RxDispatch(ProtocolState& state, uint8_t G_Cmd, int32_t G_len,
                    const PayloadBuffer& G_buff);
