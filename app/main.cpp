// Program entry: the command line, the data check, the display (window or
// fullscreen), the capture, bench or flash-report sink and the flash limiter, then intro and the platform's shutdown. Draws
// nothing itself.
#include "bench.h"
#include "capture.h"
#include "clock.h"
#include "display.h"
#include "flash_report.h"
#include "intro.h"
#include "limiter.h"
#include "options.h"
#include "platform.h"
#include "preflight.h"
#include "printable.h"
#include "sound_layer.h"
#include "start.h"

#include <SDL.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {
// Expected length of a run, for the capture's ETA: settle wait, 400 loading
// frames of 30 ms, and the song's part up to the end at 160000 ms.
Uint32 expected_ticks(int full) { return (full ? 3000u : 0u) + 12000u + 160000u; }
}  // namespace

int SDL_main(int argc, char** argv) {
    run_options opt;
    if (const int status = parse_options(argc, argv, opt); status >= 0)
        return status;
    for (const auto& a : opt.ignored)
        std::fprintf(stderr, "ostramere: ignoring argument '%s'\n", printable(a).c_str());
    if (opt.bench && !opt.capture.empty()) {
        std::fprintf(stderr, "ostramere: --bench is ignored while capturing (PNG and video "
                             "encoding would count as frame cost)\n");
        opt.bench = false;
    }
    if (!opt.flash_report.empty() && (opt.bench || !opt.capture.empty())) {
        std::fprintf(stderr, "ostramere: --flash-report runs the show on its own; it cannot be "
                             "combined with --capture or --bench (the bench report has the "
                             "flash summary too)\n");
        return bad_option_status;
    }
    if (opt.av_offset_ms != 0 && (opt.simulated() || opt.nosound)) {
        std::fprintf(stderr, "ostramere: --av-offset is ignored without a sound device (captures "
                             "and --bench keep pictures and sound in step by construction)\n");
        opt.av_offset_ms = 0;
    }

    // A capture target named relative to where the program was started.
    if (!opt.capture.empty())
        opt.capture = std::filesystem::absolute(opt.capture).string();
    if (opt.bench)
        opt.bench_file = std::filesystem::absolute(opt.bench_file).string();
    if (!opt.flash_report.empty()) {
        opt.flash_report = std::filesystem::absolute(opt.flash_report).string();
        // Refused now rather than after the whole show has run.
        if (!std::ofstream(opt.flash_report, std::ios::app)) {
            std::fprintf(stderr, "ostramere: %s: cannot write the flash report: %s\n",
                         printable(opt.flash_report).c_str(), std::strerror(errno));
            return 1;
        }
    }
    if (!opt.data_dir.empty() && chdir(opt.data_dir.c_str()) != 0) {
        std::fprintf(stderr, "ostramere: cannot enter the data folder %s: %s\n",
                     printable(opt.data_dir).c_str(), std::strerror(errno));
        return 1;
    }
    if (opt.simulated()) {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    if (!preflight(stderr))
        return preflight_failed_status;
    if (opt.check) {
        std::printf("ostramere: every data file is in order\n");
        return 0;
    }

    // A start point runs the show ahead on the simulated clock; a live run
    // then goes on live from the tick it has reached.
    const bool live_start = opt.start.set && !opt.simulated();
    clk::set_simulated(opt.simulated() || live_start);
    clk::set_quit_at(opt.quit_at);
    sound_layer::options so;
    so.nosound = opt.nosound;
    so.av_offset_ms = opt.av_offset_ms;
    sound_layer::configure(so);

    std::unique_ptr<capture_sink> capture;
    std::unique_ptr<bench_sink> bench;
    std::unique_ptr<flash_report> flashes;
    if (!opt.capture.empty()) {
        capture = std::make_unique<capture_sink>(opt.capture, opt.capture_video(), opt.fps,
                                                 opt.png_every, expected_ticks(opt.fullscreen));
        std::string error;
        if (!capture->open(error)) {
            std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
            return 1;
        }
        display::set_sink(capture.get());
    } else if (opt.bench) {
        bench = std::make_unique<bench_sink>(opt.gentle);
        display::set_sink(bench.get());
    } else if (!opt.flash_report.empty()) {
        flashes = std::make_unique<flash_report>();
        display::set_sink(flashes.get());
    }

    fullscreen = opt.fullscreen;
    platform::screen_request request;
    request.fullscreen = fullscreen != 0;
    // Headless runs keep the fullscreen timing (the settle wait) but open
    // the dummy display unscaled.
    request.headless = opt.simulated();
    request.scale = opt.scale;
    std::string error;
    if (!platform::init_video(request, error)) {
        std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
        return 1;
    }
    screen = platform::open_screen(request, error);
    if (!screen) {
        std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
        platform::quit();
        return 1;
    }
    if (fullscreen)
        platform::show_cursor(false);
    platform::set_caption("Ostramere 05");
    // --gentle: the flash limiter between every finished frame and the
    // display, capture, hashes, bench and flash report.
    std::unique_ptr<flash::limiter> limiter;
    if (opt.gentle) {
        limiter = std::make_unique<flash::limiter>(screen->w, screen->h);
        display::set_limiter(limiter.get());
    }
    display::set_headless(opt.simulated() || live_start);
    if (live_start) {
        start::arm(opt.start, [] {
            clk::go_live();
            display::set_headless(false);
            // The song goes on from where the run ahead left it, now heard.
            if (!FSOUND_Init(44100, 32, 0))
                FSOUND_Close();
        });
    } else {
        start::arm(opt.start);
    }

    try {
        intro();
    } catch (const std::exception& e) {
        // Only a fault of the show's own gets here (a simulated wait that can
        // never end): say so and stop instead of aborting.
        std::fprintf(stderr, "ostramere: internal error: %s\n", e.what());
        display::set_sink(nullptr);
        display::set_limiter(nullptr);
        platform::quit();
        return 1;
    }
    if (start::pending())
        std::fprintf(stderr, "ostramere: the show stopped before reaching its start point\n");

    int status = 0;
    const Uint32 end_tick = clk::ticks();
    display::set_sink(nullptr);
    display::set_limiter(nullptr);
    if (flashes) {
        flashes->print(stdout);
        if (!flashes->write(opt.flash_report, opt.gentle, error)) {
            std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
            status = 1;
        } else {
            std::printf("flash report: %s\n", printable(opt.flash_report).c_str());
        }
    }
    if (capture) {
        if (!capture->finish(end_tick, error)) {
            std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
            status = 1;
        } else {
            std::fprintf(stderr, "ostramere: captured %ld frames (%u ms) to %s\n",
                         display::frames_shown(), end_tick, printable(opt.capture).c_str());
        }
    }
    // From a start point the run measured lasts from its first frame on.
    if (bench && !bench->report(opt.bench_file, end_tick - (opt.start.set ? bench->first_tick() : 0),
                                error)) {
        std::fprintf(stderr, "ostramere: %s\n", printable(error).c_str());
        status = 1;
    }
    platform::quit();
    return status;
}

// SDL 1.2 on Linux does not rename main, so the entry point is called here.
int main(int argc, char** argv) { return SDL_main(argc, argv); }
