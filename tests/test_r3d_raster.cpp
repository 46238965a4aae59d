// Rasterizer rules a random comparison cannot see: corner order, lines,
// the last row and right column, a shared texture, trivial rejection,
// strict depth test, cross-fade weights, dots, the textured room's key and
// faint fade, the reciprocal tables' quotients and a float's parts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "globals.h"
#include "pixel.h"
#include "room.h"
#include "raster_core.h"
#include "room_2D.h"
#include "test_r3d_util.h"

namespace {

struct corner {
    int x, y, u, v;
};

// Builds faces whose corners project exactly onto the given screen points:
// at Z = -3000 a vertex (320 - x, 240 - y, 7000) lands on (x, y).
void set_faces(object& o, const std::vector<std::array<corner, 3>>& tris) {
    const int n = static_cast<int>(tris.size());
    o.allocate(3 * n, n, 3 * n);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 3; ++k) {
            const corner& c = tris[i][k];
            o.verts[0][3 * i + k] = vertex{static_cast<float>(320 - c.x),
                                           static_cast<float>(240 - c.y), 7000, 0};
            o.tex_coords[0][3 * i + k] = tex_coord{c.u, c.v};
        }
        o.faces[i] = face{{3 * i, 3 * i + 1, 3 * i + 2}, {0, 0}};
    }
}

struct scene {
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    object o;
    scene() {
        fill_pre_RGB_tab();
        world_x = world_y = world_z = 0;
        dest_surface = dst;
        clear_z_buffer();
        SDL_FillRect(dst, nullptr, 0);
        // texel (u, v) = a colour that names its place, never 0
        SDL_Surface* t = o.tex.surface;
        for (int v = 0; v < t->h; ++v)
            for (int u = 0; u < t->w; ++u) *r3d_pixel(t, u, v) = static_cast<Uint16>(((u * 7 + v * 131) | 1) & 0xFFFF);
    }
    ~scene() {
        dest_surface = nullptr;
        SDL_FreeSurface(dst);
    }
    Uint16 at(int x, int y) { return *r3d_pixel(dst, x, y); }
    int count_row(int y) {
        int n = 0;
        for (int x = 0; x < 640; ++x) n += at(x, y) != 0;
        return n;
    }
};

}  // namespace

TEST(R3dRaster, SortVertsOrdersByRowKeepingEarlierCornersFirst) {
    object o;
    auto sorted = [&o](int ya, int yb, int yc) {
        o.p0 = {0, ya, 0};
        o.p1 = {1, yb, 0};
        o.p2 = {2, yc, 0};
        o.t0 = {10, 0};
        o.t1 = {11, 0};
        o.t2 = {12, 0};
        o.sort_verts();
        EXPECT_EQ(o.t0.u - 10, o.p0.x);  // texture coordinates travel with their corner
        EXPECT_EQ(o.t2.u - 10, o.p2.x);
        return std::array<int, 3>{o.p0.x, o.p1.x, o.p2.x};
    };
    EXPECT_EQ(sorted(1, 2, 3), (std::array<int, 3>{0, 1, 2}));
    EXPECT_EQ(sorted(1, 3, 2), (std::array<int, 3>{0, 2, 1}));
    EXPECT_EQ(sorted(2, 1, 3), (std::array<int, 3>{1, 0, 2}));
    EXPECT_EQ(sorted(3, 1, 2), (std::array<int, 3>{1, 2, 0}));
    EXPECT_EQ(sorted(3, 2, 1), (std::array<int, 3>{2, 1, 0}));
    EXPECT_EQ(sorted(2, 3, 1), (std::array<int, 3>{2, 0, 1}));
    EXPECT_EQ(sorted(5, 5, 5), (std::array<int, 3>{0, 1, 2}));
    EXPECT_EQ(sorted(5, 5, 1), (std::array<int, 3>{2, 1, 0}));  // yc smallest, ya = yb
    EXPECT_EQ(sorted(5, 1, 1), (std::array<int, 3>{1, 2, 0}));
}

