// The main loop's passes on a clock the test sets: hook periods, the wrap of the 32-bit clock,
// how long an idle pass may sleep, and the exit sequence that saves once and ends in pass 50.

#include "app/main_loop.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

struct LoopRig {
    LoopRig() {
        env.pump = [this](int32_t wait) { waits.push_back(wait); };
        env.clock = [this] { return clock; };
        env.save = [this] { ++saves; };
        env.endProcess = [this] { ended = true; };
        env.delayMs = [this](uint32_t ms) { delays += ms; };
        env.hooks.Tick1ms = [this] { fired.push_back(1); };
        env.hooks.Tick10ms = [this] { fired.push_back(10); };
        env.hooks.Tick50ms = [this] { fired.push_back(50); };
        env.hooks.Tick100ms = [this] { fired.push_back(100); };
        env.hooks.Tick250ms = [this] { fired.push_back(250); };
        env.hooks.Tick500ms = [this] { fired.push_back(500); };
        env.hooks.Tick1000ms = [this] { fired.push_back(1000); };
    }
    std::vector<int> passAt(uint32_t now) {
        clock = now;
        fired.clear();
        MainLoopPass(state, process, env);
        return fired;
    }
    uint32_t clock = 0;
    MainLoopState state;
    ProcessState process;
    MainLoopEnv env;
    std::vector<int> fired;
    std::vector<int32_t> waits;
    int saves = 0;
    bool ended = false;
    uint32_t delays = 0;
};

}  // namespace

TEST(MainLoopHooks, FireOnTheirPeriods) {
    const struct {
        uint32_t start;  // clock reading that the loop begins with (wrap points included)
    } starts[] = {{0}, {0x7FFFFFF0u}, {0xFFFFFFF8u}};
    for (const auto& s : starts) {
        LoopRig rig;
        rig.state.NowMs = int32_t(s.start);
        rig.state.LastTick1 = rig.state.LastTick10 = rig.state.LastTick1000 = int32_t(s.start);
        rig.state.LastTick50 = rig.state.LastTick100 = rig.state.LastTick250 =
            rig.state.LastTick500 = int32_t(s.start);
        EXPECT_EQ(rig.passAt(s.start + 1), std::vector<int>{}) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 2), std::vector<int>{1}) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 3), std::vector<int>{}) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 9), (std::vector<int>{1})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 10), (std::vector<int>{10})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 49), (std::vector<int>{1, 10})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 50), (std::vector<int>{50})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 100), (std::vector<int>{1, 10, 50, 100})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 249), (std::vector<int>{1, 10, 50, 100})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 250), (std::vector<int>{250})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 499), (std::vector<int>{1, 10, 50, 100})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 500), (std::vector<int>{250, 500})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 999), (std::vector<int>{1, 10, 50, 100, 250})) << s.start;
        EXPECT_EQ(rig.passAt(s.start + 1000), (std::vector<int>{500, 1000})) << s.start;
        EXPECT_EQ(rig.state.LastTick1000, int32_t(s.start + 1000));
    }
}

// pump, timer resolution, clock, pump, hooks, pump: the hooks see the clock of their own pass.
TEST(MainLoopPass, StepsInTheirOrder) {
    LoopRig rig;
    std::vector<std::string> steps;
    rig.env.pump = [&](int32_t) { steps.push_back("pump"); };
    rig.env.timeBeginPeriod1 = [&] { steps.push_back("period"); };
    rig.env.clock = [&] {
        steps.push_back("clock");
        return rig.clock;
    };
    rig.env.hooks.Tick1ms = [&] { steps.push_back("hook"); };
    rig.clock = 10;
    MainLoopPass(rig.state, rig.process, rig.env);
    std::vector<std::string> afterFirstPump(std::find(steps.begin(), steps.end(), "pump"),
                                            steps.end());
    EXPECT_EQ(afterFirstPump,
              (std::vector<std::string>{"pump", "period", "clock", "pump", "hook", "pump"}));
    EXPECT_EQ(rig.state.NowMs, 10);
}

TEST(MainLoopHooks, IdlePassSleepsUntilTheNextHookWithWork) {
    LoopRig rig;
    rig.env.hooks = {};
    rig.passAt(5000);
    EXPECT_EQ(rig.waits.front(), -1);  // nothing to do: wait for an event however long

    LoopRig timed;
    timed.env.hooks = {};
    timed.env.hooks.Tick250ms = [] {};
    timed.passAt(5000);  // fires it, LastTick250 = 5000
    timed.waits.clear();
    timed.passAt(5100);
    EXPECT_EQ(timed.waits.front(), 250 - 100 + 0);  // measured against the previous NowMs
    EXPECT_EQ(MsUntilNextHook(timed.state, timed.env.hooks, 5249), 1);
    EXPECT_EQ(MsUntilNextHook(timed.state, timed.env.hooks, 5250), 0);
    EXPECT_EQ(MsUntilNextHook(timed.state, timed.env.hooks, 9000), 0);
    for (int32_t w : timed.waits) {
        EXPECT_GE(w, -1);
    }
}

TEST(MainLoopExit, SavesOnceAndEndsInTheFiftiethPass) {
    LoopRig rig;
    rig.passAt(100);
    EXPECT_EQ(rig.saves, 0);
    rig.process.ExitRequested = kTrue;
    int passes = 0;
    while (!rig.ended && passes < 200) {
        const std::vector<int> fired = rig.passAt(200 + uint32_t(passes) * 2);
        ++passes;
        // The saving pass still runs its hooks (they come before the exit step); none after it.
        EXPECT_TRUE(passes == 1 || fired.empty()) << "hooks ran in exit pass " << passes;
        EXPECT_EQ(rig.saves, 1);
        EXPECT_EQ(rig.process.TicksStopped, kTrue);
        EXPECT_EQ(rig.waits.back(), 0);
    }
    EXPECT_TRUE(rig.ended);
    EXPECT_EQ(passes, kExitPasses);
    EXPECT_EQ(rig.state.ExitCountdown, kExitPasses);
    EXPECT_EQ(rig.delays, uint32_t(kExitPasses - 1));  // one 1 ms wait in each pass but the last
    EXPECT_EQ(rig.saves, 1);
}
