// Model generator core: a triangle mesh with one texture coordinate per
// vertex, the helpers the model builders share, and the writer of the .3D
// text format (room files and the flat room_2D variant). Writes no pictures.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace mdl {

struct vec3 {
    double x = 0, y = 0, z = 0;
};
inline vec3 operator+(vec3 a, vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline vec3 operator*(vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline vec3 cross(vec3 a, vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline double length(vec3 a) { return std::sqrt(dot(a, a)); }
inline vec3 normalize(vec3 a) {
    double l = length(a);
    return l > 0 ? a * (1.0 / l) : vec3{0, 0, 1};
}

// One texture coordinate per vertex (the renderer looks them up by vertex
// index), so seams are made by duplicating vertices.
struct mesh {
    std::string name;
    std::vector<vec3> verts;
    std::vector<double> u, v;  // texture coordinates, one pair per vertex
    struct face {
        int a, b, c;
    };
    std::vector<face> faces;

    int add_vert(vec3 p, double tu, double tv) {
        verts.push_back(p);
        u.push_back(tu);
        v.push_back(tv);
        return int(verts.size()) - 1;
    }
    void add_face(int a, int b, int c) { faces.push_back({a, b, c}); }
    // Two triangles a-b-c, a-c-d.
    void add_quad(int a, int b, int c, int d) {
        add_face(a, b, c);
        add_face(a, c, d);
    }
    // Appends another mesh (its vertices, texture coordinates and faces).
    void append(const mesh& m);
    // Every face gets three vertices of its own: a transform that works in
    // place then moves each vertex exactly once per call.
    void unshare();
    void transform(vec3 (*f)(vec3, const void*), const void* ctx);
};

// Deterministic pseudo-random numbers (splitmix64), the same on every run
// and every platform.
struct rng {
    uint64_t s;
    explicit rng(uint64_t seed) : s(seed) {}
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1).
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
};

// A grid of (cols + 1) x (rows + 1) vertices from a surface function
// p(s, t), s and t in 0..1, with texture coordinates from tex(s, t); the
// cells become two triangles each. wrap_s joins the last column to the first
// by index (only when the texture coordinates agree there).
struct grid_fn {
    virtual ~grid_fn() = default;
    virtual vec3 pos(double s, double t) const = 0;
    virtual void tex(double s, double t, double& u, double& v) const = 0;
};
void add_grid(mesh& m, const grid_fn& fn, int cols, int rows);

// Writes meshes as a .3D model. Room files: texture coordinates as given
// (-2..2). flat_room = true writes the room_2D variant: coordinates 0..1 and
// a block of texture-face records after them. Returns false with a message
// on stderr when the file cannot be written.
bool write_3d(const std::string& path, const std::string& room_name, const std::vector<mesh>& objects,
              bool flat_room);
// The same text, for tests of the format.
std::string format_3d(const std::string& room_name, const std::vector<mesh>& objects, bool flat_room);

}  // namespace mdl

namespace mdl {
// A closed sphere of unit directions made from a subdivided cube (n x n
// cells per side, corners welded), so that cells are of similar size and
// there are no poles. Texture coordinates are left at 0 for the caller.
mesh cube_sphere(int n);
}  // namespace mdl
