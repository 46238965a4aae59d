// The textured room: flat meshes sharing one texture image, drawn into one
// target surface. Owns its objects and the shared texture surface.
#pragma once

#include <SDL.h>

#include "load_result.h"
#include "object_2.h"

class room_2D {
public:
    int obj_index = 0;
    char name[200] = {};
    int nr_objects = 0;
    object_2* objects = nullptr;
    SDL_Surface* tex_surface = nullptr;  // the shared 16-bit texture

    room_2D() = default;
    ~room_2D();
    room_2D(const room_2D&) = delete;
    room_2D& operator=(const room_2D&) = delete;

    // Loads the texture image, then the model (u, v in 0..1 scaled by the
    // texture's size); every object draws into `target`. On failure the room
    // keeps what it held before and the result says what is wrong.
    load_result read_file(const char* model_path, const char* texture_path, SDL_Surface* target);
};
