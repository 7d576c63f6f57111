// Frames as literal bytes: the sender's text, the parser's passes and the reply flags.
#include "device/protocol.h"
#include "serial/port_map.h"
#include "serial/system_backend.h"
#include "support/bytes.h"
#include "support/emulator.h"
#include "support/not_on_windows.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <optional>
#include <vector>

namespace {

// Appends as the serial session's receive poll does.
void Receive(ProtocolState& s, const QByteArray& batch) {
    for (char c : batch) {
        AppendReceived(s.RxCount, s.RxBuff, static_cast<uint8_t>(c));
    }
}

QByteArray Front(const ProtocolState& s, int n) {
    return QByteArray(reinterpret_cast<const char*>(s.RxBuff.data()), n);
}

// ---- Building frames ------------------------------------------------------------------------

struct FrameRow {
    const char* name;
    uint8_t command;
    QByteArray payload;
    QByteArray frame;
};

void PrintTo(const FrameRow& r, std::ostream* os) {
    *os << r.name;
}

QByteArray FullBlockPayload() {
    return Hex("0200") + QByteArray(512, '\x01');
}

std::vector<FrameRow> FrameRows() {
    return {
        {"download_request", 0x50, Hex("01234567"), Hex("AA55787A000C50 01234567 80")},
        {"no_payload", 0x50, {}, Hex("AA55787A000850AC")},
        {"verify_reply_66", 0x52, Hex("66"), Hex("AA55787A00095266 15")},
        {"set_time_2026_12_06_063045", 0xC1, Hex("1A0C06061E2D"),
         Hex("AA55787A000EC1 1A0C06061E2D A0")},
        // 02+0A+51+54 + 02+00 + 512 x 01 = 0x2B3: checksum B3. The largest frame ever sent.
        {"full_block_522_bytes", 0x51, FullBlockPayload(),
         Hex("AA55787A020A51") + FullBlockPayload() + Hex("B3")},
    };
}

class FrameExample : public testing::TestWithParam<FrameRow> {};

TEST_P(FrameExample, SenderTextAndBytesAreTheFrame) {
    const FrameRow& row = GetParam();
    ProtocolState s;
    std::copy(row.payload.begin(), row.payload.end(), s.TxBuff.begin());
    EXPECT_EQ(BuildFrameHex(s, row.command, row.payload.size()), row.frame.toHex().toUpper());
    EXPECT_EQ(BuildFrame(row.command, row.payload).toHex(' '), row.frame.toHex(' '));
}

TEST_P(FrameExample, ParserTakesTheFrameBack) {
    const FrameRow& row = GetParam();
    ProtocolState s;
    Receive(s, row.frame);
    Fun_RxParse(s);
    EXPECT_EQ(s.RxCount, 0);
    EXPECT_EQ(s.RxCmd, row.command);
    ASSERT_EQ(s.RxLen, row.payload.size());
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(s.RxPayload.data()), s.RxLen), row.payload);
}

