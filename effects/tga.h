// read_TGA: fills a 640 x 480 16-bit surface from an uncompressed 24-bit TGA
// file of that size (pixel block at offset 18, rows in file order), its
// header checked first. Leaves the surface untouched when the file cannot be used.
#pragma once

#include <SDL.h>

#include <string>

struct tga_result {
    bool ok = false;
    std::string error;  // names the file and what is wrong; empty when ok
    explicit operator bool() const { return ok; }
};

inline constexpr long tga_header_bytes = 18;
inline constexpr long tga_pixel_bytes = 640L * 480L * 3L;  // 921,600

// Empty when the 18-byte header describes what read_TGA reads: image type 2
// (uncompressed true colour), no image ID, no colour map, 640 x 480, 24 bits
// per pixel, no alpha bits (either row origin: rows are taken in file
// order); otherwise what it describes instead.
std::string tga_header_problem(const unsigned char* header);

// Refuses a file whose header is not that, or that is shorter than the
// header and the pixel block. Converts each stored blue, green, red triple to
// (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3) (green keeps six bits).
tga_result read_TGA(const char* path, SDL_Surface* surface);
