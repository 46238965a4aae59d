// model_preview: draws the generated models under the scenes' placements
// into PNG files for looking at — flat-shaded with a per-pixel depth test,
// one colour per object. A development aid; the show never runs it.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "model_scenes.h"

namespace {

struct canvas {
    int w = 640, h = 480;
    std::vector<unsigned char> rgb = std::vector<unsigned char>(640 * 480 * 3, 0);
    std::vector<double> depth = std::vector<double>(640 * 480, -1e30);
    void clear(int shade) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                unsigned char c = (unsigned char)(shade * ((x / 32 + y / 32) % 2 ? 1.0 : 0.8));
                rgb[size_t(y * w + x) * 3 + 0] = c;
                rgb[size_t(y * w + x) * 3 + 1] = c;
                rgb[size_t(y * w + x) * 3 + 2] = (unsigned char)(c + 20);
            }
        std::fill(depth.begin(), depth.end(), -1e30);
    }
    bool save(const std::string& path) const {
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
        png_set_IHDR(p, info, png_uint_32(w), png_uint_32(h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(p, info);
        for (int y = 0; y < h; ++y) png_write_row(p, rgb.data() + size_t(y * w) * 3);
        png_write_end(p, nullptr);
        png_destroy_write_struct(&p, &info);
        return std::fclose(f) == 0;
    }
};

const unsigned char palette[9][3] = {{240, 235, 210}, {240, 235, 210}, {230, 225, 200}, {230, 225, 200},
                                     {220, 215, 190}, {170, 110, 100}, {120, 200, 120}, {120, 200, 120},
                                     {230, 180, 40}};

void draw(canvas& cv, const scenes::model& m, const scenes::pose& p, bool wire = false) {
    for (size_t oi = 0; oi < m.objs.size() && oi < p.sets.size(); ++oi) {
        const auto& o = m.objs[oi];
        const auto& vs = *p.sets[oi];
        const unsigned char* col = palette[oi % 9];
        if (m.name == "blob1") col = palette[5];
        if (m.name == "rom2") {
            static const unsigned char rc[5][3] = {
                {150, 140, 120}, {170, 120, 90}, {200, 190, 170}, {160, 150, 140}, {190, 200, 215}};
            col = rc[oi % 5];
        }
        for (const auto& f : o.f) {
            scenes::vec w[3];
            scenes::point q[3];
            bool behind = false;
            for (int k = 0; k < 3; ++k) {
                w[k] = vs[size_t(f[k])];
                q[k] = scenes::project(w[k], p.where);
                if (q[k].z >= -1) behind = true;
            }
            if (behind) continue;
            // light from the viewer's upper left, two-sided
            double ax = w[1][0] - w[0][0], ay = w[1][1] - w[0][1], az = w[1][2] - w[0][2];
            double bx = w[2][0] - w[0][0], by = w[2][1] - w[0][1], bz = w[2][2] - w[0][2];
            double nx = ay * bz - az * by, ny = az * bx - ax * bz, nz = ax * by - ay * bx;
            double nl = std::sqrt(nx * nx + ny * ny + nz * nz) + 1e-12;
            double lx = -0.4, ly = 0.5, lz = 0.77;  // world: +x shows on the left, +y up, +z toward the viewer
            double lam = std::fabs((nx * lx + ny * ly + nz * lz) / nl);
            double shade = 0.25 + 0.75 * lam;
            if (wire) {
                for (int e = 0; e < 3; ++e) {
                    const auto& a = q[e];
                    const auto& b = q[(e + 1) % 3];
                    int n = int(std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y))) + 1;
                    if (n > 4000) continue;
                    for (int i = 0; i <= n; ++i) {
                        int x = int(a.x + (b.x - a.x) * i / n), y = int(a.y + (b.y - a.y) * i / n);
                        if (x >= 0 && x < 640 && y >= 0 && y < 480)
                            for (int c = 0; c < 3; ++c) cv.rgb[size_t(y * 640 + x) * 3 + c] = 255;
                    }
                }
                continue;
            }
            double x0 = std::max(0.0, std::floor(std::min({q[0].x, q[1].x, q[2].x})));
            double x1 = std::min(639.0, std::ceil(std::max({q[0].x, q[1].x, q[2].x})));
            double y0 = std::max(0.0, std::floor(std::min({q[0].y, q[1].y, q[2].y})));
            double y1 = std::min(479.0, std::ceil(std::max({q[0].y, q[1].y, q[2].y})));
            double den = (q[1].x - q[0].x) * (q[2].y - q[0].y) - (q[2].x - q[0].x) * (q[1].y - q[0].y);
            if (std::fabs(den) < 1e-9) continue;
            for (int y = int(y0); y <= int(y1); ++y)
                for (int x = int(x0); x <= int(x1); ++x) {
                    double px = x + 0.5, py = y + 0.5;
                    double l1 = ((px - q[0].x) * (q[2].y - q[0].y) - (q[2].x - q[0].x) * (py - q[0].y)) / den;
                    double l2 = ((q[1].x - q[0].x) * (py - q[0].y) - (px - q[0].x) * (q[1].y - q[0].y)) / den;
                    double l0 = 1 - l1 - l2;
                    if (l0 < 0 || l1 < 0 || l2 < 0) continue;
                    double z = l0 * q[0].z + l1 * q[1].z + l2 * q[2].z;
                    size_t i = size_t(y * 640 + x);
                    if (z <= cv.depth[i]) continue;
                    cv.depth[i] = z;
                    for (int c = 0; c < 3; ++c) cv.rgb[i * 3 + size_t(c)] = (unsigned char)(col[c] * shade);
                }
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: model_preview DATA_DIR OUT_DIR\n");
        return 2;
    }
    std::string gfx = std::string(argv[1]) + "/gfx/", out = std::string(argv[2]) + "/";
    scenes::model ny, blob, rom, corner;
    for (auto [m, file, flat] : {std::tuple{&ny, "nygris2.3D", false}, std::tuple{&blob, "blob1.3D", false},
                                 std::tuple{&rom, "rom2.3D", false}, std::tuple{&corner, "b_kunhj\xF8rner.3D", true}}) {
        std::string err = scenes::parse(gfx + file, flat, *m);
        if (!err.empty()) {
            std::fprintf(stderr, "model_preview: %s: %s\n", file, err.c_str());
            return 1;
        }
    }
    // Extents per scene: union over every pose of the screen box and the
    // nearest depth (Z < 0 is in front of the viewer).
    std::map<std::string, scenes::extent> ext;
    auto note = [&](const scenes::model& m) {
        return [&ext, &m](const scenes::pose& p) { ext[p.scene].add(scenes::measure(m, p)); };
    };
    scenes::loading_poses(ny, [&](const scenes::pose& p) {
        scenes::extent e = scenes::measure(ny, p);
        ext[p.frame < 100 ? "loading 0..99" : "loading 100..399"].add(e);
        if (p.frame == 0 || p.frame == 399) ext["loading frame " + std::to_string(p.frame)].add(e);
    });
    scenes::backdrop_nygris_poses(ny, note(ny));
    scenes::blob_poses(blob, note(blob));
    scenes::final_room_poses(rom, note(rom));
    for (const auto& [name, e] : ext)
        std::printf("%-22s x %7.0f .. %-7.0f y %7.0f .. %-7.0f nearest Z %d\n", name.c_str(), e.x0, e.x1, e.y0, e.y1,
                    e.z_max);
    canvas cv;
    auto shot = [&](const scenes::model& m, const scenes::pose& p, const std::string& name, bool wire = false) {
        draw(cv, m, p, wire);
        cv.save(out + name + ".png");
    };
    scenes::loading_poses(ny, [&](const scenes::pose& p) {
        for (int k : {0, 12, 24, 30, 45, 80, 150, 250, 399})
            if (p.frame == k) {
                cv.clear(60);
                shot(ny, p, "loading_" + std::to_string(k));
            }
    });
    scenes::backdrop_nygris_poses(ny, [&](const scenes::pose& p) {
        if (p.frame == 800 || p.frame == 700 || p.frame == 900) {
            cv.clear(60);
            shot(ny, p, "backdrop_" + std::to_string(p.frame));
        }
    });
    scenes::blob_poses(blob, [&](const scenes::pose& p) {
        if (p.scene == "beat blob" && (p.frame == 0 || p.frame == 200 || p.frame == 396) && p.where.pos_z != 0) {
            static int n = 0;
            if (n++ % 20) return;
            cv.clear(60);
            shot(blob, p, "blob_" + std::to_string(n));
        }
    });
    scenes::final_room_poses(rom, [&](const scenes::pose& p) {
        if (p.frame % 50 == 0) {
            cv.clear(0);
            shot(rom, p, "room_" + std::to_string(p.frame));
        }
    });
    // turntable of the head for design work: scale 800, in front of the viewer
    for (int a : {0, 100, 200, 300, 400}) {
        std::vector<scenes::vset> sets;
        for (const auto& o : ny.objs)
            sets.push_back(scenes::rotate(scenes::rotate(scenes::scale(o.v, 800, 800, 800), 1, 600), 2, (600 + a) % 800));
        scenes::pose p{"turntable", a, {}, {}};
        for (auto& s : sets) p.sets.push_back(&s);
        cv.clear(60);
        shot(ny, p, "turn_" + std::to_string(a));
    }
    return 0;
}
