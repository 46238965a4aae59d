// room_2D: loads the shared texture image and the model (u, v in 0..1 scaled
// by the texture's size, texture-face records kept); a refused file leaves
// the room as it was. Owns the objects and the texture surface.
#include "room_2D.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "bitmap.h"
#include "decode_image.h"
#include "model_reader.h"

room_2D::~room_2D() {
    delete[] objects;
    if (tex_surface) SDL_FreeSurface(tex_surface);
}

load_result room_2D::read_file(const char* model_path, const char* texture_path,
                               SDL_Surface* target) {
    const std::string tpath = texture_path ? texture_path : "";
    std::string why = "no texture path given";
    SDL_Surface* img = texture_path ? decode_image(texture_path, why) : nullptr;
    if (!img)
        return load_result::failure(tpath, "cannot load the texture image: " + why);
    SDL_Surface* tex = new_surface16(img->w, img->h);
    if (!tex) {
        SDL_FreeSurface(img);
        return load_result::failure(tpath, std::string("cannot make a 16-bit surface: ") + SDL_GetError());
    }
    SDL_Rect area{0, 0, static_cast<Uint16>(img->w), static_cast<Uint16>(img->h)};
    SDL_UpperBlit(img, &area, tex, &area);
    SDL_FreeSurface(img);

    parsed_model m;
    model_format fmt;
    fmt.unit_tex = true;
    fmt.tex_w = tex->w;
    fmt.tex_h = tex->h;
    fmt.tex_faces = true;
    // each object: two scan-line tables of row ends and the record (the texture is shared)
    fmt.object_bytes = 6 * scan_rows * sizeof(int) + sizeof(object_2);
    load_result r = read_model(model_path, fmt, m);
    if (!r) {
        SDL_FreeSurface(tex);
        return r;
    }

    const int n = static_cast<int>(m.objects.size());
    object_2* fresh = nullptr;
    try {
        fresh = new object_2[static_cast<size_t>(n)];
        for (int i = 0; i < n; ++i) {
            const parsed_object& p = m.objects[static_cast<size_t>(i)];
            object_2& o = fresh[i];
            o.target = target;
            o.tex_surface = tex;
            std::memcpy(o.name, p.name.c_str(), std::min<size_t>(p.name.size() + 1, sizeof o.name));
            o.name[sizeof o.name - 1] = 0;
            o.allocate(static_cast<int>(p.verts.size()), static_cast<int>(p.faces.size()),
                       static_cast<int>(p.tex.size()), static_cast<int>(p.tex_faces.size()));
            std::copy(p.verts.begin(), p.verts.end(), o.verts[0]);
            for (size_t k = 0; k < p.faces.size(); ++k)
                o.faces[k] = face_2{{p.faces[k].v[0], p.faces[k].v[1], p.faces[k].v[2]}, {0, 0, 0, 0}};
            std::copy(p.tex.begin(), p.tex.end(), o.tex_coords[0]);
            for (size_t k = 0; k < p.tex_faces.size(); ++k)
                o.tex_faces[k] = tex_face{{p.tex_faces[k][0], p.tex_faces[k][1], p.tex_faces[k][2]}};
        }
    } catch (const std::bad_alloc&) {
        delete[] fresh;
        SDL_FreeSurface(tex);
        return load_result::failure(model_path,
                                    "not enough memory for its " + std::to_string(n) + " objects");
    }
    delete[] objects;
    if (tex_surface) SDL_FreeSurface(tex_surface);
    objects = fresh;
    tex_surface = tex;
    nr_objects = n;
    obj_index = n;
    std::memset(name, 0, sizeof name);
    std::snprintf(name, sizeof name, "%s", m.name.c_str());  // cut to fit, though lines hold at most 199
    return r;
}
