// FNV-1a 64 over a frame's RGB565 pixels, low byte of each pixel first, so
// the hash does not depend on the machine's byte order or the row pitch.
#include "pixel_hash.h"

#include "frame_read_lock.h"

#include <algorithm>
#include <cstdio>

namespace pixel_hash {
namespace {
constexpr std::uint64_t offset_basis = 0xcbf29ce484222325ull;
constexpr std::uint64_t prime = 0x100000001b3ull;

// h = (h ^ byte) * prime, for the low then the high byte of p.
inline std::uint64_t mix(std::uint64_t h, Uint16 p) {
    h = (h ^ (p & 0xFFu)) * prime;
    return (h ^ (p >> 8)) * prime;
}
}  // namespace

std::uint64_t of_pixels(const Uint16* pixels, int pitch_pixels, int rows) {
    std::uint64_t h = offset_basis;
    for (int y = 0; y < rows; ++y) {
        const Uint16* row = pixels + static_cast<std::ptrdiff_t>(y) * pitch_pixels;
        for (int x = 0; x < width; ++x)
            h = mix(h, row[x]);
    }
    return h;
}

std::uint64_t of(SDL_Surface* frame) {
    std::uint64_t h = offset_basis;
    if (!frame || frame->format->BytesPerPixel != 2)
        return h;
    frame_read_lock lock(frame);
    const int w = std::min(width, frame->w), rows = std::min(height, frame->h);
    const auto* base = static_cast<const std::uint8_t*>(frame->pixels);
    for (int y = 0; y < height; ++y) {
        const Uint16* row = nullptr;
        if (y < rows)
            row = reinterpret_cast<const Uint16*>(base + static_cast<std::ptrdiff_t>(y) * frame->pitch);
        for (int x = 0; x < width; ++x)
            h = mix(h, (row && x < w) ? row[x] : Uint16{0});
    }
    return h;
}

std::string text(std::uint64_t hash) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
    return buf;
}
}  // namespace pixel_hash
