// The run's start-up and shut-down around intro, the same on every
// platform: a failure names the file or the device and ends the run with a
// non-zero status before the show starts. Draws nothing itself.
#include "run_show.h"

#include "checkpoint.h"
#include "intro.h"
#include "limiter.h"
#include "platform.h"
#include "preflight.h"
#include "printable.h"
#include "show_files.h"
#include "show_run.h"
#include "sound_layer.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

namespace {

int failed(const std::string& error) {
    std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
    return 1;
}

// Options that do not go together: the later one gives way, with a note.
void settle(run_options& opt) {
    for (const auto& a : opt.ignored)
        std::fprintf(stderr, "ostramere: ignoring argument '%s'\n", printable(a).c_str());
    if (opt.bench && !opt.capture.empty()) {
        std::fprintf(stderr, "ostramere: --bench is ignored while capturing (PNG and video "
                             "encoding would count as frame cost)\n");
        opt.bench = false;
    }
    if (opt.av_offset_ms != 0 && (opt.simulated() || opt.nosound)) {
        std::fprintf(stderr, "ostramere: --av-offset is ignored without a sound device (captures "
                             "and --bench keep pictures and sound in step by construction)\n");
        opt.av_offset_ms = 0;
    }
}

// Checkpoints: written at every scene's start, or the one a start point
// restores (when one fits this program, its data and this kind of run).
bool plan_checkpoints(const run_options& opt) {
    checkpoint::plan& p = checkpoint::current_plan();
    p = checkpoint::plan{};
    p.gentle = opt.gentle;
    p.settle = opt.fullscreen != 0;
    if (!opt.write_checkpoints.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(opt.write_checkpoints, ec);
        if (ec)
            return false;
        p.write_dir = opt.write_checkpoints;
        return true;
    }
    if (!opt.start.set || opt.no_checkpoints)
        return true;
    const std::string dir = opt.checkpoints.empty() ? "checkpoints" : opt.checkpoints;
    std::string note;
    if (checkpoint::choose(dir, opt.start, opt.gentle, p.settle, p.restore_header, p.restore_payload, note,
                           p.restore_shift_ms)) {
        p.restoring = true;
        p.restore_dir = dir;
        p.await_song_cache = opt.await_song_cache;
    }
    else
        std::fprintf(stderr, "ostramere: no checkpoint for the start (%s); running ahead from the beginning\n",
                     printable(note).c_str());
    return true;
}

}  // namespace

int run_show(run_options opt, frame_sink* sink) {
    settle(opt);
    if (!opt.data_dir.empty() && chdir(opt.data_dir.c_str()) != 0)
        return failed("cannot enter the data folder " + opt.data_dir + ": " + std::strerror(errno));
    if (opt.check) {
        if (!preflight(stderr))
            return preflight_failed_status;
        std::printf("ostramere: every data file is in order\n");
        return 0;
    }
    if (!opt.write_song_cache.empty()) {
        // Only the song file is rendered: the key names the data as a whole
        // (0 when a file is missing or beyond its loader: --check says which).
        const std::uint64_t data = checkpoint::data_identity();
        if (data == 0)
            return failed("song cache: the data are not in order (--check names the file)");
        std::string error;
        if (!sound_layer::write_song_cache(show_files::song.path,
                                           {opt.write_song_cache, checkpoint::song_cache_key(data)}, error))
            return failed("song cache: " + error);
        return 0;
    }
    if (!plan_checkpoints(opt))
        return failed("cannot create the checkpoint folder " + opt.write_checkpoints);
    // A checkpoint is restored only when its data identity (every data
    // file's bytes) is this folder's: the data are then byte for byte those
    // of the run that wrote it, which passed the data check, and decoding
    // them all again would only delay the start. Any other run checks them.
    if (!checkpoint::current_plan().restoring && !preflight(stderr))
        return preflight_failed_status;

    // A start point runs the show ahead on the simulated clock; a live run
    // then goes on live from the tick it has reached.
    show_run run;
    // The sound layer keeps time by this run's clock.
    sound_layer::set_clock({clk::ticks, clk::simulated});
    const bool live_start = opt.start.set && !opt.simulated();
    run.clock.set_simulated(opt.simulated() || live_start);
    run.clock.set_quit_at(opt.quit_at);
    run.hold = opt.hold;
    sound_layer::options so;
    so.nosound = opt.nosound;
    so.av_offset_ms = opt.av_offset_ms;
    sound_layer::configure(so);
    sound_layer::set_output(opt.sound_output);

    std::string error;
    if (sink && !sink->open(error))
        return failed(error);
    run.display.sink = sink;

    fullscreen = opt.fullscreen;
    platform::screen_request request;
    request.fullscreen = fullscreen != 0;
    // Headless runs keep the fullscreen timing (the settle wait) but open
    // the dummy display unscaled.
    request.headless = opt.simulated();
    request.scale = opt.scale;
    if (!platform::init_video(request, error))
        return failed(error);
    screen = platform::open_screen(request, error);
    if (!screen) {
        platform::quit();
        return failed(error);
    }
    if (fullscreen)
        platform::show_cursor(false);
    platform::set_caption("Ostramere 05");
    // --gentle: the flash limiter between every finished frame and the
    // display, capture, hashes, bench and flash report.
    std::unique_ptr<flash::limiter> limiter;
    if (opt.gentle) {
        limiter = std::make_unique<flash::limiter>(screen->w, screen->h);
        run.display.limiter = limiter.get();
    }
    run.display.headless = opt.simulated() || live_start;
    run.arm_start(opt.start, live_start);
    checkpoint::current_plan().limiter = limiter.get();

    try {
        intro(screen, fullscreen != 0);
    } catch (const std::exception& e) {
        // Only a fault of the show's own gets here (a simulated wait that can
        // never end): say so and stop instead of aborting.
        run.display.sink = nullptr;
        run.display.limiter = nullptr;
        platform::quit();
        return failed(std::string("internal error: ") + e.what());
    }
    if (run.start.pending())
        std::fprintf(stderr, "ostramere: the show stopped before reaching its start point\n");

    int status = 0;
    run.display.sink = nullptr;
    run.display.limiter = nullptr;
    if (sink && !sink->finish(run.clock.ticks(), run.display.flips, error))
        status = failed(error);
    platform::quit();
    return status;
}
