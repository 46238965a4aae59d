// A slow reference rasterizer written step by step from the drawing rules
// (unbounded edge walks and spans, plain loops), and random triangles drawn
// through it and through object::show / object_2::show, which must agree on
// every pixel and depth value, including corners far off the screen.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "globals.h"
#include "pixel.h"
#include "raster_core.h"
#include "room.h"
#include "room_2D.h"
#include "test_r3d_util.h"

#if defined(__SANITIZE_ADDRESS__)
#define R3D_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define R3D_SANITIZED 1
#endif
#endif
#ifndef R3D_SANITIZED
#define R3D_SANITIZED 0
#endif

namespace {

// Accumulator with 80 fraction bits: holds every sum of float steps exactly.
struct exact_acc {
    __int128 v = 0;
    float step = 0;  // each accumulator always adds the same step: convert it once
    __int128 step_fx = 0;
    static constexpr __int128 one = static_cast<__int128>(1) << 80;
    explicit exact_acc(long long i) : v(static_cast<__int128>(i) * one) {}
    void add(float s) {
        if (s != step) step = s, step_fx = static_cast<__int128>(std::ldexp(static_cast<double>(s), 80));
        v += step_fx;
    }
    long long trunc() const {  // toward zero
        return v >= 0 ? static_cast<long long>(v >> 80) : -static_cast<long long>((-v) >> 80);
    }
};

// Plain double accumulator.
struct double_acc {
    double v;
    explicit double_acc(long long i) : v(static_cast<double>(i)) {}
    void add(float s) { v += s; }
    long long trunc() const { return static_cast<long long>(v); }
};

struct ref_point {
    long long x, y, z;
    int u, v;
};

template <class Acc>
struct reference {
    bool room_variant = false;  // textured room: no rejection, no depth, key and weight
    std::vector<Uint16> dst = std::vector<Uint16>(640 * 480, 0);
    std::vector<int> z = std::vector<int>(640 * 480, -1000000);
    const Uint16* tex = nullptr;
    int tex_pitch = 640, tex_w = 640, tex_h = 480;
    int tables[6][480];
    int *lx = tables[0], *rx = tables[1], *lu = tables[2], *lv = tables[3], *ru = tables[4],
        *rv = tables[5];
    long long y_top = 0, y_bottom = 0;
    Uint16 key = 0;
    int key_weight = 0;

    reference() {
        for (auto& t : tables)
            for (int& e : t) e = 0;
        for (int r = 0; r < 480; ++r) lx[r] = 640, rx[r] = 0;
    }

    void walk(int* tx, int* tu, int* tv, const ref_point& a, const ref_point& b) {
        const long long dx = b.x - a.x, dy = b.y - a.y;
        const float m = static_cast<float>(dy / (dx + 0.00001));
        auto visit = [&](long long r, long long x, const Acc& u, const Acc& v) {
            if (r > 479) {
                y_bottom = 479;
            } else if (r < 0) {
                y_top = 0;
            } else {
                tx[r] = static_cast<int>(x);
                tu[r] = static_cast<int>(u.trunc());
                tv[r] = static_cast<int>(v.trunc());
            }
        };
        if (m >= -1 && m <= 1) {
            const float su = static_cast<float>((b.u - a.u) / (dx - 0.0001));
            const float sv = static_cast<float>((b.v - a.v) / (dx - 0.0001));
            const bool fwd = a.x < b.x;
            long long x = fwd ? a.x : b.x;
            const long long x_end = fwd ? b.x : a.x;
            Acc row(fwd ? a.y : b.y), u(fwd ? a.u : b.u), v(fwd ? a.v : b.v);
            long long walk_y = row.trunc();
            for (; x <= x_end; ++x) {
                visit(walk_y, x, u, v);
                row.add(m), u.add(su), v.add(sv);
                walk_y = row.trunc();
            }
        } else if (a.y <= b.y) {
            const float n = static_cast<float>(dx / (dy + 0.00001));
            const float su = static_cast<float>((b.u - a.u) / (dy - 0.0001));
            const float sv = static_cast<float>((b.v - a.v) / (dy - 0.0001));
            Acc col(a.x), u(a.u), v(a.v);
            long long walk_x = a.x;
            for (long long y = a.y; y <= b.y; ++y) {
                visit(y, walk_x, u, v);
                col.add(n), u.add(su), v.add(sv);
                walk_x = col.trunc();
            }
        }
    }

