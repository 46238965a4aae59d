// The drawing target: surface ownership, blank() and the surface copy.
#include "bitmap.h"

#include <algorithm>
#include <cstring>

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

int blit_surface(SDL_Surface* src, SDL_Rect* from, SDL_Surface* dst, SDL_Rect* to) {
    // Our surfaces carry no colour key and no alpha: equal layouts copy bits.
    const bool whole = src && dst && (!from || (from->x == 0 && from->y == 0 && from->w == src->w &&
                                                from->h == src->h)) &&
                       (!to || (to->x == 0 && to->y == 0));
    if (!whole || src == dst || src->w != dst->w || src->h != dst->h || src->pitch != dst->pitch ||
        src->format->BitsPerPixel != 16 || dst->format->BitsPerPixel != 16 ||
        src->format->Rmask != dst->format->Rmask || src->format->Gmask != dst->format->Gmask ||
        src->format->Bmask != dst->format->Bmask)
        return SDL_UpperBlit(src, from, dst, to);
    {
        surface_lock in(src), out(dst);
        std::memcpy(out.pixels, in.pixels, static_cast<size_t>(src->pitch) * static_cast<size_t>(src->h));
    }
    if (to) {
        to->w = static_cast<decltype(to->w)>(src->w);
        to->h = static_cast<decltype(to->h)>(src->h);
    }
    return 0;
}
