// Keeps a surface's pixels readable for a scope: locks a surface that needs
// it (SDL_MUSTLOCK) and unlocks it at the end. Every reader of a finished
// frame (the flip's flash limiter, hashes, captures, reports) goes through it;
// effects draw under the stricter surface_lock of pixel.h.
#pragma once

#include <SDL.h>

class frame_read_lock {
public:
    explicit frame_read_lock(SDL_Surface* s) : locked_(SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0 ? s : nullptr) {}
    ~frame_read_lock() {
        if (locked_)
            SDL_UnlockSurface(locked_);
    }
    frame_read_lock(const frame_read_lock&) = delete;
    frame_read_lock& operator=(const frame_read_lock&) = delete;

private:
    SDL_Surface* locked_;
};