    void pixel(long long x, long long y, long long tu, long long tv, int depth, int blend,
               const int w[3]) {
        if (room_variant) {
            tu = std::clamp<long long>(tu, 0, tex_w - 1);
            tv = std::clamp<long long>(tv, 0, tex_h - 1);
            const Uint16 s = tex[tv * tex_pitch + tu];
            if (s == key) return;
            Uint16& d = dst[y * 640 + x];
            if (key_weight == 0) {
                d = s;
            } else {
                const int k = key_weight;
                const int r = pre_RGB_tab[px::red(s) * 31 + k] + pre_RGB_tab[px::red(d) * 31 + 30 - k];
                const int g = pre_RGB_tab[px::green(s) * 31 + k] + pre_RGB_tab[px::green(d) * 31 + 30 - k];
                const int b = pre_RGB_tab[px::blue(s) * 31 + k] + pre_RGB_tab[px::blue(d) * 31 + 30 - k];
                d = static_cast<Uint16>((r << 11) + (g << 6) + b);
            }
            return;
        }
        const bool texel_in = tu >= 0 && tu <= 639 && tv >= 0 && tv <= 479;
        if (blend == 1) {
            if (!texel_in) return;
            const Uint16 s = tex[tv * tex_pitch + tu];
            Uint16& d = dst[y * 640 + x];
            const int r = pre_RGB_tab[px::red(s) * 31 + w[0]] + pre_RGB_tab[px::red(d) * 31 + 30 - w[0]];
            const int g = pre_RGB_tab[px::green(s) * 31 + w[1]] + pre_RGB_tab[px::green(d) * 31 + 30 - w[1]];
            const int b = pre_RGB_tab[px::blue(s) * 31 + w[2]] + pre_RGB_tab[px::blue(d) * 31 + 30 - w[2]];
            d = static_cast<Uint16>((r << 11) + (g << 6) + b);
        } else if (depth > z[y * 640 + x] && texel_in) {
            dst[y * 640 + x] = tex[tv * tex_pitch + tu];
            z[y * 640 + x] = depth;
        }
    }

    // White line: a flat one plots the columns after its left end, row
    // trunc(y_left + k * m) at the k-th; a steep one the rows from its top
    // end, column trunc(x_top + k * n). Only on-screen pixels are visited.
    void line(const ref_point& a, const ref_point& b) {
        const long long dx = b.x - a.x, dy = b.y - a.y;
        const float m = static_cast<float>(dy / (dx + 0.00001));
        if (m >= -1 && m <= 1) {
            const ref_point& s = a.x < b.x ? a : b;
            const long long x_end = a.x < b.x ? b.x : a.x;
            for (long long x = std::max(s.x + 1, 0LL); x <= std::min(x_end, 639LL); ++x) {
                const auto y = static_cast<long long>(s.y + static_cast<double>(x - s.x - 1) * m);
                if (y >= 0 && y <= 479) dst[y * 640 + x] = 0xFFFF;
            }
            return;
        }
        const float n = static_cast<float>(dx / (dy + 0.00001));
        const ref_point& s = a.y < b.y ? a : b;
        const long long y_end = a.y < b.y ? b.y : a.y;
        for (long long y = std::max(s.y, 0LL); y <= std::min(y_end, 479LL); ++y) {
            const auto x = static_cast<long long>(s.x + static_cast<double>(y - s.y) * n);
            if (x >= 0 && x <= 639) dst[y * 640 + x] = 0xFFFF;
        }
    }

    void wire(const ref_point p[3]) {
        line(p[0], p[1]);
        line(p[0], p[2]);
        line(p[1], p[2]);
    }

