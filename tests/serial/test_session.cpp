// The serial session: its rules for the receive buffer, the counter, silence and waiting on an
// in-memory line; its port memory, opening and closing on real pseudo-terminals.

#include "serial/port_map.h"
#include "serial/system_backend.h"
#include "serial/session.h"
#include "support/pty.h"
#include "support/virtual_line.h"
#include "util/delay.h"

#include "support/serial_doubles.h"

#include <QElapsedTimer>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>
#include <deque>
#include <memory>
#include <set>

namespace {

// Opens the port below the session, leaving the session's timer alone.
void OpenLine(PortLayer& port, int16_t number) {
    QString baud = "115200", size = "8", stop = "0", parity = "0";
    port.Fun_OpenPort(number, baud, size, stop, parity);
}

// The session on the in-memory line (ports 1, 2 and 4, bytes delivered by hand, nothing
// answering) and a virtual clock: no test here waits for real time.
class SessionLogicTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        process.SystemIniPath = dir.filePath("system.ini");
        form.setReceiver(RxCount, RxBuff, [this] {
            ++parses;
            if (onParse)
                onParse();
        });
    }

    QTemporaryDir dir;
    ProcessState process;
    VirtualClock clock;
    VirtualLine line{clock, VirtualLineOptions{.controller = false, .ports = {1, 2, 4}}};
    PortLayer port{line, clock};
    Form串口 form{process, port, clock};
    RxBuffer RxBuff{};
    int32_t RxCount = 0;
    int parses = 0;
    std::function<void()> onParse;
};

TEST_F(SessionLogicTest, BytesAreStoredUntilTheBufferIsFullThenStoringRestartsAtZero) {
    const struct {
        int32_t countBefore;
        QByteArray bytes;
        int32_t countAtParse;
        std::vector<std::pair<int, uint8_t>> stored;  // index, value
    } rows[] = {
        {0, QByteArray("\xAA\x55\x78", 3), 3, {{0, 0xAA}, {1, 0x55}, {2, 0x78}}},
        {1999, QByteArray("\x11\x22\x33", 3), 1, {{1999, 0x11}, {0, 0x33}}},
        {2000, QByteArray("\x44\x55", 2), 1, {{0, 0x55}}},
        {-7, QByteArray("\x66\x77", 2), 1, {{0, 0x77}}},  // a corrupted count writes nothing
    };
    for (const auto& row : rows) {
        RxBuff.fill(0);
        RxCount = row.countBefore;
        form.ReceivedCount = 0;
        parses = 0;
        int32_t countAtParse = -1;
        onParse = [&] { countAtParse = RxCount; };
        OpenLine(port, 1);
        line.deliver(row.bytes);
        form.TimerTick();
        EXPECT_EQ(parses, 1) << row.countBefore;
        EXPECT_EQ(countAtParse, row.countAtParse) << row.countBefore;
        EXPECT_EQ(form.ReceivedCount, row.bytes.size()) << row.countBefore;
        for (const auto& [index, value] : row.stored) {
            EXPECT_EQ(RxBuff[size_t(index)], value) << row.countBefore << " index " << index;
        }
        EXPECT_EQ(RxBuff[2000], 0) << row.countBefore;
    }
}

TEST_F(SessionLogicTest, ReceivedByteCounterWrapsAfter100000) {
    OpenLine(port, 1);
    const struct {
        int32_t before;
        int bytes;
        int32_t after;
        QString label;
    } rows[] = {
        {1999, 3, 2002, "2002"},
        {99999, 1, 100000, "100000"},
        {100000, 1, 0, "0"},
        {99999, 3, 1, "1"},
    };
    for (const auto& row : rows) {
        form.ReceivedCount = row.before;
        line.deliver(QByteArray(row.bytes, '\x5A'));
        form.TimerTick();
        EXPECT_EQ(form.ReceivedCount, row.after) << row.before << "+" << row.bytes;
        EXPECT_EQ(form.Label接收count(), row.label);
    }
}

