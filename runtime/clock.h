// The one source of time for a run: the tick counter, live (SDL's
// millisecond timer) or simulated (a virtual counter that only waits move),
// the hold that stops it where it stands, and the stop request injected at a
// chosen tick. Each run owns one clock; the clk:: calls read the clock of the
// run being played.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>

class show_clock {
public:
    // Live: ticks are SDL_GetTicks() from the clock's start. Simulated: ticks
    // start at 0 and move only through advance_to(); drawing costs no virtual
    // time, so every simulated run produces the same frames.
    void set_simulated(bool simulated);
    bool simulated() const { return sim_.load(); }
    Uint32 ticks();
    // Simulated: hands over to the live clock, which counts on from the
    // current virtual tick. Live: does nothing.
    void go_live();
    // Simulated: moves the virtual counter forward to tick t (never back).
    // A wait that keeps asking for a tick already reached can never end:
    // after stall_limit such calls in a row it throws std::logic_error.
    void advance_to(Uint32 t);
    // Holds the clock: ticks() stays at the tick it had when the hold began
    // until release(), and then counts on from there, live or simulated, as
    // if the time held had not passed. A second hold or release does nothing.
    void hold();
    void release();
    bool held() const { return held_.load(); }
    // Stop-request injection (--quit-at MS); 0 disables it.
    void set_quit_at(Uint32 ms);
    // True once the injected stop is due and not yet delivered.
    bool take_injected_quit();

    static constexpr unsigned stall_limit = 1u << 20;

private:
    // Atomics: the audio callback thread reads ticks() too. Live ticks =
    // SDL_GetTicks() - live_base_ (unsigned arithmetic); -1: not started.
    std::atomic<bool> sim_{false};
    std::atomic<Uint32> virtual_now_{0};
    std::atomic<std::int64_t> live_base_{-1};
    std::atomic<bool> held_{false};
    std::atomic<Uint32> held_at_{0};  // ticks() when the hold began
    std::atomic<Uint32> quit_at_{0};
    std::atomic<bool> quit_delivered_{false};
    unsigned stalled_calls_ = 0;  // main thread only
};

// The clock of the run being played (see show_run).
namespace clk {
void set_simulated(bool simulated);
bool simulated();
Uint32 ticks();
void go_live();
void advance_to(Uint32 t);
void hold();
void release();
bool held();
inline constexpr unsigned stall_limit = show_clock::stall_limit;
void set_quit_at(Uint32 ms);
bool take_injected_quit();
}  // namespace clk
