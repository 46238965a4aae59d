// Model generator: nygris2, the creature head — a long alien skull with brow
// ridges, deep eye sockets, a muzzle with fangs, and a gold circlet, crest
// and horns. Shaped in head space (side, up, forward) and written in file axes.
#include <algorithm>
#include <cmath>

#include "models/models.h"
#include "models/sdf.h"

namespace mdl {
namespace {

const double pi = 3.14159265358979323846;
// Head space to file axes, and the overall size: the face looks toward -x,
// the head's up is +z, its side is +y.
const double head_size = 0.82;
vec3 to_file(vec3 p) { return vec3{-p.z, p.x, p.y} * head_size; }

// Head space: x = side, y = up, z = forward.
const vec3 eye_l{-0.205, 0.045, 0.455}, eye_r{0.205, 0.045, 0.455};
const double eye_radius = 0.105;

vec3 rot_z(vec3 p, double a) {
    double c = std::cos(a), s = std::sin(a);
    return {p.x * c - p.y * s, p.x * s + p.y * c, p.z};
}

double head_sdf(vec3 p) {
    double d = sd_ellipsoid(p, {0, 0.22, -0.12}, {0.58, 0.60, 0.72});      // cranium
    d = smin(d, sd_ellipsoid(p, {0, 0.42, -0.45}, {0.42, 0.44, 0.55}), 0.12);  // long back of the skull
    d = smin(d, sd_ellipsoid(p, {0, -0.20, 0.27}, {0.38, 0.36, 0.42}), 0.10);  // muzzle
    d = smin(d, sd_ellipsoid(p, {0, -0.48, 0.17}, {0.31, 0.19, 0.40}), 0.08);  // jaw
    d = smin(d, sd_ellipsoid(p, {0, -0.56, -0.22}, {0.27, 0.40, 0.30}), 0.10); // neck
    for (int side = -1; side <= 1; side += 2) {
        d = smin(d, sd_ellipsoid(p, {side * 0.35, -0.07, 0.21}, {0.15, 0.11, 0.23}), 0.06);  // cheekbone
        // brow ridge, the inner end lower: an angry V
        vec3 q = rot_z(p - vec3{side * 0.20, 0.19, 0.42}, side * 0.28);
        d = smin(d, sd_ellipsoid(q, {0, 0, 0}, {0.24, 0.075, 0.15}), 0.05);
        // temple ridge running back from the brow
        d = smin(d, sd_ellipsoid(p, {side * 0.42, 0.30, 0.05}, {0.12, 0.08, 0.34}), 0.08);
    }
    d = smin(d, sd_ellipsoid(p, {0, -0.08, 0.58}, {0.07, 0.13, 0.07}), 0.05);  // nose ridge
    // cuts: eye sockets, nostrils, the mouth
    for (int side = -1; side <= 1; side += 2) {
        d = scut(d, sd_ellipsoid(p, {side * 0.205, 0.03, 0.53}, {0.15, 0.13, 0.17}), 0.03);
        d = scut(d, sd_ellipsoid(p, {side * 0.045, -0.17, 0.66}, {0.025, 0.035, 0.06}), 0.01);
    }
    d = scut(d, sd_ellipsoid(p, {0, -0.355, 0.60}, {0.25, 0.075, 0.22}), 0.03);
    return d;
}

// A forward ray from behind the face onto the surface: where the head's
// skin is at side x, height y.
double surface_front(double x, double y) {
    vec3 o{x, y, 0.0};
    return radial_surface(head_sdf, o, {0, 0, 1}, 1.2);
}

// Head skin: a closed surface found along rays from the centre, denser on
// the face. Texture: a mirrored wrap around the vertical axis (front = -2,
// back = +2) and the height.
mesh build_head() {
    mesh m = cube_sphere(12);  // even: a column of vertices on the midline, where the mirrored wrap folds
    m.name = "head";
    for (size_t i = 0; i < m.verts.size(); ++i) {
        vec3 d0 = m.verts[i];
        // cube axes to head space: cube +z is forward
        vec3 d{d0.x, d0.y, d0.z};
        // pull directions toward the face: theta' = 0.6 theta + 0.4 theta^2 / pi
        double th = std::acos(std::clamp(d.z, -1.0, 1.0));
        double th2 = 0.6 * th + 0.4 * th * th / pi;
        double rxy = std::hypot(d.x, d.y);
        vec3 w = rxy > 1e-12 ? vec3{d.x / rxy * std::sin(th2), d.y / rxy * std::sin(th2), std::cos(th2)}
                             : vec3{0, 0, d.z > 0 ? 1.0 : -1.0};
        const vec3 centre{0, 0.02, 0.0};
        double r = radial_surface(head_sdf, centre, w, 2.0);
        vec3 p = centre + w * r;
        double around = std::atan2(std::fabs(p.x), p.z);  // 0 front .. pi back
        double wrap_u = -2.0 + 4.0 * around / pi, wrap_v = -p.y * 2.0;
        // Near the crown and under the neck the wrap's angle turns fast;
        // there the texture is laid on from above (or below) instead, blended
        // in so that every texture coordinate stays continuous.
        double from_pole = std::acos(std::fabs(std::clamp(w.y, -1.0, 1.0)));  // angle to the nearer pole
        double k = std::clamp((from_pole - 0.3) / 0.5, 0.0, 1.0);
        k = k * k * (3 - 2 * k);
        double cap_u = p.x * 2.0, cap_v = (p.y > 0 ? p.z : -p.z) * 2.0 + wrap_v;
        m.u[i] = std::clamp(k * wrap_u + (1 - k) * cap_u, -2.0, 2.0);
        m.v[i] = std::clamp(k * wrap_v + (1 - k) * cap_v, -2.0, 2.0);
        m.verts[i] = p;
    }
    return m;
}

// A body of revolution along a bent spine: rings of `sides` vertices at
// `rings` + 1 stations from spine(0) to spine(1) with radius radius(t); the
// tip closes to a point. Texture: mirrored around (-2..2) and along (-2..2).
template <class Spine, class Radius>
mesh lathe(const Spine& spine, const Radius& radius, int rings, int sides, vec3 hint) {
    mesh m;
    std::vector<int> prev;
    for (int j = 0; j <= rings; ++j) {
        double t = double(j) / rings;
        vec3 c = spine(t);
        vec3 tan = normalize(spine(std::min(1.0, t + 0.01)) - spine(std::max(0.0, t - 0.01)));
        vec3 a = normalize(cross(tan, hint));
        vec3 b = cross(a, tan);
        std::vector<int> ring;
        for (int i = 0; i <= sides; ++i) {
            double ang = 2 * pi * i / sides;
            double r = radius(t);
            vec3 p = c + (a * std::cos(ang) + b * std::sin(ang)) * r;
            double mirrored = std::fabs(ang - pi) / pi;  // 1 .. 0 .. 1 around
            ring.push_back(m.add_vert(p, -2.0 + 4.0 * (1.0 - mirrored), -2.0 + 4.0 * t));
        }
        if (!prev.empty())
            for (int i = 0; i < sides; ++i) m.add_quad(prev[size_t(i)], prev[size_t(i + 1)], ring[size_t(i + 1)], ring[size_t(i)]);
        prev = ring;
    }
    // cap the root so no hole shows
    int root = m.add_vert(spine(0.0) - normalize(spine(0.05) - spine(0.0)) * 0.01, 0, -2.0);
    for (int i = 0; i < sides; ++i) m.add_face(root, i + 1, i);
    return m;
}

// One fang hanging from the upper lip (dir -1) or rising from the lower
// jaw (dir +1) at side x, root height y.
mesh fang(double x, double y, double len, double width, int dir, double flare) {
    double f = surface_front(x, y) - 0.03;
    vec3 root{x, y, f};
    auto spine = [=](double t) {
        // curves forward a little and out by `flare`
        return root + vec3{flare * t * t, dir * len * t, 0.05 * len * std::sin(pi * t)};
    };
    auto radius = [=](double t) { return width * (1.0 - t) * (1.0 - 0.35 * t) + 0.002; };
    return lathe(spine, radius, 4, 6, {0, 0, 1});
}

mesh build_eye(vec3 c) {
    mesh m = cube_sphere(4);
    for (size_t i = 0; i < m.verts.size(); ++i) {
        vec3 d = m.verts[i];
        // head space: cube +z forward; the pupil looks straight ahead
        m.verts[i] = c + d * eye_radius;
        // planar projection from the front: the picture's centre is the
        // pupil; the iris (a circle in the middle of the eye picture) covers
        // about two thirds of the eye, round on the ball (a texel row is 4/3
        // of a column in these units: v steps 479/4, u steps 639/4)
        m.u[i] = std::clamp(-d.x * 1.2, -2.0, 2.0);
        m.v[i] = std::clamp(-d.y * 1.6, -2.0, 2.0);
    }
    return m;
}

// Gold: a circlet around the skull, lower at the front; a crest along the
// top of the skull; two horns rising from the circlet.
mesh build_gold() {
    mesh m;
    m.name = "ornament";
    const int segs = 40;
    auto band_height = [](double phi) { return 0.36 - 0.08 * std::cos(phi); };
    const vec3 axis_origin{0, 0, -0.12};
    auto band_point = [&](double phi, double dy, double out) {
        double y = band_height(phi) + dy;
        vec3 dir{std::sin(phi), 0, std::cos(phi)};
        vec3 o{axis_origin.x, y, axis_origin.z};
        double r = radial_surface(head_sdf, o, dir, 1.5);
        return o + dir * (r + out);
    };
    {
        // band: outer face, top and bottom lips; mirrored wrap so it closes
        mesh band;
        const double prof[4][2] = {{-0.05, -0.01}, {-0.045, 0.022}, {0.045, 0.022}, {0.05, -0.01}};
        std::vector<std::vector<int>> rows;
        for (int i = 0; i < segs; ++i) {
            double phi = 2 * pi * i / segs - pi;
            std::vector<int> row;
            for (int k = 0; k < 4; ++k)
                row.push_back(band.add_vert(band_point(phi, prof[k][0], prof[k][1]), -2.0 + 4.0 * std::fabs(phi) / pi,
                                            -1.8 + 1.2 * k));
            rows.push_back(row);
        }
        for (int i = 0; i < segs; ++i) {
            const auto& a = rows[size_t(i)];
            const auto& b = rows[size_t((i + 1) % segs)];
            for (int k = 0; k < 3; ++k) band.add_quad(a[size_t(k)], b[size_t(k)], b[size_t(k + 1)], a[size_t(k + 1)]);
        }
        m.append(band);
    }
    {
        // crest: a fin along the skull's midline from the circlet's front
        // over the crown to the back, tallest over the crown
        mesh fin;
        const int n = 18;
        for (int i = 0; i <= n; ++i) {
            double t = double(i) / n;
            double a = -0.35 + 1.75 * t;  // angle from forward over the top toward the back
            vec3 dir{0, std::sin(a + 0.2), std::cos(a + 0.2)};
            vec3 o{0, 0.18, -0.10};
            double r = radial_surface(head_sdf, o, dir, 1.5);
            double h = 0.16 * std::sin(pi * t) * (1.0 - 0.3 * t) + 0.01;
            vec3 base = o + dir * (r - 0.01);
            vec3 top = o + dir * (r + h);
            double tu = -2.0 + 4.0 * t;
            for (int side = -1; side <= 1; side += 2) {
                fin.add_vert(base + vec3{side * 0.035, 0, 0}, tu, 1.8);
                fin.add_vert(top + vec3{side * 0.006, 0, 0}, tu, -1.8);
            }
        }
        // each station: 0 = left base, 1 = left top, 2 = right base, 3 = right top
        for (int i = 0; i < n; ++i) {
            int a = 4 * i, b = 4 * (i + 1);
            fin.add_quad(a + 0, b + 0, b + 1, a + 1);
            fin.add_quad(a + 2, a + 3, b + 3, b + 2);
            fin.add_quad(a + 1, b + 1, b + 3, a + 3);
        }
        m.append(fin);
    }
    for (int side = -1; side <= 1; side += 2) {
        // horn: from the circlet at 55 degrees to the side, out, up and back
        double phi = side * 0.95;
        vec3 root = band_point(phi, 0.0, -0.02);
        auto spine = [=](double t) {
            return root + vec3{side * (0.20 * t), 0.42 * t * (1.0 - 0.25 * t), -0.28 * t * t};
        };
        auto radius = [](double t) { return 0.065 * (1.0 - t) + 0.003; };
        m.append(lathe(spine, radius, 8, 7, {0, 0, 1}));
    }
    // a gem on the circlet's front
    {
        vec3 c = band_point(0.0, 0.0, 0.03);
        mesh gem = cube_sphere(2);
        for (size_t i = 0; i < gem.verts.size(); ++i) {
            vec3 d = gem.verts[i];
            gem.verts[i] = c + vec3{d.x * 0.05, d.y * 0.07, d.z * 0.035};
            gem.u[i] = d.x * 1.9;
            gem.v[i] = -d.y * 1.9;
        }
        m.append(gem);
    }
    return m;
}

}  // namespace

std::vector<mesh> build_nygris() {
    std::vector<mesh> out;
    // teeth 0..4: the two upper fangs, the two lower tusks, the upper incisors
    mesh t0 = fang(-0.125, -0.285, 0.20, 0.042, -1, -0.02);
    mesh t1 = fang(0.125, -0.285, 0.20, 0.042, -1, 0.02);
    mesh t2 = fang(-0.215, -0.43, 0.16, 0.038, +1, -0.04);
    mesh t3 = fang(0.215, -0.43, 0.16, 0.038, +1, 0.04);
    mesh t4;
    for (double x : {-0.07, -0.023, 0.023, 0.07}) t4.append(fang(x, -0.29, 0.085, 0.022, -1, 0.0));
    t0.name = "fang left";
    t1.name = "fang right";
    t2.name = "tusk left";
    t3.name = "tusk right";
    t4.name = "incisors";
    for (mesh* t : {&t0, &t1, &t2, &t3, &t4}) out.push_back(*t);
    out.push_back(build_head());
    mesh el = build_eye(eye_l), er = build_eye(eye_r);
    el.name = "eye left";
    er.name = "eye right";
    out.push_back(el);
    out.push_back(er);
    out.push_back(build_gold());
    for (mesh& m : out)
        for (vec3& p : m.verts) p = to_file(p);
    return out;
}

}  // namespace mdl