    void face(ref_point p[3], int blend, const int w[3]) {
        auto on = [](const ref_point& q) { return q.x >= 0 && q.x <= 639 && q.y >= 0 && q.y <= 479; };
        if (!room_variant && !on(p[0]) && !on(p[1]) && !on(p[2])) return;
        const long long ya = p[0].y, yb = p[1].y, yc = p[2].y;
        if (ya <= yb && ya <= yc) {
            if (yc < yb) std::swap(p[1], p[2]);
        } else if (yb <= ya && yb <= yc) {
            std::swap(p[0], p[1]);
            if (yc < ya) std::swap(p[1], p[2]);
        } else {
            std::swap(p[0], p[2]);
            if (ya < yb) std::swap(p[1], p[2]);
        }
        y_top = p[0].y;
        y_bottom = p[2].y;
        walk(lx, lu, lv, p[0], p[1]);
        walk(lx, lu, lv, p[1], p[2]);
        walk(rx, ru, rv, p[0], p[2]);
        const int depth = static_cast<int>((p[0].z + p[1].z + p[2].z) / 3);
        const double bias = room_variant ? -0.0001 : 0.01;
        for (long long y = y_top; y < y_bottom; ++y) {
            if (y < 0 || y > 479) continue;  // no table entries there; nothing to draw
            if (lx[y] > rx[y]) std::swap(lx, rx), std::swap(lu, ru), std::swap(lv, rv);
            const long long x0 = lx[y], x1 = rx[y];
            const float du = static_cast<float>((ru[y] - lu[y]) / ((x1 - x0) + bias));
            const float dv = static_cast<float>((rv[y] - lv[y]) / ((x1 - x0) + bias));
            Acc u(lu[y]), v(lv[y]);
            for (long long x = x0; x < x1; ++x) {
                if (x >= 0 && x <= 639) pixel(x, y, u.trunc(), v.trunc(), depth, blend, w);
                u.add(du), v.add(dv);
            }
        }
    }
};

// Projection as the drawing rules state it: world offset plus (vertex plus
// the object's position), Z shifted back by 10000.
ref_point project(const object& o, const vertex& v, const tex_coord& t) {
    const long long z = static_cast<long long>(std::trunc(world_z + (v.z + static_cast<double>(o.pos_z)))) - 10000;
    const long long x = static_cast<long long>((world_x + (v.x + static_cast<double>(o.pos_x))) / (z + 0.001) * 3000) + 320;
    const long long y = static_cast<long long>((world_y + (v.y + static_cast<double>(o.pos_y))) / (z + 0.001) * 3000) + 240;
    return ref_point{x, y, z, t.u, t.v};
}

struct tri_gen {
    std::mt19937 rng;
    explicit tri_gen(unsigned seed) : rng(seed) {}
    int uni(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    double logu(double lo, double hi) {
        return std::exp(std::uniform_real_distribution<double>(std::log(lo), std::log(hi))(rng));
    }

    // Screen corners: mostly on screen, some off screen, a few far off
    // (thin, so that the reference can still walk them).
    std::array<std::array<long long, 2>, 3> corners(bool on_screen_only) {
        std::array<std::array<long long, 2>, 3> c{};
        const int kind = on_screen_only ? uni(0, 59) : uni(0, 99);
        if (kind < 45) {  // small, on screen
            const int cx = uni(0, 639), cy = uni(0, 479), r = uni(1, 60);
            for (auto& p : c) p = {std::clamp(cx + uni(-r, r), 0, 639), std::clamp(cy + uni(-r, r), 0, 479)};
        } else if (kind < 60) {  // anywhere on screen, or hugging its edges
            const int e = kind < 52 ? 0 : 3;
            for (auto& p : c) p = {uni(-e, 639 + e), uni(-e, 479 + e)};
        } else if (kind < 85) {  // off screen within a few screens
            c[0] = {uni(0, 639), uni(0, 479)};
            for (int k = 1; k < 3; ++k) c[k] = {uni(-1500, 2100), uni(-1000, 1500)};
        } else if (kind < 95) {  // one or two corners off screen, not far
            c[0] = {uni(0, 639), uni(0, 479)};
            c[1] = {c[0][0] + uni(-300, 300), c[0][1] + uni(-300, 300)};
            c[2] = {c[0][0] + uni(-900, 900), c[0][1] + uni(-900, 900)};
        } else {  // far off screen: a thin sliver reaching up to 10^6 pixels away
            c[0] = {uni(0, 639), uni(0, 479)};
            const bool horiz = uni(0, 1) == 0;
            const long long far = static_cast<long long>(logu(2e3, R3D_SANITIZED ? 1e5 : 1e6)) *
                                  (uni(0, 1) ? 1 : -1);
            if (horiz) {
                c[1] = {c[0][0] + uni(-40, 40), c[0][1] + uni(-12, 12)};
                c[2] = {c[0][0] + far, c[0][1] + uni(-12, 12)};
            } else {
                c[1] = {c[0][0] + uni(-12, 12), c[0][1] + uni(-40, 40)};
                c[2] = {c[0][0] + uni(-12, 12), c[0][1] + far};
            }
        }
        std::shuffle(c.begin(), c.end(), rng);
        return c;
    }

    tex_coord tc() {
        if (uni(0, 9) == 0) return {uni(-40, 680), uni(-40, 520)};  // some outside the texture
        return {uni(0, 639), uni(0, 479)};
    }
};

void random_texture(SDL_Surface* t, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < t->h; ++y)
        for (int x = 0; x < t->w; ++x) *r3d_pixel(t, x, y) = static_cast<Uint16>(rng() | 1);
}

bool same_frame(SDL_Surface* dst, const std::vector<Uint16>& ref) {
    for (int y = 0; y < 480; ++y)
        if (std::memcmp(r3d_pixel(dst, 0, y), &ref[y * 640], 640 * 2) != 0) return false;
    return true;
}

using corner_set = std::array<std::array<long long, 2>, 3>;

// Draws `batches` meshes of `batch` faces through object::show and the
// reference, comparing every pixel and depth value after each mesh; every
// fourth mesh is then drawn again as a wire frame over the picture. Half the
// meshes stand at non-zero world and object offsets. The scan-line tables
// (and their exchanges) carry over from mesh to mesh.
void compare_object_runs(tri_gen& gen, int batches, int batch,
                         const std::function<corner_set()>& corners,
                         const std::function<tex_coord()>& tc) {
    fill_pre_RGB_tab();
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_FillRect(dst, nullptr, 0);
    dest_surface = dst;
    clear_z_buffer();

    object o;
    random_texture(o.tex.surface, 7);
    reference<exact_acc> ref;
    ref.tex = static_cast<const Uint16*>(o.tex.surface->pixels);
    ref.tex_pitch = o.tex.surface->pitch >> 1;

    const int depths[] = {-12000, -9000, -6000, -3000, -1200, -600};
    for (int b = 0; b < batches; ++b) {
        // The vertices are placed so that the corners land where asked
        // whatever the offsets; the reference projects them with the offsets.
        const bool offset = b % 2 == 1;
        world_x = offset ? gen.uni(-900, 900) : 0;
        world_y = offset ? gen.uni(-900, 900) : 0;
        world_z = offset ? gen.uni(-3000, 3000) : 0;
        o.pos_x = offset ? gen.uni(-900, 900) : 0;
        o.pos_y = offset ? gen.uni(-900, 900) : 0;
        o.pos_z = offset ? gen.uni(-3000, 3000) : 0;
        o.allocate(3 * batch, batch, 3 * batch);
        for (int i = 0; i < batch; ++i) {
            const corner_set c = corners();
            for (int k = 0; k < 3; ++k) {
                const int zz = depths[gen.uni(0, 5)] + gen.uni(0, 2) * gen.uni(0, 200);
                const double d = zz + 0.001;
                o.verts[0][3 * i + k] = vertex{static_cast<float>((c[k][0] - 320) * d / 3000.0 - world_x - o.pos_x),
                                               static_cast<float>((c[k][1] - 240) * d / 3000.0 - world_y - o.pos_y),
                                               static_cast<float>(zz + 10000 - world_z - o.pos_z), 0};
                o.tex_coords[0][3 * i + k] = tc();
            }
            o.faces[i] = face{{3 * i, 3 * i + 1, 3 * i + 2}, {0, 0}};
        }
        const int blend = gen.uni(0, 2) == 0 ? 1 : 0;
        const int w[3] = {gen.uni(0, 30), gen.uni(0, 30), gen.uni(0, 30)};
        o.show(3, 0, 0, blend, static_cast<unsigned short>(w[0]), static_cast<unsigned short>(w[1]),
               static_cast<unsigned short>(w[2]));
        std::vector<std::array<ref_point, 3>> projected(static_cast<size_t>(batch));
        for (int i = 0; i < batch; ++i) {
            auto& p = projected[static_cast<size_t>(i)];
            for (int k = 0; k < 3; ++k) p[k] = project(o, o.verts[0][3 * i + k], o.tex_coords[0][3 * i + k]);
            auto q = p;  // the face sorts its own copy
            ref.face(q.data(), blend, w);
        }
        ASSERT_TRUE(same_frame(dst, ref.dst)) << "batch " << b;
        ASSERT_EQ(std::memcmp(z_buffer, ref.z.data(), sizeof z_buffer), 0) << "batch " << b;
        if (b % 4 == 3) {
            o.show(2, 0, 0, 0, 0, 0, 0);
            for (const auto& p : projected) ref.wire(p.data());
            ASSERT_TRUE(same_frame(dst, ref.dst)) << "wire frame, batch " << b;
        }
        if (b % 40 == 39) {  // start a fresh frame now and then
            SDL_FillRect(dst, nullptr, 0);
            clear_z_buffer();
            std::fill(ref.dst.begin(), ref.dst.end(), 0);
            std::fill(ref.z.begin(), ref.z.end(), -1000000);
        }
    }
    world_x = world_y = world_z = 0;
    dest_surface = nullptr;
    SDL_FreeSurface(dst);
}

}  // namespace

