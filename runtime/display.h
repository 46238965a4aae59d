// The display: the screen surface, the windowed/fullscreen choice, and the
// two ways a frame reaches it (present a bitmap, flip). Every flip hands one
// flip_info (costs included) to the run's sink, which never calls back.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

#include "sound_layer.h"

struct bitmap;
struct control;
namespace flash {
class limiter;
}

extern SDL_Surface* screen;  // the display surface the platform opened
extern int fullscreen;       // 1 = fullscreen (default), 0 = windowed ("-w")

// What a frame cost up to its flip (wall and this thread's CPU time, ns).
struct frame_costs {
    std::uint64_t work_ns = 0, work_cpu_ns = 0;  // since the frame's work began (mark_work_start)
    std::uint64_t song_ns = 0, song_cpu_ns = 0;  // of that, rendering the song (reading the music clock)
    bool limited = false;                        // the run's flips go through the flash limiter...
    std::uint64_t limiter_ns = 0, limiter_cpu_ns = 0;  // ...which took this (part of the work)
};

// What a frame sink learns about each flip.
struct flip_info {
    long index = 0;            // 0, 1, 2, ... over the whole run
    Uint32 tick = 0;           // clock ticks at the flip
    bool music_playing = false;
    Uint32 music_ms = 0;       // music time (0 before the song starts)
    int order = -1;            // -1 before the song starts
    int pattern = -1;
    int row = -1;
    const char* scene = "";    // the label set_scene gave
    frame_costs costs;         // measured only when the run has a sink
};

// Receives every flip, after the screen holds the new frame.
class frame_sink {
public:
    virtual ~frame_sink() = default;
    // Before the display opens: false with the reason when the sink cannot
    // work (an output that cannot be created).
    virtual bool open(std::string& /*error*/) { return true; }
    virtual void frame(SDL_Surface* shown, const flip_info& info) = 0;
    // After the last flip, at tick end_tick with `flips` flips counted:
    // false with the reason when the sink's output fails.
    virtual bool finish(Uint32 /*end_tick*/, long /*flips*/, std::string& /*error*/) { return true; }
};

// A run's display state: what the flips count and whom they go to.
struct display_state {
    frame_sink* sink = nullptr;       // not owned
    const control* music = nullptr;   // where music time is read (nullptr before the song loads)
    long flips = 0;
    const char* scene = "";
    bool headless = false;            // draw into the screen surface, never present it
    // The flash limiter (--gentle) between the finished frame and everything
    // that shows or records it: it writes the frame to show into the screen
    // before presenting and the sink, and the finished frame goes back after
    // them. It sees every flip, before a start point too. nullptr: frames
    // pass untouched. Not owned.
    flash::limiter* limiter = nullptr;
    std::uint64_t work_start = 0;     // see mark_work_start
    std::uint64_t work_start_cpu = 0;
    sound_layer::render_spent work_start_song;  // the song's rendering by then
};

namespace display {
// The current run's sink (nullptr: none). Not owned.
void set_sink(frame_sink* sink);
// The control variables the flip information reads music time from (the
// song and its start); set by
// intro once the song is loaded (nullptr before).
void set_music_source(const control* c);
// Frames flipped so far, and the current scene label.
long frames_shown();
// Sets the count of frames flipped (a run restored from a checkpoint).
void set_frames_shown(long n);
const char* scene();
// Marks the real time at which the current frame's work begins: the top of
// the frame, the end of the last wait or gate, or the last flip, whichever is
// latest. A flip's costs count from here.
void mark_work_start();
std::uint64_t now_ns();
std::uint64_t cpu_now_ns();
}  // namespace display

// Names the phase being drawn ("title", "beat", ...) for capture and bench.
void set_scene(const char* name);
// Presents bitmap b: blit its source rectangle to the screen at its
// destination rectangle, update that rectangle, flip.
void present(bitmap& b);
// Presents what an effect already wrote into the screen: flip only.
void flip_screen();
