// A strict walk over a PNG file's chunks before any pixel is decoded: the
// signature, the header's size and layout, every chunk's length and CRC,
// the image data in one run and the end chunk last. Reads bytes only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct png_layout {
    std::uint32_t width = 0, height = 0;
    int bit_depth = 0, colour_type = 0;
    std::size_t idat_bytes = 0;  // compressed image data, summed over the IDAT chunks
};

inline constexpr unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// CRC-32 of PNG chunks (and zlib): polynomial 0xEDB88320, reflected, with
// the initial value and final xor 0xFFFFFFFF.
std::uint32_t png_crc(const unsigned char* data, std::size_t size);

// Checks the whole file; empty when it is a complete PNG of at most
// max_w x max_h pixels, else what is wrong ("the file ends inside chunk 5
// (IDAT)"). `out` holds the header's fields once IHDR was read.
std::string check_png(const unsigned char* data, std::size_t size, std::uint32_t max_w,
                      std::uint32_t max_h, png_layout& out);
