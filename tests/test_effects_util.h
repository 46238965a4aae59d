// Helpers shared by the effect tests: owned surfaces, pixel access,
// random fills and snapshots.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <random>

#include "bitmap.h"

struct surface_deleter {
    void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using surface_ptr = std::unique_ptr<SDL_Surface, surface_deleter>;

inline surface_ptr make_surface(int w, int h, Uint16 fill = 0) {
    surface_ptr s(new_surface16(w, h));
    auto* p = static_cast<Uint16*>(s->pixels);
    for (int i = 0; i < (s->pitch / 2) * h; ++i) p[i] = fill;
    return s;
}

inline Uint16& at(SDL_Surface* s, int x, int y) {
    return static_cast<Uint16*>(s->pixels)[y * (s->pitch / 2) + x];
}

inline void fill_random(SDL_Surface* s, std::uint32_t seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) at(s, x, y) = static_cast<Uint16>(rng());
}

// A copy of every pixel, for "untouched" checks.
inline std::unique_ptr<Uint16[]> snapshot(SDL_Surface* s) {
    const int n = (s->pitch / 2) * s->h;
    std::unique_ptr<Uint16[]> c(new Uint16[n]);
    const auto* p = static_cast<Uint16*>(s->pixels);
    for (int i = 0; i < n; ++i) c[i] = p[i];
    return c;
}
