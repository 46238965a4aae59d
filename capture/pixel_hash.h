// A frame's identity: FNV-1a 64-bit over its 640 x 480 RGB565 pixels taken
// as 307,200 little-endian 16-bit values, rows top to bottom, no row padding.
// Two runs, builds or platforms that agree on a frame agree on its hash.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

namespace pixel_hash {
inline constexpr int width = 640;
inline constexpr int height = 480;

// Hash of the top-left 640 x 480 pixels of a 16-bit surface (locked here if
// it must be); pixels outside a smaller surface count as 0.
std::uint64_t of(SDL_Surface* frame);
// Hash of `rows` rows of `width` pixels, `pitch_pixels` apart.
std::uint64_t of_pixels(const Uint16* pixels, int pitch_pixels, int rows);
// 16 lowercase hex digits.
std::string text(std::uint64_t hash);
}  // namespace pixel_hash
