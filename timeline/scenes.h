// The title sequence and the six scenes, one entry point each, run in order
// by run_timeline, plus the small steps they share (blits between bitmaps,
// depth clears, per-object loops). Owns no state: everything lives in
// show_objects.
#pragma once

#include "globals.h"
#include "load_image.h"
#include "show_files.h"
#include "show_objects.h"
#include "trace.h"

void run_title(show_objects& s);
void run_beat_scene(show_objects& s);
void run_flame_scene(show_objects& s);
void run_corner_room(show_objects& s);
void run_backdrop_cycle(show_objects& s);
void run_greetings(show_objects& s);
void run_final_room(show_objects& s);

namespace scene {

// Names the phase for capture and bench, and notes its start in the trace.
inline void begin(const char* name) {
    set_scene(name);
    trace::note("scene", name);
}

// Blits src onto dst with SDL_UpperBlit through src's own source and
// destination rectangles (a picture lands at its own size at the top left;
// the rest of dst keeps what it held). The bitmaps' rectangles are not clipped.
void blit_onto(const bitmap& src, bitmap& dst);

// Calls fn(object&) for every object of a model, or for the first `limit`
// objects only (the set-up steps that address objects by index).
template <class Room, class Fn>
void each_object(Room& r, Fn fn, int limit = 1 << 30) {
    for (int i = 0; i < r.nr_objects && i < limit; ++i) fn(r.objects[i]);
}

// Reports a model that failed to load (files are checked before the show
// starts, so this only fires if one changed since); the show goes on.
void report(const load_result& r);

}  // namespace scene
