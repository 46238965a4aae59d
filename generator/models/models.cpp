// Generator part: the show's four .3D models, written into <data>/gfx/.
// The shapes live in the builders beside it; this file only names the files.
#include <cstdio>

#include "models/generate.h"
#include "models/models.h"

namespace gen {

bool generate_models(const std::string& data_dir) {
    const std::string gfx = data_dir + "/gfx/";
    // the corner room's file name holds the Latin-1 byte 0xF8 (o with stroke)
    const std::string corner_name = "b_kunhj\xF8rner.3D";
    struct item {
        std::string file, room;
        std::vector<mdl::mesh> (*build)();
        bool flat;
    } items[] = {
        {"nygris2.3D", "nygris2", mdl::build_nygris, false},
        {"blob1.3D", "blob1", mdl::build_blob, false},
        {"rom2.3D", "rom2", mdl::build_rom, false},
        {corner_name, "kunhjorner", mdl::build_corner_room, true},
    };
    for (const item& it : items) {
        std::vector<mdl::mesh> objects = it.build();
        size_t faces = 0;
        for (const auto& m : objects) faces += m.faces.size();
        if (!mdl::write_3d(gfx + it.file, it.room, objects, it.flat)) return false;
        std::fprintf(stderr, "ostragen:   %s: %zu objects, %zu faces\n", it.room.c_str(), objects.size(), faces);
    }
    return true;
}

}  // namespace gen