TEST(R3dReference, RandomTrianglesMatchTheReferenceEverywhere) {
    tri_gen gen(12345);
    // 400 meshes of 25 faces: 10,000 triangles
    compare_object_runs(gen, 400, 25, [&gen] { return gen.corners(false); }, [&gen] { return gen.tc(); });
}

TEST(R3dReference, FarSliversWithNearlyEqualTextureCoordinatesMatch) {
    // Spans millions of pixels long with texture steps below 2^-21, where
    // a double accumulator would round: the exact sums still agree.
    tri_gen gen(555);
    const long long far = R3D_SANITIZED ? 600000 : 4000000;
    compare_object_runs(
        gen, 4, 6,
        [&gen, far] {
            corner_set c{};
            c[0] = {gen.uni(0, 639), gen.uni(0, 479)};
            c[1] = {c[0][0] + gen.uni(-5, 5), c[0][1] + gen.uni(2, 4)};
            c[2] = {c[0][0] + (gen.uni(0, 1) ? far : -far), c[0][1] + gen.uni(-2, 2)};
            return c;
        },
        [&gen] { return tex_coord{300 + gen.uni(0, 1), 200 + gen.uni(0, 1)}; });
}

TEST(R3dReference, CoordinatesAroundTheSmallEdgeLimitMatch) {
    // Corners and texture coordinates on both sides of +-4096, where edges
    // and spans switch between plain and checked arithmetic, and long spans
    // whose texture steps are just above 2^-10.
    tri_gen gen(2024);
    auto near_limit = [&gen] {
        const int k = gen.uni(0, 3);
        const int v = k == 0 ? gen.uni(4090, 4102) : k == 1 ? gen.uni(0, 639) : gen.uni(-200, 4200);
        return gen.uni(0, 4) == 0 ? -v : v;
    };
    compare_object_runs(
        gen, 120, 25,
        [&gen] {
            corner_set c{};
            c[0] = {gen.uni(0, 639), gen.uni(0, 479)};
            const int kind = gen.uni(0, 2);
            for (int k = 1; k < 3; ++k) {
                if (kind == 0) {  // wide and flat, on screen
                    c[k] = {gen.uni(0, 639), std::clamp<long long>(c[0][1] + gen.uni(-3, 3), 0, 479)};
                } else {  // reaching just inside or just past 4096
                    const int far = gen.uni(4080, 4110) * (gen.uni(0, 1) ? 1 : -1);
                    c[k] = gen.uni(0, 1) ? std::array<long long, 2>{far, gen.uni(-50, 530)}
                                         : std::array<long long, 2>{gen.uni(-50, 690), far};
                }
            }
            std::shuffle(c.begin(), c.end(), gen.rng);
            return c;
        },
        [&gen, near_limit] {
            if (gen.uni(0, 2) == 0) return tex_coord{gen.uni(300, 301), gen.uni(200, 201)};
            return tex_coord{near_limit(), near_limit()};
        });
}

