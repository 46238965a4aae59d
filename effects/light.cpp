// light: sprite point lists and their weighted blend onto the target.
#include "light.h"

#include <algorithm>

#include "pixel.h"

void light::set_sprite(SDL_Surface* source, int x0, int y0, int x1, int y1, unsigned short key, int use_key) {
    x_offsets.reset();
    y_offsets.reset();
    colours.reset();
    count = 0;
    if (!source) return;
    surface_lock lock(source);
    source_pixels = lock.pixels;
    source_pitch = lock.pitch;

    // Offsets are taken from the whole rectangle's centre; only the part
    // inside the source is scanned.
    const long long cx = static_cast<long long>(x0) + ((static_cast<long long>(x1) - x0) >> 1);
    const long long cy = static_cast<long long>(y0) + ((static_cast<long long>(y1) - y0) >> 1);
    const int sx0 = std::max(x0, 0), sy0 = std::max(y0, 0);
    const int sx1 = std::min(x1, lock.width), sy1 = std::min(y1, lock.height);
    const bool keyed = use_key != 0;

    long long n = 0;
    for (int y = sy0; y < sy1; ++y) {
        const Uint16* s = lock.row(y);
        for (int x = sx0; x < sx1; ++x) n += !(keyed && s[x] == key);
    }
    if (n > 0) {
        x_offsets.reset(new int[n]);
        y_offsets.reset(new int[n]);
        colours.reset(new Uint16[n]);
        int i = 0;
        for (int y = sy0; y < sy1; ++y) {
            const Uint16* s = lock.row(y);
            for (int x = sx0; x < sx1; ++x) {
                if (keyed && s[x] == key) continue;
                x_offsets[i] = static_cast<int>(x - cx);
                y_offsets[i] = static_cast<int>(y - cy);
                colours[i] = s[x];
                ++i;
            }
        }
        count = i;
    }
    source_pixels = nullptr;
}

void light::plot_light(int x, int y, int sprite_r, int sprite_g, int sprite_b, int back_r, int back_g,
                       int back_b) {
    if (!target) return;
    surface_lock lock(target);
    target_pixels = lock.pixels;
    target_pitch = lock.pitch;
    if (count == 0) {
        target_pixels = nullptr;
        return;
    }

    // The table entries each channel value reads, weights kept in 0..30:
    // sr[c] = pre_RGB_tab[c*31 + sprite_r], br[c] = pre_RGB_tab[c*31 + back_r], ...
    auto column = [](int* out, int w) {
        w = std::clamp(w, 0, 30);
        for (int c = 0; c < 32; ++c) out[c] = std::min(pre_RGB_tab[c * 31 + w], 31);
    };
    int sr[32], sg[32], sb[32], br[32], bg[32], bb[32];
    column(sr, sprite_r);
    column(sg, sprite_g);
    column(sb, sprite_b);
    column(br, back_r);
    column(bg, back_g);
    column(bb, back_b);
    // Packed per call: red and green share one table indexed by p >> 6, with
    // the channels in 10-bit fields (red bits 20.., green 10.., blue 0..), so
    // both terms of all three channels add in one 32-bit sum.
    for (int k = 0; k < 1024; ++k) {
        sprite_rg_[k] = px::fields(sr[k >> 5], sg[k & 31], 0);
        back_rg_[k] = px::fields(br[k >> 5], bg[k & 31], 0);
    }
    for (int k = 0; k < 32; ++k) {
        sprite_b_[k] = static_cast<Uint32>(sb[k]);
        back_b_[k] = static_cast<Uint32>(bb[k]);
    }

    // Points land at (x + dx, y + dy) inside 0..639 x 0..479 and the surface.
    const long long w = std::min(640, lock.width);
    const long long h = std::min(480, lock.height);
    const int* dxs = x_offsets.get();
    const int* dys = y_offsets.get();
    const Uint16* cs = colours.get();
    Uint16* pixels = lock.pixels;
    const std::ptrdiff_t pitch = lock.pitch;
    for (int i = 0; i < count; ++i) {
        const long long px_ = x + static_cast<long long>(dxs[i]);
        const long long py = y + static_cast<long long>(dys[i]);
        if (static_cast<unsigned long long>(px_) >= static_cast<unsigned long long>(w) ||
            static_cast<unsigned long long>(py) >= static_cast<unsigned long long>(h))
            continue;
        Uint16* d = pixels + py * pitch + px_;
        const Uint16 c = cs[i];
        const Uint16 b = *d;
        // out.c = min(31, tab[C.c*31 + s.c] + tab[D.c*31 + b.c]): each field of
        // the sum is at most 62; a field of 32 or more (bit 5 set) becomes 31.
        *d = px::pack_capped(sprite_rg_[c >> 6] + sprite_b_[c & 31] + back_rg_[b >> 6] + back_b_[b & 31]);
    }
    target_pixels = nullptr;
}
