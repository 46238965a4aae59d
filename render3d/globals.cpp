// The renderer's shared state: depth buffer (and the rows its next clear
// fills), target, world offset, sine tables, key colour and weight of the
// textured room.
#include "globals.h"

#include <algorithm>
#include <cmath>

int z_buffer[z_buffer_size];

namespace {
// Rows that may differ from z_buffer_far: all of them before the first clear.
int touched_lo = 0, touched_hi = z_buffer_height;
}  // namespace

void clear_z_buffer() {
    if (touched_lo < touched_hi)
        std::fill(z_buffer + touched_lo * z_buffer_width, z_buffer + touched_hi * z_buffer_width, z_buffer_far);
    touched_lo = z_buffer_height;
    touched_hi = 0;
}

void z_buffer_touch(int lo, int hi) {
    if (lo >= hi) return;
    touched_lo = std::clamp(std::min(touched_lo, lo), 0, z_buffer_height);
    touched_hi = std::clamp(std::max(touched_hi, hi), 0, z_buffer_height);
}

SDL_Surface* dest_surface = nullptr;

int world_x = 0;
int world_y = 0;
int world_z = 0;

float sintab[sin_table_size];
float costab[sin_table_size];

void fill_sin_tables() {
    // sintab[i] = sin(i / 127.33): quotient and function in double, stored as float
    for (int i = 0; i < sin_table_size; ++i) {
        sintab[i] = static_cast<float>(std::sin(i / 127.33));
        costab[i] = static_cast<float>(std::cos(i / 127.33));
    }
}

Uint16 transp_col = 0;
int transp = 0;

