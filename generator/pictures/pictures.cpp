// Generator part: every picture of the show under gfx/, plus a contact sheet
// of them all in the data folder. Owns the list of pictures and their file
// formats; the designs themselves live in the other files of this folder.
#include <cstdio>
#include <string>
#include <vector>

#include "parts.h"
#include "pictures/designs.h"
#include "common/files.h"
#include "common/sheet.h"

namespace gen {

namespace {
constexpr int jpeg_quality = 90;

bool ends_with(const std::string& s, const char* tail) {
    std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}
}  // namespace

bool generate_pictures(const std::string& data_dir) {
    using namespace pic;
    typesetter ts;
    using maker = picture (*)(typesetter&);
    static const maker makers[] = {
        make_loadscreen, make_logo,   make_credits,  make_presents, make_title, make_bakgrunn5,
        make_bakgrunn6,  make_lights, make_texmex,   make_light,    make_bakgrunn7, make_new1,
        make_new2,       make_new3,   make_greets1,  make_greets2,  make_tann,  make_skin,
        make_aug,        make_gold,   make_bais,     make_metal,
    };
    std::vector<sheet_entry> sheet;
    std::string error;
    for (maker make : makers) {
        picture p = make(ts);
        const std::string name(p.file->name());
        if (!ts.ok()) {
            std::fprintf(stderr, "ostragen: %s: %s\n", name.c_str(), ts.error.c_str());
            return false;
        }
        const bool jpeg = ends_with(name, ".jpg");
        std::vector<uint8_t> bytes = to_bytes(p.img, p.dither && !jpeg);
        if (p.finish) p.finish(bytes);
        const std::string path = data_dir + "/" + std::string(p.file->in_data());
        bool ok = jpeg ? write_jpeg(path, p.img.w, p.img.h, bytes, jpeg_quality, error)
                       : write_png(path, p.img.w, p.img.h, bytes, error);
        if (!ok) {
            std::fprintf(stderr, "ostragen: %s\n", error.c_str());
            return false;
        }
        // The sheet shows JPEG pictures as decoded from the file, with their losses.
        int w = p.img.w, h = p.img.h;
        if (jpeg && !read_jpeg(path, w, h, bytes, error)) {
            std::fprintf(stderr, "ostragen: %s\n", error.c_str());
            return false;
        }
        sheet.push_back({name, w, h, std::move(bytes)});
    }
    const std::string sheet_path = data_dir + "/contact_sheet.png";
    if (!write_contact_sheet(sheet_path, sheet, ts, error)) {
        std::fprintf(stderr, "ostragen: %s\n", error.c_str());
        return false;
    }
    std::fprintf(stderr, "ostragen:   %zu pictures, contact sheet %s\n", sheet.size(), sheet_path.c_str());
    return true;
}

}  // namespace gen
