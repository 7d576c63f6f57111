// The download and the time synchronisation over the real serial stack and a real
// pseudo-terminal, with a peer on the other end that records every frame and answers like the
// controller (or stays silent).
#include "config/taskfile.h"
#include "device/transfer.h"
#include "serial/port_map.h"
#include "serial/qt_backend.h"
#include "support/emulator.h"
#include "support/pty.h"
#include "util/delay.h"
#include "util/keyvalue.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

// The controller's side of the line: collects frames and answers each with the literal reply.
class FramePeer {
  public:
    struct Behaviour {
        int silentFrom = 0;      // no answer from this frame on (1 = the first); 0 = always
        bool verifyGood = true;  // the verify reply's result byte: 66, else 00
    };

    FramePeer() : FramePeer(Behaviour{}) {}
    explicit FramePeer(Behaviour behaviour) : behaviour_(behaviour) {
        thread_ = std::thread([this] { run(); });
    }
    ~FramePeer() { stop(); }

    QString device() const { return pty_.slavePath(); }

    // Ends the peer (after the line has been quiet for a moment) and returns what it received.
    const std::vector<QByteArray>& stop() {
        if (thread_.joinable()) {
            running_ = false;
            thread_.join();
        }
        return frames_;
    }

  private:
    void run() {
        QByteArray pending;
        while (running_) {
            pending += pty_.receive(1, 5);
            takeFrames(pending);
        }
        pending += pty_.receive(1 << 20, 50);
        takeFrames(pending);
    }

    void takeFrames(QByteArray& pending) {
        for (;;) {
            const qsizetype start = pending.indexOf(Hex("AA55787A"));
            if (start < 0 || pending.size() - start < 6) {
                return;
            }
            pending.remove(0, start);
            const int length = uint8_t(pending[4]) * 256 + uint8_t(pending[5]);
            if (length < 8) {
                pending.remove(0, 1);
                continue;
            }
            if (pending.size() < length) {
                return;
            }
            frames_.push_back(pending.left(length));
            pending.remove(0, length);
            answer(uint8_t(frames_.back()[6]));
        }
    }

    void answer(uint8_t command) {
        if (behaviour_.silentFrom != 0 && int(frames_.size()) >= behaviour_.silentFrom) {
            return;
        }
        switch (command) {
            case 0x50:
                pty_.send(Hex("AA55787A000850AC"));
                break;
            case 0x51:
                pty_.send(Hex("AA55787A000851AD"));
                break;
            case 0x52:
                pty_.send(behaviour_.verifyGood ? Hex("AA55787A0009526615")
                                                : Hex("AA55787A00095200AF"));
                break;
            case 0xC1:
                pty_.send(Hex("AA55787A0008C11D"));
                break;
            default:
                break;
        }
    }

    Behaviour behaviour_;
    PseudoTerminal pty_;
    std::atomic<bool> running_{true};
    std::vector<QByteArray> frames_;
    std::thread thread_;
};

class TextLog : public LogSink {
  public:
    void append(const QString& text) override {
        this->text += text;
        if (onAppend) {
            onAppend(text);
        }
    }
    QString text;
    std::function<void(const QString&)> onAppend;
};

class CountingUi : public TransferUi {
  public:
    void showTimeSyncSuccess() override {
        ++shown;
        if (onShow) {
            onShow();
        }
    }
    int shown = 0;
    std::function<void()> onShow;
};

// The serial stack as the window builds it; port 7 is mapped onto the peer's line.
struct Rig {
    explicit Rig(const QString& device) {
        process.SystemIniPath = dir.filePath(QStringLiteral("system.ini"));
        WriteKeyValue(process.SystemIniPath, QStringLiteral("COM7"), device);
        WriteKeyValue(process.SystemIniPath, QStringLiteral("串口"), QStringLiteral("7"));
        backend = MakeQtSerialBackend(PortMap(process.SystemIniPath));
        port = std::make_unique<PortLayer>(*backend, [] { PumpEvents(); });
        session = std::make_unique<SerialForm>(process, *port);
        WireReceiver(*session, proto);
        session->Fun_初始化();
        ctx.reset(new TransferContext{process, config, proto, *session, *port,
                                      TaskFilePath(dir.path()), log, &ui});
    }
    QString file(const QString& name) const { return dir.filePath(name); }
    void expectPortClosed() const {
        EXPECT_EQ(port->PortHandle, 0);
        EXPECT_EQ(session->PortOpen, kFalse);
    }

    QTemporaryDir dir;
    ProcessState process;
    ConfigTables config;
    ProtocolState proto;
    std::unique_ptr<SerialBackend> backend;
    std::unique_ptr<PortLayer> port;
    std::unique_ptr<SerialForm> session;
    TextLog log;
    CountingUi ui;
    std::unique_ptr<TransferContext> ctx;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Counting(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) {
        bytes[i] = char(i % 256);
    }
    return bytes;
}

