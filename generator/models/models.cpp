// Generator part: the show's four .3D models, written into <data>/gfx/.
// The shapes live in the builders beside it; the file names come from the
// show's manifest.
#include <cstdio>

#include "parts.h"
#include "models/models.h"
#include "show_files.h"

namespace gen {

bool generate_models(const std::string& data_dir) {
    struct item {
        const show_files::file& file;
        std::string room;
        std::vector<mdl::mesh> (*build)();
        bool flat;
    } items[] = {
        {show_files::nygris2, "nygris2", mdl::build_nygris, false},
        {show_files::blob1, "blob1", mdl::build_blob, false},
        {show_files::rom2, "rom2", mdl::build_rom, false},
        {show_files::corner_room, "kunhjorner", mdl::build_corner_room, true},
    };
    for (const item& it : items) {
        std::vector<mdl::mesh> objects = it.build();
        size_t faces = 0;
        for (const auto& m : objects) faces += m.faces.size();
        if (!mdl::write_3d(data_dir + "/" + std::string(it.file.in_data()), it.room, objects, it.flat)) return false;
        std::fprintf(stderr, "ostragen:   %s: %zu objects, %zu faces\n", it.room.c_str(), objects.size(), faces);
    }
    return true;
}

}  // namespace gen
