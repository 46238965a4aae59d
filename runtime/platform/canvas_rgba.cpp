// RGB565 to RGBA through one table of every pixel value (256 KiB), so the
// conversion is one load per pixel. Owns the table only.
#include "canvas_rgba.h"

#include <memory>

namespace canvas_rgba {

const std::uint32_t* table() {
    static const std::unique_ptr<std::uint32_t[]> t = [] {
        auto made = std::make_unique<std::uint32_t[]>(65536);
        for (std::uint32_t p = 0; p < 65536; ++p) {
            const std::uint32_t r5 = p >> 11, g6 = (p >> 5) & 63, b5 = p & 31;
            const std::uint32_t r = (r5 << 3) | (r5 >> 2), g = (g6 << 2) | (g6 >> 4), b = (b5 << 3) | (b5 >> 2);
            made[p] = 0xFF000000u | (b << 16) | (g << 8) | r;
        }
        return made;
    }();
    return t.get();
}

void convert(const std::uint16_t* pixels, int pitch_px, int w, int h, std::uint32_t* out) {
    const std::uint32_t* const t = table();
    for (int y = 0; y < h; ++y) {
        const std::uint16_t* const src = pixels + static_cast<std::ptrdiff_t>(y) * pitch_px;
        std::uint32_t* const dst = out + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = 0; x < w; ++x) dst[x] = t[src[x]];
    }
}

}  // namespace canvas_rgba
