// The drawing target: an owned 16-bit software surface with the source and
// destination rectangles it is presented through, and blank() to clear it.
// Knows nothing of the display; presenting is the runtime's job.
#pragma once

#include <SDL.h>

struct bitmap {
    SDL_Rect src_rect{0, 0, 640, 480};  // part of the surface that is presented
    SDL_Rect dst_rect{0, 0, 640, 480};  // where it lands; also the update rectangle
    SDL_Surface* surface = nullptr;     // owned; an image load replaces it
    Uint16* pixels = nullptr;           // valid while the surface is locked
    int pitch = 0;                      // in pixels

    // A 640 x 480 x 16 RGB565 software surface, both rectangles {0, 0, 640, 480}.
    bitmap();
    ~bitmap();
    bitmap(const bitmap&) = delete;
    bitmap& operator=(const bitmap&) = delete;

    // Frees the current surface and takes ownership of s; both rectangles
    // become {0, 0, s->w, s->h}.
    void replace_surface(SDL_Surface* s);

    // Writes colour into the first 640 pixels of rows 0..479, clipped to the
    // surface so that a smaller surface is never written past its end.
    void blank(Uint16 colour);
};

// A new 16-bit RGB565 software surface (all masks 0 give the default layout).
SDL_Surface* new_surface16(int w, int h);

// SDL_UpperBlit(src, from, dst, to), with `to` given the copied size as SDL
// gives it. A whole surface onto one of the same size and layout (the
// show's every present and full-screen copy) is one block copy: SDL copies
// row by row, and in the browser each row is a call out to script.
int blit_surface(SDL_Surface* src, SDL_Rect* from, SDL_Surface* dst, SDL_Rect* to);
