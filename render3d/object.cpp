// The mesh record: its arrays, the transforms scale and rotate (face-order
// traversal: in place, a vertex is transformed once per face corner naming
// it) and the perspective projection. Draws nothing (see rasterizer.cpp).
#include "object.h"

#include <algorithm>

#include "exact.h"
#include "globals.h"

object::object() {
    tables_ = new span_end[2 * scan_rows];
    left = tables_;
    right = tables_ + scan_rows;
    for (int y = 0; y < scan_rows; ++y) {
        left[y] = span_end{640, 0, 0};
        right[y] = span_end{0, 0, 0};
    }
}

object::~object() {
    free_arrays();
    delete[] tables_;
}

void object::free_arrays() {
    for (auto& v : verts) {
        delete[] v;
        v = nullptr;
    }
    for (auto& t : tex_coords) {
        delete[] t;
        t = nullptr;
    }
    delete[] faces;
    faces = nullptr;
    delete[] proj_;
    proj_ = nullptr;
    delete[] named_;
    named_ = nullptr;
    delete[] order_;
    order_ = nullptr;
    delete[] depth_;
    depth_ = nullptr;
    nr_verts = nr_faces = nr_tex = 0;
}

void object::allocate(int v, int f, int t) {
    free_arrays();
    v = std::max(v, 0);
    f = std::max(f, 0);
    t = std::max(t, 0);
    // Work sets and texture set 1 start zeroed rather than undefined.
    for (auto& s : verts) s = new vertex[static_cast<size_t>(v)]();
    faces = new face[static_cast<size_t>(f)]();
    proj_ = new screen_point[static_cast<size_t>(v)]();
    named_ = new unsigned char[static_cast<size_t>(v)]();
    order_ = new int[static_cast<size_t>(f)]();
    depth_ = new int[static_cast<size_t>(f)]();
    for (auto& s : tex_coords) s = new tex_coord[static_cast<size_t>(t)]();
    nr_verts = v;
    nr_faces = f;
    nr_tex = t;
}

void object::scale(float sx, float sy, float sz, int src, int dst) {
    if (src < 0 || src >= nr_vertex_sets || dst < 0 || dst >= nr_vertex_sets) return;
    vertex* s = verts[src];
    vertex* d = verts[dst];
    for (cur_face = 0; cur_face < nr_faces; ++cur_face) {
        // corner by corner: dst[k] = src[k] * (sx, sy, sz), each product a float
        for (int c = 0; c < 3; ++c) {
            const int k = faces[cur_face].v[c];
            d[k].x = s[k].x * sx;
            d[k].y = s[k].y * sy;
            d[k].z = s[k].z * sz;
        }
    }
}

void object::rotate(int axis, int angle, int src, int dst) {
    if (src < 0 || src >= nr_vertex_sets || dst < 0 || dst >= nr_vertex_sets) return;
    angle %= sin_table_size;
    if (angle < 0) angle += sin_table_size;
    const double s = sintab[angle];
    const double c = costab[angle];
    vertex* in = verts[src];
    vertex* out = verts[dst];
    if (src != dst && nr_faces > 0) {
        rotate_named(axis, s, c, in, out);
        return;
    }
    for (cur_face = 0; cur_face < nr_faces; ++cur_face) {
        const face& f = faces[cur_face];
        // all three corners are read before any is written
        for (int k = 0; k < 3; ++k) {
            rot[3 * k] = in[f.v[k]].x;
            rot[3 * k + 1] = in[f.v[k]].y;
            rot[3 * k + 2] = in[f.v[k]].z;
        }
        for (int k = 0; k < 3; ++k) {
            const double x = rot[3 * k], y = rot[3 * k + 1], z = rot[3 * k + 2];
            switch (axis) {
            case 1:  // about x: y' = y c - z s, z' = y s + z c
                rot[3 * k + 1] = static_cast<float>(y * c - z * s);
                rot[3 * k + 2] = static_cast<float>(y * s + z * c);
                break;
            case 2:  // about y: x' = x c - z s, z' = x s + z c
                rot[3 * k] = static_cast<float>(x * c - z * s);
                rot[3 * k + 2] = static_cast<float>(x * s + z * c);
                break;
            case 3:  // about z: x' = x c - y s, y' = x s + y c
                rot[3 * k] = static_cast<float>(x * c - y * s);
                rot[3 * k + 1] = static_cast<float>(x * s + y * c);
                break;
            default:
                break;
            }
        }
        for (int k = 0; k < 3; ++k) {
            out[f.v[k]].x = rot[3 * k];
            out[f.v[k]].y = rot[3 * k + 1];
            out[f.v[k]].z = rot[3 * k + 2];
        }
    }
}

