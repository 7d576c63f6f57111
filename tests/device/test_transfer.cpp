// The download and the time synchronisation over the serial stack as the window builds it, on
// the in-memory line with the emulator's controller behind it and a virtual clock: every frame
// is checked as literal bytes, and every wait, the 11-second time-outs included, runs in
// virtual time.
#include "config/taskfile.h"
#include "device/serial_stack.h"
#include "device/transfer.h"
#include "support/bytes.h"
#include "support/random_config.h"
#include "support/recording_listener.h"
#include "support/virtual_line.h"
#include "util/keyvalue.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <vector>

namespace {

// The serial stack of the window on the in-memory line behind port 7 (the remembered port).
struct Rig {
    explicit Rig(VirtualLineOptions options = {},
                 QDateTime local = QDateTime(QDate(2026, 12, 6), QTime(6, 30, 45)))
        : clock(1000, std::move(local)) {
        auto owned = std::make_unique<VirtualLine>(clock, std::move(options));
        line = owned.get();
        serial =
            std::make_unique<SerialStack>(process, dir.path(), OnLine(std::move(owned), &clock));
        WriteKeyValue(process.SystemIniPath, QStringLiteral("串口"), QStringLiteral("7"));
        serial->session.Fun_初始化();
        ctx = std::make_unique<TransferContext>(serial->transferContext(config, log));
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    void expectPortClosed() const {
        EXPECT_EQ(serial->port.PortHandle, 0);
        EXPECT_EQ(serial->session.PortOpen, kFalse);
    }

    QTemporaryDir dir;
    ProcessState process;
    ConfigTables config;
    VirtualClock clock;
    VirtualLine* line = nullptr;
    std::unique_ptr<SerialStack> serial;
    RecordingListener log;  // the log box, and the box of the time synchronisation
    RecordingListener& ui = log;
    std::unique_ptr<TransferContext> ctx;
};

QByteArray Counting(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) {
        bytes[i] = char(i % 256);
    }
    return bytes;
}

bool ChecksumOk(const QByteArray& frame) {
    return FrameChecksum(reinterpret_cast<const uint8_t*>(frame.constData()) + 4,
                         frame.size() - 5) == uint8_t(frame.back());
}

QByteArray Payload(const QByteArray& frame) {
    return frame.mid(7, frame.size() - 8);
}

QString SuccessLog(int blocks) {
    return QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(blocks, u'-') +
           QStringLiteral("\r\n校验中...\r\n校验成功>>下载成功\r\n");
}

// -- File lengths: the request's length and sum, the blocks and the verify request -----------

struct LengthCase {
    int length;
    const char* request;  // whole frame
    int blocks;
    int lastBlock;
    const char* verifyHead;  // the verify frame up to the last block's data
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.length << " bytes";
}

class DownloadLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(DownloadLength, SendsTheFileInAnsweredBlocks) {
    const LengthCase c = GetParam();
    Rig rig;
    const QByteArray file = Counting(c.length);
    ASSERT_TRUE(WriteFileBytes(rig.file(QStringLiteral("image.bin")), file));

    const DownloadResult result = Fun_DownloadFile(*rig.ctx, rig.file(QStringLiteral("image.bin")));
    EXPECT_EQ(result.outcome, DownloadOutcome::Success);
    EXPECT_EQ(result.blocks, c.blocks);
    EXPECT_EQ(result.acknowledged, c.blocks);
    const std::vector<QByteArray>& frames = rig.line->frames();

