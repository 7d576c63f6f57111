// The controller emulator, driven by hand from the PC's end of its pseudo-terminal: literal
// request bytes in, literal reply bytes out.
#include "device/protocol.h"
#include "support/bytes.h"
#include "support/emulator.h"
#include "support/pty.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The PC's end of the line, opened the way a serial port is: raw, no controlling terminal.
class PcSide {
  public:
    explicit PcSide(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return;
        termios raw{};
        ::tcgetattr(fd_, &raw);
        cfmakeraw(&raw);
        ::tcsetattr(fd_, TCSANOW, &raw);
    }
    ~PcSide() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    void send(const QByteArray& bytes) { WriteAllTo(fd_, bytes); }
    // What arrives within timeoutMs, returning early once `want` bytes are there.
    QByteArray receive(int want, int timeoutMs = 3000) { return ReadFrom(fd_, want, timeoutMs); }

    QByteArray exchange(const QByteArray& request, int want) {
        send(request);
        return receive(want);
    }

  private:
    int fd_ = -1;
};

// Download of the 3-byte file 11 22 33: request (length 3, sum 0x0066), one block, verify.
const char kRequest3[] = "AA55787A000C50000300 6619";
const char kBlock3[] = "AA55787A000D51000311 22331B";
const char kVerify3[] = "AA55787A000D52000311 22331C";
const char kSetTime[] = "AA55787A000EC11A0C06 061E2DA0";  // 2026-12-06 06:30:45
const char kAck50[] = "AA55787A000850AC";
const char kAck51[] = "AA55787A000851AD";
const char kVerifyGood[] = "AA55787A0009526615";
const char kVerifyBad[] = "AA55787A00095200AF";
const char kAckC1[] = "AA55787A0008C11D";

TEST(Emulator, AnswersDownloadAndSetTimeWithLiteralFrames) {
    QTemporaryDir dir;
    const QString save = dir.filePath("image.bin");
    EmulatorProcess emu({"--save", save});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    ASSERT_TRUE(pc.ok());

    EXPECT_EQ(pc.exchange(Hex(kRequest3), 8).toHex(' '), Hex(kAck50).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(kBlock3), 8).toHex(' '), Hex(kAck51).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(kVerify3), 9).toHex(' '), Hex(kVerifyGood).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(kSetTime), 8).toHex(' '), Hex(kAckC1).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(kSetTime), 8).toHex(' '), Hex(kAckC1).toHex(' '));

    ASSERT_TRUE(emu.waitForOutput("(clock was 2026-12-06", 3000)) << emu.output().toStdString();
    const QString out = emu.output();
    EXPECT_TRUE(out.contains("download request: length 3, sum 0x0066\n"));
    EXPECT_TRUE(out.contains("block 1: 3 bytes (3/3)\n"));
    EXPECT_TRUE(out.contains("verify: good\n"));
    // The first time replaces the start-up clock; the second finds the first one ticking on.
    EXPECT_TRUE(out.contains("set time: 2026-12-06 06:30:45 (clock was 2000-01-01 00:0"));
    EXPECT_TRUE(out.contains("set time: 2026-12-06 06:30:45 (clock was 2026-12-06 06:3"));
    QFile image(save);
    ASSERT_TRUE(image.open(QIODevice::ReadOnly));
    EXPECT_EQ(image.readAll(), Hex("112233"));
    EXPECT_TRUE(emu.stop());
}

struct VerdictRow {
    const char* name;
    QStringList args;
    const char* request;
    const char* verify;
    const char* reply;
};

void PrintTo(const VerdictRow& r, std::ostream* os) {
    *os << r.name;
}

class EmulatorVerdict : public testing::TestWithParam<VerdictRow> {};

