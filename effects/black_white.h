// black_white: fills a rectangle of a surface with one colour (the frame
// flash). Stateless; writes only inside the given surface.
#pragma once

#include <SDL.h>

struct black_white {
    // Writes colour into columns x..x+w-1 of rows y..y+h-1 (a width and a
    // height, not exclusive ends), clipped to the surface.
    static void blink(SDL_Surface* surface, int x, int y, int w, int h, unsigned short colour);
};