// Into another set, a vertex's result does not depend on how many corners
// name it: each named vertex is turned once (unnamed ones stay untouched),
// and rot holds the last face's corners as the corner walk leaves it.
void object::rotate_named(int axis, double s, double c, const vertex* in, vertex* out) {
    std::fill_n(named_, nr_verts, static_cast<unsigned char>(0));
    for (int f = 0; f < nr_faces; ++f)
        for (int k = 0; k < 3; ++k) named_[faces[f].v[k]] = 1;
    auto turn = [&](auto fn) {
        for (int k = 0; k < nr_verts; ++k)
            if (named_[k]) fn(in[k], out[k]);
    };
    switch (axis) {
    case 1:
        turn([s, c](const vertex& a, vertex& b) {
            const double y = a.y, z = a.z;
            b.x = a.x;
            b.y = static_cast<float>(y * c - z * s);
            b.z = static_cast<float>(y * s + z * c);
        });
        break;
    case 2:
        turn([s, c](const vertex& a, vertex& b) {
            const double x = a.x, z = a.z;
            b.x = static_cast<float>(x * c - z * s);
            b.y = a.y;
            b.z = static_cast<float>(x * s + z * c);
        });
        break;
    case 3:
        turn([s, c](const vertex& a, vertex& b) {
            const double x = a.x, y = a.y;
            b.x = static_cast<float>(x * c - y * s);
            b.y = static_cast<float>(x * s + y * c);
            b.z = a.z;
        });
        break;
    default:
        turn([](const vertex& a, vertex& b) { b.x = a.x, b.y = a.y, b.z = a.z; });
        break;
    }
    cur_face = nr_faces;
    const face& last = faces[nr_faces - 1];
    for (int k = 0; k < 3; ++k) {
        rot[3 * k] = out[last.v[k]].x;
        rot[3 * k + 1] = out[last.v[k]].y;
        rot[3 * k + 2] = out[last.v[k]].z;
    }
}

// Projected coordinates are kept within +-1e9 so that differences of two of
// them (and sums of three depths) stay inside 32-bit ints.
static constexpr double project_limit = 1e9;

void object::project_all(const vertex* vs) {
    for (int k = 0; k < nr_verts; ++k) proj_[k] = project(vs[k]);
}

screen_point object::project(const vertex& v) const {
    // Z = trunc(world_z + (z + pos_z)) - 10000
    const double zz = static_cast<double>(world_z) + (static_cast<double>(v.z) + pos_z);
    const int z = static_cast<int>(clamp_trunc(zz, project_limit)) - 10000;
    const double d = z + 0.001;
    // x = trunc((world_x + (x + pos_x)) / (Z + 0.001) * 3000) + 320, y likewise
    // about 240; both quotients in one packed division, each lane exactly
    // the scalar quotient
    typedef double pair_d __attribute__((vector_size(16)));
    const pair_d num = {static_cast<double>(world_x) + (static_cast<double>(v.x) + pos_x),
                        static_cast<double>(world_y) + (static_cast<double>(v.y) + pos_y)};
    const pair_d q = num / d * 3000;
    const double sx = q[0], sy = q[1];
    return screen_point{static_cast<int>(clamp_trunc(sx, project_limit)) + 320,
                        static_cast<int>(clamp_trunc(sy, project_limit)) + 240, z};
}