TEST(R3dRaster, PlotWireEndpointsAndClipping) {
    scene s;
    object& o = s.o;
    o.dst_pixels = static_cast<Uint16*>(s.dst->pixels);
    o.dst_pitch = s.dst->pitch >> 1;
    o.plot_wire(10, 10, 13, 10);
    EXPECT_EQ(s.at(10, 10), 0);
    EXPECT_EQ(s.at(11, 10), 0xFFFF);
    EXPECT_EQ(s.at(13, 10), 0xFFFF);
    EXPECT_EQ(s.count_row(10), 3);
    o.plot_wire(10, 20, 10, 22);
    EXPECT_EQ(s.at(10, 20), 0xFFFF);
    EXPECT_EQ(s.at(10, 22), 0xFFFF);
    o.plot_wire(5, 5, 5, 5);
    EXPECT_EQ(s.count_row(5), 0);
    // reversed flat line starts at the right-hand end's row, lagging a column
    o.plot_wire(20, 30, 10, 35);  // m = 5 / -10
    EXPECT_EQ(s.at(10, 35), 0);
    EXPECT_EQ(s.at(11, 35), 0xFFFF);
    EXPECT_EQ(s.at(12, 34), 0xFFFF);
    EXPECT_EQ(s.at(14, 33), 0xFFFF);
    EXPECT_EQ(s.at(20, 30), 0xFFFF);  // k = 9: trunc(35 - 4.5)
    // a line from far off screen is clipped pixel by pixel in bounded time
    o.plot_wire(-2000000000L, 100, 2000000000L, 100);
    EXPECT_EQ(s.count_row(100), 640);
    o.plot_wire(300, -2000000000L, 300, 2000000000L);
    EXPECT_EQ(s.at(300, 479), 0xFFFF);
    o.dst_pixels = nullptr;
}

TEST(R3dRaster, FilledFacesSkipLastRowAndRightColumnAndOffScreenFaces) {
    scene s;
    // a face from row 0 to row 479 fills rows 0..478; the right end is open
    set_faces(s.o, {{corner{0, 0, 0, 0}, corner{400, 0, 400, 0}, corner{200, 479, 200, 479}}});
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(s.o.cur_face, 1);
    EXPECT_GT(s.count_row(0), 0);
    EXPECT_GT(s.count_row(478), 0);
    EXPECT_EQ(s.count_row(479), 0);
    EXPECT_EQ(s.at(400, 0), 0);
    // u steps by 400 / (400 + 0.01): column 399 reads texel 398
    EXPECT_EQ(s.at(399, 0), *r3d_pixel(s.o.tex.surface, 398, 0));
    EXPECT_EQ(z_buffer[5 * 640 + 5], -3000);
    // drawn with another object's texture when it shares it
    scene w;
    SDL_FillRect(w.o.tex.surface, nullptr, 0);
    w.o.shared_tex = &s.o.tex;
    set_faces(w.o, {{corner{0, 0, 0, 0}, corner{400, 0, 400, 0}, corner{200, 479, 200, 479}}});
    w.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(w.at(399, 0), *r3d_pixel(s.o.tex.surface, 398, 0));

    // all corners off screen: skipped although it covers the screen
    scene t;
    set_faces(t.o, {{corner{-1000, -1000, 0, 0}, corner{3000, -1000, 0, 0}, corner{-1000, 3000, 0, 0}}});
    t.o.show(3, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 480; y += 60) EXPECT_EQ(t.count_row(y), 0);
    // nor is a corner on column 640 or row 480, just past the screen's last
    set_faces(t.o, {{corner{640, 240, 0, 0}, corner{-1000, -1000, 0, 0}, corner{-1000, 3000, 0, 0}},
                    {corner{320, 480, 0, 0}, corner{-1000, -1000, 0, 0}, corner{3000, -1000, 0, 0}}});
    t.o.show(3, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 480; y += 60) EXPECT_EQ(t.count_row(y), 0) << "row " << y;
    // one corner on screen, on its first row: drawn, clipped pixel by pixel
    set_faces(t.o, {{corner{10, 0, 0, 0}, corner{3000, -1000, 600, 0}, corner{-1000, 3000, 0, 400}}});
    t.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_GT(t.count_row(300), 300);
    // a clear resets every depth stored, the clipped rows' too
    clear_z_buffer();
    EXPECT_EQ(std::count(z_buffer, z_buffer + z_buffer_size, z_buffer_far), z_buffer_size);
    // all corners on one row: nothing
    scene u;
    set_faces(u.o, {{corner{10, 50, 0, 0}, corner{300, 50, 0, 0}, corner{100, 50, 0, 0}}});
    u.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(u.count_row(50), 0);
    // a face whose rows all end on column 0 has no column on the screen: the
    // last drawn row's end stays the earlier face's
    set_faces(u.o, {{corner{100, 10, 0, 0}, corner{300, 10, 0, 0}, corner{200, 200, 0, 0}}});
    u.o.show(3, 0, 0, 0, 0, 0, 0);
    const int last_end = u.o.span_x;
    EXPECT_GT(last_end, 190);
    EXPECT_LT(last_end, 210);
    SDL_FillRect(u.dst, nullptr, 0);
    set_faces(u.o, {{corner{-100, 10, 0, 0}, corner{0, 10, 0, 0}, corner{0, 200, 0, 0}}});
    u.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(u.o.span_x, last_end);
    EXPECT_EQ(u.count_row(100), 0);
    // a target 200 rows high: the same face draws the same rows 0..199 and
    // neither draws nor stores a depth from row 200 on
    SDL_Surface* low = SDL_CreateRGBSurface(0, 640, 200, 16, 0, 0, 0, 0);
    SDL_FillRect(low, nullptr, 0);
    dest_surface = low;
    clear_z_buffer();
    set_faces(u.o, {{corner{0, 0, 0, 0}, corner{400, 0, 400, 0}, corner{200, 479, 200, 479}}});
    u.o.show(3, 0, 0, 0, 0, 0, 0);
    for (int y = 0; y < 200; y += 199)
        for (int x = 0; x < 640; ++x) ASSERT_EQ(*r3d_pixel(low, x, y), s.at(x, y)) << x << ", " << y;
    EXPECT_EQ(z_buffer[199 * 640 + 200], -3000);
    EXPECT_EQ(u.o.span_y, 479);  // the rows below the target are passed over up to the face's last
    EXPECT_EQ(std::count(z_buffer + 200 * 640, z_buffer + z_buffer_size, z_buffer_far), z_buffer_size - 200 * 640);
    dest_surface = u.dst;
    SDL_FreeSurface(low);
    // bad set numbers are rejected
    u.o.show(3, 3, 0, 0, 0, 0, 0);
    u.o.show(3, 0, 2, 0, 0, 0, 0);
    u.o.show(3, -1, 0, 0, 0, 0, 0);
}

