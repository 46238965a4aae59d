// The data check: decodes every picture, parses every model through the
// renderer's own loaders and loads the song through the sound layer, so that
// the show never fails half-way on a missing or broken file.
#include "preflight.h"

#include "printable.h"
#include "room.h"
#include "room_2D.h"
#include "show_files.h"
#include "sound_layer.h"

#include "decode_image.h"

#include <filesystem>
#include <system_error>

namespace {

using show_files::file;
using show_files::kind;
using show_files::picture_h;
using show_files::picture_w;

// A plain, readable file? Empty result when it is; the reason otherwise.
std::string file_problem(const char* path) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        return "missing";
    if (!std::filesystem::is_regular_file(status))
        return "not a regular file";
    std::FILE* f = std::fopen(path, "rb");
    if (!f)
        return "cannot be opened for reading";
    std::fclose(f);
    return {};
}

void check_picture(const file& p, std::vector<data_problem>& out) {
    if (auto why = file_problem(p.path); !why.empty()) {
        out.push_back({p.path, why + " (" + p.role + ")"});
        return;
    }
    std::string error;
    SDL_Surface* img = decode_image(p.path, error);
    if (!img) {
        out.push_back({p.path, "does not decode as PNG or JPEG: " + error});
        return;
    }
    if (img->w != picture_w || img->h != picture_h)
        out.push_back({p.path, "is " + std::to_string(img->w) + "x" + std::to_string(img->h) +
                                   "; the " + p.role + " must be 640x480"});
    SDL_FreeSurface(img);
}

void check_model(const file& m, std::vector<data_problem>& out) {
    if (auto why = file_problem(m.path); !why.empty()) {
        out.push_back({m.path, why});
        return;
    }
    room r;
    const load_result res = r.read_file(m.path);
    if (!res) {
        out.push_back({res.path, res.reason});
        return;
    }
    if (r.nr_objects < m.min_objects)
        out.push_back({m.path, "holds " + std::to_string(r.nr_objects) +
                                   " objects; the show uses objects 0.." +
                                   std::to_string(m.min_objects - 1)});
}

// Drawn by the 2D room with the corner room's picture as its texture.
void check_corner_room(const file& m, std::vector<data_problem>& out) {
    const char* texture = show_files::bakgrunn7.path;
    if (auto why = file_problem(m.path); !why.empty()) {
        out.push_back({m.path, why});
        return;
    }
    if (!file_problem(texture).empty())
        return;  // reported with the pictures
    SDL_Surface* target = SDL_CreateRGBSurface(0, picture_w, picture_h, 16, 0, 0, 0, 0);
    if (!target) {
        out.push_back({m.path, std::string("no surface to check it: ") + SDL_GetError()});
        return;
    }
    {
        room_2D r;
        const load_result res = r.read_file(m.path, texture, target);
        if (!res)
            out.push_back({res.path, res.reason});
    }
    SDL_FreeSurface(target);
}

void check_song(const file& f, std::vector<data_problem>& out) {
    if (auto why = file_problem(f.path); !why.empty()) {
        out.push_back({f.path, why});
        return;
    }
    FMUSIC_MODULE* song = FMUSIC_LoadSong(f.path);
    if (!song) {
        const std::string why = sound_layer::last_load_error();
        out.push_back({f.path, why.empty() ? "is not a module the sound layer can play" : why});
        return;
    }
    FMUSIC_FreeSong(song);
}

}  // namespace

std::vector<data_problem> check_show_data() {
    std::vector<data_problem> out;
    for (const file* f : show_files::all) {
        switch (f->what) {
        case kind::picture: check_picture(*f, out); break;
        case kind::model: check_model(*f, out); break;
        case kind::corner_room: check_corner_room(*f, out); break;
        case kind::song: check_song(*f, out); break;
        }
    }
    return out;
}

bool preflight(std::FILE* out) {
    const auto problems = check_show_data();
    if (problems.empty())
        return true;
    std::error_code ec;
    const auto here = std::filesystem::current_path(ec);
    std::fprintf(out, "ostramere: %zu problem%s with the show's data in %s:\n", problems.size(),
                 problems.size() == 1 ? "" : "s", printable(here.string()).c_str());
    for (const auto& p : problems)
        std::fprintf(out, "  %s: %s\n", printable(p.path).c_str(), printable(p.reason).c_str());
    return false;
}
