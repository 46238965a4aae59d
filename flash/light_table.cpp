// The per-RGB565 light table: each 5- or 6-bit channel widened to 8 bits as
// the PNG capture widens it, to linear light through a table of the 32 and
// 64 channel values, then luminance and the red value, rounded once.
#include "light_table.h"

#include <cmath>
#include <vector>

namespace flash {

double srgb_to_linear(int v) {
    const double c = v / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

namespace {
std::vector<std::uint32_t> build() {
    double lin5[32], lin6[64];
    for (int i = 0; i < 32; ++i) lin5[i] = srgb_to_linear((i << 3) | (i >> 2));
    for (int i = 0; i < 64; ++i) lin6[i] = srgb_to_linear((i << 2) | (i >> 4));
    std::vector<std::uint32_t> t(65536);
    for (unsigned p = 0; p < 65536; ++p) {
        const double r = lin5[p >> 11], g = lin6[(p >> 5) & 63], b = lin5[p & 31];
        // L = 0.2126 R + 0.7152 G + 0.0722 B
        const double lum = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        // red value = max(0, R - G - B) * 320
        const double red = std::fmax(0.0, r - g - b) * 320.0;
        const bool saturated = r + g + b > 0 && r >= 0.8 * (r + g + b);
        t[p] = static_cast<std::uint32_t>(std::lround(lum * lum_one)) |
               static_cast<std::uint32_t>(std::lround(red * red_unit)) << 16 |
               (saturated ? saturated_bit : 0u);
    }
    return t;
}
}  // namespace

const std::uint32_t* light_table() {
    static const std::vector<std::uint32_t> table = build();
    return table.data();
}

const std::uint16_t* lum_table() {
    static const std::vector<std::uint16_t> table = [] {
        const std::uint32_t* t = light_table();
        std::vector<std::uint16_t> out(65536);
        for (unsigned p = 0; p < 65536; ++p)
            out[p] = static_cast<std::uint16_t>(lum_of(t[p]) | (t[p] & saturated_bit ? saturated_bit16 : 0));
        return out;
    }();
    return table.data();
}

}  // namespace flash
