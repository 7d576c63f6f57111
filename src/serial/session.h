#pragma once
// The serial session (the hidden serial form): the chosen port and its memory in the settings
// file, open and close, the 10 ms receive poll into the receive buffer, and the wait for a
// reply flag. Non-visual; the main window's port list is reached through PortSelector.

#include "serial/port_layer.h"
#include "util/delay.h"
#include "util/process_state.h"

#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

inline constexpr int kRxBuffSize = 2001;  // indices 0..2000; 2000 bytes usable
using RxBuffer = std::array<uint8_t, kRxBuffSize>;

class SerialForm {
  public:
    SerialForm(ProcessState& process, PortLayer& port, MsClock clock = {});

    SerialForm(const SerialForm&) = delete;
    SerialForm& operator=(const SerialForm&) = delete;

    // Where received bytes go (RxCount and RxBuff of the protocol state), and the parser that
    // consumes them after each batch. Until it is called, the session keeps bytes of its own.
    void setReceiver(int32_t& count, RxBuffer& buff, std::function<void()> parse);

    // Load of the serial form: runs Fun_初始化. `selector` is asked for the main window's port
    // list on first use, which is what creates the main window.
    void Load(std::function<PortSelector&()> selector);

    void Fun_初始化();
    void Fun_串口选择(int32_t& uart);
    void Fun_打开串口();
    void Fun_强制打开串口();
    void Fun_关闭串口();
    void Fun_uart串口数据接收(int32_t& dcount, RxBuffer& dbuff);
    bool Fun_串口接收delay(int16_t& BBB, int32_t DD);
    void Fun_接收指令分析(uint8_t G_Cmd, int32_t G_len, const uint8_t* G_buff);
    // One receive poll (the tick of Timer串口接收).
    void TimerTick();
    // The operating system asks the application to end: close the port, request the exit,
    // refuse the close (cancel = 1).
    void CloseRequest(int& cancel);

    int32_t PortNumber = 0;
    int16_t PortOpen = kFalse;
    int32_t IdlePolls = 0;
    int32_t ReceivedCount = 0;  // shown as the text of Label接收count
    QString Label接收count() const { return QString::number(ReceivedCount); }
    QTimer Timer串口接收;  // 10 ms while the port is open, stopped otherwise

  private:
    // The timer behaves like a window timer: a period (0 = not firing) and an enabled flag.
    void setTimerInterval(int ms);
    void setTimerEnabled(bool enabled);
    void applyTimer();

    ProcessState& process_;
    PortLayer& port_;
    MsClock clock_;
    std::function<PortSelector&()> selector_;
    bool timerEnabled_ = true;
    int32_t ownCount_ = 0;
    RxBuffer ownBuff_{};
    int32_t* rxCount_ = &ownCount_;
    RxBuffer* rxBuff_ = &ownBuff_;
    std::function<void()> parse_;
};
