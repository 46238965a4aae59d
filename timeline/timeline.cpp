// The show's fixed sequence: title sequence, then the scenes in order.
#include "timeline.h"

void run_timeline(show_objects&) {}
