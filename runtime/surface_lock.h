// Keeps a surface's pixels readable for a scope: locks a surface that needs
// it (SDL_MUSTLOCK) and unlocks it at the end. Every reader of a finished
// frame (the flip's flash limiter, hashes, captures, reports) goes through it.
#pragma once

#include <SDL.h>

class surface_lock {
public:
    explicit surface_lock(SDL_Surface* s) : locked_(SDL_MUSTLOCK(s) && SDL_LockSurface(s) == 0 ? s : nullptr) {}
    ~surface_lock() {
        if (locked_)
            SDL_UnlockSurface(locked_);
    }
    surface_lock(const surface_lock&) = delete;
    surface_lock& operator=(const surface_lock&) = delete;

private:
    SDL_Surface* locked_;
};
