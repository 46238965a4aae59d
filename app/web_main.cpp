// Program entry in the browser: the page's arguments (--data DIR, --sim,
// --bench, --quit-at MS, and any desktop option) mapped onto the desktop's
// options, the page sink, the sound output (the page's worklet on a live
// run), one run of the show, and its end handed back to the page. A simulated run (--sim, --bench) takes the path of a desktop
// capture without -w: the simulated clock, no sound output, the settle wait.
#include "bench.h"
#include "options.h"
#include "run_show.h"
#include "web_audio.h"
#include "web_page.h"

#include <emscripten.h>

#include <cstdio>
#include <memory>

namespace {
// The page says whether the song cache this run waits for is still being
// made (its worker writes it into /data/checkpoints/ when done).
EM_JS(int, ostra_song_cache_pending, (), {
    const f = Module['ostra']['songCachePending'];
    return f && f() ? 1 : 0;
});
void await_song_cache() {
    while (ostra_song_cache_pending())
        emscripten_sleep(10);
}
}  // namespace

int main(int argc, char** argv) {
    run_options opt;
    int status = parse_options(argc, argv, opt);
    if (status < 0 && !opt.flash_report.empty()) {
        std::fprintf(stderr, "ostramere: --flash-report writes a file, which the page cannot; "
                             "the bench's report has the flash summary\n");
        status = bad_option_status;
    }
    if (status < 0) {
        if (opt.data_dir.empty())
            opt.data_dir = "/data";  // where the page writes the data
        // The page is the window: a live run starts at once, as a windowed
        // run does; a simulated run keeps the fullscreen path of a capture,
        // so its frames are the capture's frames.
        opt.fullscreen = opt.simulated() ? 1 : 0;
        if (opt.simulated())
            opt.nosound = true;
        else
            opt.sound_output = &web_audio::output();  // the page's worklet
        std::unique_ptr<bench_sink> bench;
        if (opt.bench)
            bench = std::make_unique<bench_sink>(std::string(), opt.start.set);
        web_page::page_sink sink(opt.simulated(), bench.get());
        // A live run stands still while the page holds it; a simulated one
        // runs to its end.
        web_page::page_hold hold;
        if (!opt.simulated())
            opt.hold = &hold;
        opt.await_song_cache = await_song_cache;
        status = run_show(opt, &sink);
    }
    web_page::ended(status);
    return status;
}
