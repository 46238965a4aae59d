// room: reads a .3D file into a fresh array of objects and only then puts
// it in place, so a refused file leaves the room as it was.
#include "room.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "globals.h"
#include "model_reader.h"

room::room() { fill_sin_tables(); }

room::~room() { delete[] objects; }

load_result room::read_file(const char* path) {
    parsed_model m;
    model_format fmt;  // u, v in -2..2 for a 640 x 480 texture
    // each object: its 640 x 480 texture, two scan-line tables of row ends, the record
    fmt.object_bytes = 640 * 480 * 2 + 6 * scan_rows * sizeof(int) + sizeof(object);
    load_result r = read_model(path, fmt, m);
    if (!r) return r;

    const int n = static_cast<int>(m.objects.size());
    object* fresh = nullptr;
    try {
        fresh = new object[static_cast<size_t>(n)];
        for (int i = 0; i < n; ++i) {
            const parsed_object& p = m.objects[static_cast<size_t>(i)];
            object& o = fresh[i];
            if (!o.tex.surface) throw std::bad_alloc();
            std::memcpy(o.name, p.name.c_str(), std::min<size_t>(p.name.size() + 1, sizeof o.name));
            o.name[sizeof o.name - 1] = 0;
            o.allocate(static_cast<int>(p.verts.size()), static_cast<int>(p.faces.size()),
                       static_cast<int>(p.tex.size()));
            std::copy(p.verts.begin(), p.verts.end(), o.verts[0]);
            std::copy(p.faces.begin(), p.faces.end(), o.faces);
            std::copy(p.tex.begin(), p.tex.end(), o.tex_coords[0]);
        }
    } catch (const std::bad_alloc&) {
        delete[] fresh;
        return load_result::failure(path, "not enough memory for its " + std::to_string(n) + " objects");
    }
    delete[] objects;
    objects = fresh;
    nr_objects = n;
    obj_index = n;
    std::memset(name, 0, sizeof name);
    std::snprintf(name, sizeof name, "%s", m.name.c_str());  // cut to fit, though lines hold at most 199
    return r;
}
