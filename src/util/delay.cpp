#include "util/delay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <algorithm>

uint32_t MsClock::timeGetTime() const {
    // The monotonic clock's own reference point is process-wide and steady, so no start time has
    // to be kept anywhere; like timeGetTime the reading wraps at 2^32 ms.
    QElapsedTimer reader;
    reader.start();
    return uint32_t(uint64_t(reader.msecsSinceReference())) + offset;
}

namespace {

// True when events can be processed here: an application exists and this is its thread.
bool CanPumpEvents() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && app->thread() == QThread::currentThread();
}

}  // namespace

void Fun_DelayMs(uint32_t ms, const MsClock& clock) {
    const uint32_t start = clock.timeGetTime();
    // Without an application there is nothing to keep responsive: sleep in small steps.
    constexpr uint32_t kSleepStepMs = 5;
    QTimer wake;  // a precise timer at the deadline ends the wait for events
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    for (;;) {
        const uint32_t elapsed = clock.timeGetTime() - start;  // unsigned: harmless at the wrap
        if (elapsed > ms) {
            return;
        }
        const uint32_t remaining = ms - elapsed + 1;
        if (CanPumpEvents()) {
            wake.start(int(std::min<uint32_t>(remaining, INT32_MAX)));
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } else {
            QThread::msleep(std::min(remaining, kSleepStepMs));
        }
    }
}

void PumpEvents() {
    if (CanPumpEvents()) {
        QCoreApplication::processEvents();
    }
}
