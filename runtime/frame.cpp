// The frame-loop skeleton: music time, row and pattern bytes, the stop poll,
// the pacing-wait forms, music gates and the beat trigger. Live waits sleep
// while more than 1 ms remains; simulated waits move the virtual clock instead.
#include "frame.h"

#include "clock.h"
#include "display.h"
#include "platform.h"
#include "sound_layer.h"
#include "tools.h"

namespace {

// Live waits sleep 1 ms at a time while more than this many ms remain, and
// spin on the tick counter for the last stretch. SDL_Delay(1) oversleeps by
// well under a millisecond here, so one ms of spin keeps the end exact; a
// 2 ms spin cost about 4% more of a core in the loading screen (its polling
// wait pumps SDL's events on every turn).
constexpr Uint32 spin_margin = 1;

enum class ends_on { nothing, quit, quit_or_done };

bool should_end(const control& c, ends_on rule) {
    switch (rule) {
    case ends_on::quit: return c.quit != 0;
    case ends_on::quit_or_done: return c.quit != 0 || c.scene_done != 0;
    default: return false;
    }
}

// Spins until ticks() - from > n - 1 (at least n ms), or the end rule holds.
// A polling wait runs the stop poll on every turn; on the simulated clock it
// steps one virtual ms per turn so an injected stop lands at its own tick. A
// non-polling wait on the simulated clock jumps straight to its deadline.
void pace(control& c, Uint32 from, Uint32 n, ends_on rule, bool polls) {
    for (;;) {
        if (polls)
            poll_stop(c);
        if (should_end(c, rule))
            break;
        const Uint32 elapsed = clk::ticks() - from;  // unsigned: a wrap does no harm
        if (elapsed > n - 1 || n == 0)
            break;
        const Uint32 remaining = n - elapsed;
        if (clk::simulated())
            clk::advance_to(polls ? clk::ticks() + 1 : from + n);
        else if (remaining > spin_margin)
            platform::sleep_ms(1);
    }
    display::mark_work_start();
}

}  // namespace

Uint32 music_time(const control& c) {
    return static_cast<Uint32>(FMUSIC_GetTime(c.song)) - c.music_start;
}

int row_byte(const control& c) {
    return static_cast<signed char>(FMUSIC_GetRow(c.song) & 0xFF);
}

int pattern_byte(const control& c) { return FMUSIC_GetPattern(c.song) & 0xFF; }

void begin_frame(control& c) {
    c.frame_start = clk::ticks();
    display::mark_work_start();
}

void poll_stop(control& c) {
    if (are_done(event))
        c.quit = 1;
}

void wait_polling(control& c, Uint32 n) { pace(c, c.frame_start, n, ends_on::quit, true); }
void wait_quit_or_done(control& c, Uint32 n) {
    pace(c, c.frame_start, n, ends_on::quit_or_done, false);
}
void wait_quit(control& c, Uint32 n) { pace(c, c.frame_start, n, ends_on::quit, false); }
void wait_fixed(control& c, Uint32 n) { pace(c, c.frame_start, n, ends_on::nothing, false); }

void settle_wait(control& c, Uint32 n) { pace(c, clk::ticks(), n, ends_on::quit, true); }

void music_gate(control& c, Uint32 n) {
    for (;;) {
        if (c.quit)
            break;
        const Uint32 now = music_time(c);
        if (now > n - 1 || n == 0)
            break;
        const Uint32 remaining = n - now;
        if (clk::simulated())
            clk::advance_to(clk::ticks() + remaining);  // music follows the virtual clock
        else if (remaining > spin_margin)
            platform::sleep_ms(1);
    }
    display::mark_work_start();
}

bool beat_trigger(control& c, int wrap_row, int restart) {
    const int row = row_byte(c);
    if (row < c.next_row)
        return false;
    c.next_row = static_cast<signed char>(c.next_row + 2);
    if (row > wrap_row)
        c.next_row = static_cast<signed char>(restart);
    return true;
}
