// The current run, and what running ahead to a start point does.
#include "show_run.h"

#include "platform.h"
#include "sound_layer.h"

#include <atomic>

namespace {
// Read by the audio thread (through the sound layer's clock) as well.
std::atomic<show_run*> active{nullptr};
}  // namespace

show_run::show_run() : previous_(active.load()) { active.store(this); }

show_run::~show_run() {
    if (active.load() == this)
        active.store(previous_);
}

show_run& show_run::current() {
    if (show_run* r = active.load())
        return *r;
    static show_run idle{idle_tag{}};
    return idle;
}

void show_run::arm_start(const start_point& p, bool go_live_there) {
    start.arm(p);
    go_live_at_start_ = p.set && go_live_there;
}

bool show_run::frame_seen(const flip_info& info) {
    if (!start.pending())
        return true;
    if (!start.reached(info)) {
        platform::keep_page_alive();
        start.progress(info);
        return false;
    }
    start.finish_progress();
    if (!go_live_at_start_)
        return true;
    clock.go_live();
    display.headless = false;
    // The song goes on from where the run ahead left it, now heard.
    if (!FSOUND_Init(sound_layer::rate, 32, 0))
        FSOUND_Close();
    return true;
}