    EXPECT_EQ(rig.log.text, SuccessLog(c.blocks));
    ASSERT_EQ(int(frames.size()), 1 + c.blocks + 1);
    EXPECT_EQ(frames.front().toHex(' '), Hex(c.request).toHex(' '));
    QByteArray sent;
    for (int b = 1; b <= c.blocks; ++b) {
        const QByteArray& f = frames[size_t(b)];
        const int k = b == c.blocks ? c.lastBlock : 512;
        ASSERT_EQ(f.size(), k + 10) << "block " << b;
        EXPECT_EQ(f.left(4), Hex("AA55787A"));
        EXPECT_EQ(uint8_t(f[6]), 0x51);
        EXPECT_EQ(uint8_t(f[7]) * 256 + uint8_t(f[8]), k);
        EXPECT_TRUE(ChecksumOk(f)) << "block " << b;
        sent += f.mid(9, k);
    }
    EXPECT_EQ(sent, file);
    const QByteArray& verify = frames.back();
    EXPECT_TRUE(verify.startsWith(Hex(c.verifyHead))) << verify.left(12).toHex(' ').data();
    EXPECT_EQ(Payload(verify), Payload(frames[size_t(c.blocks)]));
    EXPECT_TRUE(ChecksumOk(verify));
    rig.expectPortClosed();
}

// Counting bytes 00 01 .. FF 00 ..: sums 0xFF00 (512 and 513 bytes) and 0x0FC8 (70,000).
INSTANTIATE_TEST_SUITE_P(
    Lengths, DownloadLength,
    ::testing::Values(LengthCase{512, "AA55787A000C500200FF00B1", 1, 512, "AA55787A020A520200"},
                      LengthCase{513, "AA55787A000C500201FF00B2", 2, 1, "AA55787A000B52000100B2"},
                      LengthCase{70000, "AA55787A000C5011700FC808", 137, 368,
                                 "AA55787A017A520170"}),
    [](const ::testing::TestParamInfo<LengthCase>& info) {
        return "Bytes" + std::to_string(info.param.length);
    });

TEST(DownloadSum, WrapsAtSixteenBits) {
    Rig rig;
    ASSERT_TRUE(WriteFileBytes(rig.file(QStringLiteral("ff.bin")), QByteArray(300, char(0xFF))));
    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(QStringLiteral("ff.bin"))).outcome,
              DownloadOutcome::Success);
    ASSERT_FALSE(rig.line->frames().empty());
    EXPECT_EQ(rig.line->frames().front().toHex(' '), Hex("AA55787A000C50012C2AD4DB").toHex(' '));
}

// -- Stops before anything is sent ----------------------------------------------------------

TEST(DownloadFile, EmptyOrMissingFileSendsNothing) {
    Rig rig;
    ASSERT_TRUE(WriteFileBytes(rig.file(QStringLiteral("empty.bin")), QByteArray()));
    for (const QString& name : {QStringLiteral("empty.bin"), QStringLiteral("absent.bin")}) {
        rig.log.text.clear();
        EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(name)).outcome, DownloadOutcome::FileMissing);
        EXPECT_EQ(rig.log.text, QStringLiteral(">>读取文件\r\n>>文件不存在！！！\r\n"))
            << name.toStdString();
        rig.expectPortClosed();
    }
    EXPECT_TRUE(rig.line->frames().empty());
}

// The download saves right before it reads, so the file can only be empty or gone when
// something else removes it in between: the log line's event pump is where that can happen.
TEST(DownloadParams, FileEmptiedOrRemovedAfterTheSave) {
    for (const bool remove : {false, true}) {
        Rig rig;
        const QString path = rig.ctx->taskFilePath;
        rig.log.onAppend = [&](const QString& text) {
            if (text == QStringLiteral(">>读取文件")) {
                ASSERT_EQ(QFileInfo(path).size(), kTaskFileSize);
                remove ? (void)QFile::remove(path) : (void)WriteFileBytes(path, QByteArray());
            }
        };
        EXPECT_EQ(Fun_DownloadParams(*rig.ctx).outcome, DownloadOutcome::FileMissing);
        EXPECT_EQ(rig.log.text, QStringLiteral(">>读取文件\r\n>>文件不存在！！！\r\n"));
        EXPECT_TRUE(rig.line->frames().empty());
        rig.expectPortClosed();
    }
}

