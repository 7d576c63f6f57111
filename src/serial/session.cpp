#include "serial/session.h"

#include "util/hexconv.h"
#include "util/keyvalue.h"

#include <limits>

namespace {

// The line the receive poll and the transfers use: 115200 baud, 8 data bits, 1 stop bit
// (stop-bit code 0), no parity (code 0).
const QString kBaud = QStringLiteral("115200");
const QString kByteSize = QStringLiteral("8");
const QString kStopBits = QStringLiteral("0");
const QString kParity = QStringLiteral("0");

const QString kPortKey = QStringLiteral("串口");

constexpr int kPollPeriodMs = 10;
constexpr int32_t kCounterWrap = 100000;
constexpr int32_t kIdlePollLimit = 100;
constexpr uint32_t kCloseSettleMs = 20;

// Decimal text as a 32-bit number; false for empty text, other text or values beyond 32 bits.
bool ToLong(const QString& text, int32_t& value) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        return false;
    }
    value = int32_t(v);
    return true;
}

}  // namespace

Form串口::Form串口(ProcessState& process, PortLayer& port, Clock& clock)
    : process_(process), port_(port), clock_(clock) {
    Timer串口接收.setInterval(0);
    QObject::connect(&Timer串口接收, &QTimer::timeout, [this] { TimerTick(); });
}

void Form串口::setReceiver(int32_t& count, RxBuffer& buff, std::function<void()> parse) {
    rxCount_ = &count;
    rxBuff_ = &buff;
    parse_ = std::move(parse);
}

void Form串口::Load(std::function<PortSelector&()> selector) {
    selector_ = std::move(selector);
    Fun_初始化();
}

void Form串口::Fun_初始化() {
    // Each step goes on whatever the one before it achieved.
    PortSelector* selector = selector_ ? &selector_() : nullptr;
    if (selector != nullptr) {
        port_.Fun_ListPorts(*selector);
    }
    int32_t n = 0;
    if (!ToLong(ReadKeyValue(process_.SystemIniPath, kPortKey), n)) {
        n = 0;
    }
    if (selector != nullptr) {
        selector->setText(QString::number(n));
    }
    PortNumber = n;
}

void Form串口::Fun_串口选择(int32_t& uart) {
    int32_t n = uart;
    if (selector_) {
        ToLong(selector_().text(), n);  // the selector's text is what the operator sees
    }
    PortNumber = n;
    // A settings file that cannot be written keeps the old choice for the next start; the
    // session goes on with the new number.
    WriteKeyValue(process_.SystemIniPath, kPortKey, QString::number(PortNumber));
}

void Form串口::Fun_打开串口() {
    if (PortOpen == kTrue) {
        return;
    }
    Fun_强制打开串口();
}

void Form串口::Fun_强制打开串口() {
    if (PortNumber >= std::numeric_limits<int16_t>::min() &&
        PortNumber <= std::numeric_limits<int16_t>::max()) {
        int16_t number = int16_t(PortNumber);
        QString baud = kBaud, byteSize = kByteSize, stopBits = kStopBits, parity = kParity;
        port_.Fun_OpenPort(number, baud, byteSize, stopBits, parity);
    } else {
        // A number beyond 16 bits (a hand-edited settings file) names no port: it behaves like
        // a port that does not open, so the port open before is closed all the same.
        port_.Fun_ClosePort();
        port_.markUnopenable(QStringLiteral("%1 is not a port number").arg(PortNumber));
    }
    PortOpen = kTrue;
    setTimerInterval(kPollPeriodMs);
}

void Form串口::Fun_关闭串口() {
    if (PortOpen != kTrue) {
        return;
    }
    setTimerInterval(0);
    PortOpen = kFalse;
    clock_.Fun_DelayMs(kCloseSettleMs);
    port_.Fun_ClosePort();
}

void Form串口::Fun_uart串口数据接收(int32_t& dcount, RxBuffer& dbuff) {
    QString text = port_.Fun_ReceiveHex();
    text.remove(QLatin1Char(' '));
    const qsizetype length = text.size();
    if (length > 0) {
        for (qsizetype i = 0; i < length; i += 2) {
            AppendReceived(dcount, dbuff, uint8_t(HexDigitsValue(QStringView(text).mid(i, 2))));
            if (++ReceivedCount > kCounterWrap) {
                ReceivedCount = 0;
            }
        }
        if (parse_) {
            parse_();
        }
        IdlePolls = 0;
    }
    clock_.PumpEvents();
    if (IdlePolls < std::numeric_limits<int32_t>::max()) {
        ++IdlePolls;
    }
    if (IdlePolls > kIdlePollLimit) {
        dcount = 0;  // the tail of a partial frame never came
    }
}

bool Form串口::Fun_串口接收delay(int16_t& BBB, int32_t DD) {
    const int32_t cycles = DD;
    for (int32_t cycle = 1; cycle <= cycles; ++cycle) {
        TimerTick();
        clock_.Fun_DelayMs(1);
        if (BBB == kTrue) {
            return true;
        }
        // A line known to be gone (the adapter pulled) brings no reply: the wait ends now
        // rather than after all its cycles, as the caller would end it for a silent line.
        if (port_.status().lineLost) {
            return false;
        }
    }
    return false;
}

void Form串口::Fun_接收指令分析(uint8_t /*G_Cmd*/, int32_t /*G_len*/, const uint8_t* /*G_buff*/) {
    // Received frames are acted on by the frame parser's dispatch.
}

void Form串口::TimerTick() {
    if (rxCount_ == nullptr || rxBuff_ == nullptr) {
        return;  // no receiver wired: nothing takes the bytes yet
    }
    setTimerEnabled(false);  // no timer-driven poll starts inside this one
    Fun_uart串口数据接收(*rxCount_, *rxBuff_);
    setTimerEnabled(true);
}

void Form串口::CloseRequest(int& cancel) {
    Fun_关闭串口();
    process_.ExitRequested = kTrue;
    cancel = 1;
}

void Form串口::setTimerInterval(int ms) {
    Timer串口接收.setInterval(ms);
    applyTimer();
}

void Form串口::setTimerEnabled(bool enabled) {
    timerEnabled_ = enabled;
    applyTimer();
}

void Form串口::applyTimer() {
    // Like a window timer: it fires only while enabled with a period above 0; enabling it
    // again starts a fresh period.
    if (timerEnabled_ && Timer串口接收.interval() > 0) {
        Timer串口接收.start();
    } else {
        Timer串口接收.stop();
    }
}