TEST_F(SessionLogicTest, HundredPollsWithoutBytesDiscardAPartialFrame) {
    OpenLine(port, 1);
    line.deliver(QByteArray("\xAA\x55", 2));
    form.TimerTick();
    ASSERT_EQ(RxCount, 2);
    EXPECT_EQ(form.IdlePolls, 1);
    EXPECT_EQ(parses, 1);
    for (int poll = 1; poll <= 99; ++poll) {
        form.TimerTick();
    }
    EXPECT_EQ(RxCount, 2);
    EXPECT_EQ(form.IdlePolls, 100);
    EXPECT_EQ(parses, 1);  // a poll without bytes does not run the parser
    form.TimerTick();
    EXPECT_EQ(RxCount, 0);

    // Every further silent poll empties the buffer again; bytes restart the count.
    RxCount = 5;
    form.TimerTick();
    EXPECT_EQ(RxCount, 0);
    line.deliver(QByteArray("\x01", 1));
    form.TimerTick();
    EXPECT_EQ(RxCount, 1);
    EXPECT_EQ(form.IdlePolls, 1);
}

TEST_F(SessionLogicTest, WaitForAFlagPollsOncePerCycle) {
    OpenLine(port, 1);
    const struct {
        int16_t flagBefore;
        int32_t cycles;
        int setOnParse;  // the parse that sets the flag (0 = never)
        int chunks;      // polls that bring a byte
        bool result;
        int polls;
    } rows[] = {
        {kFalse, 0, 0, 0, false, 0}, {kTrue, 0, 0, 0, false, 0},  {kTrue, 5, 0, 0, true, 1},
        {kFalse, 5, 3, 5, true, 3},  {kFalse, 4, 0, 0, false, 4}, {kFalse, 4, 9, 4, false, 4},
    };
    for (const auto& row : rows) {
        int16_t flag = row.flagBefore;
        line.reads = 0;
        for (int i = 0; i < row.chunks; ++i)  // one byte every 5 ms: one per poll
            line.deliver(QByteArray(1, '\x42'), 5 * i);
        parses = 0;
        onParse = [&] {
            if (parses == row.setOnParse)
                flag = kTrue;
        };
        EXPECT_EQ(form.Fun_串口接收delay(flag, row.cycles), row.result) << row.cycles;
        EXPECT_EQ(line.reads, row.polls) << row.cycles;
        clock.advanceTo(clock.nowUs() + 100'000);  // what a row left undelivered has come
        form.TimerTick();
    }
}

TEST_F(SessionLogicTest, TimerIsOffDuringAPollAndStaysOffWhenThePollClosedThePort) {
    form.PortNumber = 1;
    form.Fun_强制打开串口();
    ASSERT_TRUE(form.Timer串口接收.isActive());
    ASSERT_EQ(form.Timer串口接收.interval(), 10);

    bool activeDuringPoll = true;
    onParse = [&] { activeDuringPoll = form.Timer串口接收.isActive(); };
    line.deliver(QByteArray("\x01", 1));
    form.TimerTick();
    EXPECT_FALSE(activeDuringPoll);
    EXPECT_TRUE(form.Timer串口接收.isActive());
    EXPECT_EQ(form.Timer串口接收.interval(), 10);

    onParse = [&] { form.Fun_关闭串口(); };  // e.g. a transfer ending inside the poll's pump
    line.deliver(QByteArray("\x02", 1));
    form.TimerTick();
    EXPECT_FALSE(form.Timer串口接收.isActive());
    EXPECT_EQ(form.PortOpen, kFalse);
}

TEST_F(SessionLogicTest, OpenOnlyWhenClosedForcedOpenAlwaysReopens) {
    form.PortNumber = 4;
    form.Fun_打开串口();
    ASSERT_EQ(line.opened, std::vector<int32_t>({4}));
    EXPECT_EQ(form.PortOpen, kTrue);
    const int32_t first = port.PortHandle;

    form.Fun_打开串口();
    EXPECT_EQ(line.opened.size(), 1u);
    EXPECT_TRUE(line.closed.empty());

    form.Fun_强制打开串口();
    EXPECT_EQ(line.opened, std::vector<int32_t>({4, 4}));
    EXPECT_EQ(line.closed, std::vector<int32_t>({first}));
    EXPECT_NE(port.PortHandle, first);
    EXPECT_GT(port.PortHandle, 0);
}

TEST_F(SessionLogicTest, PortThatDoesNotOpenStillCountsAsOpen) {
    form.PortNumber = 6;  // not a port of the line
    form.Fun_强制打开串口();
    EXPECT_EQ(form.PortOpen, kTrue);
    EXPECT_EQ(port.PortHandle, 0);
    EXPECT_TRUE(form.Timer串口接收.isActive());
    form.TimerTick();  // reads nothing
    EXPECT_EQ(line.reads, 0);
}

TEST_F(SessionLogicTest, RememberedNumberBeyond16BitsIsNeverOpened) {
    ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, "串口=70000\r\n"));
    RecordingSelector selector;
    form.Load([&]() -> PortSelector& { return selector; });
    EXPECT_EQ(selector.current, "70000");
    EXPECT_EQ(form.PortNumber, 70000);

    form.PortNumber = 2;
    form.Fun_强制打开串口();
    ASSERT_GT(port.PortHandle, 0);
    const size_t opensBefore = line.opened.size();
    form.PortNumber = 70000;
    form.Fun_强制打开串口();
    EXPECT_EQ(line.opened.size(), opensBefore);  // 70000 as 16 bits would be port 4464
    EXPECT_EQ(port.PortHandle, 0);               // the port open before was closed
    EXPECT_EQ(form.PortOpen, kTrue);
    EXPECT_TRUE(form.Timer串口接收.isActive());
}

