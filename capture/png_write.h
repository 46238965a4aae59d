// Writes a 16-bit RGB565 surface as a 24-bit PNG file (libpng). Reads the
// surface only.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// Expands one RGB565 row to 8-bit RGB, replicating the top bits into the
// low ones so that 31 becomes 255: r8 = (r5 << 3) | (r5 >> 2).
void rgb565_to_rgb24(const Uint16* src, int width, std::uint8_t* dst);

// Writes the surface as PNG with zlib level `level` (1 = fast). Returns false
// with a message in `error` when the file cannot be written.
bool write_png(const std::string& path, SDL_Surface* s, int level, std::string& error);
