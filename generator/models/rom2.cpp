// Model generator: rom2, the final room — a round temple seen from outside:
// a stepped floor, an apse wall with a low parapet, eight pillars, a ring
// beam with ribs closing in a crown, and a metal knot on a pedestal.
#include <algorithm>
#include <cmath>

#include "models/models.h"

namespace mdl {
namespace {

const double pi = 3.14159265358979323846;
const int bays = 8;
const double floor_y = -140, beam_y = 100, pillar_ring = 228;
// The walls stand well clear of the pillar bases: depth is one value per face,
// so surfaces that nearly touch would show through each other.
const double wall_ring = 264;

double clamp2(double t) { return std::clamp(t, -1.99, 1.99); }
// Angle around the vertical axis, mirrored so that the wrap has no seam:
// 0 at +z .. 1 at -z.
double around(double x, double z) { return std::atan2(std::fabs(x), z) / pi; }

// Rings of the floor disc and its two steps.
mesh build_floor() {
    mesh m;
    m.name = "floor";
    const int segs = 24;
    const double r_top = 268, r_step = 290;
    // top disc: centre and rings, planar texture
    auto planar = [&](vec3 p) { return m.add_vert(p, clamp2(p.x / 150.0), clamp2(p.z / 150.0)); };
    int centre = planar({0, floor_y, 0});
    std::vector<int> prev;
    const int rings = 3;
    for (int j = 1; j <= rings; ++j) {
        double r = r_top * j / rings;
        std::vector<int> ring;
        for (int i = 0; i <= segs; ++i) {
            double a = 2 * pi * (i % segs) / segs;
            ring.push_back(planar({r * std::sin(a), floor_y, r * std::cos(a)}));
        }
        for (int i = 0; i < segs; ++i) {
            if (j == 1)
                m.add_face(centre, ring[size_t(i)], ring[size_t(i + 1)]);
            else
                m.add_quad(prev[size_t(i)], prev[size_t(i + 1)], ring[size_t(i + 1)], ring[size_t(i)]);
        }
        prev = ring;
    }
    // the steps: side, tread, side; texture wraps around (mirrored) by height
    const double prof[4][2] = {{r_top, floor_y}, {r_top, floor_y - 15}, {r_step, floor_y - 15}, {r_step, floor_y - 35}};
    std::vector<std::vector<int>> cols;
    for (int i = 0; i < segs; ++i) {
        double a = 2 * pi * i / segs;
        std::vector<int> col;
        for (int k = 0; k < 4; ++k) {
            vec3 p{prof[k][0] * std::sin(a), prof[k][1], prof[k][0] * std::cos(a)};
            col.push_back(m.add_vert(p, -1.9 + 3.8 * around(p.x, p.z), -1.9 + 1.2 * k));
        }
        cols.push_back(col);
    }
    for (int i = 0; i < segs; ++i) {
        const auto& a = cols[size_t(i)];
        const auto& b = cols[size_t((i + 1) % segs)];
        for (int k = 0; k < 3; ++k) m.add_quad(a[size_t(k)], b[size_t(k)], b[size_t(k + 1)], a[size_t(k + 1)]);
    }
    return m;
}

// A curved wall between two angles at radius r, from y0 to y1, as a grid.
void add_wall(mesh& m, double r, double a0, double a1, double y0, double y1, int cols, int rows) {
    struct wall : grid_fn {
        double r, a0, a1, y0, y1;
        vec3 pos(double s, double t) const override {
            double a = a0 + (a1 - a0) * s;
            return {r * std::sin(a), y0 + (y1 - y0) * t, r * std::cos(a)};
        }
        void tex(double s, double t, double& u, double& v) const override {
            u = -1.95 + 3.9 * s;
            v = 1.95 - 3.9 * t * (y1 - y0) / 240.0;
        }
    } w;
    w.r = r, w.a0 = a0, w.a1 = a1, w.y0 = y0, w.y1 = y1;
    add_grid(m, w, cols, rows);
}

// One bay of wall between angles a0 and a1 with an arched window: rings of
// vertices from the window's outline out to the bay's edges, along rays from
// the window's centre, so the arch is round and the faces stay small.
void add_arcade_bay(mesh& m, double r, double a0, double a1, double y0, double y1) {
    const double wide = 0.30, sill = y0 + 40, spring = y0 + 135, rise = 55;
    const double cy = 0.5 * (sill + spring + rise * 0.5);
    auto in_window = [&](double s, double y) {
        double q = (s - 0.5) / wide;
        if (std::fabs(q) >= 1 || y <= sill) return false;
        return y < spring + rise * std::sqrt(1 - q * q);
    };
    auto in_bay = [&](double s, double y) { return s >= 0 && s <= 1 && y >= y0 && y <= y1; };
    // distance from the centre along a ray to the edge of a region: a
    // scaled step search and a bisection (s in bay widths, y in units)
    const double unit = (y1 - y0);
    auto edge = [&](double dirs, double diry, auto inside) {
        double lo = 0, hi = 0;
        while (inside(0.5 + dirs * hi, cy + diry * hi * unit)) lo = hi, hi += 0.01;
        for (int i = 0; i < 30; ++i) {
            double mid = 0.5 * (lo + hi);
            (inside(0.5 + dirs * mid, cy + diry * mid * unit) ? lo : hi) = mid;
        }
        return lo;
    };
    auto place = [&](double sv, double y) {
        double a = a0 + (a1 - a0) * sv;
        return m.add_vert({r * std::sin(a), y, r * std::cos(a)}, std::clamp(-1.95 + 3.9 * sv, -1.95, 1.95),
                          std::clamp(1.95 - 3.9 * (y - y0) / (y1 - y0), -1.95, 1.95));
    };
    const int n = 24, layers = 2;
    const double pi2 = 2 * pi;
    std::vector<std::vector<int>> rings(layers + 1);
    for (int i = 0; i < n; ++i) {
        double th = pi2 * i / n;
        // unit-ish direction in (bay widths, heights) so the corners are reached
        double ds = std::cos(th) * 0.5, dy = std::sin(th) * 0.5 * (y1 - y0) / unit;
        double tw = edge(ds, dy, in_window), tb = edge(ds, dy, in_bay);
        for (int l = 0; l <= layers; ++l) {
            double t = tw + (tb - tw) * l / layers;
            rings[size_t(l)].push_back(place(0.5 + ds * t, cy + dy * t * unit));
        }
    }
    for (int l = 0; l < layers; ++l)
        for (int i = 0; i < n; ++i) {
            int j = (i + 1) % n;
            m.add_quad(rings[size_t(l)][size_t(i)], rings[size_t(l)][size_t(j)], rings[size_t(l + 1)][size_t(j)],
                       rings[size_t(l + 1)][size_t(i)]);
        }
}

mesh build_walls() {
    mesh m;
    m.name = "walls";
    const double bay = 2 * pi / bays;
    // the apse: three bays of full-height wall behind the pillars, each
    // pierced by an arched window
    for (int b = 0; b < 3; ++b) {
        double a0 = pi - 1.5 * bay + b * bay;
        add_arcade_bay(m, wall_ring, a0, a0 + bay, floor_y, beam_y + 12);
    }
    // a low parapet round the other five bays
    add_wall(m, wall_ring, pi + 1.5 * bay, pi + 6.5 * bay, floor_y, floor_y + 45, 20, 1);
    return m;
}

// An axis-aligned box (no bottom), texture per side.
void add_box(mesh& m, vec3 c, vec3 h) {
    const vec3 corner[8] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                            {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int quads[5][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7}, {1, 5, 6, 2}, {3, 2, 6, 7}};
    const double uv[4][2] = {{-1.9, 1.9}, {1.9, 1.9}, {1.9, -1.9}, {-1.9, -1.9}};
    for (const auto& q : quads) {
        int id[4];
        for (int k = 0; k < 4; ++k) {
            vec3 d = corner[q[k]];
            id[k] = m.add_vert(c + vec3{d.x * h.x, d.y * h.y, d.z * h.z}, uv[k][0], uv[k][1]);
        }
        m.add_quad(id[0], id[1], id[2], id[3]);
    }
}

mesh build_pillars() {
    mesh m;
    m.name = "pillars";
    for (int b = 0; b < bays; ++b) {
        double a = 2 * pi * (b + 0.5) / bays;
        vec3 c{pillar_ring * std::sin(a), 0, pillar_ring * std::cos(a)};
        add_box(m, c + vec3{0, floor_y + 9, 0}, {19, 9, 19});
        add_box(m, c + vec3{0, beam_y - 8, 0}, {19, 8, 19});
        // hexagonal shaft in three drums, a little thinner at the top
        const int sides = 6, drums = 3;
        const double y0 = floor_y + 18, y1 = beam_y - 16;
        std::vector<int> prev;
        for (int j = 0; j <= drums; ++j) {
            double t = double(j) / drums;
            double y = y0 + (y1 - y0) * t, r = 15 - 2.5 * t;
            std::vector<int> ring;
            for (int i = 0; i <= sides; ++i) {
                double q = 2 * pi * i / sides;
                ring.push_back(m.add_vert(c + vec3{r * std::sin(q), y, r * std::cos(q)}, -1.9 + 3.8 * i / sides,
                                          1.9 - 3.8 * t));
            }
            if (!prev.empty())
                for (int i = 0; i < sides; ++i)
                    m.add_quad(prev[size_t(i)], prev[size_t(i + 1)], ring[size_t(i + 1)], ring[size_t(i)]);
            prev = ring;
        }
    }
    return m;
}

// A square tube along a path, cross-section w (horizontal) by h (vertical
// thickness), texture along the path.
template <class Path>
void add_tube(mesh& m, const Path& path, int segs, bool closed, double w, double h) {
    std::vector<std::vector<int>> rows;
    int n = closed ? segs : segs + 1;
    for (int i = 0; i < n; ++i) {
        double t = double(i) / segs;
        vec3 p = path(t);
        vec3 tan = normalize(path(std::min(1.0, t + 0.001)) - path(std::max(0.0, t - 0.001)));
        if (closed) tan = normalize(path(t + 0.001) - path(t - 0.001));
        vec3 side = normalize(cross(tan, {0, 1, 0}));
        if (length(cross(tan, {0, 1, 0})) < 1e-6) side = {1, 0, 0};
        vec3 up = normalize(cross(side, tan));
        const double cs[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        double tu = closed ? -1.9 + 3.8 * std::fabs(2 * t - 1) : -1.9 + 3.8 * t;
        std::vector<int> row;
        for (int k = 0; k < 4; ++k)
            row.push_back(m.add_vert(p + side * (cs[k][0] * w) + up * (cs[k][1] * h), tu, -1.5 + k));
        rows.push_back(row);
    }
    int last = closed ? n : n - 1;
    for (int i = 0; i < last; ++i) {
        const auto& a = rows[size_t(i)];
        const auto& b = rows[size_t((i + 1) % n)];
        for (int k = 0; k < 4; ++k) m.add_quad(a[size_t(k)], b[size_t(k)], b[size_t((k + 1) % 4)], a[size_t((k + 1) % 4)]);
    }
}

mesh build_ceiling() {
    mesh m;
    m.name = "arches";
    const double ring_y = beam_y + 12, crown_y = 205, crown_r = 34;
    // ring beam on the capitals
    add_tube(m, [&](double t) { return vec3{pillar_ring * std::sin(2 * pi * t), ring_y, pillar_ring * std::cos(2 * pi * t)}; },
             20, true, 16, 12);
    // eight ribs from above each pillar, curving in to the crown
    for (int b = 0; b < bays; ++b) {
        double a = 2 * pi * (b + 0.5) / bays;
        vec3 dir{std::sin(a), 0, std::cos(a)};
        add_tube(m,
                 [&](double t) {
                     double q = t * pi / 2;  // quarter ellipse
                     double r = crown_r + (pillar_ring - crown_r) * std::cos(q);
                     double y = ring_y + (crown_y - ring_y) * std::sin(q);
                     return dir * r + vec3{0, y, 0};
                 },
                 4, false, 8, 7);
    }
    // crown ring
    add_tube(m, [&](double t) { return vec3{crown_r * std::sin(2 * pi * t), crown_y, crown_r * std::cos(2 * pi * t)}; }, 8,
             true, 9, 9);
    return m;
}

// Metal centrepiece: a trefoil knot standing upright on a round pedestal.
mesh build_centrepiece() {
    mesh m;
    m.name = "knot";
    const double k = 27, tube = 12, cy = -22;
    auto knot = [&](double t) {
        double q = 2 * pi * t;
        double rr = 2 + std::cos(3 * q);
        // the knot's plane stands upright (x, y)
        return vec3{k * rr * std::cos(2 * q), cy + k * rr * std::sin(2 * q), k * std::sin(3 * q)};
    };
    const int segs = 40, sides = 6;
    std::vector<std::vector<int>> rows;
    for (int i = 0; i < segs; ++i) {
        double t = double(i) / segs;
        vec3 p = knot(t);
        vec3 tan = normalize(knot(t + 0.001) - knot(t - 0.001));
        vec3 nrm = normalize(cross(tan, normalize(p - vec3{0, cy, 0})));
        vec3 bin = cross(tan, nrm);
        std::vector<int> row;
        for (int j = 0; j < sides; ++j) {
            double a = 2 * pi * j / sides;
            row.push_back(m.add_vert(p + (nrm * std::cos(a) + bin * std::sin(a)) * tube,
                                     -1.9 + 3.8 * std::fabs(2 * t - 1), -1.9 + 3.8 * std::fabs(double(j) / sides * 2 - 1)));
        }
        rows.push_back(row);
    }
    for (int i = 0; i < segs; ++i) {
        const auto& a = rows[size_t(i)];
        const auto& b = rows[size_t((i + 1) % segs)];
        for (int j = 0; j < sides; ++j)
            m.add_quad(a[size_t(j)], b[size_t(j)], b[size_t((j + 1) % sides)], a[size_t((j + 1) % sides)]);
    }
    // pedestal: an octagonal drum with a top
    const int ps = 8;
    const double pr = 34, py0 = floor_y, py1 = cy - 3 * k - 4;
    int top = m.add_vert({0, py1, 0}, 0, 0);
    std::vector<int> lo, hi;
    for (int i = 0; i <= ps; ++i) {
        double a = 2 * pi * i / ps;
        vec3 d{std::sin(a), 0, std::cos(a)};
        lo.push_back(m.add_vert(d * pr + vec3{0, py0, 0}, -1.9 + 3.8 * i / ps, 1.9));
        hi.push_back(m.add_vert(d * (pr * 0.8) + vec3{0, py1, 0}, -1.9 + 3.8 * i / ps, -1.9));
    }
    for (int i = 0; i < ps; ++i) {
        m.add_quad(lo[size_t(i)], lo[size_t(i + 1)], hi[size_t(i + 1)], hi[size_t(i)]);
        m.add_face(top, hi[size_t(i)], hi[size_t(i + 1)]);
    }
    return m;
}

}  // namespace

std::vector<mesh> build_rom() {
    return {build_floor(), build_walls(), build_pillars(), build_ceiling(), build_centrepiece()};
}

}  // namespace mdl
