// Small PNG files made byte by byte for the tests: chunks with their CRC,
// a header, image data in stored (uncompressed) deflate blocks. Writes no
// file itself.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "png_check.h"

namespace test_png {

using bytes = std::vector<unsigned char>;

inline void put32(bytes& b, std::uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<unsigned char>(v >> s));
}

// One chunk: length, type, body, CRC over type and body (`crc_delta` spoils it).
inline void chunk(bytes& b, const char* type, const bytes& body, std::uint32_t crc_delta = 0) {
    put32(b, static_cast<std::uint32_t>(body.size()));
    bytes typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    b.insert(b.end(), typed.begin(), typed.end());
    put32(b, png_crc(typed.data(), typed.size()) + crc_delta);
}

inline bytes ihdr(std::uint32_t w, std::uint32_t h, int depth = 8, int type = 2) {
    bytes b;
    put32(b, w);
    put32(b, h);
    b.insert(b.end(), {static_cast<unsigned char>(depth), static_cast<unsigned char>(type), 0, 0, 0});
    return b;
}

// A zlib stream holding `raw` in stored blocks (no compression).
inline bytes stored_zlib(const bytes& raw) {
    bytes z{0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - pos, 65535);
        const bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;  // adler-32
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    put32(z, (b << 16) | a);
    return z;
}

// A complete w x h RGB PNG, every pixel (r, g, b).
inline bytes png_file(std::uint32_t w, std::uint32_t h, unsigned char r = 10, unsigned char g = 20,
                      unsigned char b = 30) {
    bytes raw;
    for (std::uint32_t y = 0; y < h; ++y) {
        raw.push_back(0);  // filter: none
        for (std::uint32_t x = 0; x < w; ++x) raw.insert(raw.end(), {r, g, b});
    }
    bytes f(png_signature, png_signature + 8);
    chunk(f, "IHDR", ihdr(w, h));
    chunk(f, "IDAT", stored_zlib(raw));
    chunk(f, "IEND", {});
    return f;
}

}  // namespace test_png
