// The show's fixed sequence after the loading screen: the title cards and
// the six scenes, run in order on the shared show objects.
#pragma once

struct show_objects;

// Runs the title sequence and every scene; returns when the last loop has
// ended (the final scene sets quit at 160000 ms, or a stop request did).
void run_timeline(show_objects& s);
