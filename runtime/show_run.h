// One run of the show: its clock, its display state (flip count, scene
// label, sink, headless, where music time is read), its start point and
// what may hold it.
// Whatever a flip, a wait or the sound layer asks about "now" comes from the
// current run; a run is current from its construction to its end.
#pragma once

#include "clock.h"
#include "display.h"
#include "hold.h"
#include "start.h"

class show_run {
public:
    // Makes this run the current one (the previous comes back when it ends).
    show_run();
    ~show_run();
    show_run(const show_run&) = delete;
    show_run& operator=(const show_run&) = delete;

    // The run being played (an idle run when none is).
    static show_run& current();

    // Arms the start point. With go_live_there, a simulated run goes on live
    // at that frame: the clock turns live, frames are presented and the
    // sound device opens.
    void arm_start(const start_point& p, bool go_live_there);
    // Whether the frame flipped with `info` is seen: the start gate's answer.
    // While running ahead the page keeps its turns and the progress line
    // moves; at the frame that reaches the point the run goes live if armed so.
    bool frame_seen(const flip_info& info);

    show_clock clock;
    display_state display;
    start_gate start;
    // Asked in every wait whether the show must stand still (null: never).
    hold_source* hold = nullptr;

private:
    struct idle_tag {};
    explicit show_run(idle_tag) {}
    bool go_live_at_start_ = false;
    show_run* previous_ = nullptr;
};