TEST_P(EmulatorVerdict, VerifyReplyReflectsTheReceivedImage) {
    const VerdictRow& row = GetParam();
    EmulatorProcess emu(row.args);
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    EXPECT_EQ(pc.exchange(Hex(row.request), 8).toHex(' '), Hex(kAck50).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(kBlock3), 8).toHex(' '), Hex(kAck51).toHex(' '));
    EXPECT_EQ(pc.exchange(Hex(row.verify), 9).toHex(' '), Hex(row.reply).toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EmulatorVerdict,
    testing::Values(
        VerdictRow{"good", {}, kRequest3, kVerify3, kVerifyGood},
        VerdictRow{"announced_sum_0067", {}, "AA55787A000C500003 00671A", kVerify3, kVerifyBad},
        VerdictRow{"announced_length_4", {}, "AA55787A000C500004 00661A", kVerify3, kVerifyBad},
        VerdictRow{
            "verify_not_last_block", {}, kRequest3, "AA55787A000D52000311 22341D", kVerifyBad},
        VerdictRow{"fail_verify_option", {"--fail-verify"}, kRequest3, kVerify3, kVerifyBad}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultRow {
    const char* name;
    QStringList args;
    const char* replies[3];  // to the request, the block and the verify; "" = silence
    const char* line;        // what the emulator reports
};

void PrintTo(const FaultRow& r, std::ostream* os) {
    *os << r.name;
}

class EmulatorFault : public testing::TestWithParam<FaultRow> {};

TEST_P(EmulatorFault, InjectsTheFaultAsAsked) {
    const FaultRow& row = GetParam();
    EmulatorProcess emu(row.args);
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    const char* requests[3] = {kRequest3, kBlock3, kVerify3};
    for (int i = 0; i < 3; ++i) {
        const QByteArray want = Hex(row.replies[i]);
        // A silence is waited for long enough to see a late reply.
        pc.send(Hex(requests[i]));
        const QByteArray got =
            pc.receive(want.isEmpty() ? 1 : want.size(), want.isEmpty() ? 500 : 3000);
        EXPECT_EQ(got.toHex(' '), want.toHex(' ')) << "frame " << i + 1;
    }
    EXPECT_TRUE(emu.waitForOutput(row.line, 3000)) << emu.output().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, EmulatorFault,
    testing::Values(
        FaultRow{"silent_from_2",
                 {"--silent-from", "2"},
                 {kAck50, "", ""},
                 "no reply (silent from frame 2)"},
        FaultRow{"silent_from_1", {"--silent-from", "1"}, {"", "", ""}, "block 1: 3 bytes"},
        FaultRow{"bad_checksum_2",
                 {"--bad-checksum", "2"},
                 {kAck50, "AA55787A000851AE", kVerifyGood},
                 "reply 2 goes out with a wrong checksum"},
        FaultRow{
            "garbage_3",
            {"--garbage", "3"},
            {"AA5500 AA55787A000850AC", "AA5500 AA55787A000851AD", "AA5500 AA55787A0009526615"},
            "verify: good"},
        FaultRow{"no_pacing", {"--no-pacing"}, {kAck50, kAck51, kVerifyGood}, "verify: good"},
        FaultRow{"plain_ack_verify",
                 {"--plain-ack-verify"},
                 {kAck50, kAck51, kAck51},
                 "verify: answered by a plain acknowledgement (data good)"},
        FaultRow{"hang_up_2", {"--hang-up", "2"}, {kAck50, "", ""}, "line hung up at frame 2"}),
    [](const auto& info) { return std::string(info.param.name); });

// Frames a controller cannot take are reported and get no acknowledgement.
TEST(Emulator, RefusesMalformedFramesAndIgnoresUnknownCommands) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    struct {
        const char* frame;
        const char* line;
    } rows[] = {
        {"AA55787A000D51000311 22331B", "block 1: no download request taken, not acknowledged"},
        {"AA55787A000B50000300 B2", "download request: malformed (3 payload bytes"},
        {"AA55787A000EC11A0D06 061E2DA1", "set time: invalid (1A 0D 06 06 1E 2D)"},
        {"AA55787A000A330102 94", "unknown command 0x33 with 2 payload byte(s): ignored"},
    };
    for (const auto& row : rows) {
        pc.send(Hex(row.frame));
        EXPECT_TRUE(emu.waitForOutput(row.line, 3000)) << emu.output().toStdString();
        EXPECT_EQ(pc.receive(1, 300).toHex(' '), QByteArray()) << row.line;
    }
    // After all that it still answers a good request.
    EXPECT_EQ(pc.exchange(Hex(kRequest3), 8).toHex(' '), Hex(kAck50).toHex(' '));
}

// Garbage, a header with an impossible length and a frame with a bad checksum, all in one write
// with a good request behind them: only the good request is answered, once.
TEST(Emulator, ResynchronisesOnTheHeader) {
    EmulatorProcess emu;
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    pc.send(Hex("00 FF AA 55 | AA55787A0003 | AA55787A000C500003006618 |") + Hex(kRequest3));
    EXPECT_EQ(pc.receive(16, 1000).toHex(' '), Hex(kAck50).toHex(' '));
    EXPECT_TRUE(emu.waitForOutput("checksum error in a frame of 12 bytes (command 0x50)", 3000))
        << emu.output().toStdString();
    EXPECT_TRUE(emu.output().contains("header with impossible length 3"));
    // A request split across two writes is still one request.
    pc.send(Hex(kRequest3).left(5));
    pc.send(Hex(kRequest3).mid(5));
    EXPECT_EQ(pc.receive(8).toHex(' '), Hex(kAck50).toHex(' '));
}

// The PC closes its end between operations and opens it again; the emulator keeps answering.
TEST(Emulator, KeepsWorkingWhenThePcReopensTheLine) {
    QTemporaryDir dir;
    const QString link = dir.filePath("m4500");
    EmulatorProcess emu({"--link", link});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    EXPECT_EQ(emu.devicePath(), link);
    EXPECT_EQ(QFileInfo(link).canonicalFilePath(),
              QFileInfo(emu.output().section('\n', 0, 0)).canonicalFilePath());
    for (int round = 0; round < 3; ++round) {
        PcSide pc(link);
        ASSERT_TRUE(pc.ok());
        EXPECT_EQ(pc.exchange(Hex(kSetTime), 8).toHex(' '), Hex(kAckC1).toHex(' ')) << round;
    }
    EXPECT_TRUE(emu.stop());
    EXPECT_FALSE(QFileInfo::exists(link)) << "the link goes with the emulator";
}

// A full block takes 522 x 10 bits at 115200 baud = 45.3 ms on a real line; the acknowledgement
// cannot come sooner. --delay adds its wait on top.
TEST(Emulator, RepliesNoSoonerThanARealLineAllows) {
    struct {
        QStringList args;
        int atLeastMs;
    } rows[] = {{{}, 45}, {{"--delay", "300"}, 300}};
    for (const auto& row : rows) {
        EmulatorProcess emu(row.args);
        ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
        PcSide pc(emu.devicePath());
        // 512 bytes of 0x01: length 02 00, sum 02 00.
        ASSERT_EQ(pc.exchange(Hex("AA55787A000C50020002 00B4"), 8).size(), 8);
        QByteArray block = Hex("0200");
        block.append(QByteArray(512, '\x01'));
        const QByteArray frame = BuildFrame(kCmdDataBlock, block);
        ASSERT_EQ(frame.size(), 522);
        QElapsedTimer timer;
        timer.start();
        pc.send(frame);
        EXPECT_EQ(pc.receive(8).toHex(' '), Hex(kAck51).toHex(' '));
        EXPECT_GE(timer.elapsed(), row.atLeastMs);
    }
}

// On a serial device (here one end of a test pseudo-terminal) instead of its own, with the bytes
// of both directions in its output.
TEST(Emulator, AnswersOnAGivenDeviceAndShowsTheBytes) {
    PseudoTerminal line;
    ASSERT_TRUE(line.ok());
    EmulatorProcess emu({"--device", line.slavePath(), "--hex"});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    EXPECT_EQ(emu.devicePath(), line.slavePath());
    line.send(Hex(kSetTime));
    EXPECT_EQ(line.receive(8, 3000).toHex(' '), Hex(kAckC1).toHex(' '));
    EXPECT_TRUE(emu.waitForOutput("TX AA 55 78 7A 00 08 C1 1D\n", 3000))
        << emu.output().toStdString();
    EXPECT_TRUE(emu.output().contains("RX AA 55 78 7A 00 0E C1 1A 0C 06 06 1E 2D A0\n"));
}

TEST(Emulator, EndsAfterTheVerifyWhenAsked) {
    EmulatorProcess emu({"--exit-after-verify"});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    PcSide pc(emu.devicePath());
    pc.exchange(Hex(kRequest3), 8);
    pc.exchange(Hex(kBlock3), 8);
    EXPECT_EQ(pc.exchange(Hex(kVerify3), 9).toHex(' '), Hex(kVerifyGood).toHex(' '));
    EXPECT_EQ(emu.waitForExit(5000), 0);
}

}  // namespace