bool ChecksumOk(const QByteArray& frame) {
    int sum = 0x54;
    for (qsizetype i = 4; i < frame.size() - 1; ++i) {
        sum += uint8_t(frame[i]);
    }
    return uint8_t(sum) == uint8_t(frame.back());
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
    FramePeer peer;
    Rig rig(peer.device());
    const QByteArray file = Counting(c.length);
    WriteFile(rig.file(QStringLiteral("image.bin")), file);

    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(QStringLiteral("image.bin"))),
              DownloadOutcome::Success);
    const std::vector<QByteArray> frames = peer.stop();

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
    FramePeer peer;
    Rig rig(peer.device());
    WriteFile(rig.file(QStringLiteral("ff.bin")), QByteArray(300, char(0xFF)));
    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(QStringLiteral("ff.bin"))),
              DownloadOutcome::Success);
    const std::vector<QByteArray> frames = peer.stop();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().toHex(' '), Hex("AA55787A000C50012C2AD4DB").toHex(' '));
}

// -- Stops before anything is sent ----------------------------------------------------------

TEST(DownloadFile, EmptyOrMissingFileSendsNothing) {
    FramePeer peer;
    Rig rig(peer.device());
    WriteFile(rig.file(QStringLiteral("empty.bin")), QByteArray());
    for (const QString& name : {QStringLiteral("empty.bin"), QStringLiteral("absent.bin")}) {
        rig.log.text.clear();
        EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(name)), DownloadOutcome::FileMissing);
        EXPECT_EQ(rig.log.text, QStringLiteral(">>读取文件\r\n>>文件不存在！！！\r\n"))
            << name.toStdString();
        rig.expectPortClosed();
    }
    EXPECT_TRUE(peer.stop().empty());
}

// An unanswered verify fails, whatever an earlier download left in the verify flag.
TEST(DownloadFile, UnansweredVerifyFails) {
    FramePeer peer(FramePeer::Behaviour{.silentFrom = 3});  // request, one block, verify
    Rig rig(peer.device());
    WriteFile(rig.file(QStringLiteral("small.bin")), Counting(100));
    rig.proto.FlagVerifyOk = kTrue;
    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.file(QStringLiteral("small.bin"))),
              DownloadOutcome::VerifyFailed);
    EXPECT_EQ(rig.log.text,
              QStringLiteral(">>读取文件\r\n>>握手成功\r\n-\r\n校验中...\r\n>>校验失败\r\n"));
    EXPECT_EQ(peer.stop().size(), 3u);
    rig.expectPortClosed();
}

// The download saves right before it reads, so the file can only be empty or gone when
// something else removes it in between: the log line's event pump is where that can happen.
TEST(DownloadParams, FileEmptiedOrRemovedAfterTheSave) {
    for (const bool remove : {false, true}) {
        FramePeer peer;
        Rig rig(peer.device());
        const QString path = rig.ctx->taskFilePath;
        rig.log.onAppend = [&](const QString& text) {
            if (text == QStringLiteral(">>读取文件")) {
                ASSERT_EQ(QFileInfo(path).size(), kTaskFileSize);
                remove ? (void)QFile::remove(path) : WriteFile(path, QByteArray());
            }
        };
        EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::FileMissing);
        EXPECT_EQ(rig.log.text, QStringLiteral(">>读取文件\r\n>>文件不存在！！！\r\n"));
        EXPECT_TRUE(peer.stop().empty());
        rig.expectPortClosed();
    }
}

TEST(DownloadParams, FailedSaveStopsWithTheReasonAndSendsNothing) {
    FramePeer peer;
    Rig rig(peer.device());
    ASSERT_TRUE(QDir(rig.dir.path()).mkdir(QStringLiteral("TASK.M45")));  // a directory in the way
    const QStringList paths{rig.file(QStringLiteral("no-such-dir/TASK.M45")),
                            rig.file(QStringLiteral("TASK.M45"))};
    for (const QString& path : paths) {
        rig.log.text.clear();
        rig.ctx->taskFilePath = path;
        EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::SaveFailed);
        const QString head = QStringLiteral(">>保存失败: ") + path + QStringLiteral(": ");
        EXPECT_TRUE(rig.log.text.startsWith(head)) << rig.log.text.toStdString();
        EXPECT_GT(rig.log.text.size(), head.size() + 2) << "the reason is missing";
        EXPECT_TRUE(rig.log.text.endsWith(QStringLiteral("\r\n")));
        EXPECT_EQ(rig.log.text.count(QStringLiteral("\r\n")), 1);
        rig.expectPortClosed();
    }
    EXPECT_TRUE(peer.stop().empty());
}

