// The port layer over Qt Serial Port, on real pseudo-terminals that the settings file maps onto
// port numbers.

#include "serial/port_layer.h"
#include "serial/port_map.h"
#include "serial/system_backend.h"
#include "support/emulator.h"
#include "support/pty.h"
#include "util/delay.h"

#include "support/serial_doubles.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTextStream>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

namespace {

class PortLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(ptyA.ok() && ptyB.ok() && ptyC.ok());
    }

    // Port n opens ports[n]; every other number of 1..30 names a device that does not exist, so
    // the test does not depend on the serial hardware of the machine it runs on.
    void Map(const std::map<int, QString>& ports) {
        QByteArray lines = "串口=1\r\n";
        for (int n = kFirstPort; n <= kLastPort; ++n) {
            const auto it = ports.find(n);
            const QString path = it != ports.end() ? it->second : dir.filePath("absent");
            lines += "COM" + QByteArray::number(n) + "=" + path.toUtf8() + "\r\n";
        }
        ASSERT_TRUE(WriteFileBytes(settings, lines));
        backend = MakeSystemSerialBackend(PortMap(settings));
        layer = std::make_unique<PortLayer>(*backend, clock);
    }

    bool Open(int16_t number) {
        QString baud = "115200", size = "8", stop = "0", parity = "0";
        return layer->Fun_OpenPort(number, baud, size, stop, parity);
    }

    QTemporaryDir dir;
    QString settings = dir.filePath("system.ini");
    PseudoTerminal ptyA, ptyB, ptyC;
    SystemClock clock;
    std::unique_ptr<SerialBackend> backend;
    std::unique_ptr<PortLayer> layer;
};

// Whether a second, independent opener gets the device: true once this program let go of it.
bool OthersCanOpen(const QString& path) {
    QSerialPort other(path);
    return other.open(QIODevice::ReadWrite);
}

TEST_F(PortLayerTest, ReadWithNothingPendingReturnsEmptyAfterAbout21Ms) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(layer->Fun_ReceiveHex(), QString());
    EXPECT_GE(clock.elapsed(), 15);
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(PortLayerTest, PendingBytesComeAtMostTwentyPerRead) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    QByteArray sent;
    for (int i = 0; i < 25; ++i)
        sent += char(0xE0 + i);
    ptyA.send(sent);
    EXPECT_EQ(layer->Fun_ReadHex(), ReceivedText(sent.left(20)));
    EXPECT_EQ(layer->Fun_ReadHex(), ReceivedText(sent.mid(20)));
    EXPECT_EQ(layer->Fun_ReadHex(), QString());
}

// A read ends about 1 ms after the bytes stop coming, not at its 21 ms limit: a 12 ms pause on
// the line ends it, and what follows the pause comes with a later read.
TEST_F(PortLayerTest, APauseOnTheLineEndsTheRead) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    const QByteArray first = QByteArray::fromHex("0102030405");
    const QByteArray second = QByteArray::fromHex("A1A2A3A4A5");
    std::thread line([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ptyA.send(first);
        std::this_thread::sleep_for(std::chrono::milliseconds(12));
        ptyA.send(second);
    });
    QString read = layer->Fun_ReadHex();
    for (int i = 0; i < 20 && read.isEmpty(); ++i) {
        read = layer->Fun_ReadHex();  // until the first bytes are there
    }
    EXPECT_EQ(read, ReceivedText(first));
    QString rest;
    for (int i = 0; i < 50 && rest.size() < ReceivedText(second).size(); ++i) {
        rest += layer->Fun_ReadHex();
    }
    line.join();
    EXPECT_EQ(rest, ReceivedText(second));
}

TEST_F(PortLayerTest, ReceivedBytesBecomeTwoDigitsAndASpace) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    const struct {
        QByteArray bytes;
        QString text;
    } rows[] = {
        {QByteArray("\x05", 1), "05 "},
        {QByteArray("\xAB", 1), "AB "},
        {QByteArray("\x00\x1A\xFF", 3), "00 1A FF "},
    };
    for (const auto& row : rows) {
        ptyA.send(row.bytes);
        EXPECT_EQ(layer->Fun_ReadHex(), row.text);
    }
}

TEST_F(PortLayerTest, AllByteValuesPassUntranslatedBothWays) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += char(i);

    ptyA.send(all);
    QString received;
    for (int reads = 0; reads < 40 && received.size() < 3 * 256; ++reads) {
        const QString chunk = layer->Fun_ReadHex();
        EXPECT_LE(chunk.size(), 3 * 20);
        received += chunk;
    }
    EXPECT_EQ(received, ReceivedText(all));

    layer->Fun_SendHex(QString::fromLatin1(all.toHex(' ')));
    EXPECT_EQ(ptyA.receive(256, 3000), all);
}

