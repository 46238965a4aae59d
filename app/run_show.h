// One run of the show from its options: the data check, the clock, the
// sound options, the sink, the screen, the start point, intro, and the
// sink's finish. The desktop's and the browser's entries both call it.
#pragma once

#include "display.h"
#include "options.h"

// Plays the show as `opt` asks, every flip handed to `sink` (may be null;
// not owned; opened after the data check, finished after the show).
// Returns the exit status.
int run_show(run_options opt, frame_sink* sink);