TEST(R3dRaster, DepthTestIsStrictAndCrossFadeUsesTheWeightTable) {
    scene s;
    const std::array<corner, 3> a{corner{10, 10, 0, 0}, corner{100, 10, 90, 0}, corner{10, 100, 0, 90}};
    std::array<corner, 3> b = a;
    for (auto& c : b) c.u += 300;  // same place and depth, other texels
    set_faces(s.o, {a, b});
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    scene alone;
    set_faces(alone.o, {a});
    alone.o.show(3, 0, 0, 0, 0, 0, 0);
    const Uint16 texel = alone.at(20, 20);
    EXPECT_NE(texel, 0);
    EXPECT_EQ(s.at(20, 20), texel);  // the first face stays

    // opaque needs depth above the buffer: a buffer at the face depth blocks it
    scene d;
    set_faces(d.o, {a});
    std::fill_n(z_buffer, z_buffer_size, -3000);
    z_buffer_touch(0, z_buffer_height);
    d.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(d.at(20, 20), 0);

    // cross-fade: 30 writes the texel with green's low bit cleared, 0 keeps
    // the destination (low bit cleared), 15 halves; the depth buffer is untouched
    scene f;
    set_faces(f.o, {a});
    f.o.show(3, 0, 0, 1, 30, 30, 30);
    EXPECT_EQ(f.at(20, 20), texel & 0xFFDF);
    SDL_FillRect(f.dst, nullptr, 0xFFFF);
    f.o.show(3, 0, 0, 1, 0, 0, 0);
    EXPECT_EQ(f.at(20, 20), 0xFFDF);
    SDL_FillRect(f.dst, nullptr, 0);
    f.o.show(3, 0, 0, 1, 15, 30, 0);
    const Uint16 p = f.at(20, 20);
    EXPECT_EQ(px::red(p), pre_RGB_tab[px::red(texel) * 31 + 15]);
    EXPECT_EQ(px::green(p), px::green(texel));
    EXPECT_EQ(px::blue(p), 0);
    EXPECT_EQ(z_buffer[20 * 640 + 20], z_buffer_far);
    // weights above 30 are held at 30 rather than reading past the table
    f.o.show(3, 0, 0, 1, 65535, 65535, 65535);
    EXPECT_EQ(f.at(20, 20), texel & 0xFFDF);
}

