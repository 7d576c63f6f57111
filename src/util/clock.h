#pragma once
// Time as the serial session and the transfers see it: the millisecond counter, the delay and the
// event pump, plus the local date and time that the time synchronisation sends. They reach the
// session and the transfers through this one seam, as the port does through SerialBackend, so
// tests can run every wait on a virtual clock.

#include "util/delay.h"

#include <QDateTime>
#include <cstdint>

class Clock {
  public:
    virtual ~Clock() = default;
    // timeGetTime: the 32-bit millisecond counter, wrapping every 2^32 ms.
    virtual uint32_t timeGetTime() = 0;
    // Fun_DelayMs: returns once strictly more than `ms` milliseconds have passed on the counter,
    // processing pending events meanwhile (wrap-safe, without spinning).
    virtual void Fun_DelayMs(uint32_t ms) = 0;
    // Processes the events that are pending, without waiting.
    virtual void PumpEvents() = 0;
    // The computer's local date and time.
    virtual QDateTime LocalNow() = 0;
};

// The real clock: the platform's counter, the event loop of the one thread and the local clock.
class SystemClock final : public Clock {
  public:
    explicit SystemClock(MsClock counter = {}) : counter_(counter) {}
    uint32_t timeGetTime() override { return counter_.timeGetTime(); }
    void Fun_DelayMs(uint32_t ms) override { ::Fun_DelayMs(ms, counter_); }
    void PumpEvents() override { ::PumpEvents(); }
    QDateTime LocalNow() override { return QDateTime::currentDateTime(); }

  private:
    MsClock counter_;
};
