// The data check: decodes every picture, parses every model through the
// renderer's own loaders and loads the song through the sound layer, so that
// the show never fails half-way on a missing or broken file.
#include "preflight.h"

#include "printable.h"
#include "room.h"
#include "room_2D.h"
#include "sound_layer.h"

#include "decode_image.h"

#include <filesystem>
#include <system_error>

namespace {

struct picture_use {
    const char* path;
    const char* role;
};

// Every picture is a 640 x 480 frame, card, texture, sprite sheet or sprite
// source: textures are addressed with the frame's pitch, the sheet lights and
// palette read up to row 479, the cards are waved up to the bottom edge.
constexpr picture_use pictures[] = {
    {"./gfx/lights.png", "light sheet"},
    {"./gfx/texmex.png", "full-screen light"},
    {"./gfx/tann.png", "nygris2 texture"},
    {"./gfx/skin.jpg", "nygris2 texture"},
    {"./gfx/aug.jpg", "nygris2 texture"},
    {"./gfx/gold2.jpg", "nygris2 texture"},
    {"./gfx/loadscreen.png", "loading picture"},
    {"./gfx/logo3.png", "title card"},
    {"./gfx/credits.png", "title card"},
    {"./gfx/presents.png", "title card"},
    {"./gfx/vormbrisk.png", "title card"},
    {"./gfx/bakgrunn5.png", "background"},
    {"./gfx/bakgrunn6.png", "background"},
    {"./gfx/bais.png", "blob1 and rom2 texture"},
    {"./gfx/light.png", "overlay light"},
    {"./gfx/new3.png", "background"},
    {"./gfx/new1.png", "background"},
    {"./gfx/new2.png", "background"},
    {"./gfx/bakgrunn7.png", "corner room texture and background"},
    {"./gfx/greets1.png", "greetings card"},
    {"./gfx/greets2.png", "greetings light"},
    {"./gfx/metal_2.png", "rom2 texture"},
};
constexpr int picture_w = 640;
constexpr int picture_h = 480;

struct model_use {
    const char* path;
    int min_objects;  // highest object index the show touches, plus one
};

constexpr model_use models[] = {
    {"./gfx/nygris2.3D", 9},  // textures on objects 0..8
    {"./gfx/blob1.3D", 1},    // texture on object 0
    {"./gfx/rom2.3D", 5},     // textures on objects 0..4
};
constexpr const char* corner_room_model = "./gfx/b_kunhj\xF8rner.3D";
constexpr const char* corner_room_texture = "./gfx/bakgrunn7.png";
constexpr const char* song_path = "./sfx/demomusic.xm";

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

void check_picture(const picture_use& p, std::vector<data_problem>& out) {
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

void check_model(const model_use& m, std::vector<data_problem>& out) {
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

void check_corner_room(std::vector<data_problem>& out) {
    if (auto why = file_problem(corner_room_model); !why.empty()) {
        out.push_back({corner_room_model, why});
        return;
    }
    if (!file_problem(corner_room_texture).empty())
        return;  // reported with the pictures
    SDL_Surface* target = SDL_CreateRGBSurface(0, picture_w, picture_h, 16, 0, 0, 0, 0);
    if (!target) {
        out.push_back({corner_room_model, std::string("no surface to check it: ") + SDL_GetError()});
        return;
    }
    {
        room_2D r;
        const load_result res = r.read_file(corner_room_model, corner_room_texture, target);
        if (!res)
            out.push_back({res.path, res.reason});
    }
    SDL_FreeSurface(target);
}

void check_song(std::vector<data_problem>& out) {
    if (auto why = file_problem(song_path); !why.empty()) {
        out.push_back({song_path, why});
        return;
    }
    FMUSIC_MODULE* song = FMUSIC_LoadSong(song_path);
    if (!song) {
        const std::string why = sound_layer::last_load_error();
        out.push_back({song_path, why.empty() ? "is not a module the sound layer can play" : why});
        return;
    }
    FMUSIC_FreeSong(song);
}

}  // namespace

std::vector<data_problem> check_show_data() {
    std::vector<data_problem> out;
    for (const auto& p : pictures) check_picture(p, out);
    for (const auto& m : models) check_model(m, out);
    check_corner_room(out);
    check_song(out);
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
