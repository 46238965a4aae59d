// The page hooks over emscripten: each call lands in Module.ostra, the object
// the page hands the program.
// Reads the screen only to hash it; shows it through the platform.
#include "web_page.h"

#include "page_control.h"
#include "pixel_hash.h"
#include "platform.h"

#include <emscripten.h>

namespace web_page {

page_sink::page_sink(bool simulated, bench_sink* bench) : simulated_(simulated), bench_(bench) {}

bool page_sink::open(std::string&) {
    EM_ASM({ Module['ostra']['playing'](); });
    return true;
}

void page_sink::frame(SDL_Surface* shown, const flip_info& info) {
    if (bench_)
        bench_->frame(shown, info);
    std::string hash;
    if (simulated_)
        hash = pixel_hash::text(pixel_hash::of(shown));
    const int music = info.music_playing ? static_cast<int>(info.music_ms) : -1;
    EM_ASM({ Module['ostra']['frame']($0, $1, $2, $3 ? UTF8ToString($3) : null); }, static_cast<int>(info.index),
           static_cast<int>(info.tick), music, simulated_ ? hash.c_str() : nullptr);
    if (!simulated_) {
        platform::keep_page_alive();  // presented already; a late frame has not slept
        return;
    }
    if (bench_) {
        const double t0 = emscripten_get_now();
        platform::present(shown);
        bench_->add_present_cost(emscripten_get_now() - t0);
    }
    const double now = emscripten_get_now();
    if (page_control::yield_due(now, last_yield_ms_)) {
        if (!bench_)
            platform::present(shown);
        platform::keep_page_alive();  // the browser paints, handles input, runs timers
        last_yield_ms_ = emscripten_get_now();
    }
}

bool page_sink::finish(Uint32 end_tick, long flips, std::string& error) {
    if (!bench_)
        return true;
    const bool ok = bench_->finish(end_tick, flips, error);
    const std::string json = bench_->json(end_tick);
    EM_ASM({ Module['ostra']['bench'](UTF8ToString($0)); }, json.c_str());
    return ok;
}

bool page_hold::wanted() {
    // A stop holds for one turn, in which the wait finds the request queued
    // here and ends the hold with quit set.
    const page_control::answer a = page_control::read(EM_ASM_INT({ return Module['ostra']['control'](); }));
    if (a.stop)
        platform::push_quit();
    return a.hold;
}

void ended(int status) {
    EM_ASM({ Module['ostra']['ended']($0); }, status);
}

}  // namespace web_page
