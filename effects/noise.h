// noise: copies a band of a source picture into a destination surface with
// each row shifted vertically along a sine wave (the title-card ripple).
// Reads only inside the source and writes only inside the destination.
#pragma once

#include <SDL.h>

struct noise {
    SDL_Surface* source = nullptr;       // the picture
    Uint16* source_pixels = nullptr;     // valid while locked
    int source_pitch = 0;                // in pixels
    SDL_Surface* destination = nullptr;  // drawn into
    Uint16* destination_pixels = nullptr;
    int destination_pitch = 0;
    Uint16 key = 0;                      // source pixels equal to it are not copied
    int shift = 0;                       // the vertical shift of the last row drawn

    // Copies columns x..x+w-1 of rows y..y+h-1; row yy reads source row
    // yy + trunc(sin(phase) * amplitude), phase being sampled once per row
    // and advanced by step (single precision) for every column inside the
    // 640 x 480 screen. Source pixels equal to key are skipped. Pixels whose
    // source row falls outside the source, or that lie outside either
    // surface, are left untouched.
    void wave(int x, int y, int w, int h, float phase, float step, int amplitude);
};
