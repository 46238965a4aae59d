// Shared state of the 3D renderer: the depth buffer and its clear, the target
// surface, the world offset, the sine tables, and the textured room's key
// colour and weight. Draws nothing.
#pragma once

#include <SDL.h>

// Depth of pixel (x, y) is z_buffer[y * 640 + x]; larger is nearer.
inline constexpr int z_buffer_width = 640;
inline constexpr int z_buffer_height = 480;
inline constexpr int z_buffer_size = z_buffer_width * z_buffer_height;  // 307,200
inline constexpr int z_buffer_far = -1000000;
extern int z_buffer[z_buffer_size];

// Sets every z_buffer entry to z_buffer_far (-1,000,000). Only the rows
// written since the last clear are filled: the renderer reports the rows it
// stores depths in through z_buffer_touch; code that writes z_buffer any
// other way calls z_buffer_touch(0, z_buffer_height) afterwards.
void clear_z_buffer();

// Rows lo .. hi - 1 of z_buffer may now hold other depths than z_buffer_far.
void z_buffer_touch(int lo, int hi);

// The surface object::show draws into; set by the timeline.
extern SDL_Surface* dest_surface;

// Added to every projected vertex of every object.
extern int world_x;
extern int world_y;
extern int world_z;

// sintab[i] = sin(i / 127.33), costab[i] = cos(i / 127.33), computed in double
// and stored as float; 800 entries make one turn, the tables hold two.
inline constexpr int sin_table_size = 1600;
extern float sintab[sin_table_size];
extern float costab[sin_table_size];

// Fills sintab and costab (every room constructor calls it).
void fill_sin_tables();

// Textured room: texels equal to transp_col are left out; transp 0 copies the
// texel, 1..30 cross-fades it with the target using that weight.
extern Uint16 transp_col;
extern int transp;

