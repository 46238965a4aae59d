// Program entry on the desktop: the command line, the capture, bench or
// flash-report sink it asks for, then one run of the show. Draws nothing itself.
#include "bench.h"
#include "flash_report.h"
#include "folder_sink.h"
#include "options.h"
#include "run_show.h"
#include "start.h"
#include "video_sink.h"

#include <filesystem>
#include <memory>

namespace {
// Expected length of a run, for the capture's ETA: settle wait, 400 loading
// frames of 30 ms, and the song's part up to the show's end.
Uint32 expected_ticks(int full) { return (full ? 3000u : 0u) + 12000u + show_end_ms; }
}  // namespace

int SDL_main(int argc, char** argv) {
    run_options opt;
    if (const int status = parse_options(argc, argv, opt); status >= 0)
        return status;

    // Output files are named relative to where the program was started.
    for (std::string* dir : {&opt.checkpoints, &opt.write_checkpoints, &opt.write_song_cache})
        if (!dir->empty())
            *dir = std::filesystem::absolute(*dir).string();
    std::unique_ptr<frame_sink> sink;
    if (!opt.capture.empty()) {
        const std::string out = std::filesystem::absolute(opt.capture).string();
        if (opt.capture_video())
            sink = std::make_unique<video_sink>(out, opt.fps, expected_ticks(opt.fullscreen));
        else
            sink = std::make_unique<folder_sink>(out, opt.png_every, expected_ticks(opt.fullscreen));
    } else if (opt.bench) {
        sink = std::make_unique<bench_sink>(std::filesystem::absolute(opt.bench_file).string(),
                                            opt.start.set);
    } else if (!opt.flash_report.empty()) {
        sink = std::make_unique<flash_report>(std::filesystem::absolute(opt.flash_report).string(),
                                              opt.gentle);
    }
    return run_show(opt, sink.get());
}

// SDL 1.2 on Linux does not rename main, so the entry point is called here.
int main(int argc, char** argv) { return SDL_main(argc, argv); }
