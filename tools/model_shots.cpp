// model_shots: frames of the generated models drawn by the show's own
// renderer (room, object::show, room_2D) under the scenes' placements, over
// the scenes' backgrounds, written as PNG files for looking at. A
// development aid; the show never runs it.
#include <SDL.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap.h"
#include "decode_image.h"
#include "globals.h"
#include "pixel.h"
#include "room.h"
#include "room_2D.h"

namespace {

std::string gfx;

// Loads a picture into a bitmap as a 16-bit surface of its own size; a
// missing picture leaves the bitmap as it was.
void load_pic(bitmap& b, const std::string& file) {
    std::string error;
    SDL_Surface* img = decode_image((gfx + file).c_str(), error);
    if (!img) {
        std::fprintf(stderr, "model_shots: no %s (%s)\n", file.c_str(), error.c_str());
        return;
    }
    SDL_Surface* s = new_surface16(img->w, img->h);
    SDL_Rect r{0, 0, Uint16(img->w), Uint16(img->h)};
    SDL_UpperBlit(img, &r, s, &r);
    SDL_FreeSurface(img);
    b.replace_surface(s);
}

bool save(SDL_Surface* s, const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_write_struct(&p, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(p, f);
    png_set_IHDR(p, info, 640, 480, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(p, info);
    std::vector<unsigned char> row(640 * 3);
    SDL_LockSurface(s);
    for (int y = 0; y < 480; ++y) {
        const Uint16* px = reinterpret_cast<const Uint16*>(static_cast<const char*>(s->pixels) + y * s->pitch);
        for (int x = 0; x < 640; ++x) {
            // RGB565 to 8 bits a channel: c8 = c5 * 255 / 31, g8 = g6 * 255 / 63
            row[size_t(x) * 3 + 0] = (unsigned char)((px[x] >> 11) * 255 / 31);
            row[size_t(x) * 3 + 1] = (unsigned char)(((px[x] >> 5) & 63) * 255 / 63);
            row[size_t(x) * 3 + 2] = (unsigned char)((px[x] & 31) * 255 / 31);
        }
        png_write_row(p, row.data());
    }
    SDL_UnlockSurface(s);
    png_write_end(p, nullptr);
    png_destroy_write_struct(&p, &info);
    return std::fclose(f) == 0;
}

void blit(bitmap& from, bitmap& to) { SDL_UpperBlit(from.surface, &from.src_rect, to.surface, &from.dst_rect); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: model_shots DATA_DIR OUT_DIR\n");
        return 2;
    }
    gfx = std::string(argv[1]) + "/gfx/";
    std::string out = std::string(argv[2]) + "/";
    fill_pre_RGB_tab();
    bitmap work, back;
    dest_surface = work.surface;

    room ny, blob, rom;
    for (auto [r, file] : {std::pair{&ny, "nygris2.3D"}, std::pair{&blob, "blob1.3D"}, std::pair{&rom, "rom2.3D"}}) {
        load_result res = r->read_file((gfx + file).c_str());
        if (!res.ok) {
            std::fprintf(stderr, "model_shots: %s\n", res.message().c_str());
            return 1;
        }
    }
    const char* ny_tex[9] = {"tann.png", "tann.png", "tann.png", "tann.png", "tann.png",
                             "skin.jpg", "aug.jpg",  "aug.jpg",  "gold2.jpg"};
    for (int i = 0; i < 9 && i < ny.nr_objects; ++i) load_pic(ny.objects[i].tex, ny_tex[i]);
    load_pic(blob.objects[0].tex, "bais.png");
    for (int i = 0; i < 4; ++i) load_pic(rom.objects[i].tex, "bais.png");
    load_pic(rom.objects[4].tex, "metal_2.png");

    auto each = [](room& r, auto fn) {
        for (int i = 0; i < r.nr_objects; ++i) fn(r.objects[i]);
    };

    // Loading screen: scale 300, X by 600, then Y by 2c per frame; depth as
    // the loop leaves it on frame k.
    load_pic(back, "loadscreen.png");
    each(ny, [](object& o) { o.scale(300, 300, 300, 0, 1); });
    each(ny, [](object& o) { o.rotate(1, 600, 1, 2); });
    for (int k : {0, 20, 28, 30, 40, 60, 120, 250, 399}) {
        int pos_z = 300 * (k + 1), wz = k >= 31 ? -350 * (k - 30) : 0;
        world_x = world_y = 0;
        world_z = wz;
        each(ny, [&](object& o) {
            o.pos_x = o.pos_y = 0;
            o.pos_z = pos_z;
            o.rotate(2, 4 * k, 2, 1);
        });
        blit(back, work);
        clear_z_buffer();
        each(ny, [](object& o) { o.show(3, 1, 0, 0, 0, 0, 0); });
        save(work.surface, out + "loading_" + std::to_string(k) + ".png");
    }

    // Beat scene: bakgrunn5, nygris at (850, -530) drawn nodded and then
    // rolled, the blob cross-faded on its path.
    load_pic(back, "bakgrunn5.png");
    world_z = 0;
    each(blob, [](object& o) { o.scale(330, 330, 330, 0, 1); });
    each(ny, [](object& o) {
        o.scale(300, 300, 300, 0, 1);
        o.pos_x = 850, o.pos_y = -530, o.pos_z = 0;
    });
    each(ny, [](object& o) { o.rotate(1, 600, 1, 2); });
    each(ny, [](object& o) { o.rotate(2, 600, 2, 1); });
    for (int p : {0, 100, 200, 300}) {
        int swing = 780 + p / 10;
        blit(back, work);
        each(ny, [&](object& o) { o.rotate(1, swing, 1, 2); });
        clear_z_buffer();
        each(ny, [](object& o) { o.show(3, 2, 0, 0, 16, 16, 16); });
        object& b0 = blob.objects[0];
        b0.pos_z = int(std::trunc(costab[p] * -3000.0f));
        b0.pos_x = int(std::trunc(sintab[2 * p] * 400.0f));
        b0.pos_y = int(std::trunc(sintab[p] * 300.0f));
        clear_z_buffer();
        unsigned short c = (unsigned short)(30 - p / 15);
        each(blob, [&](object& o) { o.rotate(1, 4 * p, 1, 2); });
        each(blob, [&](object& o) { o.show(3, 2, 0, 1, c, c, c); });
        if (p == 0) each(blob, [&](object& o) { o.show(2, 2, 0, 0, 0, 0, 0); });
        each(ny, [&](object& o) { o.rotate(3, swing, 2, 1); });
        clear_z_buffer();
        each(ny, [](object& o) { o.show(3, 1, 0, 0, 16, 16, 16); });
        save(work.surface, out + "beat_" + std::to_string(p) + ".png");
    }

    // Corner room: black, the flat room faint (transp 1) and plain (transp 0),
    // the blob wireframe over it.
    {
        room_2D corner;
        load_result res = corner.read_file((gfx + "b_kunhj\xF8rner.3D").c_str(), (gfx + "bakgrunn7.png").c_str(),
                                           work.surface);
        if (!res.ok) std::fprintf(stderr, "model_shots: %s\n", res.message().c_str());
        each(blob, [](object& o) { o.scale(330, 330, 330, 0, 1); });
        for (int t : {1, 0}) {
            work.blank(0);
            transp_col = 20;
            transp = t;
            for (int i = 0; i < corner.nr_objects; ++i) corner.objects[i].show(3, 0, 0);
            int f = 150;
            each(blob, [&](object& o) { o.rotate(1, (4 * f) % 800, 1, 2); });
            object& b0 = blob.objects[0];
            b0.pos_x = int(std::trunc(sintab[2 * (f % 800)] * 400.0f));
            b0.pos_y = int(std::trunc(sintab[f] * 300.0f));
            each(blob, [](object& o) { o.show(2, 2, 0, 0, 0, 0, 0); });
            save(work.surface, out + "corner_transp" + std::to_string(t) + ".png");
        }
    }

    // Backdrop cycle: new3 behind, nygris scale 800 at the origin, nodding.
    load_pic(back, "new3.png");
    each(ny, [](object& o) {
        o.pos_x = o.pos_y = o.pos_z = 0;
        o.scale(800, 800, 800, 0, 1);
    });
    each(ny, [](object& o) { o.rotate(1, 600, 1, 2); });
    each(ny, [](object& o) { o.rotate(2, 600, 2, 1); });
    for (int swing : {760, 800, 840}) {
        blit(back, work);
        each(ny, [&](object& o) { o.rotate(1, swing, 1, 2); });
        clear_z_buffer();
        each(ny, [](object& o) { o.show(3, 2, 0, 0, 16, 16, 16); });
        save(work.surface, out + "backdrop_" + std::to_string(swing) + ".png");
    }

    // Final room: scale 3, turned about Y, world (70, 0, 1650).
    each(rom, [](object& o) {
        o.pos_x = o.pos_y = o.pos_z = 0;
        o.scale(3, 3, 3, 0, 1);
    });
    world_x = 70, world_y = 0, world_z = 1650;
    for (int n : {0, 60, 130, 200, 270, 340}) {
        each(rom, [&](object& o) { o.rotate(2, (2 * n) % 800, 1, 2); });
        work.blank(0);
        clear_z_buffer();
        each(rom, [](object& o) { o.show(3, 2, 0, 0, 0, 0, 0); });
        save(work.surface, out + "room_" + std::to_string(n) + ".png");
    }
    return 0;
}
