// The one source of time for the whole show: the tick counter, live (SDL's
// millisecond timer) or simulated (a virtual counter that only waits move).
// Music time, pattern and row come from the sound layer, which reads ticks here.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace clk {

// Live: ticks are SDL_GetTicks(). Simulated: ticks start at 0 and move only
// through advance_to(); drawing costs no virtual time, so every simulated run
// produces the same frames.
void set_simulated(bool simulated);
bool simulated();

// Milliseconds since the clock started (the only tick source of the show).
Uint32 ticks();

// Simulated clock: hands over to the live clock, which counts on from the
// current virtual tick (a start point reached: the show goes on live).
// Live clock: does nothing.
void go_live();

// Simulated clock: moves the virtual counter forward to tick t (never back).
// Live clock: does nothing. A simulated wait that keeps asking for a tick the
// clock has already reached can never end: after stall_limit such calls in a
// row, advance_to throws std::logic_error naming the tick instead of letting
// the wait spin forever.
void advance_to(Uint32 t);
inline constexpr unsigned stall_limit = 1u << 20;

// Stop-request injection (--quit-at MS): once ticks() reaches ms, the next
// stop poll sees a window-close request. 0 disables it.
void set_quit_at(Uint32 ms);
// True once the injected stop is due and not yet delivered; delivering it
// (the caller pushes the close event) clears the flag.
bool take_injected_quit();

// Resets the clock to its start state (tests).
void reset();

}  // namespace clk
