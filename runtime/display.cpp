// Presentation: blits a bitmap to the screen and flips, or flips what an
// effect already wrote into the screen; hands every flip to the current
// run's sink. Before a start point is reached a flip is counted but neither
// presented nor handed on. With --gentle the flash limiter decides what is
// shown of each finished frame. Draws nothing itself.
#include "display.h"

#include "bitmap.h"
#include "cost_clock.h"
#include "limiter.h"
#include "pacing.h"
#include "platform.h"
#include "show_run.h"
#include "sound_layer.h"
#include "frame_read_lock.h"


SDL_Surface* screen = nullptr;
int fullscreen = 1;

namespace {

display_state& state() { return show_run::current().display; }

// The flip's position and costs; the costs after the music reads, whose song rendering is the song's.
flip_info current_info(show_run& run, const frame_costs& limiting) {
    const display_state& d = run.display;
    flip_info info;
    info.index = d.flips;
    info.tick = run.clock.ticks();
    info.scene = d.scene;
    if (d.music && d.music->song && sound_layer::playing(d.music->song)) {
        info.music_playing = true;
        info.music_ms = music_time(*d.music);
        info.order = FMUSIC_GetOrder(d.music->song);
        info.pattern = FMUSIC_GetPattern(d.music->song);
        info.row = FMUSIC_GetRow(d.music->song);
    }
    if (d.sink) {
        frame_costs& c = info.costs = limiting;
        const sound_layer::render_spent song = sound_layer::song_render_spent();
        c.work_ns = display::now_ns() - d.work_start;
        c.work_cpu_ns = display::cpu_now_ns() - d.work_start_cpu;
        c.song_ns = song.wall_ns - d.work_start_song.wall_ns;
        c.song_cpu_ns = song.cpu_ns - d.work_start_song.cpu_ns;
    }
    return info;
}

// The flash limiter's turn: the screen's finished frame becomes the frame
// shown, the limiter's time noted in `c`. True when it changed pixels (put
// back by restore_finished_frame).
bool limit_flashes(display_state& d, Uint32 tick, frame_costs& c) {
    c.limited = d.limiter != nullptr;
    if (!c.limited)
        return false;
    const std::uint64_t t0 = display::now_ns(), c0 = display::cpu_now_ns();
    bool changed;
    {
        frame_read_lock lock(screen);
        changed = d.limiter->apply(static_cast<std::uint16_t*>(screen->pixels), screen->pitch / 2, tick);
    }
    c.limiter_ns = display::now_ns() - t0;
    c.limiter_cpu_ns = display::cpu_now_ns() - c0;
    return changed;
}

void restore_finished_frame(display_state& d) {
    frame_read_lock lock(screen);
    d.limiter->restore(static_cast<std::uint16_t*>(screen->pixels), screen->pitch / 2);
}

// One flip of the screen: the flash limiter (every flip, so that it knows
// the frames a start point runs ahead over), the run's answer whether the
// frame is seen, then the seen frame presented (unless headless) and handed
// to the sink, and the finished frame back into the screen. The frame's
// information is read before presenting; presenting costs no time on the
// simulated clock, where the sinks run.
void flip() {
    show_run& run = show_run::current();
    display_state& d = run.display;
    frame_costs limiting;
    const bool limited = limit_flashes(d, run.clock.ticks(), limiting);
    const flip_info info = d.sink || run.start.pending() ? current_info(run, limiting) : flip_info{};
    if (run.frame_seen(info)) {
        if (!d.headless)
            platform::present(screen);
        if (d.sink)
            d.sink->frame(screen, info);
    }
    if (limited)
        restore_finished_frame(d);
    ++d.flips;
    display::mark_work_start();
}
}  // namespace

namespace display {
void set_sink(frame_sink* sink) { state().sink = sink; }
void set_music_source(const control* c) { state().music = c; }
long frames_shown() { return state().flips; }
void set_frames_shown(long n) { state().flips = n; }
const char* scene() { return state().scene; }
std::uint64_t now_ns() { return cost_clock::wall_ns(); }
std::uint64_t cpu_now_ns() { return cost_clock::cpu_ns(); }
void mark_work_start() {
    display_state& d = state();
    d.work_start = now_ns();
    d.work_start_cpu = cpu_now_ns();
    d.work_start_song = sound_layer::song_render_spent();
}
}  // namespace display

void set_scene(const char* name) { state().scene = name ? name : ""; }

void present(bitmap& b) {
    blit_surface(b.surface, &b.src_rect, screen, &b.dst_rect);
    flip();
}

void flip_screen() { flip(); }
