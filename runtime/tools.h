// The stop test: the show's only input handling. Reads SDL's event queue;
// touches nothing else.
#pragma once

#include <SDL.h>

// The record every caller hands to are_done; never written by the show.
extern SDL_Event event;

// Drains the event queue until it can answer: true on an Escape key-down or a
// window-close request (events queued behind it stay queued), false once the
// queue is empty. Every other event is consumed and ignored. A stop injected
// through the clock (--quit-at) arrives here as a window-close request.
bool are_done(SDL_Event e);