TEST(R3dRaster, OpaqueFacesAreDrawnNearestFirstKeepingFaceOrderAmongEqualDepths) {
    // one face per entry, all three corners at vertex depth z: projected
    // depth z - 10000 (larger is nearer)
    auto faces_at = [](object& o, const std::vector<float>& zs) {
        const int n = static_cast<int>(zs.size());
        o.allocate(3 * n, n, 3 * n);
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < 3; ++k)
                o.verts[0][3 * i + k] = vertex{static_cast<float>(10 * k), static_cast<float>(10 * (k == 2)), zs[i], 0};
            o.faces[i] = face{{3 * i, 3 * i + 1, 3 * i + 2}, {0, 0}};
        }
    };
    scene s;
    faces_at(s.o, {8000, 9000, 7000, 7000, 9000});
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(std::vector<int>(s.o.draw_order(), s.o.draw_order() + 5), (std::vector<int>{1, 4, 0, 2, 3}));
    // depths one apart, the nearer named last
    faces_at(s.o, {7000, 7001});
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(std::vector<int>(s.o.draw_order(), s.o.draw_order() + 2), (std::vector<int>{1, 0}));
}

TEST(R3dRaster, DotsWireAndTexelBounds) {
    scene s;
    // texture coordinates outside the texture are never read; dots outside
    // the destination are never written
    set_faces(s.o, {{corner{5, 6, 700, 500}, corner{600, 6, -5, 3}, corner{5, 400, 33, 44}}});
    s.o.show(1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(s.at(5, 6), 0xF800);
    EXPECT_EQ(s.at(600, 6), 0xF800);
    EXPECT_EQ(s.at(33, 44), 0x003F);
    s.o.show(2, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(s.at(600, 6), 0xFFFF);  // end of the line p0 -> p1
    SDL_FillRect(s.dst, nullptr, 0);
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    // a smaller texture with a different pitch is read only inside itself
    s.o.tex.replace_surface(SDL_CreateRGBSurface(0, 37, 21, 16, 0, 0, 0, 0));
    SDL_FillRect(s.o.tex.surface, nullptr, 0x1234);
    SDL_FillRect(s.dst, nullptr, 0);
    clear_z_buffer();
    s.o.show(3, 0, 0, 0, 0, 0, 0);
    s.o.show(3, 0, 0, 1, 20, 20, 20);
    int drawn = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) drawn += s.at(x, y) != 0;
    EXPECT_GT(drawn, 0);
    // a dot on column 640 (a corner, or a texture coordinate) is off the
    // screen: the next row's first pixel stays
    scene d;
    set_faces(d.o, {{corner{640, 100, 640, 200}, corner{639, 101, 639, 201}, corner{0, 300, 0, 300}}});
    d.o.show(1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(d.at(639, 101), 0xF800);
    EXPECT_EQ(d.at(639, 201), 0x003F);
    EXPECT_EQ(d.at(0, 300), 0x003F) << "the texture coordinate's dot over the corner's";
    EXPECT_EQ(d.at(0, 101), 0) << "the corner on column 640";
    EXPECT_EQ(d.at(0, 201), 0) << "the texture coordinate on column 640";
}

TEST(R3dRaster, TexturedRoomKeyColourFaintFadeAndEdgeTexels) {
    fill_pre_RGB_tab();
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_Surface* tex = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_FillRect(tex, nullptr, 0xFFFF);
    *r3d_pixel(tex, 0, 0) = 20;  // key colour at the top-left texel
    object_2 o;
    o.target = target;
    o.tex_surface = tex;
    o.allocate(3, 1, 3, 0);
    // (-320, -240) lands on (0, 0); (0, 0) on the centre; z has no effect
    o.verts[0][0] = vertex{-320, -240, 55, 0};
    o.verts[0][1] = vertex{0, -240, -9, 0};
    o.verts[0][2] = vertex{-320, 0, 0, 0};
    o.tex_coords[0][0] = {0, 0};
    o.tex_coords[0][1] = {640, 0};  // u = 1: one past the last column, clamped
    o.tex_coords[0][2] = {0, 480};
    o.faces[0] = face_2{{0, 1, 2}, {0, 0, 0, 0}};
    transp_col = 20;
    transp = 0;
    o.show(3, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 0, 0), 0);        // key texel left out
    EXPECT_EQ(*r3d_pixel(target, 100, 0), 0xFFFF);  // copied with all 16 bits
    EXPECT_EQ(*r3d_pixel(target, 319, 0), 0xFFFF);
    EXPECT_EQ(*r3d_pixel(target, 320, 0), 0);       // right end open
    // weight 1 over black: 31 -> trunc(31 * 1 * 0.034) = 1 per channel
    SDL_FillRect(target, nullptr, 0);
    transp = 1;
    o.show(3, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 100, 10), px::pack(1, 1, 1));
    SDL_FillRect(target, nullptr, 0xFFFF);
    o.show(3, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 0, 0), 0xFFFF);
    EXPECT_GE(px::red(*r3d_pixel(target, 100, 10)), 30);
    transp = 0;
    // a small texture: every read stays inside it
    SDL_Surface* small = SDL_CreateRGBSurface(0, 3, 2, 16, 0, 0, 0, 0);
    SDL_FillRect(small, nullptr, 0x0F0F);
    o.tex_surface = small;
    o.show(3, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 100, 100), 0x0F0F);
    o.show(1, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 0, 240), 0xF800);
    o.show(2, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 0, 240), 0xFFFF);
    // no picture at all (or an empty one): the textured mode leaves the
    // target as it is and reads nothing
    SDL_FillRect(target, nullptr, 0x1234);
    o.tex_surface = nullptr;
    o.show(3, 0, 0);
    SDL_Surface* empty = SDL_CreateRGBSurface(0, 0, 0, 16, 0, 0, 0, 0);
    o.tex_surface = empty;
    o.show(3, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 100, 100), 0x1234);
    EXPECT_EQ(*r3d_pixel(target, 0, 240), 0x1234);
    SDL_FreeSurface(empty);
    // no rows, or no columns: empty too
    for (const auto& [w, h] : {std::pair{4, 0}, std::pair{0, 4}}) {
        SDL_Surface* flat = SDL_CreateRGBSurface(0, w, h, 16, 0, 0, 0, 0);
        ASSERT_NE(flat, nullptr);
        o.tex_surface = flat;
        o.show(3, 0, 0);
        EXPECT_EQ(*r3d_pixel(target, 100, 100), 0x1234) << w << " x " << h;
        SDL_FreeSurface(flat);
    }
    SDL_FreeSurface(small);
    // dots past column 639 or row 479 of a larger target are left out, each
    // whatever the other coordinate
    SDL_Surface* large = SDL_CreateRGBSurface(0, 660, 490, 16, 0, 0, 0, 0);
    SDL_FillRect(large, nullptr, 0);
    o.target = large;
    o.tex_surface = nullptr;  // the empty picture above is freed
    o.verts[0][0] = vertex{100 - 320, 480 - 240, 0, 0};
    o.verts[0][1] = vertex{640 - 320, 100 - 240, 0, 0};
    o.verts[0][2] = vertex{5 - 320, 5 - 240, 0, 0};
    o.show(1, 0, 0);
    EXPECT_EQ(*r3d_pixel(large, 5, 5), 0xF800);
    EXPECT_EQ(*r3d_pixel(large, 100, 480), 0);
    EXPECT_EQ(*r3d_pixel(large, 640, 100), 0);
    SDL_FreeSurface(large);
    SDL_FreeSurface(tex);
    SDL_FreeSurface(target);
    clear_z_buffer();
    EXPECT_EQ(z_buffer[0], -1000000);
    EXPECT_EQ(z_buffer[z_buffer_size - 1], -1000000);
}

