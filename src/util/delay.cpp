#include "util/delay.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>

#ifdef Q_OS_WIN
#include <windows.h>  // before timeapi.h, which needs its types

#include <timeapi.h>
#endif

namespace {

constexpr int64_t kNsPerMs = 1'000'000;

// The steady clock behind the counter, in nanoseconds. Its reference point is process-wide, so
// no start time has to be kept anywhere.
int64_t MonotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

uint32_t CounterAt(int64_t ns, const MsClock& clock) {
    return uint32_t(uint64_t(ns / kNsPerMs)) + clock.offset;  // wraps at 2^32 like timeGetTime
}

// True when events can be processed here: an application exists and this is its thread.
bool CanPumpEvents() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->thread() == QThread::currentThread();
}

// How many delays run inside one another on this thread (a handler that waits, run by a wait).
thread_local int delayDepth = 0;

struct DepthGuard {
    const int depth = ++delayDepth;
    ~DepthGuard() { --delayDepth; }
};

}  // namespace

uint32_t MsClock::timeGetTime() const {
    return CounterAt(MonotonicNs(), *this);
}

void RequestOneMsTimerResolution() {
#ifdef Q_OS_WIN
    timeBeginPeriod(1);
#endif
}

void Fun_DelayMs(uint32_t ms, const MsClock& clock) {
    RequestOneMsTimerResolution();
    const int64_t startNs = MonotonicNs();
    const uint32_t start = CounterAt(startNs, clock);
    // The instant at which the counter first reads start + ms + 1: sleeping until exactly then,
    // rather than a whole millisecond more, keeps the short waits of a transfer short.
    const int64_t deadlineNs = (startNs / kNsPerMs + int64_t(ms) + 1) * kNsPerMs;
    // Without an application there is nothing to keep responsive: sleep in small steps.
    constexpr int64_t kSleepStepNs = 5 * kNsPerMs;
    const DepthGuard nesting;
    QTimer wake;  // a precise timer near the deadline ends the wait for events
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    // A handler that runs inside this wait and waits itself takes this timer's event in its own
    // loop. The Windows event dispatcher then sleeps on in this wait with no timer left to end it
    // (a wait nested in a handler hung there): until the inner wait is over, keep one coming.
    QObject::connect(&wake, &QTimer::timeout, [&wake, &nesting] {
        if (delayDepth != nesting.depth) {
            wake.start(1);
        }
    });
    for (;;) {
        const int64_t nowNs = MonotonicNs();
        const uint32_t elapsed = CounterAt(nowNs, clock) - start;  // unsigned: harmless at the wrap
        if (elapsed > ms) {
            return;
        }
        const int64_t remainingNs = std::max<int64_t>(deadlineNs - nowNs, 1000);
        if (!CanPumpEvents()) {
            QThread::usleep(uint64_t(std::min(remainingNs, kSleepStepNs) / 1000));
        } else if (remainingNs >= kNsPerMs) {
            // Qt's timers count whole milliseconds: wake at or just before the deadline.
            wake.start(int(std::min<int64_t>(remainingNs / kNsPerMs, INT32_MAX)));
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            // Less than a millisecond left: run what is pending, then sleep out the rest.
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            QThread::usleep(uint64_t(remainingNs / 1000));
        }
    }
}

void PumpEvents() {
    if (CanPumpEvents()) {
        QCoreApplication::processEvents();
    }
}
