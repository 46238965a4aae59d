// The show's fixed sequence after the loading screen: the title cards and
// the six scenes, run in order on the shared show objects.
#pragma once

struct show_objects;

// Runs the title sequence and every scene, or only the scenes from index
// from_scene of the timeline table on (a restored checkpoint's); returns when
// the last loop has ended (the final scene sets quit at 160000 ms, or a stop
// request did).
void run_timeline(show_objects& s, int from_scene = 0);