TEST(R3dRaster, HandWrittenCubeLoadsTurnsAndDraws) {
    // A cube of 8 vertices and 12 faces, textured with a checker board,
    // turned and drawn opaque, then its wire frame over it. Set R3D_PICTURE
    // to a file name to keep the picture as BMP.
    const std::string cube = r3d_temp_file(
        "cube\n1\n---\nbox\n8 12\nvertices\n"
        "-1 -1 -1\n1 -1 -1\n1 1 -1\n-1 1 -1\n-1 -1 1\n1 -1 1\n1 1 1\n-1 1 1\n"
        "0 1 2\n0 2 3\n4 6 5\n4 7 6\n0 4 5\n0 5 1\n3 2 6\n3 6 7\n0 3 7\n0 7 4\n1 5 6\n1 6 2\n"
        "8\n-2 -2 0\n2 -2 0\n2 2 0\n-2 2 0\n2 2 0\n-2 2 0\n-2 -2 0\n2 -2 0\n");
    room r;
    const load_result res = r.read_file(cube.c_str());
    ASSERT_TRUE(res.ok) << res.message();
    std::remove(cube.c_str());
    object& o = r.objects[0];
    SDL_Surface* t = o.tex.surface;
    for (int v = 0; v < t->h; ++v)
        for (int u = 0; u < t->w; ++u)
            *r3d_pixel(t, u, v) = ((u / 80 + v / 60) & 1) ? px::pack(31, 20, 0) : px::pack(0, 10, 31);
    SDL_Surface* dst = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_FillRect(dst, nullptr, 0);
    dest_surface = dst;
    world_x = world_y = world_z = 0;
    o.scale(600, 600, 600, 0, 1);
    o.rotate(1, 100, 1, 2);  // an eighth of a turn about x, then about y
    o.rotate(2, 70, 2, 1);
    clear_z_buffer();
    o.show(3, 1, 0, 0, 0, 0, 0);
    o.show(2, 1, 0, 0, 0, 0, 0);
    // the cube sits in the middle of the picture: centre covered, corners empty
    EXPECT_NE(*r3d_pixel(dst, 320, 240), 0);
    EXPECT_EQ(*r3d_pixel(dst, 5, 5), 0);
    EXPECT_EQ(*r3d_pixel(dst, 634, 474), 0);
    int white = 0, coloured = 0;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) {
            const Uint16 p = *r3d_pixel(dst, x, y);
            white += p == 0xFFFF;
            coloured += p != 0 && p != 0xFFFF;
        }
    EXPECT_GT(white, 1000);
    EXPECT_GT(coloured, 40000);
    if (const char* keep = std::getenv("R3D_PICTURE")) SDL_SaveBMP(dst, keep);
    dest_surface = nullptr;
    SDL_FreeSurface(dst);
}