TEST(DownloadParams, FailedSaveStopsWithTheReasonAndSendsNothing) {
    Rig rig;
    ASSERT_TRUE(QDir(rig.dir.path()).mkdir(QStringLiteral("TASK.M45")));  // a directory in the way
    const QStringList paths{rig.file(QStringLiteral("no-such-dir/TASK.M45")),
                            rig.file(QStringLiteral("TASK.M45"))};
    for (const QString& path : paths) {
        rig.log.text.clear();
        rig.ctx->taskFilePath = path;
        const DownloadResult result = Fun_DownloadParams(*rig.ctx);
        EXPECT_EQ(result.outcome, DownloadOutcome::SaveFailed);
        EXPECT_FALSE(result.saveError.isEmpty());
        const QString head = QStringLiteral(">>保存失败: ") + path + QStringLiteral(": ");
        EXPECT_TRUE(rig.log.text.startsWith(head)) << rig.log.text.toStdString();
        EXPECT_EQ(rig.log.text, head + result.saveError + QStringLiteral("\r\n"));
        rig.expectPortClosed();
    }
    EXPECT_TRUE(rig.line->frames().empty());
}

TEST(Transfers, RefusedWhileAnotherRuns) {
    Rig rig;
    rig.ctx->busy = true;
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx).outcome, DownloadOutcome::Busy);
    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.ctx->taskFilePath).outcome, DownloadOutcome::Busy);
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::Busy);
    EXPECT_TRUE(rig.ctx->busy);
    EXPECT_TRUE(rig.log.text.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(rig.ctx->taskFilePath)) << "a refused download saved";
    EXPECT_EQ(rig.ui.shown, 0);
    EXPECT_TRUE(rig.line->frames().empty());
    EXPECT_TRUE(rig.line->opened.empty());
    rig.expectPortClosed();
}

// A second click arrives through the event pump of a running download.
TEST(Transfers, SecondStartDuringADownloadBouncesOff) {
    Rig rig;
    std::vector<int> nested;
    rig.log.onAppend = [&](const QString& text) {
        if (text == QStringLiteral("-") && nested.empty()) {
            nested.push_back(int(Fun_DownloadParams(*rig.ctx).outcome));
            nested.push_back(int(Fun_TimeSync(*rig.ctx)));
        }
    };
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx).outcome, DownloadOutcome::Success);
    EXPECT_EQ(nested, (std::vector<int>{int(DownloadOutcome::Busy), int(TimeSyncOutcome::Busy)}));
    EXPECT_EQ(rig.log.text, SuccessLog(31));
    EXPECT_EQ(rig.line->frames().size(), 1u + 31u + 1u);
    EXPECT_FALSE(rig.ctx->busy);
    rig.expectPortClosed();
}

// -- Exit requested between blocks ----------------------------------------------------------

class DownloadExit : public ::testing::TestWithParam<int> {};

// Also: each block's progress is shown once the next frame has gone, never in the gap before it
// (painting there slowed every download); the block the download stopped after is shown too.
TEST_P(DownloadExit, StopsAfterTheBlockInFlight) {
    const int atBlock = GetParam();
    Rig rig;
    std::vector<std::pair<int, int>> shown;  // the block shown, and the frames gone out by then
    rig.log.onBlock = [&](int32_t n, int32_t, uint32_t) {
        shown.emplace_back(n, int(rig.line->frames().size()));
    };
    int dashes = 0;
    rig.log.onAppend = [&](const QString& text) {
        if (text == QStringLiteral("-") && ++dashes == atBlock) {
            rig.process.ExitRequested = kTrue;
        }
    };
    const DownloadResult result = Fun_DownloadParams(*rig.ctx);
    EXPECT_EQ(result.outcome, DownloadOutcome::Aborted);
    EXPECT_EQ(result.acknowledged, atBlock);
    EXPECT_EQ(rig.log.text,
              QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(atBlock, u'-'));
    const std::vector<QByteArray>& frames = rig.line->frames();
    ASSERT_EQ(int(frames.size()), 1 + atBlock);
    EXPECT_EQ(uint8_t(frames.back()[6]), 0x51);
    std::vector<std::pair<int, int>> expected;
    for (int n = 1; n <= atBlock; ++n) {
        expected.emplace_back(n, 1 + std::min(n + 1, atBlock));  // request, blocks up to n + 1
    }
    EXPECT_EQ(shown, expected);
    rig.expectPortClosed();
}

