// The millisecond delay: it ends only after more than the asked time on its clock, keeps timers
// and posted events running while it waits, survives the counter's wrap, and does not spin.
#include "util/delay.h"

#include "support/not_on_windows.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <ctime>
#include <memory>

namespace {

// A clock whose next readings lie just before 2^32, so a delay started on it crosses the wrap.
MsClock ClockBeforeWrap(uint32_t msBeforeWrap) {
    MsClock clock;
    clock.offset = uint32_t(0) - msBeforeWrap - MsClock{}.timeGetTime();
    return clock;
}

void ExpectDelayLongerThan(uint32_t ms, const MsClock& clock) {
    QElapsedTimer wall;
    wall.start();
    const uint32_t before = clock.timeGetTime();
    Fun_DelayMs(ms, clock);
    const uint32_t after = clock.timeGetTime();
    EXPECT_GT(uint32_t(after - before), ms);
    EXPECT_GE(wall.elapsed(), qint64(ms));
    EXPECT_LT(wall.elapsed(), qint64(ms) + 5000);  // sanity only: the machine may be busy
}

TEST(MsClock, OffsetShiftsTheReadingAndWraps) {
    const MsClock plain;
    const MsClock shifted = ClockBeforeWrap(1000);
    const uint32_t a = plain.timeGetTime();
    const uint32_t b = shifted.timeGetTime();
    const uint32_t c = plain.timeGetTime();
    EXPECT_GE(b, uint32_t(0) - 1000 - (c - a) - 1);
    EXPECT_LE(c - a, 1000u);
    const MsClock wrapped = ClockBeforeWrap(0);
    QThread::msleep(3);
    EXPECT_LT(wrapped.timeGetTime(), 1000u);  // past 2^32 it starts again near 0
}

class DelayWithoutApplication : public testing::TestWithParam<uint32_t> {};

TEST_P(DelayWithoutApplication, LastsLongerThanAsked) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    ExpectDelayLongerThan(GetParam(), MsClock{});
}

TEST_P(DelayWithoutApplication, AcrossTheWrapOfTheCounter) {
    ExpectDelayLongerThan(GetParam(), ClockBeforeWrap(GetParam() / 2));
}

INSTANTIATE_TEST_SUITE_P(Durations, DelayWithoutApplication, testing::Values(0u, 1u, 30u));

class DelayWithApplication : public testing::Test {
  protected:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[8] = "delay";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

TEST_F(DelayWithApplication, LastsLongerThanAskedAlsoAcrossTheWrap) {
    for (uint32_t ms : {0u, 1u, 30u}) {
        ExpectDelayLongerThan(ms, MsClock{});
        ExpectDelayLongerThan(ms, ClockBeforeWrap(ms / 2 + 1));
    }
}

TEST_F(DelayWithApplication, RunsPostedEventsAndTimersInsideTheWait) {
    const MsClock clock;
    bool posted = false;
    uint32_t timerFiredAfter = 0;
    const uint32_t start = clock.timeGetTime();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    QTimer::singleShot(40, Qt::PreciseTimer,
                       [&] { timerFiredAfter = clock.timeGetTime() - start; });
    Fun_DelayMs(150, clock);
    EXPECT_TRUE(posted);
    EXPECT_GE(timerFiredAfter, 39u);
    EXPECT_LT(timerFiredAfter, 150u);
}

TEST_F(DelayWithApplication, BusyTimersDoNotEndTheWaitEarly) {
    QTimer ticker;
    int ticks = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);
    ExpectDelayLongerThan(60, MsClock{});
    EXPECT_GT(ticks, 0);
}

TEST_F(DelayWithApplication, NestedDelayInsideAnEventHandler) {
    const MsClock clock;
    bool innerDone = false;
    QTimer::singleShot(5, [&] {
        Fun_DelayMs(20, clock);
        innerDone = true;
    });
    ExpectDelayLongerThan(10, clock);
    EXPECT_TRUE(innerDone);  // the outer wait cannot return before the handler that runs in it
}

TEST_F(DelayWithApplication, PumpEventsRunsWhatIsPending) {
    bool posted = false;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { posted = true; }, Qt::QueuedConnection);
    PumpEvents();
    EXPECT_TRUE(posted);
}

#ifndef Q_OS_WIN
// The wait sleeps in the event dispatcher: its processor time stays far below the wall time.
// A polling loop uses 100 ms or more of it here; the waiting one well under 1 ms.
double CpuSecondsOfDelay(uint32_t ms) {
    const std::clock_t before = std::clock();
    Fun_DelayMs(ms);
    return double(std::clock() - before) / CLOCKS_PER_SEC;
}

TEST_F(DelayWithApplication, UsesLittleProcessorTime) {
    EXPECT_LT(CpuSecondsOfDelay(200), 0.04);
}

TEST(DelayWithoutApplicationCpu, UsesLittleProcessorTime) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    EXPECT_LT(CpuSecondsOfDelay(200), 0.04);
}
#else
M45_SKIPPED_ON_WINDOWS(TEST_F, DelayWithApplication, UsesLittleProcessorTime, "std::clock() counts wall time there, not processor time")
M45_SKIPPED_ON_WINDOWS(TEST, DelayWithoutApplicationCpu, UsesLittleProcessorTime, "std::clock() counts wall time there, not processor time")
#endif

}  // namespace
