// fade: level-mapped copy of a source rectangle into the target.
#include "fade.h"

#include <algorithm>

#include "pixel.h"

void fade::set_area(const char* mode, SDL_Surface* src, int ax0, int ay0, int ax1, int ay1) {
    source = src;
    x0 = ax0;
    y0 = ay0;
    x1 = ax1;
    y1 = ay1;
    const char first = mode ? mode[0] : '\0';
    // 'o': map[k] = k; 'i': map[k] = k - 31; anything else: map[k] = k + 31
    const int base = first == 'o' ? 0 : first == 'i' ? -31 : 31;
    for (map_index = 0; map_index < 32; ++map_index) {
        red_map[map_index] = map_index + base;
        green_map[map_index] = map_index + base;
        blue_map[map_index] = map_index + base;
    }
}

namespace {
// Saturating add that cannot overflow, however many frames a map is shifted.
int shifted(int v, int d) {
    const long long s = static_cast<long long>(v) + d;
    return static_cast<int>(std::clamp<long long>(s, -(1LL << 30), 1LL << 30));
}
int clamp31(int v) { return v < 0 ? 0 : v > 31 ? 31 : v; }
}  // namespace

void fade::add_RGB(int dr, int dg, int db) {
    for (map_index = 0; map_index < 32; ++map_index) {
        red_map[map_index] = shifted(red_map[map_index], dr);
        green_map[map_index] = shifted(green_map[map_index], dg);
        blue_map[map_index] = shifted(blue_map[map_index], db);
    }
    if (!target || !source) return;

    // Clamped maps, already in place: red and green together index a
    // 1024-entry table by p >> 6, blue a 32-entry one by p & 31.
    //   out = (clamp(R[p >> 11]) << 11) | (clamp(G[(p >> 6) & 31]) << 6) | clamp(B[p & 31])
    Uint16 rg[1024];
    Uint16 bl[32];
    {
        Uint16 r[32], g[32];
        for (int k = 0; k < 32; ++k) {
            r[k] = static_cast<Uint16>(clamp31(red_map[k]) << 11);
            g[k] = static_cast<Uint16>(clamp31(green_map[k]) << 6);
            bl[k] = static_cast<Uint16>(clamp31(blue_map[k]));
        }
        for (int k = 0; k < 1024; ++k) rg[k] = r[k >> 5] | g[k & 31];
    }

    surface_lock tl(target);
    surface_lock sl(source);  // released first
    target_pixels = tl.pixels;
    target_pitch = tl.pitch;
    source_pixels = sl.pixels;
    source_pitch = sl.pitch;

    // The rectangle, clipped to both surfaces.
    const int cx0 = std::max(x0, 0);
    const int cy0 = std::max(y0, 0);
    const int cx1 = std::min({x1, tl.width, sl.width});
    const int cy1 = std::min({y1, tl.height, sl.height});
    for (int y = cy0; y < cy1; ++y) {
        const Uint16* s = sl.row(y);
        Uint16* d = tl.row(y);
        for (int x = cx0; x < cx1; ++x) {
            const Uint16 p = s[x];
            d[x] = rg[p >> 6] | bl[p & 31];
        }
    }
    target_pixels = nullptr;
    source_pixels = nullptr;
}
