// The renderer's shared state: depth buffer, target, world offset, sine
// tables, key colour and weight of the textured room.
#include "globals.h"

#include <algorithm>
#include <cmath>

int z_buffer[z_buffer_size];

void clear_z_buffer() { std::fill_n(z_buffer, z_buffer_size, z_buffer_far); }

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

