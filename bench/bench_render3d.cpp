// Renderer kernels: textured fill of a full-screen quad (opaque and
// cross-faded) beside a memcpy of one frame, the depth-buffer clear, a
// 2,000-face closed mesh at the scenes' depth and at the loading screen's
// nearest frame, a mesh of 7,200 tiny faces, and a triangle with corners far off the screen.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "globals.h"
#include "pixel.h"
#include "room.h"

namespace {

struct bench_scene {
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    room r;  // fills the sine tables
    object o;
    bench_scene() {
        fill_pre_RGB_tab();
        world_x = world_y = world_z = 0;
        dest_surface = dst;
        SDL_Surface* t = o.tex.surface;
        for (int y = 0; y < t->h; ++y)
            for (int x = 0; x < t->w; ++x)
                static_cast<Uint16*>(t->pixels)[y * (t->pitch >> 1) + x] =
                    static_cast<Uint16>((x * 97) ^ (y * 1031));
        clear_z_buffer();
    }
    ~bench_scene() {
        dest_surface = nullptr;
        SDL_FreeSurface(dst);
    }
};

// Two faces covering the screen at Z = -3000 (vertex (320 - x, 240 - y, 7000)).
void full_screen_quad(object& o) {
    o.allocate(4, 2, 4);
    const int sx[4] = {0, 640, 0, 640}, sy[4] = {0, 0, 480, 480};
    for (int k = 0; k < 4; ++k) {
        o.verts[0][k] = vertex{static_cast<float>(320 - sx[k]), static_cast<float>(240 - sy[k]), 7000, 0};
        o.tex_coords[0][k] = tex_coord{std::min(sx[k], 639), std::min(sy[k], 479)};
    }
    o.faces[0] = face{{0, 1, 2}, {0, 0}};
    o.faces[1] = face{{1, 3, 2}, {0, 0}};
}

// A closed UV sphere of radius 1 with rings x segments x 2 faces.
void sphere(object& o, int rings = 20, int segs = 50) {
    const int nv = (rings + 1) * segs;
    o.allocate(nv, rings * segs * 2, nv);
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s < segs; ++s) {
            const double th = M_PI * r / rings, ph = 2 * M_PI * s / segs;
            o.verts[0][r * segs + s] = vertex{static_cast<float>(std::sin(th) * std::cos(ph)),
                                              static_cast<float>(std::cos(th)),
                                              static_cast<float>(std::sin(th) * std::sin(ph)), 0};
            o.tex_coords[0][r * segs + s] = tex_coord{s * 639 / segs, r * 479 / rings};
        }
    int f = 0;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segs; ++s) {
            const int a = r * segs + s, b = r * segs + (s + 1) % segs;
            o.faces[f++] = face{{a, b, a + segs}, {0, 0}};
            o.faces[f++] = face{{b, b + segs, a + segs}, {0, 0}};
        }
}

void BM_memcpy_frame(benchmark::State& state) {
    std::vector<Uint16> a(640 * 480, 1), b(640 * 480);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * 2);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_memcpy_frame);

void BM_clear_z_buffer(benchmark::State& state) {
    for (auto _ : state) {
        z_buffer_touch(0, z_buffer_height);  // every row, as after a full-screen face
        clear_z_buffer();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * z_buffer_size);
}
BENCHMARK(BM_clear_z_buffer);

// Opaque fill: the depth buffer is refilled with -1,000,000 outside the
// timing so every pixel passes the test.
void BM_fill_quad_opaque(benchmark::State& state) {
    bench_scene s;
    full_screen_quad(s.o);
    for (auto _ : state) {
        state.PauseTiming();
        clear_z_buffer();
        state.ResumeTiming();
        s.o.show(3, 0, 0, 0, 0, 0, 0);
    }
    state.SetItemsProcessed(state.iterations() * 640 * 479);  // row 479 is never filled
}
BENCHMARK(BM_fill_quad_opaque);

void BM_fill_quad_crossfade(benchmark::State& state) {
    bench_scene s;
    full_screen_quad(s.o);
    for (auto _ : state) s.o.show(3, 0, 0, 1, 12, 20, 28);
    state.SetItemsProcessed(state.iterations() * 640 * 479);
}
BENCHMARK(BM_fill_quad_crossfade);

// The mesh at the scale the scenes use (300) and their depth, per frame:
// spin set 2 into set 1, clear the depth buffer, draw.
void mesh_frame(benchmark::State& state, int pos_z, int blend, int rings = 20, int segs = 50, int size = 300) {
    bench_scene s;
    sphere(s.o, rings, segs);
    s.o.scale(size, size, size, 0, 1);
    s.o.rotate(1, 600, 1, 2);
    s.o.pos_z = pos_z;
    int angle = 0;
    for (auto _ : state) {
        s.o.rotate(2, angle, 2, 1);
        angle = (angle + 4) % 1600;
        clear_z_buffer();
        s.o.show(3, 1, 0, blend, 16, 16, 16);
    }
}
void BM_mesh_2000_faces_scene_depth(benchmark::State& state) { mesh_frame(state, 0, 0); }
void BM_mesh_2000_faces_scene_depth_crossfade(benchmark::State& state) { mesh_frame(state, 0, 1); }
// The loading screen's nearest frame: the model 340 units from the eye, its
// near side 40 units away, corners projecting far off the screen.
void BM_mesh_2000_faces_nearest(benchmark::State& state) { mesh_frame(state, 9660, 0); }
BENCHMARK(BM_mesh_2000_faces_scene_depth)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_mesh_2000_faces_scene_depth_crossfade)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_mesh_2000_faces_nearest)->Unit(benchmark::kMicrosecond);
// 7,200 tiny faces (a few rows of a pixel or two each), as in the beat scene.
void BM_mesh_7200_tiny_faces(benchmark::State& state) { mesh_frame(state, 0, 0, 40, 90, 120); }
BENCHMARK(BM_mesh_7200_tiny_faces)->Unit(benchmark::kMicrosecond);

// One face with a corner on screen and two a billion pixels away.
void BM_far_off_triangle(benchmark::State& state) {
    bench_scene s;
    s.o.allocate(3, 1, 3);
    s.o.verts[0][0] = vertex{0, 0, 7000, 0};
    s.o.verts[0][1] = vertex{1e9f, -3e8f, 9999, 0};
    s.o.verts[0][2] = vertex{-2e8f, 1e9f, 9999.5f, 0};
    s.o.tex_coords[0][1] = tex_coord{639, 0};
    s.o.tex_coords[0][2] = tex_coord{0, 479};
    s.o.faces[0] = face{{0, 1, 2}, {0, 0}};
    for (auto _ : state) {
        clear_z_buffer();
        s.o.show(3, 0, 0, 0, 0, 0, 0);
    }
}
BENCHMARK(BM_far_off_triangle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
