// The show's tick counter: SDL's millisecond timer counted from the clock's
// start, or a virtual counter that only advance_to moves; and the injected
// stop request. Atomics: the audio callback thread reads ticks() too.
#include "clock.h"

#include "sound_layer.h"

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace clk {
namespace {
std::atomic<bool> sim{false};
std::atomic<Uint32> virtual_now{0};
// Live ticks = SDL_GetTicks() - live_base in unsigned 32-bit arithmetic (SDL's
// wrap, and a base "below zero" after go_live, do no harm). The base is held
// as a Uint32 value in 64 bits, so -1 can mean "not started".
std::atomic<int64_t> live_base{-1};
std::atomic<Uint32> quit_at{0};
std::atomic<bool> quit_delivered{false};
unsigned stalled_calls = 0;  // advance_to calls in a row that left the clock where it was (main thread)

void restart_live() { live_base.store(SDL_GetTicks()); }

// The sound layer keeps time by this clock, whichever way it runs.
void install_in_sound_layer() { sound_layer::set_clock({ticks, simulated}); }
}  // namespace

void set_simulated(bool simulated) {
    install_in_sound_layer();
    sim.store(simulated);
    virtual_now.store(0);
    stalled_calls = 0;
    if (!simulated)
        restart_live();
}

bool simulated() { return sim.load(); }

Uint32 ticks() {
    if (sim.load())
        return virtual_now.load();
    int64_t base = live_base.load();
    if (base < 0) {
        // The first reading starts the live clock; a racing first reader
        // keeps whichever base was stored first.
        const int64_t now = SDL_GetTicks();
        base = live_base.compare_exchange_strong(base, now) ? now : base;
    }
    return SDL_GetTicks() - static_cast<Uint32>(base);
}

void go_live() {
    if (!sim.load())
        return;
    const Uint32 base = SDL_GetTicks() - virtual_now.load();  // ticks() goes on from here
    live_base.store(static_cast<int64_t>(base));
    sim.store(false);
}

void advance_to(Uint32 t) {
    if (!sim.load())
        return;
    Uint32 now = virtual_now.load();
    if (t <= now) {
        if (++stalled_calls >= stall_limit) {
            stalled_calls = 0;
            throw std::logic_error("simulated clock stuck at tick " + std::to_string(now) +
                                   ": a wait keeps asking for tick " + std::to_string(t) +
                                   " and can never reach its end");
        }
        return;
    }
    stalled_calls = 0;
    while (t > now && !virtual_now.compare_exchange_weak(now, t)) {
    }
}

void set_quit_at(Uint32 ms) {
    quit_at.store(ms);
    quit_delivered.store(false);
}

bool take_injected_quit() {
    const Uint32 at = quit_at.load();
    if (at == 0 || quit_delivered.load() || ticks() < at)
        return false;
    quit_delivered.store(true);
    return true;
}

void reset() {
    install_in_sound_layer();
    virtual_now.store(0);
    stalled_calls = 0;
    quit_at.store(0);
    quit_delivered.store(false);
    restart_live();
}

}  // namespace clk
