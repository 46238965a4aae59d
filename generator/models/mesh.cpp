// Model generator core: mesh helpers and the .3D writer. The writer lays out
// every count and record so that a reader that drops the rest of a number's
// line plus one heading line finds the next token where it expects it.
#include "models/mesh.h"

#include <cstdio>

namespace mdl {

void mesh::append(const mesh& m) {
    int base = int(verts.size());
    verts.insert(verts.end(), m.verts.begin(), m.verts.end());
    u.insert(u.end(), m.u.begin(), m.u.end());
    v.insert(v.end(), m.v.begin(), m.v.end());
    for (const face& f : m.faces) faces.push_back({f.a + base, f.b + base, f.c + base});
}

void mesh::unshare() {
    mesh out;
    out.name = name;
    for (const face& f : faces) {
        int a = out.add_vert(verts[size_t(f.a)], u[size_t(f.a)], v[size_t(f.a)]);
        int b = out.add_vert(verts[size_t(f.b)], u[size_t(f.b)], v[size_t(f.b)]);
        int c = out.add_vert(verts[size_t(f.c)], u[size_t(f.c)], v[size_t(f.c)]);
        out.add_face(a, b, c);
    }
    *this = std::move(out);
}

void mesh::transform(vec3 (*f)(vec3, const void*), const void* ctx) {
    for (vec3& p : verts) p = f(p, ctx);
}

void add_grid(mesh& m, const grid_fn& fn, int cols, int rows) {
    int base = int(m.verts.size());
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= cols; ++i) {
            double s = double(i) / cols, t = double(j) / rows, tu, tv;
            fn.tex(s, t, tu, tv);
            m.add_vert(fn.pos(s, t), tu, tv);
        }
    auto at = [&](int i, int j) { return base + j * (cols + 1) + i; };
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < cols; ++i) m.add_quad(at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1));
}

namespace {
// "%.4f" without a negative zero, so that equal geometry gives equal bytes.
void put_num(std::string& out, double x) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", x);
    if (std::string(buf) == "-0.0000") std::snprintf(buf, sizeof buf, "0.0000");
    out += buf;
}
}  // namespace

std::string format_3d(const std::string& room_name, const std::vector<mesh>& objects, bool flat_room) {
    std::string out;
    out += room_name + "\n";
    out += std::to_string(objects.size()) + "\n";
    for (size_t k = 0; k < objects.size(); ++k) {
        const mesh& m = objects[k];
        // The rest of the previous number's line is already consumed by the
        // line end above; this separator is the second discarded line.
        out += "# object " + std::to_string(k) + "\n";
        out += m.name.substr(0, 99) + "\n";
        out += std::to_string(m.verts.size()) + "\n";
        out += std::to_string(m.faces.size()) + "\n";
        out += "# vertices, faces, texture coordinates\n";
        for (const vec3& p : m.verts) {
            put_num(out, p.x);
            out += ' ';
            put_num(out, p.y);
            out += ' ';
            put_num(out, p.z);
            out += '\n';
        }
        for (const mesh::face& f : m.faces)
            out += std::to_string(f.a) + " " + std::to_string(f.b) + " " + std::to_string(f.c) + "\n";
        out += std::to_string(m.verts.size()) + "\n";
        for (size_t i = 0; i < m.verts.size(); ++i) {
            put_num(out, m.u[i]);
            out += ' ';
            put_num(out, m.v[i]);
            out += " 0\n";
        }
        if (flat_room) {
            // Texture-face records: the same corners as the faces.
            out += std::to_string(m.faces.size()) + "\n";
            for (const mesh::face& f : m.faces)
                out += std::to_string(f.a) + " " + std::to_string(f.b) + " " + std::to_string(f.c) + "\n";
        }
    }
    return out;
}

bool write_3d(const std::string& path, const std::string& room_name, const std::vector<mesh>& objects,
              bool flat_room) {
    std::string text = format_3d(room_name, objects, flat_room);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "ostragen: cannot write %s\n", path.c_str());
        return false;
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) std::fprintf(stderr, "ostragen: error writing %s\n", path.c_str());
    return ok;
}

}  // namespace mdl

#include <map>
#include <tuple>

namespace mdl {

mesh cube_sphere(int n) {
    mesh m;
    std::map<std::tuple<long, long, long>, int> index;
    auto vert = [&](vec3 d) {
        d = normalize(d);
        auto key = std::make_tuple(std::lround(d.x * 1e7), std::lround(d.y * 1e7), std::lround(d.z * 1e7));
        auto it = index.find(key);
        if (it != index.end()) return it->second;
        int k = m.add_vert(d, 0, 0);
        index.emplace(key, k);
        return k;
    };
    // Each side: a normal axis and two in-plane axes, chosen so that all
    // faces wind the same way seen from outside.
    const vec3 axes[6][3] = {
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
        {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
    };
    const double quarter = std::atan(1.0);
    for (const auto& ax : axes) {
        std::vector<int> ids;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                // tan warp: equal angles rather than equal cube steps
                double a = std::tan((2.0 * i / n - 1.0) * quarter), b = std::tan((2.0 * j / n - 1.0) * quarter);
                ids.push_back(vert(ax[0] + ax[1] * a + ax[2] * b));
            }
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                int p = ids[size_t(j * (n + 1) + i)], q = ids[size_t(j * (n + 1) + i + 1)];
                int r = ids[size_t((j + 1) * (n + 1) + i + 1)], s = ids[size_t((j + 1) * (n + 1) + i)];
                m.add_quad(p, q, r, s);
            }
    }
    return m;
}

}  // namespace mdl
