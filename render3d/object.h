// One textured triangle mesh of a room: its vertex sets, faces, texture
// coordinates, texture and position, the transforms (scale, rotate), the
// projection and the rasterizer state of object::show. Owns its arrays.
#pragma once

#include <SDL.h>

#include "bitmap.h"

struct vertex {
    float x, y, z;
    float spare;  // read by nothing
};

struct face {
    int v[3];     // vertex indices a, b, c
    int spare[2];
};

struct tex_coord {
    int u, v;  // texture pixels
};

// One end of a row's span in the scan-line tables: its column and the
// texel there.
struct span_end {
    int x;     // column (the left end's is the first drawn, the right end's the first past)
    int u, v;  // texel column and row
};

struct screen_point {
    int x, y;  // pixels
    int z;     // integer depth of the projection (larger is nearer)
};

inline constexpr int scan_rows = 480;
inline constexpr int nr_vertex_sets = 3;
inline constexpr int nr_tex_sets = 2;

class object {
public:
    int cur_face = 0;                       // face being processed; nr_faces after a call
    screen_point p0{}, p1{}, p2{};          // current triangle on screen
    int y_top = 0, y_bottom = 0;            // rows the current triangle spans, clipped
    tex_coord t0{}, t1{}, t2{};             // current triangle's texture coordinates
    float rot[9] = {};                      // x, y, z of the three corners being rotated
    int span_x = 0, span_y = 0;
    span_end* left = nullptr;               // per row: span start
    span_end* right = nullptr;              // per row: span end (exclusive)
    int span_x0 = 0, span_x1 = 0;
    Uint16* dst_pixels = nullptr;           // valid while show runs
    int dst_pitch = 0;                      // in pixels
    Uint16* tex_pixels = nullptr;
    int tex_pitch = 0;
    char name[100] = {};
    bitmap tex;                             // the mesh's texture (640 x 480)
    const bitmap* shared_tex = nullptr;     // when set, drawn with this texture instead of tex
    int pos_x = 0, pos_y = 0, pos_z = 0;
    int nr_faces = 0, nr_verts = 0, nr_tex = 0;
    int walk_x = 0, walk_y = 0;
    vertex* verts[nr_vertex_sets] = {};     // sets 0 (as loaded), 1 and 2 (work sets)
    tex_coord* tex_coords[nr_tex_sets] = {};
    face* faces = nullptr;

    // Blank 640 x 480 texture, scan-line tables with left x = 640, right x = 0.
    object();
    ~object();
    object(const object&) = delete;
    object& operator=(const object&) = delete;

    // Allocates the vertex sets (V entries each, zeroed), the faces and both
    // texture-coordinate sets, replacing any earlier arrays.
    void allocate(int v, int f, int t);

    // dst[k] = src[k] * (sx, sy, sz) for every face corner k, in face order.
    // Set numbers outside 0..2 do nothing.
    void scale(float sx, float sy, float sz, int src, int dst);

    // Rotates every face's corners about axis 1 (x), 2 (y) or 3 (z) by
    // sintab/costab[angle]; any other axis copies. The angle wraps modulo
    // 1600; set numbers outside 0..2 do nothing.
    void rotate(int axis, int angle, int src, int dst);

    // Projects vertex set `vertex_set` and draws it into dest_surface: mode 1
    // dots, 2 wire frame, 3 filled and textured (blend 1 cross-fades with the
    // weights 0..30, otherwise opaque with the depth test).
    void show(int mode, int vertex_set, int tex_set, int blend, unsigned short w_red,
              unsigned short w_green, unsigned short w_blue);

    // Orders p0, p1, p2 (with t0, t1, t2) by ascending y.
    void sort_verts();
    // Walk one edge into the left / right scan-line tables (z1, z2 unused).
    void calc_vector_left(long x1, long y1, long z1, long x2, long y2, long z2, long u_start,
                          long v_start, long u_end, long v_end);
    void calc_vector_right(long x1, long y1, long z1, long x2, long y2, long z2, long u_start,
                           long v_start, long u_end, long v_end);
    // White line into the destination cached by show (only valid inside show).
    void plot_wire(long x1, long y1, long x2, long y2);

    // The projection of one vertex with pos_* and world_* (see object.cpp).
    screen_point project(const vertex& v) const;
    // The faces in the order the last opaque textured show drew them: the
    // nearest first, in face order among equally near ones (nr_faces entries).
    const int* draw_order() const { return order_; }

private:
    span_end* tables_ = nullptr;  // storage of both scan-line tables
    screen_point* proj_ = nullptr;  // per vertex: its projection during show
    unsigned char* named_ = nullptr;  // per vertex: named by a face (rotate)
    int* order_ = nullptr;            // per face: the order an opaque show draws them in
    int* depth_ = nullptr;            // per face: its depth band during show
    void free_arrays();
    // proj_[k] = project(vs[k]) for every vertex
    void project_all(const vertex* vs);
    // order_ = the faces nearest first, in face order among equal depths
    void order_by_depth();
    void rotate_named(int axis, double s, double c, const vertex* in, vertex* out);
};