TEST_F(PortLayerTest, HexTextIsSentAsBytes) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    const struct {
        QString hex;
        QByteArray bytes;
    } rows[] = {
        {"AA 55 78 7A", QByteArray("\xAA\x55\x78\x7A", 4)},
        {"ABC", QByteArray("\xAB\x0C", 2)},
        {"aa5", QByteArray("\xAA\x05", 2)},
        {" 1 2 3 ", QByteArray("\x12\x03", 2)},
        {"00", QByteArray("\x00", 1)},
        {"   ", QByteArray()},
        {"", QByteArray()},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(layer->Fun_WriteHex(row.hex), row.bytes.size()) << row.hex.toStdString();
        EXPECT_EQ(ptyA.receive(row.bytes.size() + 1, 100), row.bytes) << row.hex.toStdString();
    }
}

TEST_F(PortLayerTest, SendingWithNoPortOpenWritesNothing) {
    Map({{1, ptyA.slavePath()}});
    QStringList trace;
    auto traced = MakeTraceBackend(*backend, [&](const QString& line) { trace << line; });
    PortLayer port(*traced, clock);
    port.Fun_SendHex("AA 55");
    int16_t number = 1;
    QString baud = "115200", size = "8", stop = "0", parity = "0";
    ASSERT_TRUE(port.Fun_OpenPort(number, baud, size, stop, parity));
    port.Fun_ClosePort();
    EXPECT_EQ(port.PortHandle, 0);
    port.Fun_SendHex("AA 55");
    EXPECT_EQ(port.Fun_WriteHex("AA 55"), 0);
    EXPECT_TRUE(trace.isEmpty()) << trace.join('\n').toStdString();
    EXPECT_EQ(ptyA.receive(1, 200), QByteArray());
}

TEST_F(PortLayerTest, OpenSetsRawLine115200EightNoParityOneStopNoFlowControl) {
    Map({{1, ptyA.slavePath()}});
    ASSERT_TRUE(Open(1));
    // The pseudo-terminal keeps one set of line settings for all who open its slave.
    const int fd = ::open(ptyA.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios line{};
    ASSERT_EQ(tcgetattr(fd, &line), 0);
    ::close(fd);
    EXPECT_EQ(cfgetospeed(&line), speed_t(B115200));
    EXPECT_EQ(cfgetispeed(&line), speed_t(B115200));
    EXPECT_EQ(line.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP | PARMRK), 0u);
    EXPECT_EQ(line.c_oflag & OPOST, 0u);
    EXPECT_EQ(line.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
}

TEST_F(PortLayerTest, SettingsOnNoPortAreRefused) {
    Map({});
    EXPECT_FALSE(layer->Fun_SetLine(0, 115200, 8, 0, 0, 26));
    EXPECT_FALSE(layer->Fun_SetTimeouts(0, 1, 1));
    int32_t handle = 0;
    layer->Fun_CloseComHandle(handle);  // closing nothing is harmless
    EXPECT_EQ(handle, 0);
}

TEST_F(PortLayerTest, PortHeldByAnotherOpenerDoesNotOpenAndThePreviousPortClosesAnyway) {
    Map({{1, ptyA.slavePath()}, {2, ptyB.slavePath()}});
    // Another opener in this process: only the lock file keeps root out, not TIOCEXCL.
    QSerialPort holder(ptyA.slavePath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));

    ASSERT_TRUE(Open(2));
    EXPECT_GT(layer->PortHandle, 0);
    EXPECT_FALSE(Open(1));
    EXPECT_EQ(layer->PortHandle, 0);
    EXPECT_EQ(layer->status().failure, OpenFailure::Busy);
    EXPECT_TRUE(layer->status().detail.startsWith("port busy"))
        << layer->status().detail.toStdString();
    EXPECT_TRUE(OthersCanOpen(ptyB.slavePath()));

    holder.close();
    EXPECT_TRUE(Open(1));
}

TEST_F(PortLayerTest, PortOpenInThisProgramDoesNotOpenAgain) {
    // Ports 1, 7 and 8 are the same device under three numbers, 8 through a symbolic link (as
    // /dev/serial/by-id gives them), which the lock file alone would not see.
    const QString link = dir.filePath("adapter");
    ASSERT_TRUE(QFile::link(ptyA.slavePath(), link));
    Map({{1, ptyA.slavePath()}, {7, ptyA.slavePath()}, {8, link}});
    OpenFailure why = OpenFailure::None;
    const int32_t first = backend->open(1, &why);
    ASSERT_GT(first, 0);
    for (int number : {1, 7, 8}) {
        EXPECT_EQ(backend->open(number, &why), 0) << number;
        EXPECT_EQ(why, OpenFailure::Busy) << number;
    }
    backend->close(first);
    const int32_t again = backend->open(8, &why);
    EXPECT_GT(again, 0);
    backend->close(again);
}

