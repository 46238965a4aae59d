// The frame-loop skeleton every scene is built on: the control variables,
// the stop poll, the pacing-wait forms, music gates and the beat trigger
// (presentation is the display's). Scenes call these by name; only the
// runtime touches SDL time, the display and the sound layer.
#pragma once

#include <SDL.h>

#include <cstdint>

struct FMUSIC_MODULE;

// Control variables of the show's frame loops.
struct control {
    int quit = 0;                    // stop request (Escape, window close, end of show)
    FMUSIC_MODULE* song = nullptr;   // the one music module
    Uint32 music_start = 0;          // FMUSIC_GetTime right after FMUSIC_PlaySong
    Uint32 frame_start = 0;          // ticks at the top of the current frame
    Uint8 scene_done = 0;            // a scene's music-time end was reached
    signed char next_row = 0;        // beat-trigger cursor
};

// Music time: FMUSIC_GetTime(song) - music_start, as an unsigned 32-bit difference.
Uint32 music_time(const control& c);
// Low byte of the current row, as a signed byte; low byte of the pattern.
int row_byte(const control& c);
int pattern_byte(const control& c);

// frame_start = ticks().
void begin_frame(control& c);

// Stop poll: if are_done(event) is true, quit = 1.
void poll_stop(control& c);

// Every wait below stands still while the run's hold source asks (see
// show_run::hold): the clock holds, and a stop request ends the hold with
// quit = 1.
// Pacing waits of n ms since frame_start (each ends once elapsed > n - 1):
// polls are_done on every turn and ends on quit (loading loop, final scene)
void wait_polling(control& c, Uint32 n);
// no polling; ends on quit or scene_done (most scenes, the logo fade-in)
void wait_quit_or_done(control& c, Uint32 n);
// no polling; ends on quit (title fade-outs 25 ms, title stills 900 ms)
void wait_quit(control& c, Uint32 n);
// no polling, no quit test (title holds 20 ms, one greetings loop 30 ms)
void wait_fixed(control& c, Uint32 n);

// Fullscreen settle wait: n ms from its own start, polling, ends on quit.
// A fullscreen run waits settle_wait_ms, so its ticks run that far ahead of
// a windowed run's.
void settle_wait(control& c, Uint32 n);
inline constexpr Uint32 settle_wait_ms = 3000;

// Music gate: waits until music time > n - 1 or quit; polls no events.
void music_gate(control& c, Uint32 n);

// Beat trigger with wrap row R and restart value S: if the row is at or
// after next_row, returns true (the caller runs its beat action once),
// next_row += 2, and if the row is above R, next_row = S. Otherwise false.
bool beat_trigger(control& c, int wrap_row, int restart);
