// The current run, and what reaching a live start point does.
#include "show_run.h"

#include "sound_layer.h"

#include <atomic>

namespace {
// Read by the audio thread (through the sound layer's clock) as well.
std::atomic<show_run*> active{nullptr};
}  // namespace

show_run::show_run() : previous_(active.load()) {
    active.store(this);
    // The sound layer keeps time by the current run's clock.
    sound_layer::set_clock({clk::ticks, clk::simulated});
}

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

void show_run::start_reached() {
    if (!go_live_at_start_)
        return;
    clock.go_live();
    display.headless = false;
    // The song goes on from where the run ahead left it, now heard.
    if (!FSOUND_Init(sound_layer::rate, 32, 0))
        FSOUND_Close();
}
