// The page hooks over emscripten: each call lands in Module.ostra, the object
// the page hands the program.
// Reads the screen only to hash and show it.
#include "web_page.h"

#include "frame_hash.h"
#include "platform.h"

#include <emscripten.h>

namespace web_page {

page_sink::page_sink(bool simulated, bool present_all, frame_sink* inner)
    : simulated_(simulated), present_all_(present_all), inner_(inner) {}

void page_sink::frame(SDL_Surface* shown, const frame_info& info) {
    if (inner_)
        inner_->frame(shown, info);
    std::string hash;
    if (simulated_)
        hash = frame_hash::text(frame_hash::of(shown));
    const int music = info.music_playing ? static_cast<int>(info.music_ms) : -1;
    EM_ASM({ Module['ostra']['frame']($0, $1, $2, $3 ? UTF8ToString($3) : null); }, static_cast<int>(info.index),
           static_cast<int>(info.tick), music, simulated_ ? hash.c_str() : nullptr);
    if (!simulated_)
        return;  // the live display presented it already; its waits yield
    if (present_all_) {
        const double t0 = emscripten_get_now();
        platform::present(shown);
        present_ms_.push_back(emscripten_get_now() - t0);
    }
    const double now = emscripten_get_now();
    if (now - last_yield_ms_ >= 33.0) {
        if (!present_all_)
            platform::present(shown);
        emscripten_sleep(0);  // the browser paints, handles input, runs timers
        last_yield_ms_ = emscripten_get_now();
    }
}

void playing() {
    EM_ASM({ Module['ostra']['playing'](); });
}

void bench(const std::string& json) {
    EM_ASM({ Module['ostra']['bench'](UTF8ToString($0)); }, json.c_str());
}

void ended(int status) {
    EM_ASM({ Module['ostra']['ended']($0); }, status);
}

}  // namespace web_page
