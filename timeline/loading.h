// Asset loading and the loading screen: the start-up loads in their order with
// the model preparation and the two light sprites between them, then the
// 400-frame loading loop. Runs before the song starts; reads ticks only.
#pragma once

struct show_objects;

// The start-up loads (lights, texmex, nygris2, blob1, the nygris2 textures,
// the loading picture) with their preparation steps. Every load runs even
// when a stop was requested.
void load_assets(show_objects& s);

// The loading screen: the nygris2 model turning and flying in front of the
// loading picture for 400 frames (at least 12 s); skipped when quit is set.
void run_loading_screen(show_objects& s);
