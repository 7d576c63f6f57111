#pragma once
// MZ_alluse (general utilities): the millisecond clock and the delay that every timed wait uses.

#include <cstdint>

// 32-bit millisecond counter that wraps every 2^32 ms, like the platform's timeGetTime.
// `offset` is added to every reading, so tests can start a clock just before its wrap.
struct MsClock {
    uint32_t offset = 0;
    uint32_t timeGetTime() const;
};

// Returns once strictly more than `ms` milliseconds have passed on `clock`, processing pending
// events meanwhile (timers and user input run inside the wait). Sleeps in the event dispatcher
// until the next event or the deadline instead of spinning. Safe across the counter's wrap.
void Fun_DelayMs(uint32_t ms, const MsClock& clock = MsClock{});

// Asks the platform for 1 ms timer resolution (timeBeginPeriod(1) on Windows, never undone;
// nothing elsewhere, where timers are that precise already). Every delay and every pass of the
// main loop asks again.
void RequestOneMsTimerResolution();

// Processes the events that are pending, without waiting.
void PumpEvents();