TEST(R3dReference, ExactAccumulatorsEqualDoubleOnesOnScreen) {
    // On triangles inside the screen, walking with plain doubles and with
    // exact sums gives the same picture; so does the renderer.
    fill_pre_RGB_tab();
    std::vector<Uint16> tex(640 * 480);
    std::mt19937 rng(99);
    for (auto& t : tex) t = static_cast<Uint16>(rng() | 1);
    reference<exact_acc> ex;
    reference<double_acc> db;
    ex.tex = db.tex = tex.data();
    tri_gen gen(4242);
    const int w[3] = {12, 30, 3};
    for (int i = 0; i < 4000; ++i) {
        const auto c = gen.corners(true);
        ref_point p[3], q[3];
        for (int k = 0; k < 3; ++k) {
            const tex_coord t = gen.tc();
            p[k] = q[k] = ref_point{c[k][0], c[k][1], -3000 - gen.uni(0, 3) * 100, t.u, t.v};
        }
        const int blend = i % 3 == 0;
        ex.face(p, blend, w);
        db.face(q, blend, w);
    }
    EXPECT_EQ(ex.dst, db.dst);
    EXPECT_EQ(ex.z, db.z);
}

namespace {

// Draws `batches` meshes of 20 faces through object_2::show (a textured
// room: every face drawn, texels clamped to the picture, colour key 20
// skipped, a blend weight per mesh) and the reference, comparing every
// pixel after each mesh; every fourth mesh is then drawn again as a wire
// frame over the picture. Corner i of a mesh comes from corners(i).
void compare_room_runs(tri_gen& gen, int batches, const std::function<corner_set(int)>& corners,
                       const std::function<tex_coord()>& tc) {
    fill_pre_RGB_tab();
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_Surface* tex = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_FillRect(dst, nullptr, 0);
    random_texture(tex, 3);
    for (int i = 0; i < 40000; ++i) *r3d_pixel(tex, (i * 37) % 640, (i * 11) % 480) = 20;
    object_2 o;
    o.target = dst;
    o.tex_surface = tex;
    reference<exact_acc> ref;
    ref.room_variant = true;
    ref.tex = static_cast<const Uint16*>(tex->pixels);
    ref.tex_pitch = tex->pitch >> 1;
    ref.key = transp_col = 20;
    const int batch = 20;
    for (int b = 0; b < batches; ++b) {
        ref.key_weight = transp = b % 3 == 0 ? 0 : gen.uni(1, 30);
        o.allocate(3 * batch, batch, 3 * batch, 0);
        for (int i = 0; i < batch; ++i) {
            const corner_set c = corners(i);
            for (int k = 0; k < 3; ++k) {
                o.verts[0][3 * i + k] = vertex{static_cast<float>(c[k][0] - 320),
                                               static_cast<float>(c[k][1] - 240), 1, 0};
                o.tex_coords[0][3 * i + k] = tc();
            }
            o.faces[i] = face_2{{3 * i, 3 * i + 1, 3 * i + 2}, {0, 0, 0, 0}};
        }
        o.show(3, 0, 0);
        std::vector<std::array<ref_point, 3>> placed(static_cast<size_t>(batch));
        for (int i = 0; i < batch; ++i) {
            auto& p = placed[static_cast<size_t>(i)];
            for (int k = 0; k < 3; ++k) {
                const vertex& v = o.verts[0][3 * i + k];
                p[k] = ref_point{static_cast<long long>(v.x) + 320, static_cast<long long>(v.y) + 240,
                                 static_cast<long long>(v.z), o.tex_coords[0][3 * i + k].u,
                                 o.tex_coords[0][3 * i + k].v};
            }
            const int none[3] = {0, 0, 0};
            auto q = p;
            ref.face(q.data(), 0, none);
        }
        ASSERT_TRUE(same_frame(dst, ref.dst)) << "batch " << b;
        if (b % 4 == 3) {  // and as a wire frame over it
            o.show(2, 0, 0);
            for (const auto& p : placed) ref.wire(p.data());
            ASSERT_TRUE(same_frame(dst, ref.dst)) << "wire frame, batch " << b;
        }
    }
    transp = 0;
    transp_col = 0;
    SDL_FreeSurface(tex);
    SDL_FreeSurface(dst);
}

}  // namespace