TEST_F(PortLayerTest, PortHeldByAnotherProgramDoesNotOpen) {
    Map({{1, ptyA.slavePath()}});
    {
        // The emulator on the device stands for another program that holds it.
        EmulatorProcess holder({QStringLiteral("--device"), ptyA.slavePath()});
        ASSERT_TRUE(holder.ok()) << holder.error().toStdString();
        EXPECT_FALSE(Open(1));
        EXPECT_EQ(layer->PortHandle, 0);
        EXPECT_EQ(layer->status().failure, OpenFailure::Busy);
    }
    EXPECT_TRUE(Open(1));
}

TEST_F(PortLayerTest, AbsentDevicesFailAtOnce) {
    Map({});
    for (int number : {0, 1, 30, 31, -4}) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(layer->OpenComByNumber(number), 0) << number;
        EXPECT_EQ(layer->status().failure, OpenFailure::Absent) << number;
        EXPECT_LT(clock.elapsed(), 1000) << number;
    }
}

TEST_F(PortLayerTest, ProbeListsTheMappedPortsThatOpenInOrder) {
    QSerialPort holder(ptyC.slavePath());
    ASSERT_TRUE(holder.open(QIODevice::ReadWrite));
    const struct {
        std::map<int, QString> ports;
        int openBefore;  // opened through the layer before the probe; 0 = none
        QStringList listed;
        QString text;
    } rows[] = {
        {{{5, ptyB.slavePath()}, {2, ptyA.slavePath()}}, 0, {"2", "5"}, "2"},
        {{{4, ptyC.slavePath()}, {30, ptyA.slavePath()}}, 0, {"30"}, "30"},
        {{{2, ptyA.slavePath()}, {5, ptyB.slavePath()}}, 5, {"2"}, "2"},
        {{{9, ptyC.slavePath()}}, 0, {}, "untouched"},
    };
    for (const auto& row : rows) {
        Map(row.ports);
        if (row.openBefore != 0) {
            ASSERT_TRUE(Open(int16_t(row.openBefore)));
        }
        const int32_t handleBefore = layer->PortHandle;
        RecordingSelector selector;
        selector.items = {"stale"};
        layer->Fun_ListPorts(selector);
        EXPECT_EQ(selector.items, row.listed);
        EXPECT_EQ(selector.current, row.text);
        EXPECT_EQ(layer->PortHandle, handleBefore);
        for (const auto& [number, path] : row.ports) {
            if (number != row.openBefore && path != ptyC.slavePath()) {
                EXPECT_TRUE(OthersCanOpen(path)) << "probe left port " << number << " open";
            }
        }
        layer->Fun_ClosePort();
    }
}

TEST_F(PortLayerTest, TraceReportsEveryChunkWithTimeAndDirection) {
    Map({{1, ptyA.slavePath()}});
    QStringList trace;
    auto traced = MakeTraceBackend(*backend, [&](const QString& line) { trace << line; });
    PortLayer port(*traced, clock);
    int16_t number = 1;
    QString baud = "115200", size = "8", stop = "0", parity = "0";
    ASSERT_TRUE(port.Fun_OpenPort(number, baud, size, stop, parity));

    port.Fun_SendHex("AA 55 78 7A");
    ptyA.send(QByteArray("\x05\xAB", 2));
    EXPECT_EQ(port.Fun_ReadHex(), "05 AB ");
    EXPECT_EQ(port.Fun_ReadHex(), QString());

    ASSERT_EQ(trace.size(), 2) << trace.join('\n').toStdString();
    const QRegularExpression tx("^\\d+\\.\\d{3} TX AA 55 78 7A$");
    const QRegularExpression rx("^\\d+\\.\\d{3} RX 05 AB$");
    EXPECT_TRUE(tx.match(trace[0]).hasMatch()) << trace[0].toStdString();
    EXPECT_TRUE(rx.match(trace[1]).hasMatch()) << trace[1].toStdString();
}