TEST(Transfers, RefusedWhileAnotherRuns) {
    FramePeer peer;
    Rig rig(peer.device());
    rig.ctx->busy = true;
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::Busy);
    EXPECT_EQ(Fun_DownloadFile(*rig.ctx, rig.ctx->taskFilePath), DownloadOutcome::Busy);
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::Busy);
    EXPECT_TRUE(rig.ctx->busy);
    EXPECT_TRUE(rig.log.text.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(rig.ctx->taskFilePath)) << "a refused download saved";
    EXPECT_EQ(rig.ui.shown, 0);
    EXPECT_TRUE(peer.stop().empty());
    rig.expectPortClosed();
}

// A second click arrives through the event pump of a running download.
TEST(Transfers, SecondStartDuringADownloadBouncesOff) {
    FramePeer peer;
    Rig rig(peer.device());
    std::vector<int> nested;
    rig.log.onAppend = [&](const QString& text) {
        if (text == QStringLiteral("-") && nested.empty()) {
            nested.push_back(int(Fun_DownloadParams(*rig.ctx)));
            nested.push_back(int(Fun_TimeSync(*rig.ctx)));
        }
    };
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::Success);
    EXPECT_EQ(nested, (std::vector<int>{int(DownloadOutcome::Busy), int(TimeSyncOutcome::Busy)}));
    EXPECT_EQ(rig.log.text, SuccessLog(31));
    EXPECT_EQ(peer.stop().size(), 1u + 31u + 1u);
    EXPECT_FALSE(rig.ctx->busy);
    rig.expectPortClosed();
}

// -- Exit requested between blocks ----------------------------------------------------------

class DownloadExit : public ::testing::TestWithParam<int> {};

TEST_P(DownloadExit, StopsAfterTheBlockInFlight) {
    const int atBlock = GetParam();
    FramePeer peer;
    Rig rig(peer.device());
    int dashes = 0;
    rig.log.onAppend = [&](const QString& text) {
        if (text == QStringLiteral("-") && ++dashes == atBlock) {
            rig.process.ExitRequested = kTrue;
        }
    };
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::Aborted);
    EXPECT_EQ(rig.log.text,
              QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(atBlock, u'-'));
    const std::vector<QByteArray> frames = peer.stop();
    ASSERT_EQ(int(frames.size()), 1 + atBlock);
    EXPECT_EQ(uint8_t(frames.back()[6]), 0x51);
    rig.expectPortClosed();
}

INSTANTIATE_TEST_SUITE_P(Blocks, DownloadExit, ::testing::Values(1, 2, 31));

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
    FramePeer peer;
    Rig rig(peer.device());
    const QDateTime now = GetParam().now;
    rig.ctx->now = [now] { return now; };
    int16_t portOpenWhileShown = kFalse;  // the box comes before the close
    rig.ui.onShow = [&] { portOpenWhileShown = rig.session->PortOpen; };
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::Confirmed);
    EXPECT_EQ(rig.ui.shown, 1);
    EXPECT_EQ(portOpenWhileShown, kTrue);
    const std::vector<QByteArray> frames = peer.stop();
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
    FramePeer peer(FramePeer::Behaviour{.silentFrom = 1});
    Rig rig(peer.device());
    rig.proto.FlagTimeAck = kTrue;  // left from an earlier confirmation: must not count
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::NoReply);
    EXPECT_EQ(rig.ui.shown, 0);
    EXPECT_EQ(peer.stop().size(), 1u);
    EXPECT_TRUE(rig.log.text.isEmpty());
    rig.expectPortClosed();
}

// -- End to end against the controller emulator --------------------------------------------

QString RandomRemark(std::mt19937& rng) {
    QString text;
    const int units = std::uniform_int_distribution<int>(0, 24)(rng);
    for (int i = 0; i < units; ++i) {
        const bool cjk = std::bernoulli_distribution(0.5)(rng);
        text += QChar(cjk ? std::uniform_int_distribution<int>(0x4E00, 0x9FA5)(rng)
                          : std::uniform_int_distribution<int>(0x20, 0x7E)(rng));
    }
    return text;
}

