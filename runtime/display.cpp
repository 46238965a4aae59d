// Presentation: blits a bitmap to the screen and flips, or flips what an
// effect already wrote into the screen; hands every flip to the frame sink.
// Before a start point is reached a flip is counted but neither presented
// nor handed on. With --gentle the flash limiter decides what is shown of
// each finished frame. Draws nothing itself.
#include "display.h"

#include "bitmap.h"
#include "frame.h"
#include "platform.h"
#include "sound_layer.h"
#include "clock.h"
#include "limiter.h"
#include "start.h"

#include <chrono>
#include <ctime>

SDL_Surface* screen = nullptr;
int fullscreen = 1;

namespace {
frame_sink* active_sink = nullptr;
const control* show_control = nullptr;
long flips = 0;
const char* scene_label = "";
bool headless_display = false;
std::uint64_t work_start = 0;
std::uint64_t work_start_cpu = 0;
flash::limiter* flash_limiter = nullptr;
std::uint64_t limiter_time = 0, limiter_cpu_time = 0;

frame_info current_info() {
    frame_info info;
    info.index = flips;
    info.tick = clk::ticks();
    info.scene = scene_label;
    if (show_control && show_control->song && sound_layer::playing(show_control->song)) {
        info.music_playing = true;
        info.music_ms = music_time(*show_control);
        info.order = FMUSIC_GetOrder(show_control->song);
        info.pattern = FMUSIC_GetPattern(show_control->song);
        info.row = FMUSIC_GetRow(show_control->song);
    }
    return info;
}

// The flash limiter's turn: the screen's finished frame becomes the frame
// shown. True when it changed pixels (put back by restore_finished_frame).
bool limit_flashes() {
    if (!flash_limiter)
        return false;
    const std::uint64_t t0 = display::now_ns(), c0 = display::cpu_now_ns();
    const bool locked = SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) == 0;
    const bool changed = flash_limiter->apply(static_cast<std::uint16_t*>(screen->pixels),
                                              screen->pitch / 2, clk::ticks());
    if (locked)
        SDL_UnlockSurface(screen);
    limiter_time = display::now_ns() - t0;
    limiter_cpu_time = display::cpu_now_ns() - c0;
    return changed;
}

void restore_finished_frame() {
    const bool locked = SDL_MUSTLOCK(screen) && SDL_LockSurface(screen) == 0;
    flash_limiter->restore(static_cast<std::uint16_t*>(screen->pixels), screen->pitch / 2);
    if (locked)
        SDL_UnlockSurface(screen);
}

// One flip of the screen, whose pixels are final: the start test, then
// presenting (show_rect: the rectangle just blitted, or none), then the sink.
// The frame's information is read before presenting; presenting costs no
// time on the simulated clock, where the sinks run.
void flip(const SDL_Rect* shown_rect) {
    const bool limited = limit_flashes();
    const bool need_info = active_sink || start::pending();
    const frame_info info = need_info ? current_info() : frame_info{};
    if (start::reached(info)) {
        if (!headless_display) {
            if (shown_rect)
                platform::present_rect(screen, *shown_rect);
            else
                platform::present(screen);
        }
        if (active_sink)
            active_sink->frame(screen, info);
    }
    if (limited)
        restore_finished_frame();
    ++flips;
    display::mark_work_start();
}
}  // namespace

namespace display {
void set_sink(frame_sink* sink) { active_sink = sink; }
void set_control(const control* c) { show_control = c; }
void set_headless(bool headless) { headless_display = headless; }
void set_limiter(flash::limiter* limiter) {
    flash_limiter = limiter;
    limiter_time = limiter_cpu_time = 0;
}
std::uint64_t limiter_ns() { return limiter_time; }
std::uint64_t limiter_cpu_ns() { return limiter_cpu_time; }
long frames_shown() { return flips; }
const char* scene() { return scene_label; }
std::uint64_t now_ns() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count());
}
std::uint64_t cpu_now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000000ull +
           static_cast<std::uint64_t>(ts.tv_nsec);
}
void mark_work_start() {
    work_start = now_ns();
    work_start_cpu = cpu_now_ns();
}
std::uint64_t work_start_ns() { return work_start; }
std::uint64_t work_start_cpu_ns() { return work_start_cpu; }
void reset() {
    flips = 0;
    scene_label = "";
}
}  // namespace display

void set_scene(const char* name) { scene_label = name ? name : ""; }

void present(bitmap& b) {
    SDL_UpperBlit(b.surface, &b.src_rect, screen, &b.dst_rect);
    flip(&b.dst_rect);
}

void flip_screen() { flip(nullptr); }
