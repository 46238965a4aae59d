// The show's fixed sequence after the loading screen: the title cards, then
// the six scenes in order (from a checkpoint's scene on, when restored). Each scene runs its set-up even after a stop
// request; its frame loops are then skipped at their entry tests.
#include "timeline.h"

#include "checkpoint.h"
#include "scenes.h"
#include "show_timeline.h"

#include <algorithm>
#include <iterator>

void run_timeline(show_objects& s, int from_scene) {
    // In the order of the timeline table; each scene's start is a checkpoint.
    static constexpr void (*scenes[])(show_objects&) = {run_title,          run_beat_scene, run_flame_scene,
                                                         run_corner_room,    run_backdrop_cycle, run_greetings,
                                                         run_final_room};
    static_assert(std::size(scenes) == show_timeline::scene_count, "one entry point per scene of the table");
    for (int i = std::max(from_scene, 0); i < show_timeline::scene_count; ++i) {
        checkpoint::at_scene_start(s, i);
        scenes[i](s);
    }
}
