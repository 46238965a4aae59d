// The pixel format every effect reads and writes: RGB565 words split into
// three 5-bit channels, the weight table pre_RGB_tab and the cross-fade
// tables built from it, and the surface lock rule. Owns no surface; effects
// and the renderer include it.
#pragma once

#include <SDL.h>
#include <cstdint>

namespace px {

// r = p >> 11, g = (p >> 6) & 31 (the upper five green bits), b = p & 31
inline constexpr int red(Uint16 p) { return p >> 11; }
inline constexpr int green(Uint16 p) { return (p >> 6) & 31; }
inline constexpr int blue(Uint16 p) { return p & 31; }

// p = (r << 11) | (g << 6) | b: a computed pixel always has green's lowest bit 0
inline constexpr Uint16 pack(int r, int g, int b) {
    return static_cast<Uint16>((r << 11) | (g << 6) | b);
}

// Three channels side by side in one 32-bit word, in 10-bit fields (red at
// bit 20, green at bit 10, blue at bit 0), so per-channel sums of two or three
// terms take one addition. Effects sum such words and pack them back with the
// per-channel cap of 31.
inline constexpr std::uint32_t fields(int r, int g, int b) {
    return static_cast<std::uint32_t>(r) << 20 | static_cast<std::uint32_t>(g) << 10 | static_cast<std::uint32_t>(b);
}

// out = (min(31, r) << 11) | (min(31, g) << 6) | min(31, b), for fields of at most 63:
// a field with bit 5 set is 32 or more and becomes 31.
inline constexpr Uint16 pack_capped(std::uint32_t sum) {
    const std::uint32_t over = (sum >> 5) & 0x00100401u;
    const std::uint32_t sat = sum | (over * 31u);
    return static_cast<Uint16>(((sat >> 9) & 0xF800u) | ((sat >> 4) & 0x07C0u) | (sat & 31u));
}

}  // namespace px

// Weight table: pre_RGB_tab[v * 31 + k] = trunc(v * k * 0.034), v = 0..255,
// k = 0..30. A blend is out = tab[s*31 + w] + tab[d*31 + 30 - w].
inline constexpr int pre_RGB_rows = 256;
inline constexpr int pre_RGB_weights = 31;
extern int pre_RGB_tab[pre_RGB_rows * pre_RGB_weights];

// Fills pre_RGB_tab row by row (v outer, k inner).
void fill_pre_RGB_tab();

// A cross-fade of two pixels s (source) and d (destination) with fixed
// per-channel weights, per channel c:
//   out.c = pre_RGB_tab[S.c*31 + src_w.c] + pre_RGB_tab[D.c*31 + dst_w.c]
// and out = (r << 11) + (g << 6) + b, in 16 bits. Every term goes into the
// tables already shifted into place (red and green of a pixel index one
// table by p >> 6, blue another by p & 31), so one pixel takes four loads and
// three additions; the sum is the same sum, only ordered differently.
struct cross_fade {
    // Fills the tables for the weights (each 0..30) from pre_RGB_tab.
    void set(int sr, int sg, int sb, int dr, int dg, int db);  // source, then destination weights
    Uint16 operator()(Uint16 s, Uint16 d) const {
        return static_cast<Uint16>(src_rg[s >> 6] + src_b[s & 31] + dst_rg[d >> 6] + dst_b[d & 31]);
    }
    Uint16 src_rg[1024], dst_rg[1024];
    Uint16 src_b[32], dst_b[32];
};

// Locks a surface, retrying while SDL_LockSurface fails.
inline void lock_surface(SDL_Surface* s) {
    while (SDL_LockSurface(s) < 0) {
    }
}

// Holds a surface locked for one drawing operation and exposes its pixels
// with the pitch in pixels (bytes >> 1). Unlocks when it goes out of scope,
// so locks taken in order A, B are released B, A.
class surface_lock {
public:
    explicit surface_lock(SDL_Surface* s) : surface_(s) {
        lock_surface(s);
        pixels = static_cast<Uint16*>(s->pixels);
        pitch = s->pitch >> 1;
        width = s->w;
        height = s->h;
    }
    ~surface_lock() { SDL_UnlockSurface(surface_); }
    surface_lock(const surface_lock&) = delete;
    surface_lock& operator=(const surface_lock&) = delete;

    Uint16* row(int y) const { return pixels + static_cast<std::ptrdiff_t>(y) * pitch; }

    Uint16* pixels;
    int pitch;
    int width;
    int height;

private:
    SDL_Surface* surface_;
};
