// The show's tick counter: SDL's millisecond timer counted from the clock's
// start, or a virtual counter that only advance_to moves; its hold; and the
// injected stop request. The clk:: calls forward to the current run's clock.
#include "clock.h"

#include "show_run.h"

#include <stdexcept>
#include <string>

void show_clock::set_simulated(bool simulated) {
    sim_.store(simulated);
    virtual_now_.store(0);
    stalled_calls_ = 0;
    held_.store(false);
    if (!simulated)
        live_base_.store(SDL_GetTicks());
}

Uint32 show_clock::ticks() {
    if (held_.load())
        return held_at_.load();
    if (sim_.load())
        return virtual_now_.load();
    std::int64_t base = live_base_.load();
    if (base < 0) {
        // The first reading starts the live clock; a racing first reader
        // keeps whichever base was stored first.
        const std::int64_t now = SDL_GetTicks();
        base = live_base_.compare_exchange_strong(base, now) ? now : base;
    }
    return SDL_GetTicks() - static_cast<Uint32>(base);
}

void show_clock::go_live() {
    if (!sim_.load())
        return;
    const Uint32 now = held_.load() ? held_at_.load() : virtual_now_.load();
    const Uint32 base = SDL_GetTicks() - now;  // ticks() goes on from here
    live_base_.store(static_cast<std::int64_t>(base));
    sim_.store(false);
}

void show_clock::advance_to(Uint32 t) {
    if (!sim_.load() || held_.load())
        return;
    Uint32 now = virtual_now_.load();
    if (t <= now) {
        if (++stalled_calls_ >= stall_limit) {
            stalled_calls_ = 0;
            throw std::logic_error("simulated clock stuck at tick " + std::to_string(now) +
                                   ": a wait keeps asking for tick " + std::to_string(t) +
                                   " and can never reach its end");
        }
        return;
    }
    stalled_calls_ = 0;
    while (t > now && !virtual_now_.compare_exchange_weak(now, t)) {
    }
}

void show_clock::hold() {
    if (held_.load())
        return;
    held_at_.store(ticks());
    held_.store(true);
}

void show_clock::release() {
    if (!held_.load())
        return;
    const Uint32 at = held_at_.load();
    if (sim_.load())
        virtual_now_.store(at);
    else
        live_base_.store(static_cast<std::int64_t>(static_cast<Uint32>(SDL_GetTicks() - at)));  // on from `at`
    held_.store(false);
}

void show_clock::set_quit_at(Uint32 ms) {
    quit_at_.store(ms);
    quit_delivered_.store(false);
}

bool show_clock::take_injected_quit() {
    const Uint32 at = quit_at_.load();
    if (at == 0 || quit_delivered_.load() || ticks() < at)
        return false;
    quit_delivered_.store(true);
    return true;
}

namespace clk {
void set_simulated(bool simulated) { show_run::current().clock.set_simulated(simulated); }
bool simulated() { return show_run::current().clock.simulated(); }
Uint32 ticks() { return show_run::current().clock.ticks(); }
void go_live() { show_run::current().clock.go_live(); }
void advance_to(Uint32 t) { show_run::current().clock.advance_to(t); }
void hold() { show_run::current().clock.hold(); }
void release() { show_run::current().clock.release(); }
bool held() { return show_run::current().clock.held(); }
void set_quit_at(Uint32 ms) { show_run::current().clock.set_quit_at(ms); }
bool take_injected_quit() { return show_run::current().clock.take_injected_quit(); }
}  // namespace clk