TEST(R3dReference, EdgesWithFarTextureCoordinatesWalkExactly) {
    // Flat and steep edges of up to 4000 columns whose texture coordinates
    // lie near 2^30 and move by a few texels: plain double sums round there
    // (a step's last bit far below the sum's), so the walk must take the
    // exact sums. Compared row by row against the reference's table.
    tri_gen gen(4242);
    object o;
    span_end t[480];
    int rows_compared = 0;
    for (int e = 0; e < 120; ++e) {
        reference<exact_acc> ref;
        for (auto& s : t) s = span_end{-7, -7, -7};
        for (int r = 0; r < 480; ++r) ref.lx[r] = ref.lu[r] = ref.lv[r] = -7;
        const bool steep = e % 3 == 2;
        const long long far = (1LL << 30) - 5000 - gen.uni(0, 5000);  // the ends stay inside +-2^30
        ref_point a{gen.uni(-2000, 600), gen.uni(0, 479), 0, static_cast<int>(far - gen.uni(0, 2000)),
                    static_cast<int>(far - gen.uni(0, 2000))};
        ref_point b = a;
        if (steep) {
            a.y = gen.uni(-3000, 0);
            b.y = a.y + gen.uni(3000, 4000);
            b.x = a.x + gen.uni(-300, 300);
        } else {
            b.x = a.x + gen.uni(3000, 4000);
            b.y = a.y + gen.uni(-479, 479);
        }
        b.u = a.u + gen.uni(-3, 2000);
        b.v = a.v + gen.uni(-3, 3);
        o.y_top = o.y_bottom = 240;
        raster::walk_edge(o, t, static_cast<long>(a.x), static_cast<long>(a.y), static_cast<long>(b.x),
                          static_cast<long>(b.y), a.u, a.v, b.u, b.v);
        ref.walk(ref.lx, ref.lu, ref.lv, a, b);
        for (int r = 0; r < 480; ++r) {
            ASSERT_EQ(t[r].x, ref.lx[r]) << "edge " << e << ", row " << r;
            ASSERT_EQ(t[r].u, ref.lu[r]) << "edge " << e << ", row " << r;
            ASSERT_EQ(t[r].v, ref.lv[r]) << "edge " << e << ", row " << r;
            rows_compared += ref.lx[r] != -7;
        }
    }
    EXPECT_GT(rows_compared, 20000);
}