TEST_F(SessionLogicTest, RememberedValueThatIsNoNumberGivesPortZero) {
    for (const QByteArray& file : {QByteArray("串口=\r\n"), QByteArray("串口=COM3\r\n"),
                                   QByteArray("串口=99999999999\r\n"), QByteArray("串口3\r\n")}) {
        ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, file));
        RecordingSelector selector;
        form.PortNumber = 9;
        form.Load([&]() -> PortSelector& { return selector; });
        EXPECT_EQ(selector.current, "0") << file.constData();
        EXPECT_EQ(form.PortNumber, 0) << file.constData();
    }
}

TEST_F(SessionLogicTest, CloseWhileClosedReturnsAtOnceCloseWhileOpenPumpsAndCloses) {
    int pumps = clock.pumps;
    const int64_t before = clock.nowUs();
    form.Fun_关闭串口();
    EXPECT_EQ(clock.pumps, pumps);
    EXPECT_EQ(clock.nowUs(), before);
    EXPECT_TRUE(line.closed.empty());

    form.PortNumber = 1;
    form.Fun_强制打开串口();
    pumps = clock.pumps;
    const uint32_t closing = clock.timeGetTime();
    form.Fun_关闭串口();
    EXPECT_GT(clock.pumps, pumps);  // the 20 ms settling wait keeps events running
    EXPECT_GT(clock.timeGetTime() - closing, 20u);
    EXPECT_EQ(line.closed.size(), 1u);
    EXPECT_EQ(port.PortHandle, 0);
    EXPECT_EQ(form.PortOpen, kFalse);
    EXPECT_FALSE(form.Timer串口接收.isActive());
    EXPECT_EQ(form.Timer串口接收.interval(), 0);
}

TEST_F(SessionLogicTest, CloseRequestClosesThePortRequestsTheExitAndRefuses) {
    form.PortNumber = 1;
    form.Fun_强制打开串口();
    int cancel = 0;
    form.CloseRequest(cancel);
    EXPECT_EQ(cancel, 1);
    EXPECT_EQ(process.ExitRequested, kTrue);
    EXPECT_EQ(form.PortOpen, kFalse);
    EXPECT_EQ(port.PortHandle, 0);
    EXPECT_FALSE(form.Timer串口接收.isActive());
}

// The session on real pseudo-terminals, mapped onto port numbers by the settings file.
class SessionPtyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(ptyA.ok() && ptyB.ok());
        process.SystemIniPath = dir.filePath("system.ini");
    }

    void Start(const QString& mapFile) {
        backend = MakeSystemSerialBackend(PortMap(mapFile));
        port = std::make_unique<PortLayer>(*backend, clock);
        form = std::make_unique<Form串口>(process, *port, clock);
        form->setReceiver(RxCount, RxBuff, [this] { ++parses; });
        form->Load([this]() -> PortSelector& { return selector; });
    }

    QByteArray Mapping() const {
        return "COM1=" + ptyA.slavePath().toUtf8() + "\r\nCOM3=" + dir.filePath("absent").toUtf8() +
               "\r\nCOM4=" + ptyB.slavePath().toUtf8() + "\r\n";
    }

    QTemporaryDir dir;
    PseudoTerminal ptyA, ptyB;
    ProcessState process;
    RecordingSelector selector;
    std::unique_ptr<SerialBackend> backend;
    std::unique_ptr<PortLayer> port;
    SystemClock clock;
    std::unique_ptr<Form串口> form;
    RxBuffer RxBuff{};
    int32_t RxCount = 0;
    int parses = 0;
};

