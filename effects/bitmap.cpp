// The drawing target: surface ownership and blank().
#include "bitmap.h"

#include <algorithm>

#include "pixel.h"

SDL_Surface* new_surface16(int w, int h) {
    return SDL_CreateRGBSurface(0, w, h, 16, 0, 0, 0, 0);
}

bitmap::bitmap() : surface(new_surface16(640, 480)) {}

bitmap::~bitmap() {
    if (surface) SDL_FreeSurface(surface);
}

void bitmap::replace_surface(SDL_Surface* s) {
    if (surface) SDL_FreeSurface(surface);
    surface = s;
    const Uint16 w = s ? static_cast<Uint16>(s->w) : 0;
    const Uint16 h = s ? static_cast<Uint16>(s->h) : 0;
    src_rect = SDL_Rect{0, 0, w, h};
    dst_rect = SDL_Rect{0, 0, w, h};
}

void bitmap::blank(Uint16 colour) {
    if (!surface) return;
    surface_lock lock(surface);
    pixels = lock.pixels;
    pitch = lock.pitch;
    // The show blanks 640 x 480 surfaces only; a smaller one is clipped.
    const int w = std::min(640, lock.width);
    const int h = std::min(480, lock.height);
    for (int y = 0; y < h; ++y) std::fill_n(lock.row(y), w, colour);
    pixels = nullptr;
}
