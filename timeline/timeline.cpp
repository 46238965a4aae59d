// The show's fixed sequence after the loading screen: the title cards, then
// the six scenes in order. Each scene runs its set-up even after a stop
// request; its frame loops are then skipped at their entry tests.
#include "timeline.h"

#include "printable.h"
#include "scenes.h"

#include <cstdio>

void run_timeline(show_objects& s) {
    run_title(s);
    run_beat_scene(s);
    run_flame_scene(s);
    run_corner_room(s);
    run_backdrop_cycle(s);
    run_greetings(s);
    run_final_room(s);
}

namespace scene {

void blit_onto(const bitmap& src, bitmap& dst) {
    SDL_Rect from = src.src_rect;
    SDL_Rect to = src.dst_rect;
    blit_surface(src.surface, &from, dst.surface, &to);
}

void report(const load_result& r) {
    if (!r)
        std::fprintf(stderr, "ostramere: %s\n", printable(r.message()).c_str());
}

}  // namespace scene