// A flat edge finds its next row by comparing with the first value outside
// the current row's truncation interval: the value before that bound still
// truncates to the row, the bound itself does not, on both sides of zero
// and in both directions.
TEST(R3dRaster, RowExitIsTheFirstValueOutsideTheRow) {
    for (int w = -3; w <= 3; ++w)
        for (bool up : {true, false}) {
            const double exit = raster::row_exit(w, up);
            const double inside = std::nextafter(exit, up ? -1e300 : 1e300);
            EXPECT_NE(static_cast<int>(exit), w) << "row " << w << (up ? " up" : " down");
            EXPECT_EQ(static_cast<int>(inside), w) << "row " << w << (up ? " up" : " down");
            EXPECT_EQ(static_cast<int>(exit), up ? w + 1 : w - 1) << "row " << w;
        }
}

// A span's texture steps in 24.40 fixed point, without a conversion: per
// lane equal to the product in doubles for zero, both signs, both ends of
// the range and the float next to each end, each lane on its own.
TEST(R3dRaster, SpanStepsInFixedPointAreExact) {
    for (float f : {0.0f, -0.0f, 0x1p-15f, std::nextafter(0x1p-15f, 1.0f), 0x1p-10f, 1.0f / 640.02f, 0.75f, 1.0f,
                    3.1f, 4095.0f / 0.98f, std::nextafter(8192.0f, 0.0f)}) {
        for (float g : {f, -f}) {
            const raster::pair_l p = raster::times_2_40(raster::pair_f{g, 1.5f});
            const raster::pair_l q = raster::times_2_40(raster::pair_f{-3.25f, g});
            const auto want = static_cast<std::int64_t>(static_cast<double>(g) * 0x1p40);
            EXPECT_EQ(p[0], want) << g;
            EXPECT_EQ(q[1], want) << g;
            EXPECT_EQ(p[1], static_cast<std::int64_t>(1.5 * 0x1p40)) << g;
            EXPECT_EQ(q[0], static_cast<std::int64_t>(-3.25 * 0x1p40)) << g;
        }
    }
}

// A finite non-zero float splits into M * 2^E with |M| < 2^24 exactly;
// zero, infinities and NaN do not split, and a walk by a zero step counts
// as exact in both the double and the 32.32 walk.
TEST(R3dRaster, FloatsSplitIntoMantissaAndExponentExactly) {
    for (float f : {1.0f, -1.0f, 0.75f, 1.0f / 640.02f, 0x1p-149f, -0x1p-140f, std::nextafter(0x1p-126f, 0.0f),
                    0x1p-126f, std::numeric_limits<float>::max()}) {
        long long mant = 0;
        int e = 0;
        ASSERT_TRUE(float_parts(f, mant, e)) << f;
        EXPECT_EQ(std::ldexp(static_cast<double>(mant), e), static_cast<double>(f)) << f;
        EXPECT_LT(mant < 0 ? -mant : mant, 1LL << 24) << f;
    }
    for (float f : {0.0f, -0.0f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN()}) {
        long long mant = 0;
        int e = 0;
        EXPECT_FALSE(float_parts(f, mant, e)) << f;
    }
    std::int64_t step_fx = 1;
    EXPECT_TRUE(raster::double_walk_exact(1000000, 0.0f, 5000));
    EXPECT_TRUE(raster::fixed32_walk_exact(1000000, 0.0f, 5000, step_fx));
    EXPECT_EQ(step_fx, 0);
    EXPECT_FALSE(raster::double_walk_exact(1LL << 30, 0.0f, 1)) << "outside +-2^30";
}

