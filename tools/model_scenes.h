// Test helper for the generated models: a plain reader of the .3D text, the
// show's vertex transforms and projection written straight from their rules,
// and the placements the loading screen, the backdrop cycle, the blob's paths
// and the final room give each model. Draws nothing.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace scenes {

using vec = std::array<float, 3>;
using vset = std::vector<vec>;

struct obj {
    std::string name;
    vset v;
    std::vector<std::array<int, 3>> f;
    std::vector<std::array<float, 2>> t;  // u, v as written
};
struct model {
    std::string name;
    std::vector<obj> objs;
};

// Reads a .3D file token by token (line reads and number reads). flat: the
// room_2D variant with texture-face records. Returns an empty string or what
// is wrong.
inline std::string parse(const std::string& path, bool flat, model& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open " + path;
    std::string line;
    auto line_read = [&] { return bool(std::getline(in, line)); };
    if (!line_read()) return "no name line";
    out.name = line;
    int n = -1;
    if (!(in >> n) || n < 0 || n > 1000) return "bad object count";
    for (int k = 0; k < n; ++k) {
        obj o;
        if (!line_read() || !line_read() || !line_read()) return "object " + std::to_string(k) + ": missing lines";
        o.name = line;
        int nv = -1, nf = -1, nt = -1;
        if (!(in >> nv >> nf) || nv < 0 || nf < 0) return "object " + std::to_string(k) + ": bad counts";
        if (!line_read() || !line_read()) return "object " + std::to_string(k) + ": missing heading";
        o.v.resize(size_t(nv));
        for (auto& p : o.v)
            if (!(in >> p[0] >> p[1] >> p[2])) return "object " + std::to_string(k) + ": bad vertex";
        o.f.resize(size_t(nf));
        for (auto& f : o.f) {
            if (!(in >> f[0] >> f[1] >> f[2])) return "object " + std::to_string(k) + ": bad face";
            for (int i : f)
                if (i < 0 || i >= nv) return "object " + std::to_string(k) + ": face index out of range";
        }
        if (!(in >> nt) || nt < 0) return "object " + std::to_string(k) + ": bad texture count";
        o.t.resize(size_t(nt));
        for (auto& t : o.t) {
            float w;
            if (!(in >> t[0] >> t[1] >> w)) return "object " + std::to_string(k) + ": bad texture coordinate";
        }
        if (flat) {
            int g = -1;
            if (!(in >> g) || g < 0) return "object " + std::to_string(k) + ": bad texture-face count";
            for (int i = 0; i < 3 * g; ++i) {
                int x;
                if (!(in >> x)) return "object " + std::to_string(k) + ": bad texture face";
            }
        }
        out.objs.push_back(std::move(o));
    }
    return "";
}

struct tables {
    float s[1600], c[1600];
    tables() {
        for (int i = 0; i < 1600; ++i) {
            s[i] = float(std::sin(double(i) / 127.33));
            c[i] = float(std::cos(double(i) / 127.33));
        }
    }
};
inline const tables& tab() {
    static tables t;
    return t;
}

inline vset scale(const vset& v, float sx, float sy, float sz) {
    vset o(v.size());
    for (size_t i = 0; i < v.size(); ++i)
        o[i] = {float(double(v[i][0]) * sx), float(double(v[i][1]) * sy), float(double(v[i][2]) * sz)};
    return o;
}

// Rotation out of place (every vertex turned once), as object::rotate with
// src != dst. An angle outside 0..1599 is wrapped by 1600, the same turn, as
// the show does.
inline vset rotate(const vset& v, int axis, int angle) {
    angle %= 1600;
    if (angle < 0) angle += 1600;
    double s = tab().s[angle], c = tab().c[angle];
    vset o(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        double x = v[i][0], y = v[i][1], z = v[i][2];
        if (axis == 1)
            o[i] = {float(x), float(y * c - z * s), float(y * s + z * c)};
        else if (axis == 2)
            o[i] = {float(x * c - z * s), float(y), float(x * s + z * c)};
        else
            o[i] = {float(x * c - y * s), float(x * s + y * c), float(z)};
    }
    return o;
}

struct place {
    int pos_x = 0, pos_y = 0, pos_z = 0;
    int world_x = 0, world_y = 0, world_z = 0;
};
struct point {
    double x, y;  // screen position (before the int conversion)
    int z;        // integer depth, < 0 in front of the viewer
};
inline point project(const vec& v, const place& p) {
    int Z = int(std::trunc(double(p.world_z) + (double(v[2]) + p.pos_z))) - 10000;
    double sx = std::trunc((p.world_x + (double(v[0]) + p.pos_x)) / (Z + 0.001) * 3000) + 320;
    double sy = std::trunc((p.world_y + (double(v[1]) + p.pos_y)) / (Z + 0.001) * 3000) + 240;
    return {sx, sy, Z};
}

// One pose of a model in one scene: a vertex set per object and the offsets.
struct pose {
    std::string scene;
    int frame;
    std::vector<const vset*> sets;
    place where;
};
using pose_fn = std::function<void(const pose&)>;

