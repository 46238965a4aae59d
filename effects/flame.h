// flame: a tent-shaped, flickering flame added over the background of a
// surface, its colours taken from a 200-entry palette. Draws through a raw
// pixel pointer without locking, clipped to the target's width and height.
#pragma once

#include <SDL.h>

struct flame {
    Uint16* target_pixels = nullptr;  // software surface, read once, never locked
    int target_pitch = 0;             // in pixels
    int target_width = 0;             // clip bounds; 0 draws nothing
    int target_height = 0;
    Uint16 palette[200] = {};         // entry 0 at the base, 199 at the tip

    // Fills target_pixels, target_pitch, target_width and target_height from s.
    void set_target(SDL_Surface* s);

    // Draws columns x..x+width-1 growing upward from row y; height is the peak
    // in pixels, phase shifts the flicker and intensity scales the palette:
    //   red   = min(31, bg red   + trunc(pal red   * intensity))
    //   green = min(31, bg green + trunc(pal green * intensity))
    //   blue  = min(31, trunc(bg blue * 0.5) + trunc(pal blue * intensity))
    void plot(int x, int y, int width, float height, float phase, float intensity);

private:
    // Palette channels scaled by the intensity, capped at 31, and the palette
    // and intensity they were made from.
    // Channels as px::fields words.
    Uint32 add_[200] = {};
    Uint32 back_rg_[1024] = {};  // background red and green, by p >> 6
    Uint32 back_b_[32] = {};     // background blue halved, by p & 31
    Uint16 scaled_palette_[200] = {};
    float scaled_intensity_ = 0.0f;
    bool scaled_valid_ = false;
};
