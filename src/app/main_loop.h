#pragma once
// M_00_main: the application's own main loop. Each pass pumps window messages, reads the
// millisecond clock, fires the seven periodic hooks when their periods have passed, and runs
// one step of the exit sequence once an exit has been requested.

#include "util/process_state.h"

#include <array>
#include <cstdint>
#include <functional>

// The scheduler's state; plain so tests can drive passes.
struct MainLoopState {
    int32_t NowMs = 0;  // the clock as read in this pass
    // When each hook last fired.
    int32_t LastTick1 = 0;
    int32_t LastTick10 = 0;
    int32_t LastTick50 = 0;
    int32_t LastTick100 = 0;
    int32_t LastTick250 = 0;
    int32_t LastTick500 = 0;
    int32_t LastTick1000 = 0;
    int32_t ExitCountdown = 0;  // passes since the exit sequence began; 0 = not begun
};

inline constexpr int kExitPasses = 50;  // the process ends in the 50th pass of the exit

// The periodic hooks Tick1ms .. Tick1000ms (every 1, 10, ... 1000 ms). They carry no work; each is
// an extension point. An empty function is a hook without work: it still "fires" on its period, but
// the loop need not wake up for it.
struct TickHooks {
    std::function<void()> Tick1ms, Tick10ms, Tick50ms, Tick100ms, Tick250ms, Tick500ms, Tick1000ms;
};

// What a pass needs of the platform and of the rest of the application.
struct MainLoopEnv {
    // Processes pending events. With waitMs > 0 it first waits up to that long for an event
    // (-1 = until one comes); 0 returns at once.
    std::function<void(int32_t waitMs)> pump;
    std::function<uint32_t()> clock;           // timeGetTime
    std::function<void()> timeBeginPeriod1;    // 1 ms timer resolution (may be empty)
    std::function<void()> save;                // SaveTaskFile, with its failure shown
    std::function<void()> endProcess;          // ends at once; does not return
    std::function<void(uint32_t ms)> delayMs;  // Fun_DelayMs
    TickHooks hooks;
};

// Milliseconds from `now` until the next hook with work is due (0 = due now), or -1 when no
// hook has work. Elapsed times are wrap-safe differences of the 32-bit clock.
int32_t MsUntilNextHook(const MainLoopState& s, const TickHooks& hooks, int32_t now);

// Fires the hooks whose periods have passed at s.NowMs.
void RunTicks(MainLoopState& s, const TickHooks& hooks);

// One pass, in the order: pump, timer resolution, clock, pump, hooks, pump, exit step.
void MainLoopPass(MainLoopState& s, ProcessState& process, MainLoopEnv& env);  // one pass