// The reciprocal tables give, for every entry the walks and spans use and
// every integer numerator within +-8192, the float the division gives, in
// both lanes of a pair; the slopes' entry for k = 0 (never used) is left out.
TEST(R3dRaster, ReciprocalQuotientsRoundAsTheDivision) {
    auto check = [](const auto& table, int lo, int hi, const char* name, bool skip_zero = false) {
        long wrong = 0;
        for (int k = lo; k <= hi; ++k) {
            if (skip_zero && k == 0) continue;
            const double den = static_cast<double>(k) + table.bias;
            for (int a = -8192; a <= 8192; ++a) {
                const int b = 8192 - a;
                const raster::pair_f p = table.steps(a, b, k);
                const bool ok = p[0] == static_cast<float>(a / den) && p[1] == static_cast<float>(b / den) &&
                                table.step(a, k) == p[0];
                if (!ok && wrong++ == 0) ADD_FAILURE() << name << ": k " << k << ", numerator " << a;
            }
        }
        EXPECT_EQ(wrong, 0) << name;
    };
    check(raster::span_plus_hundredth, 0, raster::cols, "span + 0.01");
    check(raster::span_less_ten_thousandth, 0, raster::cols, "span - 0.0001");
    check(raster::edge_slope, -256, 256, "slope", true);
    check(raster::edge_steps, -256, 256, "steps");
}

// A face whose u runs from 0 at its left edge to 100 at its right end,
// over a 37 x 21 texture: each row shows texels of its row v, u never
// falling, up to the last column (36) and nothing past it, opaque or
// cross-faded; a v one past the last row shows nothing at all.
TEST(R3dRaster, TexelsAreReadUpToTheTexturesLastColumnAndRowAndNoFurther) {
    const int tw = 37, th = 21;
    const auto texel = [](int u, int v) { return static_cast<Uint16>(0x0841 + u * 97 + v * 1031); };
    for (int blend : {0, 1})
        for (int v : {th - 1, th}) {
            scene s;
            s.o.tex.replace_surface(SDL_CreateRGBSurface(0, tw, th, 16, 0, 0, 0, 0));
            for (int y = 0; y < th; ++y)
                for (int x = 0; x < tw; ++x) *r3d_pixel(s.o.tex.surface, x, y) = texel(x, y);
            set_faces(s.o, {{corner{10, 10, 0, v}, corner{110, 10, 100, v}, corner{10, 110, 0, v}}});
            s.o.show(3, 0, 0, blend, 30, 30, 30);
            for (int y : {10, 20, 50}) {
                // the u each column shows, from its pixel; -1 for none
                std::vector<int> us;
                for (int x = 0; x < 640; ++x) {
                    int found = -1;
                    for (int u = 0; u < tw && s.at(x, y) != 0; ++u)
                        if (s.at(x, y) == (blend ? (texel(u, v) & 0xFFDF) : texel(u, v))) found = u;
                    us.push_back(found);
                    if (s.at(x, y) != 0) {
                        ASSERT_NE(found, -1) << "column " << x << " shows no texel of row " << v;
                    }
                }
                if (v == th) {
                    EXPECT_EQ(std::count(us.begin(), us.end(), -1), 640) << "row " << y;
                    continue;
                }
                // texels 0 .. 36 from column 10 on, rising, then nothing
                const auto last = std::find(us.begin() + 10, us.end(), -1) - us.begin();
                EXPECT_EQ(us[9], -1);
                EXPECT_EQ(us[10], 0) << "blend " << blend << ", row " << y;
                EXPECT_EQ(us[last - 1], tw - 1) << "blend " << blend << ", row " << y;
                EXPECT_TRUE(std::is_sorted(us.begin() + 10, us.begin() + last));
                EXPECT_EQ(std::count(us.begin() + last, us.end(), -1), 640 - last);
            }
        }
}