TEST_F(SessionPtyTest, RememberedPortThatIsAbsentIsShownButNotListed) {
    ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, "串口=3\r\n" + Mapping()));
    Start(process.SystemIniPath);
    EXPECT_EQ(selector.items, QStringList({"1", "4"}));
    EXPECT_EQ(selector.current, "3");
    EXPECT_EQ(form->PortNumber, 3);
}

TEST_F(SessionPtyTest, NoSettingsFileGivesPortZeroAndCreatesNoFile) {
    const QString mapFile = dir.filePath("ports.ini");
    ASSERT_TRUE(WriteFileBytes(mapFile, Mapping()));
    Start(mapFile);
    EXPECT_EQ(selector.items, QStringList({"1", "4"}));
    EXPECT_EQ(selector.current, "0");
    EXPECT_EQ(form->PortNumber, 0);
    EXPECT_FALSE(QFile::exists(process.SystemIniPath));
}

TEST_F(SessionPtyTest, PickingAPortRemembersItAndLeavesTheOpenPortAlone) {
    const QByteArray mapping = Mapping();
    ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, mapping + "串口=3\r\nX=1"));
    Start(process.SystemIniPath);
    int32_t uart = 1;
    selector.current = "1";
    form->Fun_串口选择(uart);
    form->Fun_强制打开串口();
    const int32_t handle = port->PortHandle;
    ASSERT_GT(handle, 0);

    selector.current = "5";
    uart = 5;
    form->Fun_串口选择(uart);
    EXPECT_EQ(form->PortNumber, 5);
    EXPECT_EQ(ReadFileBytes(process.SystemIniPath), mapping + "串口=5\r\nX=1\r\n");
    EXPECT_EQ(port->PortHandle, handle);
    EXPECT_EQ(form->PortOpen, kTrue);

    // Still the same line: bytes sent now arrive through the open port.
    ptyA.send(QByteArray("\xC1\x02", 2));
    QElapsedTimer clock;
    clock.start();
    while (RxCount < 2 && clock.elapsed() < 3000)
        Fun_DelayMs(5);
    EXPECT_EQ(RxCount, 2);
    EXPECT_EQ(RxBuff[0], 0xC1);
    EXPECT_EQ(RxBuff[1], 0x02);
}

TEST_F(SessionPtyTest, TimerPollsEveryTenMillisecondsWhileOpen) {
    ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, Mapping() + "串口=1\r\n"));
    Start(process.SystemIniPath);
    form->Fun_强制打开串口();
    EXPECT_EQ(form->Timer串口接收.interval(), 10);
    EXPECT_TRUE(form->Timer串口接收.isActive());
    ptyA.send(QByteArray("\x10\x20\x30", 3));
    QElapsedTimer waited;
    waited.start();
    while (RxCount < 3 && waited.elapsed() < 3000)
        Fun_DelayMs(5);  // the event loop runs: only the timer polls
    EXPECT_EQ(RxCount, 3);
    EXPECT_EQ(RxBuff[2], 0x30);

    form->Fun_关闭串口();
    EXPECT_FALSE(form->Timer串口接收.isActive());
    ptyA.send(QByteArray("\x40", 1));
    Fun_DelayMs(100);
    EXPECT_EQ(RxCount, 3);
}

TEST_F(SessionPtyTest, TransferCycleOpensPollsAndReleasesThePort) {
    ASSERT_TRUE(WriteFileBytes(process.SystemIniPath, Mapping() + "串口=4\r\n"));
    Start(process.SystemIniPath);
    form->Fun_强制打开串口();
    ASSERT_GT(port->PortHandle, 0);
    EXPECT_FALSE(QSerialPort(ptyB.slavePath()).open(QIODevice::ReadWrite));

    port->Fun_SendHex("AA 55 78 7A 00 08 50 AC");
    EXPECT_EQ(ptyB.receive(8, 2000), QByteArray("\xAA\x55\x78\x7A\x00\x08\x50\xAC", 8));

    // The peer answers; the wait sees the flag set by the parser within a few cycles.
    int16_t flag = kFalse;
    form->setReceiver(RxCount, RxBuff, [&] {
        if (RxCount >= 8)
            flag = kTrue;
    });
    ptyB.send(QByteArray("\xAA\x55\x78\x7A\x00\x08\x50\xAC", 8));
    EXPECT_TRUE(form->Fun_串口接收delay(flag, 100));
    EXPECT_EQ(form->ReceivedCount, 8);

    form->Fun_关闭串口();
    EXPECT_EQ(port->PortHandle, 0);
    EXPECT_TRUE(QSerialPort(ptyB.slavePath()).open(QIODevice::ReadWrite));
}

}  // namespace
