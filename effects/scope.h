// scope: the music's spectrum as one vertical bar per screen column, standing
// on a base row. Reads FSOUND_DSP_GetSpectrum (and weights that array in
// place); writes only inside the target surface.
#pragma once

#include <SDL.h>

#include <cstdint>

struct scope {
    SDL_Surface* target = nullptr;   // drawn into
    Uint16* target_pixels = nullptr; // valid while locked
    int target_pitch = 0;            // in pixels
    int column_offset = 0;           // added to every pixel's column
    int base_row = 479;              // the row every bar stands on
    int scale = 100;                 // pixels per unit of weighted magnitude
    Uint16 colour = 0;               // (colour_r << 11) | (colour_g << 6) | colour_b
    int colour_r = 0, colour_g = 0, colour_b = 0;
    float* spectrum = nullptr;       // the 512 magnitudes last fetched
    int bar_height = 0;              // of the last column drawn
    int last_column = 639;           // highest column index drawn (inclusive)
    float index_step = 512.0f / 639.0f;  // spectrum bins per column (0.80125195)

    // Fetches the spectrum, weights bin k by (k + 40) / 64 in place and draws
    // bar i from base_row upward, trunc(spectrum[trunc(i * step)] * scale)
    // pixels tall, in colour (r, g, b), each 0..31.
    void plot(int r, int g, int b);

private:
    std::int16_t top_[640] = {};  // per screen column: the highest row of its bar (0..480)
};