inline float sin_l(int i) { return tab().s[i]; }
inline float cos_l(int i) { return tab().c[i]; }

// nygris2 in the loading screen: frame k has pos_z = 300 (k + 1), world_z
// falling by 350 per frame from the 32nd frame, and the Y turn 4k.
inline void loading_poses(const model& m, const pose_fn& fn, int step = 1) {
    std::vector<vset> base, cur(m.objs.size());
    for (const obj& o : m.objs) base.push_back(rotate(scale(o.v, 300, 300, 300), 1, 600));
    int world_z = 0;
    for (int k = 0, c = 0; k < 400; ++k, c += 2) {
        int pos_z = 300 * (k + 1);
        if (pos_z > 9500) world_z -= 350;
        if (k % step) continue;
        pose p{"loading", k, {}, {0, 0, pos_z, 0, 0, world_z}};
        for (size_t i = 0; i < base.size(); ++i) {
            cur[i] = rotate(base[i], 2, 2 * c);
            p.sets.push_back(&cur[i]);
        }
        fn(p);
    }
}

// nygris2 in the backdrop cycle: scale 800 at the origin, nodding.
inline void backdrop_nygris_poses(const model& m, const pose_fn& fn) {
    std::vector<vset> base, cur;
    for (const obj& o : m.objs) base.push_back(rotate(rotate(scale(o.v, 800, 800, 800), 1, 600), 2, 600));
    cur.resize(base.size());
    for (int a = 650; a <= 950; a += 10) {
        pose p{"backdrop", a, {}, {}};
        for (size_t i = 0; i < base.size(); ++i) {
            cur[i] = rotate(base[i], 1, a);
            p.sets.push_back(&cur[i]);
        }
        fn(p);
    }
}

// blob1 in the beat scene: scale 330, normal or double height, turned about
// X (4p before 35 s, any angle after, when the turn accumulates), on its sine
// path with z = 0 (before 25 s) or -3000 cos; and in the corner room scene
// with frame count f up to 1599 and the z offset the beat scene left.
inline void blob_poses(const model& m, const pose_fn& fn, int p_step = 4, int angle_step = 40) {
    vset plain = scale(m.objs.at(0).v, 330, 330, 330);
    vset tall = scale(plain, 1, 2, 1);
    vset cur;
    for (int stretch = 0; stretch < 2; ++stretch)
        for (int p = 0; p < 400; p += p_step)
            for (int zmode = 0; zmode < 2; ++zmode)
                for (int a = 0; a < 800; a += angle_step) {
                    cur = rotate(stretch ? tall : plain, 1, a);
                    int z = zmode ? int(std::trunc(cos_l(p) * -3000.0f)) : 0;
                    pose q{"beat blob", p, {&cur},
                           {int(std::trunc(sin_l(2 * p) * 400.0f)), int(std::trunc(sin_l(p) * 300.0f)), z, 0, 0, 0}};
                    fn(q);
                }
    for (int f = 0; f < 1600; f += p_step)
        for (int z : {-3000, 0, 3000}) {
            cur = rotate(plain, 1, (4 * f) % 800);
            pose q{"corner blob", f, {&cur},
                   {int(std::trunc(sin_l(2 * (f % 800)) * 400.0f)), int(std::trunc(sin_l(f) * 300.0f)), z, 0, 0, 0}};
            fn(q);
        }
}

// rom2 in the final scene: scale 3, turned about Y by (2n mod 800), world
// offset (70, 0, 1650).
inline void final_room_poses(const model& m, const pose_fn& fn, int step = 1) {
    std::vector<vset> base, cur;
    for (const obj& o : m.objs) base.push_back(scale(o.v, 3, 3, 3));
    cur.resize(base.size());
    for (int n = 0; n < 400; n += step) {
        pose p{"final room", n, {}, {0, 0, 0, 70, 0, 1650}};
        for (size_t i = 0; i < base.size(); ++i) {
            cur[i] = rotate(base[i], 2, (2 * n) % 800);
            p.sets.push_back(&cur[i]);
        }
        fn(p);
    }
}

// Screen extent and nearest depth of one pose, over every vertex a face names.
struct extent {
    double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
    int z_max = -2147483647;
    void add(const point& q) {
        x0 = std::min(x0, q.x), x1 = std::max(x1, q.x);
        y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
        z_max = std::max(z_max, q.z);
    }
    void add(const extent& e) {
        x0 = std::min(x0, e.x0), x1 = std::max(x1, e.x1);
        y0 = std::min(y0, e.y0), y1 = std::max(y1, e.y1);
        z_max = std::max(z_max, e.z_max);
    }
};
inline extent measure(const model& m, const pose& p) {
    extent e;
    for (size_t i = 0; i < m.objs.size() && i < p.sets.size(); ++i)
        for (const auto& f : m.objs[i].f)
            for (int k : f) e.add(project((*p.sets[i])[size_t(k)], p.where));
    return e;
}

}  // namespace scenes