ConfigTables RandomConfig(uint32_t seed) {
    std::mt19937 rng(seed);
    auto byte = [&rng](int lo, int hi) {
        return uint8_t(std::uniform_int_distribution<int>(lo, hi)(rng));
    };
    ConfigTables c;
    for (int m = 1; m <= kMachines; ++m) {
        c.MachineIp[m] = byte(0, 254);
    }
    for (int z = 1; z <= kZones; ++z) {
        c.ZoneRemark[z] = RandomRemark(rng);
        for (int t = 1; t <= kSlots; ++t) {
            c.TaskHour[z][t] = byte(0, 24);
            c.TaskMinute[z][t] = byte(0, 60);
            c.TaskScene[z][t] = byte(0, 30);
        }
        for (int m = 1; m <= kMachines; ++m) {
            c.ZoneUsesMachine[z][m] = byte(0, 1);
        }
    }
    for (int t = 1; t <= kSlots; ++t) {
        c.TaskRemark[t] = RandomRemark(rng);
    }
    return c;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The received image is what the window shows: the stale file on disk is replaced by the save.
TEST(DownloadEndToEnd, ControllerReceivesTheSavedTaskFileByteForByte) {
    const uint32_t seed = std::random_device{}();
    SCOPED_TRACE(::testing::Message() << "configuration seed " << seed);
    QTemporaryDir out;
    const QString received = out.filePath(QStringLiteral("received.bin"));
    EmulatorProcess emu({QStringLiteral("--no-pacing"), QStringLiteral("--save"), received});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Rig rig(emu.devicePath());
    ASSERT_TRUE(SaveTaskFile(ConfigTables{}, rig.ctx->taskFilePath).ok);  // stale
    rig.config = RandomConfig(seed);

    EXPECT_EQ(Fun_DownloadParams(*rig.ctx), DownloadOutcome::Success);
    EXPECT_EQ(rig.log.text, SuccessLog(31));
    const QByteArray file = ReadAll(rig.ctx->taskFilePath);
    ASSERT_EQ(file.size(), kTaskFileSize);
    EXPECT_EQ(file, BuildTaskImage(rig.config));
    ASSERT_TRUE(emu.waitForOutput(QStringLiteral("verify: good"), 5000))
        << emu.output().toStdString();
    EXPECT_EQ(ReadAll(received), file);
    EXPECT_TRUE(emu.output().contains(QStringLiteral("download request: length 15742")));
    rig.expectPortClosed();
}

struct FaultCase {
    const char* name;
    QStringList options;
    DownloadOutcome outcome;
    QString log;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class DownloadFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(DownloadFault, EndsWithTheFailureLine) {
    EmulatorProcess emu(QStringList{QStringLiteral("--no-pacing")} + GetParam().options);
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Rig rig(emu.devicePath());
    rig.config = RandomConfig(7);
    rig.proto.FlagVerifyOk = kTrue;  // the verdict of an earlier download never counts again
    EXPECT_EQ(Fun_DownloadParams(*rig.ctx), GetParam().outcome);
    EXPECT_EQ(rig.log.text, GetParam().log);
    rig.expectPortClosed();
}

// Frame 4 is the third block (after the request and two blocks). Its wait runs out after
// 500 polls of about 21 ms each: this case takes some 11 seconds.
INSTANTIATE_TEST_SUITE_P(
    Emulator, DownloadFault,
    ::testing::Values(FaultCase{"ThirdBlockUnanswered",
                                {QStringLiteral("--silent-from"), QStringLiteral("4")},
                                DownloadOutcome::NoHandshake,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n-->>握手失败\r\n")},
                      FaultCase{"VerifyReplyNotGood",
                                {QStringLiteral("--fail-verify")},
                                DownloadOutcome::VerifyFailed,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                                    QStringLiteral("\r\n校验中...\r\n>>校验失败\r\n")},
                      FaultCase{"VerifyAnsweredByAPlainAcknowledgement",
                                {QStringLiteral("--plain-ack-verify")},
                                DownloadOutcome::VerifyFailed,
                                QStringLiteral(">>读取文件\r\n>>握手成功\r\n") + QString(31, u'-') +
                                    QStringLiteral("\r\n校验中...\r\n>>校验失败\r\n")},
                      // Noise before every reply (AA 55 00 ...): each reply is still taken.
                      FaultCase{"GarbageBeforeEveryReply",
                                {QStringLiteral("--garbage"), QStringLiteral("3")},
                                DownloadOutcome::Success,
                                SuccessLog(31)}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST(TimeSyncEndToEnd, ControllerTakesTheClock) {
    EmulatorProcess emu({QStringLiteral("--no-pacing")});
    ASSERT_TRUE(emu.ok()) << emu.error().toStdString();
    Rig rig(emu.devicePath());
    rig.ctx->now = [] { return QDateTime(QDate(2026, 12, 6), QTime(6, 30, 45)); };
    EXPECT_EQ(Fun_TimeSync(*rig.ctx), TimeSyncOutcome::Confirmed);
    EXPECT_EQ(rig.ui.shown, 1);
    EXPECT_TRUE(emu.waitForOutput(QStringLiteral("set time: 2026-12-06 06:30:45"), 5000))
        << emu.output().toStdString();
    rig.expectPortClosed();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