// A device that goes away while open (a pulled adapter) must neither spin the event loop nor
// make the waits shorter: reads take their time, return nothing and say the line is lost.
TEST_F(PortLayerTest, LineThatHangsUpIsClosedAndReadsAsSilence) {
    Map({{1, ptyA.slavePath()}, {2, ptyB.slavePath()}});
    ASSERT_TRUE(Open(1));
    ptyA.hangUp();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QElapsedTimer pumping;
    pumping.start();
    while (pumping.elapsed() < 300) {
        Fun_DelayMs(1);  // the event pumping of the waits
    }
    QElapsedTimer reading;
    reading.start();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(layer->Fun_ReadHex(), QString());
    }
    EXPECT_GE(reading.elapsed(), 5 * 20) << "reads of a lost line returned early";
    getrusage(RUSAGE_SELF, &after);
    const auto ms = [](const rusage& r) {
        return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000 +
               (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000;
    };
    // Generous: the loop left spinning on the hung-up line burns about half of the 300 ms.
    EXPECT_LT(ms(after) - ms(before), 60) << "the hung-up line kept the loop busy";
    EXPECT_TRUE(layer->status().lineLost);
    EXPECT_NE(layer->PortHandle, 0);  // the handle rule stays: only Fun_ClosePort clears it
    layer->Fun_SendHex(QStringLiteral("AA 55"));  // writes nothing, raises nothing
    layer->Fun_ClosePort();
    EXPECT_EQ(layer->PortHandle, 0);
    // The freed pseudo-terminal's name may already belong to another test's: open another port.
    EXPECT_TRUE(Open(2) && !layer->status().lineLost) << "a new open starts a new line";
}

TEST(PortMapTest, NumbersMapOntoTheUsualDevicesUnlessTheSettingsFileSaysOtherwise) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("system.ini");
    ASSERT_TRUE(
        WriteFileBytes(settings, "COM30=/dev/pts/77\r\nCOM12= /dev/serial/by-id/usb-x \r\n"));
    const PortMap map(settings);
    const PortMap unmapped(dir.filePath("missing.ini"));
    const struct {
        int number;
        QString mapped;
        QString fixed;
    } rows[] = {
        {1, "/dev/ttyS0", "/dev/ttyS0"},
        {3, "/dev/ttyS2", "/dev/ttyS2"},
        {10, "/dev/ttyS9", "/dev/ttyS9"},
        {11, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {12, "/dev/serial/by-id/usb-x", "/dev/ttyUSB1"},
        {20, "/dev/ttyUSB9", "/dev/ttyUSB9"},
        {21, "/dev/ttyACM0", "/dev/ttyACM0"},
        {30, "/dev/pts/77", "/dev/ttyACM9"},
        {0, "", ""},
        {31, "", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(map.devicePath(row.number), row.mapped) << row.number;
        EXPECT_EQ(unmapped.devicePath(row.number), row.fixed) << row.number;
    }
    EXPECT_EQ(map.description(30), QString());  // no adapter behind a pseudo-terminal
}

// The stable names name the port that reaches each adapter and a line that keeps one on it.
TEST(PortMapTest, StableNamesGiveTheLineThatKeepsAPortOnTheirAdapter) {
    QTemporaryDir dir;
    const QString byId = dir.filePath("by-id");
    ASSERT_TRUE(QDir().mkpath(byId));
    for (const char* device : {"devA", "devB", "devC"}) {
        ASSERT_TRUE(WriteFileBytes(dir.filePath(device), ""));
    }
    const auto link = [&](const char* name, const char* target) {
        return QFile::link(dir.filePath(target), byId + '/' + name);
    };
    ASSERT_TRUE(link("usb-a", "devA") && link("usb-b", "devB") && link("usb-c", "devC") &&
                link("usb-gone", "devGone"));
    const QString settings = dir.filePath("system.ini");
    // Port 11 stands for a device that is not there: the first free number for an adapter no
    // port reaches.
    ASSERT_TRUE(WriteFileBytes(settings, ("COM30=" + dir.filePath("devA") + "\r\nCOM12=" + byId +
                                          "/usb-b\r\nCOM11=" + dir.filePath("devGone") + "\r\n")
                                             .toUtf8()));
    const std::vector<StableAdapter> adapters = PortMap(settings).stableAdapters(byId);
    const struct {
        QString name;
        int number;
        bool kept;
        QString line;
    } rows[] = {
        {"usb-a", 30, false, "COM30=" + byId + "/usb-a"},
        {"usb-b", 12, true, "COM12=" + byId + "/usb-b"},
        {"usb-c", 0, false, "COM11=" + byId + "/usb-c"},
    };
    ASSERT_EQ(adapters.size(), std::size(rows)) << "a dangling link is no adapter";
    for (size_t i = 0; i < adapters.size(); ++i) {
        EXPECT_EQ(adapters[i].name, byId + '/' + rows[i].name);
        EXPECT_EQ(adapters[i].number, rows[i].number) << i;
        EXPECT_EQ(adapters[i].kept, rows[i].kept) << i;
        EXPECT_EQ(adapters[i].settingsLine, rows[i].line) << i;
    }
}

// Child mode of this program: holds a port open until its standard input closes.
}  // namespace