// A vertex or texture set the object does not have draws nothing and reads
// nothing: the sets just past the last and before the first, in every mode.
TEST(R3dRaster, ASetTheObjectDoesNotHaveDrawsNothing) {
    scene s;
    set_faces(s.o, {{corner{10, 10, 0, 0}, corner{100, 10, 90, 0}, corner{10, 100, 0, 90}}});
    for (int k = 1; k < nr_vertex_sets; ++k)  // every set the object has is the face
        std::copy(s.o.verts[0], s.o.verts[0] + 3, s.o.verts[k]);
    std::copy(s.o.tex_coords[0], s.o.tex_coords[0] + 3, s.o.tex_coords[1]);
    for (int mode = 1; mode <= 3; ++mode)
        for (auto [vs, ts] : {std::pair{nr_vertex_sets, 0}, {-1, 0}, {0, nr_tex_sets}, {0, -1}}) {
            s.o.show(mode, vs, ts, 0, 0, 0, 0);
            int drawn = 0;
            for (int y = 0; y < 480; ++y) drawn += s.count_row(y);
            ASSERT_EQ(drawn, 0) << "mode " << mode << ", sets " << vs << "/" << ts;
        }
    s.o.show(3, nr_vertex_sets - 1, nr_tex_sets - 1, 0, 0, 0, 0);
    EXPECT_GT(s.count_row(20), 0) << "the last sets it has are drawn";

    fill_pre_RGB_tab();
    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_Surface* tex = SDL_CreateRGBSurface(0, 64, 64, 16, 0, 0, 0, 0);
    SDL_FillRect(tex, nullptr, 0x7777);
    object_2 o;
    o.target = target;
    o.tex_surface = tex;
    o.allocate(3, 1, 3, 0);
    o.verts[0][0] = vertex{-320, -240, 0, 0};
    o.verts[0][1] = vertex{0, -240, 0, 0};
    o.verts[0][2] = vertex{-320, 0, 0, 0};
    o.faces[0] = face_2{{0, 1, 2}, {0, 0, 0, 0}};
    for (int mode = 1; mode <= 3; ++mode)
        for (auto [vs, ts] : {std::pair{nr_vertex_sets, 0}, {-1, 0}, {0, nr_tex_sets}, {0, -1}}) {
            o.show(mode, vs, ts);
            int drawn = 0;
            for (int y = 0; y < 480; ++y)
                for (int x = 0; x < 640; ++x) drawn += *r3d_pixel(target, x, y) != 0;
            ASSERT_EQ(drawn, 0) << "textured room, mode " << mode << ", sets " << vs << "/" << ts;
        }
    o.show(3, 0, nr_tex_sets - 1);
    EXPECT_EQ(*r3d_pixel(target, 10, 10), 0x7777);
    SDL_FreeSurface(tex);
    SDL_FreeSurface(target);
}

// A face may name vertices past the end of the texture-coordinate list; those
// corners take texel (0, 0), and the list is never read past its end (the
// sanitized build catches a read of the entry just past it).
TEST(R3dRaster, CornersPastTheTextureCoordinateListTakeTexelZero) {
    scene s;
    set_faces(s.o, {{corner{100, 100, 7, 9}, corner{300, 100, 8, 9}, corner{100, 300, 50, 60}}});
    object& o = s.o;
    delete[] o.tex_coords[0];
    o.tex_coords[0] = new tex_coord[2]{{7, 9}, {8, 9}};
    o.nr_tex = 2;
    o.show(1, 0, 0, 0, 0, 0, 0);  // dots: the corners red, their texture coordinates blue
    EXPECT_EQ(s.at(7, 9), 0x003F);
    EXPECT_EQ(s.at(0, 0), 0x003F) << "the third corner's texture coordinate";
    EXPECT_EQ(s.at(50, 60), 0) << "a coordinate the list does not hold";

    SDL_Surface* target = SDL_CreateRGBSurface(0, 640, 480, 16, 0, 0, 0, 0);
    SDL_Surface* tex = SDL_CreateRGBSurface(0, 64, 64, 16, 0, 0, 0, 0);
    SDL_FillRect(target, nullptr, 0);
    object_2 r;
    r.target = target;
    r.tex_surface = tex;
    r.allocate(3, 1, 2, 0);
    r.verts[0][0] = vertex{-300, -200, 0, 0};  // corners on (20, 40), (320, 40), (20, 240)
    r.verts[0][1] = vertex{0, -200, 0, 0};
    r.verts[0][2] = vertex{-300, 0, 0, 0};
    r.tex_coords[0][0] = tex_coord{5, 6};
    r.tex_coords[0][1] = tex_coord{9, 6};
    r.faces[0] = face_2{{0, 1, 2}, {0, 0, 0, 0}};
    r.show(1, 0, 0);
    EXPECT_EQ(*r3d_pixel(target, 20, 240), 0xF800);
    EXPECT_EQ(*r3d_pixel(target, 5, 6), 0x003F);
    EXPECT_EQ(*r3d_pixel(target, 0, 0), 0x003F) << "the textured room's third corner takes texel (0, 0)";
    SDL_FreeSurface(tex);
    SDL_FreeSurface(target);
}
