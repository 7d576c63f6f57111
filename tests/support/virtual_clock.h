#pragma once
// A clock for tests that moves only when something waits on it: a delay jumps to its end, a
// read of the in-memory line jumps to the next byte or to its time-out. Every wait of the session
// and the transfers then runs in virtual time, so an 11-second time-out takes microseconds.

#include "util/clock.h"

#include <QDateTime>
#include <cstdint>
#include <functional>

class VirtualClock : public Clock {
  public:
    // The counter starts at `startMs` (put it just below 2^32 to cross the wrap); the local
    // clock reads `local` at that moment.
    explicit VirtualClock(uint32_t startMs = 1000,
                          QDateTime local = QDateTime(QDate(2026, 12, 6), QTime(6, 30, 45)))
        : startMs_(startMs), local_(std::move(local)) {}

    uint32_t timeGetTime() override { return startMs_ + uint32_t(nowUs_ / 1000); }
    // Jumps to the instant the counter first reads start + ms + 1, then lets events run once.
    void Fun_DelayMs(uint32_t ms) override {
        nowUs_ = (nowUs_ / 1000 + int64_t(ms) + 1) * 1000;
        PumpEvents();
    }
    void PumpEvents() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
    }
    QDateTime LocalNow() override { return local_.addMSecs(nowUs_ / 1000); }

    // Time since the clock was made.
    int64_t nowUs() const { return nowUs_; }
    double elapsedSeconds() const { return double(nowUs_) / 1e6; }
    void advanceTo(int64_t us) { nowUs_ = std::max(nowUs_, us); }

    int pumps = 0;
    // Runs in every pump: what a test lets happen "meanwhile" (a click, an exit request).
    std::function<void()> onPump;

  private:
    uint32_t startMs_;
    QDateTime local_;
    int64_t nowUs_ = 0;
};
