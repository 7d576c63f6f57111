// M_00_main: MainLoopPass, the hooks' scheduler and the steps of the exit sequence.

#include "app/main_loop.h"

namespace {

// Elapsed milliseconds between two readings of the 32-bit clock, correct across the points
// where the signed reading passes 2^31 and where the counter wraps.
int64_t Elapsed(int32_t now, int32_t last) {
    return int64_t(uint32_t(now) - uint32_t(last));
}

struct HookSlot {
    int32_t MainLoopState::*last;
    std::function<void()> TickHooks::*hook;
    int32_t period;
    bool strictlyMore;  // the 1 ms hook fires only when more than its period has passed
};

constexpr std::array<HookSlot, 7> kSlots = {{
    {&MainLoopState::LastTick1, &TickHooks::Tick1ms, 1, true},
    {&MainLoopState::LastTick10, &TickHooks::Tick10ms, 10, false},
    {&MainLoopState::LastTick50, &TickHooks::Tick50ms, 50, false},
    {&MainLoopState::LastTick100, &TickHooks::Tick100ms, 100, false},
    {&MainLoopState::LastTick250, &TickHooks::Tick250ms, 250, false},
    {&MainLoopState::LastTick500, &TickHooks::Tick500ms, 500, false},
    {&MainLoopState::LastTick1000, &TickHooks::Tick1000ms, 1000, false},
}};

bool Due(const HookSlot& slot, int64_t elapsed) {
    return slot.strictlyMore ? elapsed > slot.period : elapsed >= slot.period;
}

}  // namespace

void RunTicks(MainLoopState& s, const TickHooks& hooks) {
    for (const HookSlot& slot : kSlots) {
        if (Due(slot, Elapsed(s.NowMs, s.*slot.last))) {
            s.*slot.last = s.NowMs;
            if (const auto& hook = hooks.*slot.hook) {
                hook();
            }
        }
    }
}

int32_t MsUntilNextHook(const MainLoopState& s, const TickHooks& hooks, int32_t now) {
    int64_t next = -1;
    for (const HookSlot& slot : kSlots) {
        if (!(hooks.*slot.hook)) {
            continue;
        }
        const int64_t needed = slot.period + (slot.strictlyMore ? 1 : 0);
        const int64_t elapsed = Elapsed(now, s.*slot.last);
        const int64_t wait = elapsed >= needed ? 0 : needed - elapsed;
        if (next < 0 || wait < next) {
            next = wait;
        }
    }
    return int32_t(next);
}

void MainLoopPass(MainLoopState& s, ProcessState& process, MainLoopEnv& env) {
    // The first pump is where an idle application sleeps: until an event comes or a hook with
    // work is due. Once an exit is under way the passes follow one another without waiting.
    const bool exiting = process.ExitRequested == kTrue;
    const int32_t wait =
        exiting ? 0 : MsUntilNextHook(s, env.hooks, int32_t(env.clock ? env.clock() : 0));
    env.pump(wait);
    if (env.timeBeginPeriod1) {
        env.timeBeginPeriod1();
    }
    s.NowMs = int32_t(env.clock());
    env.pump(0);
    if (process.TicksStopped == kFalse) {
        RunTicks(s, env.hooks);
    }
    env.pump(0);
    if (process.ExitRequested != kTrue) {
        return;
    }
    if (s.ExitCountdown == 0) {
        process.TicksStopped = kTrue;
        env.save();
        s.ExitCountdown = 1;
    }
    if (s.ExitCountdown == kExitPasses) {
        env.endProcess();
        return;  // only reached when a test stands in for the end of the process
    }
    s.ExitCountdown += 1;
    env.delayMs(1);
}
