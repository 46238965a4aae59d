// The whole show inside the open display: start-up, sound set-up, loading,
// the timeline and the shutdown in order. Owns the show's objects.
#pragma once

struct SDL_Surface;

// Runs the show on the display surface just opened (a settle wait first when
// `settle`); returns after the song is freed, the sound layer closed and the
// show's objects destroyed.
void intro(SDL_Surface* display_surface, bool settle);
