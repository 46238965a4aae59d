// The display: the screen surface, the windowed/fullscreen choice, and the
// two ways a frame reaches it (present a bitmap, flip). Frame sinks (capture,
// bench) see every flip here; nothing else writes to the display.
#pragma once

#include <SDL.h>

#include <cstdint>

struct control;
namespace flash {
class limiter;
}

extern SDL_Surface* screen;  // the display surface the platform opened
extern int fullscreen;       // 1 = fullscreen (default), 0 = windowed ("-w")

// What a frame sink learns about each flip.
struct frame_info {
    long index = 0;            // 0, 1, 2, ... over the whole run
    Uint32 tick = 0;           // clock ticks at the flip
    bool music_playing = false;
    Uint32 music_ms = 0;       // music time (0 before the song starts)
    int order = -1;            // -1 before the song starts
    int pattern = -1;
    int row = -1;
    const char* scene = "";    // the label set_scene gave
};

// Receives every flip, after the screen holds the new frame.
class frame_sink {
public:
    virtual ~frame_sink() = default;
    virtual void frame(SDL_Surface* shown, const frame_info& info) = 0;
};

namespace display {
// The sink that sees flips (nullptr: none). Not owned.
void set_sink(frame_sink* sink);
// The control variables the frame information reads music time from; set by
// intro once the song is loaded (nullptr before).
void set_control(const control* c);
// Frames flipped so far, and the current scene label.
long frames_shown();
const char* scene();
// Real time at which the current frame's work began: the top of the frame,
// the end of the last wait or gate, or the last flip, whichever is latest.
// The bench measures a frame's cost from here to its flip.
void mark_work_start();
std::uint64_t work_start_ns();      // wall time
std::uint64_t work_start_cpu_ns();  // this thread's CPU time
std::uint64_t now_ns();
std::uint64_t cpu_now_ns();
// Headless runs (capture, bench) draw into the screen surface but skip
// presenting: the dummy display shows nothing, and the
// sinks read the screen surface itself.
void set_headless(bool headless);
// The flash limiter (--gentle) between the finished frame and everything
// that shows or records it: it writes the frame to show into the screen
// before presenting and the sink, and the finished frame goes back after
// them. It sees every flip, before a start point too. nullptr (the
// default): frames pass untouched. Not owned.
void set_limiter(flash::limiter* limiter);
// Wall and this thread's CPU time the limiter took on the last flip (0
// without one).
std::uint64_t limiter_ns();
std::uint64_t limiter_cpu_ns();
// Resets the frame counter and scene label (tests).
void reset();
}  // namespace display
