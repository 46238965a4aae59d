// fade: copies a rectangle of a source surface onto a target surface (the
// screen) through three per-channel level maps; shifting the maps one level
// per frame fades in from black, out to black or down from white.
// Writes only the target rectangle (clipped to both surfaces); never the source.
#pragma once

#include <SDL.h>

struct fade {
    SDL_Surface* target = nullptr;   // receives the faded picture (the screen)
    SDL_Surface* source = nullptr;   // the picture; set by set_area
    Uint16* source_pixels = nullptr; // valid while locked
    Uint16* target_pixels = nullptr; // valid while locked
    int target_pitch = 0;            // in pixels
    int source_pitch = 0;            // in pixels
    int map_index = 0;               // loop counter of the map updates
    // Entry k is the output level for input level k (0..31), before clamping.
    int red_map[32] = {};
    int green_map[32] = {};
    int blue_map[32] = {};
    // Columns x0..x1-1 and rows y0..y1-1 are processed (exclusive ends).
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    // Stores the source and rectangle and resets the maps from the first
    // character of mode: 'o' map[k] = k, 'i' map[k] = k - 31, otherwise
    // map[k] = k + 31. Touches no pixels.
    void set_area(const char* mode, SDL_Surface* source, int x0, int y0, int x1, int y1);

    // Adds dr, dg, db to every entry of the red, green and blue maps, then
    // renders the rectangle once: out = clamp(map[channel], 0, 31) per channel.
    void add_RGB(int dr, int dg, int db);
};
