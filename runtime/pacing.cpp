// The frame-loop skeleton: music time, row and pattern bytes, the stop poll,
// the pacing-wait forms, music gates and the beat trigger. Live waits sleep
// instead of spinning; simulated waits move the virtual clock instead; any
// wait stands still while the run is held.
#include "pacing.h"

#include "clock.h"
#include "display.h"
#include "platform.h"
#include "show_run.h"
#include "sound_layer.h"
#include "tools.h"

namespace {

// Live waits sleep: while more than 1 ms remains, for all of it but the last
// ms (a polling wait 1 ms at a time, so every turn polls); in the last ms in
// short steps that check the tick counter, so a wait still ends within a
// fraction of a ms of its tick without spinning the core through that ms.
// Measured on a live run: a spinning last ms cost about 2% of a core.
constexpr Uint32 last_ms_step_us = 100;

// Every live sleep of the run, in steps of at most 50 ms with the sound
// layer topped up before each: a device that renders on this thread (the
// browser's) keeps its lead however long the wait, music read or not.
void rest(Uint32 ms) {
    for (Uint32 step; ms > 0; ms -= step) {
        sound_layer::pump();
        platform::sleep_ms(step = ms < 50 ? ms : 50);
    }
}

// One live turn's sleep when `remaining` ms are left (at least 1).
void live_sleep(Uint32 remaining, bool polls) {
    if (remaining > 1)
        rest(polls ? 1 : remaining - 1);
    else
        platform::sleep_us(last_ms_step_us);
}

// While held, a wait looks again this often (a page's turn comes with each).
constexpr Uint32 held_turn_ms = 10;

// Stands still while the run's hold source asks: the clock holds (ticks and,
// through them or through the stopped output, the music time), nothing is
// drawn, and every turn polls for a stop, which ends the hold with quit set.
// The wait that called it then goes on by its own rule; once quit is set no
// hold begins, so a stopping show runs out its waits. False: no hold.
bool sit_out_hold(control& c) {
    hold_source* source = show_run::current().hold;
    if (!source || c.quit || !source->wanted())
        return false;
    clk::hold();
    while (!c.quit) {
        if (are_done(event)) {
            c.quit = 1;
            break;
        }
        if (!source->wanted())
            break;
        rest(held_turn_ms);
    }
    clk::release();
    return true;
}

enum class ends_on { nothing, quit, quit_or_done };

bool should_end(const control& c, ends_on rule) {
    switch (rule) {
    case ends_on::quit: return c.quit != 0;
    case ends_on::quit_or_done: return c.quit != 0 || c.scene_done != 0;
    default: return false;
    }
}

// Waits until ticks() - from > n - 1 (at least n ms), or the end rule holds.
// A polling wait runs the stop poll on every turn; on the simulated clock it
// steps one virtual ms per turn so an injected stop lands at its own tick. A
// non-polling wait on the simulated clock jumps straight to its deadline.
void pace(control& c, Uint32 from, Uint32 n, ends_on rule, bool polls) {
    for (;;) {
        if (polls)
            poll_stop(c);
        if (should_end(c, rule))
            break;
        if (sit_out_hold(c))
            continue;
        const Uint32 elapsed = clk::ticks() - from;  // unsigned: a wrap does no harm
        if (elapsed > n - 1 || n == 0)
            break;
        const Uint32 remaining = n - elapsed;
        if (clk::simulated())
            clk::advance_to(polls ? clk::ticks() + 1 : from + n);
        else
            live_sleep(remaining, polls);
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
        if (sit_out_hold(c))
            continue;
        const Uint32 now = music_time(c);
        if (now > n - 1 || n == 0)
            break;
        const Uint32 remaining = n - now;
        if (clk::simulated())
            clk::advance_to(clk::ticks() + remaining);  // music follows the virtual clock
        else
            live_sleep(remaining, false);
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
