// The Win32 backend on real COM ports: open failures told apart, ports above COM9, the read
// contract (at most the asked count, at once when bytes wait, nothing after about 21 ms) and a
// line that goes away. Port M45_EMULATOR_PORT must reach a running m4500-emu and port
// M45_HANGUP_PORT (above 9) one that hangs up at the first frame, as scripts/test-windows arranges
// under Wine (COM7 and COM12 mapped onto their pseudo-terminals, no other COM port in 1..30).
#include <QtGlobal>

#ifdef Q_OS_WIN
#include "serial/port_layer.h"
#include "serial/system_backend.h"
#include "util/clock.h"

#include <gtest/gtest.h>
#include <cstdio>
#include <QElapsedTimer>
#include <QThread>
#include <windows.h>

namespace {

// A download request (0x50) and the emulator's acknowledgement of it.
const QString kRequest = QStringLiteral("AA55787A000C500123456780");
const QString kAck = QStringLiteral("AA 55 78 7A 00 08 50 AC ");
constexpr int32_t kUnmappedPort = 9;

// Wine lets a COM port be opened twice; Windows refuses the second open.
bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

class EmulatorPort : public testing::Test {
  protected:
    void SetUp() override {
        number = int16_t(qEnvironmentVariableIntValue("M45_EMULATOR_PORT"));
        hangUpNumber = int16_t(qEnvironmentVariableIntValue("M45_HANGUP_PORT"));
        if (number == 0 || hangUpNumber == 0) {
            GTEST_SKIP() << "M45_EMULATOR_PORT and M45_HANGUP_PORT are not set: no COM port "
                            "reaches the emulator (scripts/test-windows sets them)";
        }
    }
    bool open(PortLayer& port, int16_t n) {
        QString baud = "115200", bits = "8", stop = "0", parity = "0";
        return port.Fun_OpenPort(n, baud, bits, stop, parity);
    }
    int16_t number = 0;
    int16_t hangUpNumber = 0;
    SystemClock clock;
};

TEST_F(EmulatorPort, AbsentBusyAndFreeAgain) {
    auto backend = MakeSystemSerialBackend(PortMap());
    auto other = MakeSystemSerialBackend(PortMap());
    OpenFailure why = OpenFailure::None;
    QString detail;
    const int32_t held = backend->open(number, &why, &detail);
    ASSERT_GT(held, 0) << detail.toStdString();

    const struct {
        int32_t number;
        OpenFailure expected;
        bool underWine;
    } rows[] = {{number, OpenFailure::Busy, false}, {kUnmappedPort, OpenFailure::Absent, true}};
    for (const auto& row : rows) {
        if (!row.underWine && UnderWine()) {
            std::printf("not under Wine: port %d held by another open (Wine opens it again)\n",
                        row.number);
            continue;
        }
        EXPECT_EQ(other->open(row.number, &why, &detail), 0) << row.number;
        EXPECT_EQ(why, row.expected) << row.number << ": " << detail.toStdString();
    }
    backend->close(held);
    const int32_t again = other->open(number, &why, &detail);
    EXPECT_GT(again, 0) << detail.toStdString();
    other->close(again);
}

TEST_F(EmulatorPort, LineThatHangsUpIsLostAndAPortAboveNineOpens) {
    auto backend = MakeSystemSerialBackend(PortMap());
    PortLayer port(*backend, clock);
    ASSERT_TRUE(open(port, hangUpNumber)) << port.status().detail.toStdString();  // \\.\COM12
    port.Fun_SendHex(kRequest);
    QElapsedTimer timer;
    timer.start();
    while (!port.status().lineLost && timer.elapsed() < 3000) {
        port.Fun_ReadHex();
    }
    EXPECT_TRUE(port.status().lineLost) << "still not lost after " << timer.elapsed() << " ms";
    port.Fun_ClosePort();
}

TEST_F(EmulatorPort, ReadsAtMostTwentyAtOnceAndGiveUpOnSilence) {
    auto backend = MakeSystemSerialBackend(PortMap());
    PortLayer port(*backend, clock);
    ASSERT_TRUE(open(port, number));

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(port.Fun_ReadHex(), QString());
    EXPECT_GE(timer.elapsed(), 15) << "a silent read ends after about 21 ms";
    EXPECT_LT(timer.elapsed(), 200);

    // Three acknowledgements (24 bytes) wait in the driver: 20 come at once, then the other 4.
    port.Fun_SendHex(kRequest + kRequest + kRequest);
    QThread::msleep(300);
    timer.restart();
    const QString first = port.Fun_ReadHex();
    EXPECT_LT(timer.elapsed(), 15) << "waiting bytes come back at once";
    EXPECT_EQ(first, (kAck + kAck + kAck).left(60));
    EXPECT_EQ(port.Fun_ReadHex(), (kAck + kAck + kAck).mid(60));
    EXPECT_EQ(port.Fun_ReadHex(), QString());
    port.Fun_ClosePort();
}

}  // namespace
#endif
