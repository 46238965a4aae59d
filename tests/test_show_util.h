// Shared harness of the show tests: runs the whole show in-process on the
// simulated clock (dummy display, no sound device) from the generated data,
// with an optional injected stop, and records every flipped frame (its
// clock readings, scene label, a hash and a few pixel facts) and the trace
// of one-off steps.
#pragma once

#include "bitmap.h"
#include "checkpoint.h"
#include "show_run.h"
#include "platform.h"
#include "test_display.h"
#include "intro.h"
#include "load_image.h"
#include "sound_layer.h"
#include "sound_layer_testing.h"
#include "trace.h"
#include "trace_log.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace show_test {

inline std::filesystem::path data_dir() { return OSTRA_DATA_DIR; }
inline bool have_data() {
    return std::filesystem::exists(data_dir() / "sfx" / "demomusic.xm") &&
           std::filesystem::exists(data_dir() / "gfx" / "rom2.3D");
}

// What the tests keep of one flipped frame.
struct frame_rec {
    long index = 0;
    Uint32 tick = 0;
    bool music = false;
    Uint32 music_ms = 0;
    int pattern = -1;
    int row = -1;
    std::string scene;
    std::uint64_t hash = 0;
    int max_level = 0;          // highest 5-bit channel level in the frame
    bool white_inside = false;  // x 0..638, y 0..478 all 0xFFFF
    bool white_edges = false;   // column 639 and row 479 all 0xFFFF too
};

inline int level_max(Uint16 p) {
    const int r = p >> 11, g = (p >> 6) & 31, b = p & 31;
    return r > g ? (r > b ? r : b) : (g > b ? g : b);
}

// Records every flip; `inspect` (optional) sees the screen of each frame.
struct recorder : frame_sink {
    std::vector<frame_rec> frames;
    std::function<void(SDL_Surface*, const frame_rec&)> inspect;

    void frame(SDL_Surface* shown, const flip_info& info) override {
        frame_rec r;
        r.index = info.index;
        r.tick = info.tick;
        r.music = info.music_playing;
        r.music_ms = info.music_ms;
        r.pattern = info.pattern;
        r.row = info.row;
        r.scene = info.scene;
        SDL_LockSurface(shown);
        const int pitch = shown->pitch / 2;
        const auto* px = static_cast<const Uint16*>(shown->pixels);
        std::uint64_t h = 1469598103934665603ull;
        bool inside = true, edges = true;
        int top = 0;
        for (int y = 0; y < 480; ++y) {
            const Uint16* row = px + y * pitch;
            for (int x = 0; x < 640; ++x) {
                const Uint16 p = row[x];
                h = (h ^ p) * 1099511628211ull;
                const int m = level_max(p);
                top = m > top ? m : top;
                if (p != 0xFFFF) {
                    if (x < 639 && y < 479)
                        inside = false;
                    else
                        edges = false;
                }
            }
        }
        r.hash = h;
        r.max_level = top;
        r.white_inside = inside;
        r.white_edges = edges;
        if (inspect)
            inspect(shown, r);
        SDL_UnlockSurface(shown);
        frames.push_back(std::move(r));
    }
};

struct run_result {
    std::vector<frame_rec> frames;
    std::vector<std::string> trace;
    Uint32 end_tick = 0;
    bool restored = false;  // began at a scene's checkpoint
};

inline void open_display() { test_display::open(); }

// A fresh headless run on the simulated clock from the data folder: no
// sound device (the layer keeping time by the run's clock), clock at 0 with
// a stop injected at `quit_at` (0: none), empty event queue. Returns the
// folder to go back to; `run` is current until it ends.
inline std::filesystem::path begin_simulated_run(show_run& run, Uint32 quit_at) {
    open_display();
    SDL_Event pending;
    while (SDL_PollEvent(&pending)) {
    }
    const auto old_dir = std::filesystem::current_path();
    std::filesystem::current_path(data_dir());
    sound_layer::reset();
    sound_layer::options o;
    o.nosound = true;
    sound_layer::configure(o);
    sound_layer::set_clock({clk::ticks, clk::simulated});
    run.clock.set_simulated(true);
    run.clock.set_quit_at(quit_at);
    run.display.headless = true;  // as capture runs: the sink reads the screen surface
    return old_dir;
}

// Runs the show once: windowed (no settle wait) unless `full_screen`, with a
// stop injected at clock tick `quit_at` (0: none); from the start of scene
// `from_scene` where the data folder has its checkpoint (else from tick 0).
inline run_result run_show(Uint32 quit_at, bool full_screen = false,
                           std::function<void(SDL_Surface*, const frame_rec&)> inspect = {},
                           const char* from_scene = nullptr) {
    run_result out;
    show_run run;
    const auto old_dir = begin_simulated_run(run, quit_at);
    recorder rec;
    rec.inspect = std::move(inspect);
    run.display.sink = &rec;
    checkpoint::plan& plan = checkpoint::current_plan();
    plan = checkpoint::plan{};
    plan.settle = full_screen;
    if (from_scene) {
        std::string note;
        const start_point at{true, 0, from_scene};
        plan.restoring = checkpoint::choose("checkpoints", at, false, full_screen, plan.restore_header,
                                            plan.restore_payload, note, plan.restore_shift_ms);
    }
    trace::clear();
    trace::enable(true);

    intro(screen, full_screen);

    plan = checkpoint::plan{};
    out.end_tick = run.clock.ticks();
    trace::enable(false);
    out.trace = trace::entries();
    for (const std::string& e : out.trace)
        out.restored = out.restored || e.rfind("checkpoint restored", 0) == 0;
    std::filesystem::current_path(old_dir);
    out.frames = std::move(rec.frames);
    return out;
}

// Windowed runs: 400 loading frames of 30 ms, then the song starts.
inline constexpr Uint32 song_start_tick = 12000;

}  // namespace show_test
