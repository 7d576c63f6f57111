#pragma once
// Form串口 (the hidden serial form): the serial session. The chosen port and its memory in the
// settings file, open and close, the 10 ms receive poll into the receive buffer, and the wait
// for a reply flag. Non-visual; the main window's port list is reached through PortSelector,
// time through Clock.

#include "serial/port_layer.h"
#include "serial/rx_buffer.h"
#include "util/clock.h"
#include "util/process_state.h"

#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>

class Form串口 {
  public:
    Form串口(ProcessState& process, PortLayer& port, Clock& clock);

    Form串口(const Form串口&) = delete;
    Form串口& operator=(const Form串口&) = delete;

    // Where received bytes go (RxCount and RxBuff of the protocol state), and the parser that
    // consumes them after each batch. The serial stack (device/serial_stack.h) wires it.
    void setReceiver(int32_t& count, RxBuffer& buff, std::function<void()> parse);

    // Load of the serial form: runs Fun_初始化. `selector` is asked for the main window's port
    // list on first use, which is what creates the main window.
    void Load(std::function<PortSelector&()> selector);

    // Fun_初始化: initialise: probe the ports into the list, then show and take the remembered
    // port of the settings file.
    void Fun_初始化();
    // Fun_串口选择: serial port selection: the number in the port list becomes PortNumber and
    // is remembered in the settings file.
    void Fun_串口选择(int32_t& uart);
    // Fun_打开串口: open the serial port, unless the session regards it as open.
    void Fun_打开串口();
    // Fun_强制打开串口: force-open the serial port: reopen PortNumber, start the receive poll.
    void Fun_强制打开串口();
    // Fun_关闭串口: close the serial port: stop the receive poll, wait 20 ms, close.
    void Fun_关闭串口();
    // Fun_uart串口数据接收: uart data receive: one read into the receive buffer, then parse.
    void Fun_uart串口数据接收(int32_t& dcount, RxBuffer& dbuff);
    // Fun_串口接收delay: serial receive delay: up to DD cycles of a poll and a 1 ms delay,
    // ending once BBB is true.
    bool Fun_串口接收delay(int16_t& BBB, int32_t DD);
    // Fun_接收指令分析: analyse received command; empty, frames are acted on by the parser.
    void Fun_接收指令分析(uint8_t G_Cmd, int32_t G_len, const uint8_t* G_buff);
    // One receive poll (the tick of Timer串口接收).
    void TimerTick();
    // The operating system asks the application to end: close the port, request the exit,
    // refuse the close (cancel = 1).
    void CloseRequest(int& cancel);

    int32_t PortNumber = 0;     // the selected port
    int16_t PortOpen = kFalse;  // the session regards the port as open
    int32_t IdlePolls = 0;      // receive polls since the last one that brought bytes
    int32_t ReceivedCount = 0;  // received bytes, shown as the text of Label接收count
    // Label接收count: received-byte counter label.
    QString Label接收count() const { return QString::number(ReceivedCount); }
    // Timer串口接收: serial receive timer, 10 ms while the port is open, stopped otherwise.
    QTimer Timer串口接收;

  private:
    // The timer behaves like a window timer: a period (0 = not firing) and an enabled flag.
    void setTimerInterval(int ms);
    void setTimerEnabled(bool enabled);
    void applyTimer();

    ProcessState& process_;
    PortLayer& port_;
    Clock& clock_;
    std::function<PortSelector&()> selector_;
    bool timerEnabled_ = true;
    int32_t* rxCount_ = nullptr;
    RxBuffer* rxBuff_ = nullptr;
    std::function<void()> parse_;
};
