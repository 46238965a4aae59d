// A room: a named set of meshes read from a .3D file. Owns its objects;
// constructing one fills the shared sine tables.
#pragma once

#include "load_result.h"
#include "object.h"

class room {
public:
    int obj_index = 0;       // object being read; nr_objects afterwards
    char name[200] = {};     // room name from the first line
    int nr_objects = 0;
    object* objects = nullptr;

    room();  // fills sintab and costab
    ~room();
    room(const room&) = delete;
    room& operator=(const room&) = delete;

    // Reads a whole .3D file. On failure the room keeps what it held before
    // and the result names the file, the object and what is wrong.
    load_result read_file(const char* path);
};
