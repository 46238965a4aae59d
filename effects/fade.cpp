// fade: level-mapped copy of a source rectangle into the target.
// Writes only the target rectangle clipped to both surfaces; reads the source only.
#include "fade.h"

#include <algorithm>
#include <cstdint>

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
// True when map[k] = k + offset for every k.
bool map_offset(const int* map, int& offset) {
    offset = map[0];
    for (int k = 1; k < 32; ++k)
        if (map[k] != k + offset) return false;
    return true;
}
// One row of a shifted-map fade, in 16-bit lanes throughout so it
// vectorises; built for AVX2 as well, picked at load time where it runs.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
[[gnu::target_clones("avx2", "default")]]
#endif
void shift_levels(Uint16* d, const Uint16* s, int n, std::int16_t ro, std::int16_t go, std::int16_t bo) {
    for (int x = 0; x < n; ++x) {
        // out.c = clamp(c + offset.c, 0, 31)
        const Uint16 p = s[x];
        std::int16_t r = static_cast<std::int16_t>((p >> 11) + ro);
        std::int16_t g = static_cast<std::int16_t>(((p >> 6) & 31) + go);
        std::int16_t b = static_cast<std::int16_t>((p & 31) + bo);
        r = r < 0 ? 0 : r > 31 ? 31 : r;
        g = g < 0 ? 0 : g > 31 ? 31 : g;
        b = b < 0 ? 0 : b > 31 ? 31 : b;
        d[x] = static_cast<Uint16>((r << 11) | (g << 6) | b);
    }
}
}  // namespace

void fade::add_RGB(int dr, int dg, int db) {
    for (map_index = 0; map_index < 32; ++map_index) {
        red_map[map_index] = shifted(red_map[map_index], dr);
        green_map[map_index] = shifted(green_map[map_index], dg);
        blue_map[map_index] = shifted(blue_map[map_index], db);
    }
    if (!target || !source) return;

    // Every map the fade builds itself is map[k] = k + offset; those are
    // rendered with plain clamped additions, any other maps through tables.
    int offset[3] = {0, 0, 0};
    const bool shifted_maps = map_offset(red_map, offset[0]) && map_offset(green_map, offset[1]) &&
                              map_offset(blue_map, offset[2]);
    // Tables: red and green together are indexed by p >> 6, blue by p & 31.
    //   out = (clamp(R[p >> 11]) << 11) | (clamp(G[(p >> 6) & 31]) << 6) | clamp(B[p & 31])
    Uint16 rg[1024];
    Uint16 bl[32];
    if (!shifted_maps) {
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
    if (shifted_maps) {
        // Offsets beyond +-32 saturate every level alike.
        const std::int16_t ro = static_cast<std::int16_t>(std::clamp(offset[0], -32, 32));
        const std::int16_t go = static_cast<std::int16_t>(std::clamp(offset[1], -32, 32));
        const std::int16_t bo = static_cast<std::int16_t>(std::clamp(offset[2], -32, 32));
        if (cx1 > cx0)
            for (int y = cy0; y < cy1; ++y) shift_levels(tl.row(y) + cx0, sl.row(y) + cx0, cx1 - cx0, ro, go, bo);
    } else if (cx1 > cx0) {
        for (int y = cy0; y < cy1; ++y) {
            const Uint16* s = sl.row(y);
            Uint16* d = tl.row(y);
            for (int x = cx0; x < cx1; ++x) {
                const Uint16 p = s[x];
                d[x] = rg[p >> 6] | bl[p & 31];
            }
        }
    }
    target_pixels = nullptr;
    source_pixels = nullptr;
}