TEST(R3dReference, TexturedRoomMatchesTheReference) {
    tri_gen gen(777);
    compare_room_runs(
        gen, 100,
        [&gen](int i) {
            corner_set c = gen.corners(false);
            // the room draws every face: move some corners fully off screen
            if (i % 7 == 0)
                for (auto& p : c) p[0] += 2000;
            return c;
        },
        [&gen] { return tex_coord{gen.uni(0, 640), gen.uni(0, 480)}; });
}

TEST(R3dReference, FlatRoomFacesPastTheLastRowWithFarTextureCoordinatesMatch) {
    // Flat faces over rows 476..482 whose texture coordinates lie millions
    // of texels out (clamped to the picture's edge) and one or two apart:
    // their edges take the exact walk, column by column, which must clip at
    // row 479 as the others do (the room draws the texel at the edge, so a
    // row drawn past the face's clipped bottom shows).
    tri_gen gen(4801);
    compare_room_runs(
        gen, 40,
        [&gen](int) {
            corner_set c{};
            c[0] = {gen.uni(-20, 200), gen.uni(476, 479)};
            c[1] = {gen.uni(200, 420), gen.uni(478, 481)};
            c[2] = {gen.uni(420, 660), gen.uni(479, 482)};
            std::shuffle(c.begin(), c.end(), gen.rng);
            return c;
        },
        [&gen] {
            const int far = gen.uni(0, 1) ? 3000000 : -3000000;
            return tex_coord{far + gen.uni(0, 2), far + gen.uni(0, 2)};
        });
}

TEST(R3dReference, FacesAcrossTheFirstAndLastRowsMatch) {
    // Corners on the rows around the screen's top and bottom edges (-2..2,
    // 476..483): each edge clips at its own row, and a walk past row 479
    // writes no table row the next face or edge reads.
    tri_gen gen(4242);
    compare_object_runs(
        gen, 60, 12,
        [&gen] {
            corner_set c{};
            for (int k = 0; k < 3; ++k) c[k] = {gen.uni(-20, 660), k == 0 ? gen.uni(-2, 2) : gen.uni(476, 483)};
            if (gen.uni(0, 1)) std::swap(c[0], c[2]);
            return c;
        },
        [&gen] { return gen.tc(); });
}
