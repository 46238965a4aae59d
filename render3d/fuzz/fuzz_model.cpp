// libFuzzer target for the .3D loaders: parses the input as a room file and
// as a textured-room file, and draws what loads (dots, lines, filled faces)
// into a 640 x 480 surface. Owns nothing beyond one run.
#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "globals.h"
#include "model_reader.h"
#include "object.h"
#include "pixel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static SDL_Surface* dst = [] {
        fill_pre_RGB_tab();
        fill_sin_tables();
        return SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    }();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    parsed_model m;
    model_format unit;
    unit.unit_tex = true;
    unit.tex_faces = true;
    unit.tex_w = 37;
    unit.tex_h = 21;
    (void)parse_model(text, "fuzz.3D", unit, m);
    if (!parse_model(text, "fuzz.3D", model_format{}, m).ok) return 0;

    dest_surface = dst;
    world_x = world_y = 0;
    world_z = 0;
    long faces = 0;
    for (const parsed_object& p : m.objects) faces += static_cast<long>(p.faces.size());
    if (faces > 4000) return 0;
    for (const parsed_object& p : m.objects) {
        object o;
        o.allocate(static_cast<int>(p.verts.size()), static_cast<int>(p.faces.size()),
                   static_cast<int>(p.tex.size()));
        for (size_t k = 0; k < p.verts.size(); ++k) o.verts[0][k] = p.verts[k];
        for (size_t k = 0; k < p.faces.size(); ++k) o.faces[k] = p.faces[k];
        for (size_t k = 0; k < p.tex.size(); ++k) o.tex_coords[0][k] = p.tex[k];
        o.scale(300, 300, 300, 0, 1);
        o.rotate(2, 1601, 1, 2);
        o.pos_z = 9000;
        clear_z_buffer();
        o.show(1, 2, 0, 0, 0, 0, 0);
        o.show(2, 2, 0, 0, 0, 0, 0);
        o.show(3, 2, 0, 0, 0, 0, 0);
        o.show(3, 0, 0, 1, 10, 20, 30);
    }
    dest_surface = nullptr;
    return 0;
}