INSTANTIATE_TEST_SUITE_P(Blocks, DownloadExit, ::testing::Values(1, 2, 31));

// -- The controller's faults -----------------------------------------------------------------

struct FaultCase {
    const char* name;
    FaultOptions faults;
    DownloadOutcome outcome;
    int unansweredBlock;  // NoHandshake: 0 = the request
    QString log;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class DownloadFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DownloadFault, EndsWithTheFailureLine) {
    Rig rig(VirtualLineOptions{.faults = GetParam().faults});
    rig.config = RandomConfig(7);
    rig.serial->proto.FlagVerifyOk = kTrue;  // the verdict of an earlier download never counts
    const DownloadResult result = Fun_DownloadParams(*rig.ctx);
    EXPECT_EQ(result.outcome, GetParam().outcome);
    EXPECT_EQ(result.unansweredBlock, GetParam().unansweredBlock);
    EXPECT_EQ(rig.log.text, GetParam().log);
    rig.expectPortClosed();
}

const QString kVerifyFailed = QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                              QStringLiteral("\r\n校验中...\r\n>>校验失败\r\n");

// Frame 4 is the third block (after the request and two blocks): its wait runs out after
// 500 cycles. Frame 33 is the verify request (after the request and 31 blocks).
INSTANTIATE_TEST_SUITE_P(
    Controller, DownloadFault,
    ::testing::Values(FaultCase{"RequestUnanswered",
                                {.silentFrom = 1},
                                DownloadOutcome::NoHandshake,
                                0,
                                QStringLiteral(">>读取文件\r\n>>握手失败\r\n")},
                      FaultCase{"ThirdBlockUnanswered",
                                {.silentFrom = 4},
                                DownloadOutcome::NoHandshake,
                                3,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n-->>握手失败\r\n")},
                      FaultCase{"ThirdBlockAnsweredWithABadChecksum",
                                {.badChecksum = 4},
                                DownloadOutcome::NoHandshake,
                                3,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n-->>握手失败\r\n")},
                      FaultCase{"VerifyUnanswered",
                                {.silentFrom = 33},
                                DownloadOutcome::VerifyFailed,
                                0,
                                kVerifyFailed},
                      FaultCase{"VerifyReplyNotGood",
                                {.failVerify = true},
                                DownloadOutcome::VerifyFailed,
                                0,
                                kVerifyFailed},
                      FaultCase{"VerifyAnsweredByAPlainAcknowledgement",
                                {.plainAckVerify = true},
                                DownloadOutcome::VerifyFailed,
                                0,
                                kVerifyFailed},
                      FaultCase{"TwelveNoiseBytesBeforeEveryReply",
                                {.garbage = 12},
                                DownloadOutcome::Success,
                                0,
                                SuccessLog(31)},
                      FaultCase{"LineHangsUpAtTheSecondBlock",
                                {.hangUpAt = 3},
                                DownloadOutcome::NoHandshake,
                                2,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n->>握手失败\r\n")}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

// The waits are as long as designed, in virtual time: an unanswered request costs 500 cycles of
// a silent read (21 ms) and a delay of just over 1 ms, and takes no real time at all.
TEST(VirtualTime, UnansweredDownloadRunsItsFiveHundredCyclesInVirtualTime) {
    Rig rig(VirtualLineOptions{.faults = {.silentFrom = 1}});
    QElapsedTimer wall;
    wall.start();
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx).outcome, DownloadOutcome::NoHandshake);
    const qint64 wallMs = wall.elapsed();
    EXPECT_EQ(rig.log.text, QStringLiteral(">>读取文件\r\n>>握手失败\r\n"));
    EXPECT_GE(rig.clock.elapsedSeconds(), 11.0);
    EXPECT_LT(rig.clock.elapsedSeconds(), 13.0);
    EXPECT_EQ(rig.line->reads, 500);
    EXPECT_LT(wallMs, 500) << "the waits slept for real";
}

// A line known to be gone ends the wait at its first read instead of after all its cycles.
TEST(VirtualTime, LineThatHangsUpEndsTheWaitAtOnce) {
    Rig silent(VirtualLineOptions{.faults = {.silentFrom = 1}});
    Rig lost(VirtualLineOptions{.faults = {.hangUpAt = 1}});
    const int64_t startUs = lost.clock.nowUs();
    EXPECT_EQ(Fun_TimeSync(*silent.ctx), TimeSyncOutcome::NoReply);
    EXPECT_EQ(Fun_TimeSync(*lost.ctx), TimeSyncOutcome::NoReply);
    EXPECT_FALSE(silent.serial->port.status().lineLost);
    EXPECT_TRUE(lost.serial->port.status().lineLost);
    EXPECT_GT(silent.clock.nowUs() - startUs, 2'000'000);  // 100 cycles of a 21 ms read
    EXPECT_LT(lost.clock.nowUs() - startUs, 200'000);      // the settling, one read, the close
    lost.expectPortClosed();
}

// -- Time synchronisation --------------------------------------------------------------------

struct ClockCase {
    QDateTime now;
    const char* frame;
};

void PrintTo(const ClockCase& c, std::ostream* os) {
    *os << c.now.toString(Qt::ISODate).toStdString();
}

class TimeSyncFrame : public ::testing::TestWithParam<ClockCase> {};

TEST_P(TimeSyncFrame, SendsTheClockAndReportsTheConfirmationOnce) {
    // The local clock as read after the 100 ms settling wait: set it 101 ms early.
    Rig rig({}, GetParam().now.addMSecs(-101));
    int16_t portOpenWhileShown = kFalse;  // the box comes before the close
    rig.ui.onShow = [&] { portOpenWhileShown = rig.serial->session.PortOpen; };
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::Confirmed);
    EXPECT_EQ(rig.ui.shown, 1);
    EXPECT_EQ(portOpenWhileShown, kTrue);
    const std::vector<QByteArray>& frames = rig.line->frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames.front().toHex(' '), Hex(GetParam().frame).toHex(' '));
    EXPECT_TRUE(rig.log.text.isEmpty());
    rig.expectPortClosed();
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, TimeSyncFrame,
    ::testing::Values(
        ClockCase{QDateTime(QDate(2026, 12, 6), QTime(6, 30, 45)), "AA55787A000EC11A0C06061E2DA0"},
        ClockCase{QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)), "AA55787A000EC100010100000025"},
        ClockCase{QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)),
                  "AA55787A000EC1630C1F173B3B3E"}),
    [](const ::testing::TestParamInfo<ClockCase>& info) {
        return "Year" + std::to_string(info.param.now.date().year());
    });

TEST(TimeSync, NoReplyShowsNothingAndClosesThePort) {
    Rig rig(VirtualLineOptions{.faults = {.silentFrom = 1}});
    rig.serial->proto.FlagTimeAck = kTrue;  // left from an earlier confirmation: must not count
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::NoReply);
    EXPECT_EQ(rig.ui.shown, 0);
    EXPECT_EQ(rig.line->frames().size(), 1u);
    EXPECT_TRUE(rig.log.text.isEmpty());
    rig.expectPortClosed();
}

}  // namespace
