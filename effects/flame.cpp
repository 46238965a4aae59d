// flame: additive tent-shaped flame, one column at a time.
// Writes only inside target_width x target_height; never locks.
#include "flame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "float_steps.h"
#include "pixel.h"

void flame::set_target(SDL_Surface* s) {
    target_pixels = s ? static_cast<Uint16*>(s->pixels) : nullptr;
    target_pitch = s ? s->pitch >> 1 : 0;
    target_width = s ? s->w : 0;
    target_height = s ? s->h : 0;
}

namespace {
// trunc(v) capped to 0..31; a capped addend gives the same min(31, ...) result.
int capped_trunc(float v) {
    if (!(v > 0.0f)) return 0;  // also NaN
    if (v >= 31.0f) return 31;
    return static_cast<int>(v);
}
}  // namespace

void flame::plot(int x, int y, int width, float height, float phase, float intensity) {
    if (width <= 0 || !target_pixels) return;

    // Palette channels times the intensity, rebuilt when either changes.
    if (!scaled_valid_ || std::memcmp(scaled_palette_, palette, sizeof palette) != 0 ||
        std::memcmp(&scaled_intensity_, &intensity, sizeof intensity) != 0) {
        for (int k = 0; k < 200; ++k) {
            const Uint16 c = palette[k];
            add_[k] = px::fields(capped_trunc(px::red(c) * intensity), capped_trunc(px::green(c) * intensity),
                                 capped_trunc(px::blue(c) * intensity));
        }
        // The background's share: red and green whole, blue halved.
        for (int k = 0; k < 1024; ++k) back_rg_[k] = px::fields(k >> 5, k & 31, 0);
        for (int k = 0; k < 32; ++k) back_b_[k] = px::fields(0, 0, k >> 1);
        std::memcpy(scaled_palette_, palette, sizeof palette);
        scaled_intensity_ = intensity;
        scaled_valid_ = true;
    }

    const float dphi = 20.0f / static_cast<float>(width);
    const float dh = 2.0f * height / static_cast<float>(width);
    float g = 0.0f;
    float phi = 0.0f;
    const long long half_end = static_cast<long long>(x) + (width >> 1);
    const int row_max = std::min(y, target_height - 1);  // lowest row inside the target

    // Columns left of the target only advance g and phi; those right of it end the flame.
    const long long i_start = std::max<long long>(x, 0);
    const long long i_end = std::min<long long>(static_cast<long long>(x) + width, target_width);
    if (i_start >= i_end) return;
    const long long n_up = std::max<long long>(std::min(i_start, half_end) - x, 0);
    g = repeated_add(g, dh, n_up);
    g = repeated_add(g, -dh, i_start - x - n_up);
    phi = repeated_add(phi, dphi, i_start - x);

    for (long long i = i_start; i < i_end; ++i) {
        g = i < half_end ? g + dh : g - dh;
        // h = g + (g / 10) * sin(phase + phi), stored in single precision
        const float h = static_cast<float>(g + (g / 10.0f) * std::sin(static_cast<double>(phase + phi)));
        phi = phi + dphi;
        if (!(h >= 1.0f)) continue;  // H = trunc(h) <= 0 draws nothing
        // H rows y, y-1, ..., y-H+1; never more than reach row 0.
        const long long H = h < 1e9f ? static_cast<long long>(h) : 1000000000LL;
        const float s = 200.0f / h;  // palette step
        // Rows below the target still advance the palette position.
        const long long skipped = std::min<long long>(static_cast<long long>(y) - row_max, H);
        float p = repeated_add(0.0f, s, skipped);
        const long long top = std::max<long long>(static_cast<long long>(y) - H + 1, 0);
        if (top > row_max) continue;
        Uint16* d = target_pixels + static_cast<std::ptrdiff_t>(row_max) * target_pitch + i;
        for (long long n = row_max - top + 1;;) {
            const int k = std::min(static_cast<int>(p), 199);
            const Uint16 bg = *d;
            // red = min(31, bg.r + trunc(pal.r*c)), green likewise,
            // blue = min(31, trunc(bg.b*0.5) + trunc(pal.b*c))
            *d = px::pack_capped(back_rg_[bg >> 6] + back_b_[bg & 31] + add_[k]);
            p = p + s;
            if (--n == 0) break;
            d -= target_pitch;  // one row up
        }
    }
}