INSTANTIATE_TEST_SUITE_P(Rows, FrameExample, testing::ValuesIn(FrameRows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FrameBuilding, ByteToHex2GivesTwoUpperCaseDigits) {
    const std::pair<uint8_t, const char*> rows[] = {
        {0, "00"}, {10, "0A"}, {0x7A, "7A"}, {255, "FF"}};
    for (const auto& [value, text] : rows)
        EXPECT_EQ(Fun_ByteToHex2(value), text) << int(value);
}

TEST(FrameBuilding, PayloadCountStaysWithinTxBuff) {
    ProtocolState s;
    s.TxBuff.fill(0x01);
    // 4001 payload bytes: length 4009 = 0F A9, checksum 0F+A9+C1+54 + 4001 = 0x116E -> 6E.
    const QString full = BuildFrameHex(s, 0xC1, 4001);
    EXPECT_EQ(full.size(), 4009 * 2);
    EXPECT_TRUE(full.startsWith("AA55787A0FA9C101"));
    EXPECT_TRUE(full.endsWith("016E"));
    // Counts outside 0..4001 are cut to the buffer, never read past it.
    EXPECT_EQ(BuildFrameHex(s, 0xC1, 5000), full);
    EXPECT_EQ(BuildFrameHex(s, 0x50, -1), "AA55787A000850AC");
}

TEST(FrameBuilding, BuildFrameRefusesWhatTheLengthFieldCannotHold) {
    EXPECT_EQ(BuildFrame(0x51, QByteArray(0xFFFF - 8, '\0')).left(6), Hex("AA55787AFFFF"));
    EXPECT_TRUE(BuildFrame(0x51, QByteArray(0xFFFF - 7, '\0')).isEmpty());
}

// ---- Parsing received bytes -----------------------------------------------------------------

// After one batch has been appended and Fun_RxParse has run once.
struct Expect {
    int rxCount;
    int16_t timeAck = kFalse;
    int16_t reply = kFalse;
    int16_t verifyOk = kFalse;
    int rxCmd = 0;   // 0 = no good frame yet
    int rxLen = -1;  // -1 = not checked
};

struct ParseRow {
    std::string name;
    std::vector<std::pair<QByteArray, Expect>> steps;
};

void PrintTo(const ParseRow& r, std::ostream* os) {
    *os << r.name;
}

const QByteArray kAck50 = Hex("AA55787A000850AC");
const QByteArray kAck51 = Hex("AA55787A000851AD");
const QByteArray kAckC1 = Hex("AA55787A0008C11D");
const QByteArray kTime14 = Hex("AA55787A000EC11A0C06061E2DA0");  // 14 bytes
const QByteArray kGarbage3 = Hex("010203");

QByteArray Frame1200() {
    // 04+B0+33+54 = 0x13B: checksum 3B over 1192 zero payload bytes.
    return Hex("AA55787A04B033") + QByteArray(1192, '\0') + Hex("3B");
}

std::vector<ParseRow> ParseRows() {
    std::vector<ParseRow> rows = {
        {"seven_bytes_do_nothing", {{Hex("AA55787A000850"), {7}}}},
        {"three_garbage_then_14_byte_frame_same_call",
         {{kGarbage3 + kTime14, {0, kTrue, kFalse, kFalse, 0xC1, 6}}}},
        // The reply is whole behind the noise: it is taken in the same call, as nothing more
        // may ever arrive after it.
        {"three_garbage_then_8_byte_frame_same_call",
         {{kGarbage3 + kAck50, {0, kFalse, kTrue, kFalse, 0x50, 0}}}},
        {"three_garbage_then_partial_frame_waits_for_later_bytes",
         {{kGarbage3 + kAck50.left(7), {9}}, {kAck50.mid(7), {0, kFalse, kTrue, kFalse, 0x50, 0}}}},
        {"two_frames_in_one_batch", {{kAckC1 + kAck50, {0, kTrue, kTrue, kFalse, 0x50, 0}}}},
        {"bad_checksum_dropped_whole", {{Hex("AA55787A000C50012345678 1"), {0}}}},
        {"bad_checksum_then_good_frame",
         {{Hex("AA55787A000850AD") + kAck51, {0, kFalse, kTrue, kFalse, 0x51, 0}}}},
        {"length_1200_waits_until_complete",
         {{Frame1200().left(107), {107}},
          {Frame1200().mid(107), {0, kFalse, kFalse, kFalse, 0x33, 1192}}}},
        {"length_1201_empties_the_buffer",
         {{Hex("AA55787A04B133") + QByteArray(20, 0) + kAck50, {0}}}},
        {"incomplete_frame_completed_by_next_batch",
         {{Hex("AA55787A000C500123"), {9}}, {Hex("456780"), {0, kFalse, kTrue, kFalse, 0x50, 4}}}},
        {"verify_66_then_00",
         {{Hex("AA55787A0009526615"), {0, kFalse, kTrue, kTrue, 0x52, 1}},
          {Hex("AA55787A00095200AF"), {0, kFalse, kTrue, kFalse, 0x52, 1}}}},
        // The empty verify reply does not borrow the 66 left by the reply before it.
        {"verify_66_then_empty_payload",
         {{Hex("AA55787A0009526615"), {0, kFalse, kTrue, kTrue, 0x52, 1}},
          {Hex("AA55787A000852AE"), {0, kFalse, kTrue, kFalse, 0x52, 0}}}},
        {"ack_50_counts_as_any_reply", {{kAck50, {0, kFalse, kTrue, kFalse, 0x50, 0}}}},
        {"unknown_command_ignored",
         {{Hex("AA55787A000A33010294"), {0, kFalse, kFalse, kFalse, 0x33, 2}}}},
        // 600 garbage bytes: 500 go in the first call, the rest in the next.
        {"resync_stops_after_500_passes",
         {{QByteArray(600, '\0') + kTime14, {114}}, {{}, {0, kTrue, kFalse, kFalse, 0xC1, 6}}}},
        {"short_header_alone_waits", {{Hex("AA55787A0003 0000"), {7}}}},
    };
    // Noise before a short reply (a glitch as the adapter opens, RS-485 turnaround): the reply
    // is dispatched in the call that brought it, however few bytes remain after the drops.
    for (const int noise : {1, 2, 3, 12}) {
        const QByteArray junk = Hex("AA5500AA5500AA5500AA5500").left(noise);
        rows.push_back({"noise_" + std::to_string(noise) + "_then_ack",
                        {{junk + kAck51, {0, kFalse, kTrue, kFalse, 0x51, 0}}}});
        rows.push_back({"noise_" + std::to_string(noise) + "_then_verify_reply",
                        {{junk + Hex("AA55787A0009526615"), {0, kFalse, kTrue, kTrue, 0x52, 1}}}});
    }
    // A declared length below 8 is dropped a byte at a time; the frame behind is still found.
    for (int length = 0; length < 8; ++length) {
        QByteArray header = Hex("AA55787A00");
        header.append(char(length));
        rows.push_back({"declared_length_" + std::to_string(length),
                        {{header + kTime14, {0, kTrue, kFalse, kFalse, 0xC1, 6}}}});
    }
    return rows;
}

class Parser : public testing::TestWithParam<ParseRow> {};

TEST_P(Parser, ConsumesAndDispatchesAsExpected) {
    ProtocolState s;
    int step = 0;
    for (const auto& [batch, want] : GetParam().steps) {
        ++step;
        Receive(s, batch);
        Fun_RxParse(s);
        EXPECT_EQ(s.RxCount, want.rxCount) << "step " << step;
        EXPECT_EQ(s.FlagTimeAck, want.timeAck) << "step " << step;
        EXPECT_EQ(s.FlagReply, want.reply) << "step " << step;
        EXPECT_EQ(s.FlagVerifyOk, want.verifyOk) << "step " << step;
        EXPECT_EQ(s.RxCmd, want.rxCmd) << "step " << step;
        if (want.rxLen >= 0) {
            EXPECT_EQ(s.RxLen, want.rxLen) << "step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Parser, testing::ValuesIn(ParseRows()),
                         [](const auto& info) { return info.param.name; });

TEST(Parser, GarbageGoesOneBytePerPass) {
    // 3 garbage bytes before 7 bytes of a frame: one pass drops one byte and the 9 that remain
    // wait, in order, for the rest.
    ProtocolState s;
    Receive(s, kGarbage3 + kAck50.left(7));
    Fun_RxParse(s);
    EXPECT_EQ(Front(s, s.RxCount), Hex("0203") + kAck50.left(7));
}

TEST(Parser, CountBeyondTheBufferIsCutToIt) {
    ProtocolState s;
    s.RxCount = 5000;  // only a fault elsewhere could leave this
    Fun_RxParse(s);
    EXPECT_LE(s.RxCount, 2000);
    EXPECT_GE(s.RxCount, 0);
}

TEST(Parser, DiscardDropsFromTheFront) {
    struct Row {
        int count, n, left;
        QByteArray front;
    } rows[] = {{5, 2, 3, Hex("030405")},
                {5, 5, 0, {}},
                {5, 9, 0, {}},
                {5, 0, 5, Hex("0102030405")},
                {5, -3, 5, Hex("0102030405")}};
    for (const Row& row : rows) {
        ProtocolState s;
        Receive(s, Hex("0102030405"));
        s.RxCount = row.count;
        Fun_RxDiscard(s, row.n);
        EXPECT_EQ(s.RxCount, row.left) << row.n;
        EXPECT_EQ(Front(s, s.RxCount), row.front) << row.n;
    }
}

TEST(Dispatch, SetsOnlyTheFlagsOfItsCommand) {
    struct Row {
        uint8_t cmd;
        int32_t len;
        int16_t timeAck, reply, verifyOk;
    } rows[] = {{0xC1, 0, kTrue, kFalse, kFalse}, {0x50, 0, kFalse, kTrue, kFalse},
                {0x51, 3, kFalse, kTrue, kFalse}, {0x52, 1, kFalse, kTrue, kTrue},
                {0x52, 0, kFalse, kTrue, kFalse}, {0x33, 1, kFalse, kFalse, kFalse},
                {0x00, 1, kFalse, kFalse, kFalse}};
    for (const Row& row : rows) {
        ProtocolState s;
        PayloadBuffer payload{};
        payload[0] = kVerifyGood;
        Fun_RxDispatch(s, row.cmd, row.len, payload);
        EXPECT_EQ(s.FlagTimeAck, row.timeAck) << int(row.cmd);
        EXPECT_EQ(s.FlagReply, row.reply) << int(row.cmd);
        EXPECT_EQ(s.FlagVerifyOk, row.verifyOk) << int(row.cmd) << " len " << row.len;
    }
}

// ---- Sending over a real line ---------------------------------------------------------------

TEST(SendFrame, WritesTheExactBytesOnTheOpenPort) {
#ifdef Q_OS_WIN
    M45_NOT_ON_WINDOWS("a pseudo-terminal is the far end of the port");
#else
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    const QString ini = dir.filePath("system.ini");
    ASSERT_TRUE(WritePortSetting(ini, 7, pty.slavePath()));
    auto backend = MakeSystemSerialBackend(PortMap(ini));
    SystemClock clock;
    PortLayer port(*backend, clock);
    ProtocolState s;
    const uint8_t payload[] = {0x01, 0x23, 0x45, 0x67};
    std::copy(std::begin(payload), std::end(payload), s.TxBuff.begin());

    Fun_SendFrame(s, port, 0x50, 4);  // no port open yet: nothing is written
    EXPECT_TRUE(pty.receive(1, 200).isEmpty());

    int16_t number = 7;
    QString baud = "115200", bits = "8", stop = "0", parity = "0";
    ASSERT_TRUE(port.Fun_OpenPort(number, baud, bits, stop, parity));
    Fun_SendFrame(s, port, 0x50, 4);
    EXPECT_EQ(pty.receive(12, 2000).toHex(' '), Hex("AA55787A000C500123456780").toHex(' '));

    s.TxBuff[0] = 0x02;
    s.TxBuff[1] = 0x00;
    std::fill_n(s.TxBuff.begin() + 2, 512, 0x01);
    Fun_SendFrame(s, port, 0x51, 514);
    const QByteArray block = pty.receive(522, 3000);
    EXPECT_EQ(block.size(), 522);
    EXPECT_EQ(block.left(7), Hex("AA55787A020A51"));
    EXPECT_EQ(block.right(1), Hex("B3"));
    port.Fun_ClosePort();
#endif
}

}  // namespace
