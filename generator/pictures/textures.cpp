// Model textures: teeth enamel, creature skin, the eye (iris and slit pupil
// centred), hammered gold, the organic blob/wall surface and metal panels.
// Surface detail repeats across the picture's edges so any mapping looks whole.
#include <algorithm>
#include <cmath>

#include "pictures/designs.h"
#include "pictures/picture_effects.h"
#include "common/procedural_noise.h"

namespace pic {

namespace {
constexpr float pi = 3.14159265f;
// Lattice coordinates for a repeating pattern of `cell`-pixel cells
// (cell divides 640 and 480: 20, 40, 80, 160).
inline float lat(int v, int cell) { return float(v) / float(cell); }
inline int per_x(int cell) { return frame_w / cell; }
inline int per_y(int cell) { return frame_h / cell; }
}  // namespace

picture make_tann(typesetter&) {
    picture p;
    p.file = &show_files::tann;
    paint(p.img, [](int x, int y) {
        float broad = fbm(lat(x, 160), lat(y, 160), per_x(160), per_y(160), 4, 401u);
        rgb c = mix(hex(0xF6F1E2), hex(0xE4D4AE), smoothstep(0.3f, 0.85f, broad));
        // translucent, slightly blue-grey enamel where the tooth thins
        float glass = fbm(lat(x, 160), lat(y, 160), per_x(160), per_y(160), 2, 402u);
        c = mix(c, hex(0xDCE2EA), smoothstep(0.55f, 0.85f, glass) * 0.45f);
        // fine vertical striations and faint horizontal growth lines
        float stri = fbm(float(x) / 4.f, float(y) / 40.f, 160, 12, 3, 403u);
        float lines = 0.5f + 0.5f * std::sin(2.f * pi * (float(y) / 480.f * 36.f) +
                                             2.f * fbm(lat(x, 80), lat(y, 80), per_x(80), per_y(80), 2, 404u));
        c = c * (0.96f + 0.06f * stri) * (0.985f + 0.015f * lines);
        // a few bright flecks of sheen
        float fleck = hash01(x, y, 405u);
        if (fleck > 0.9985f) c = c + rgb{0.08f, 0.08f, 0.08f};
        return c;
    });
    return p;
}

picture make_skin(typesetter&) {
    picture p;
    p.file = &show_files::skin;
    paint(p.img, [](int x, int y) {
        // scales: cellular cells of about 20 pixels
        cell_hit c = cellular(lat(x, 20), lat(y, 20), per_x(20), per_y(20), 501u);
        float dome = clamp01(1.f - c.f1 / 0.75f);
        float ox = lat(x, 20) - c.cx, oy = lat(y, 20) - c.cy;
        float lightv = clamp01(0.55f - (ox * 0.6f + oy * 0.8f) * 0.9f);
        float crack = smoothstep(0.02f, 0.12f, c.f2 - c.f1);
        float tint = float(c.id & 255) / 255.f;
        float patch = fbm(lat(x, 80), lat(y, 80), per_x(80), per_y(80), 4, 502u);
        rgb base = ramp({{0.f, hex(0x2E4A3A)}, {0.45f, hex(0x4E6A44)}, {0.7f, hex(0x7A8450)}, {1.f, hex(0x9A9A6A)}},
                        clamp01(patch * 0.9f + tint * 0.25f));
        // dark spots in rosettes
        float spots = smoothstep(0.62f, 0.7f, fbm(lat(x, 40), lat(y, 40), per_x(40), per_y(40), 3, 503u));
        base = mix(base, hex(0x1E2418), spots * 0.75f);
        rgb col = base * (0.65f + 0.5f * lightv * dome + 0.15f * dome);
        col = col + hex(0x9AB890) * std::pow(dome * lightv, 6.f) * 0.35f;  // wet highlight
        return col * (0.35f + 0.65f * crack);
    });
    return p;
}

picture make_aug(typesetter&) {
    picture p;
    p.file = &show_files::aug;
    const float cx = 320.f, cy = 240.f, iris_r = 130.f;
    paint(p.img, [&](int x, int y) {
        float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy, d = std::hypot(dx, dy);
        float a = std::atan2(dy, dx) / (2.f * pi) + 0.5f;  // 0..1 around the centre
        // sclera: warm white, pinker towards the edges, with branching veins
        rgb c = mix(hex(0xF2EADC), hex(0xD89A90), smoothstep(160.f, 330.f, d));
        float vn = fbm_gradient(float(x) / 110.f, float(y) / 110.f, 0, 0, 4, 601u);
        float vein = std::pow(clamp01(1.f - std::fabs(vn) * 22.f), 2.f) * smoothstep(190.f, 320.f, d);
        float fade_v = smoothstep(0.35f, 0.6f, fbm(float(x) / 90.f, float(y) / 90.f, 0, 0, 3, 603u));
        c = mix(c, hex(0xB02020), vein * fade_v * 0.7f);
        if (d < iris_r + 3.f) {
            // iris: radial fibres, gold at the pupil to green at the rim
            float fib = fbm(a * 96.f, d / 10.f, 96, 0, 3, 602u);
            float t = d / iris_r;
            rgb ir = ramp({{0.f, hex(0xFFE070)}, {0.35f, hex(0xE89A20)}, {0.7f, hex(0x7A8A20)}, {1.f, hex(0x2A4A18)}},
                          clamp01(t + (fib - 0.5f) * 0.35f));
            ir = ir * (0.6f + 0.7f * fib);
            float limbus = smoothstep(0.8f, 1.f, t);
            ir = mix(ir, hex(0x140C04), limbus * 0.85f);
            // slit pupil, vertical
            float slit = std::pow(dx / 16.f, 2.f) + std::pow(dy / 112.f, 2.f);
            float pupil = smoothstep(1.15f, 0.9f, slit);
            ir = mix(ir, hex(0x040206), pupil);
            ir = ir + hex(0xFF8A20) * smoothstep(1.6f, 1.15f, slit) * (1.f - pupil) * 0.25f;
            c = mix(c, ir, smoothstep(iris_r + 3.f, iris_r - 1.f, d));
        }
        // wet highlights
        float h1 = std::hypot(float(x) - (cx - 52.f), float(y) - (cy - 60.f));
        float h2 = std::hypot(float(x) - (cx + 40.f), float(y) - (cy + 48.f));
        c = c + rgb{1.f, 1.f, 1.f} * (smoothstep(22.f, 14.f, h1) * 0.9f + smoothstep(8.f, 4.f, h2) * 0.6f);
        return c;
    });
    return p;
}

picture make_gold(typesetter&) {
    picture p;
    p.file = &show_files::gold2;
    paint(p.img, [](int x, int y) {
        // hammered facets: each cell tilts towards its own direction
        cell_hit c = cellular(lat(x, 40), lat(y, 40), per_x(40), per_y(40), 701u, 0.9f);
        float ox = lat(x, 40) - c.cx, oy = lat(y, 40) - c.cy;
        float tilt = float((c.id >> 4) & 255) / 255.f * 2.f * pi;
        float shade = 0.55f + 0.5f * (ox * std::cos(tilt) + oy * std::sin(tilt)) - 0.5f * (ox * 0.5f + oy * 0.8f);
        float n = fbm(lat(x, 20), lat(y, 20), per_x(20), per_y(20), 4, 702u);
        float edge = smoothstep(0.0f, 0.08f, c.f2 - c.f1);
        float v = clamp01(shade * 0.8f + (n - 0.5f) * 0.4f) * (0.6f + 0.4f * edge);
        rgb g = ramp({{0.f, hex(0x3A2006)}, {0.35f, hex(0x9A6418)}, {0.65f, hex(0xE0A838)}, {0.88f, hex(0xFFE08A)},
                      {1.f, hex(0xFFF8DC)}},
                     v);
        return g;
    });
    return p;
}

picture make_bais(typesetter&) {
    picture p;
    p.file = &show_files::bais;
    paint(p.img, [](int x, int y) {
        // domain-warped marble in indigo and violet, veined with glowing cracks
        float fx = lat(x, 80), fy = lat(y, 80);
        float wx = fbm(fx, fy, 8, 6, 4, 801u), wy = fbm(fx + 3.1f, fy + 7.7f, 8, 6, 4, 802u);
        float m = fbm(fx + wx * 2.f, fy + wy * 2.f, 0, 0, 5, 803u);
        // the warp breaks the repeat of the last layer, so blend it with a repeating one
        float r = fbm(fx, fy, 8, 6, 5, 804u);
        float v = mix(rgb{m, 0, 0}, rgb{r, 0, 0}, 0.4f).r;
        rgb c = ramp({{0.f, hex(0x120628)}, {0.4f, hex(0x3A1460)}, {0.6f, hex(0x7A2A80)}, {0.8f, hex(0x1A6A7A)},
                      {1.f, hex(0x60E0C8)}},
                     v);
        cell_hit cl = cellular(lat(x, 40) + wx, lat(y, 40) + wy, 0, 0, 805u);
        float vein = std::pow(clamp01(1.f - (cl.f2 - cl.f1) * 9.f), 4.f);
        c = c + hex(0x30F0FF) * vein * 0.55f + hex(0xFF6A30) * vein * vein * 0.3f;
        return c;
    });
    return p;
}

picture make_metal(typesetter&) {
    picture p;
    p.file = &show_files::metal_2;
    const int pw = 160, ph = 120;  // panels, four by four
    paint(p.img, [&](int x, int y) {
        // brushed steel: noise stretched along x
        float brush = fbm(float(x) / 64.f, float(y) / 1.5f, 10, 320, 3, 901u);
        float broad = fbm(lat(x, 160), lat(y, 160), per_x(160), per_y(160), 3, 902u);
        rgb c = mix(hex(0x6A7484), hex(0xB8C2D0), clamp01(brush * 0.7f + broad * 0.5f - 0.1f));
        int lx = x % pw, ly = y % ph;
        // seams: a dark groove with a lit lower-right lip
        float e = float(std::min({lx, ly, pw - 1 - lx, ph - 1 - ly}));
        if (e < 1.f) return hex(0x141820);
        if (e < 3.f) {
            bool lit = lx < 3 || ly < 3;
            return lit ? hex(0xD8E0EA) : hex(0x3A4050);
        }
        // rivets at the panel corners
        for (int k = 0; k < 4; ++k) {
            float rx = (k & 1) ? float(pw) - 12.f : 12.f, ry = (k & 2) ? float(ph) - 12.f : 12.f;
            float dx = float(lx) + 0.5f - rx, dy = float(ly) + 0.5f - ry, d = std::hypot(dx, dy);
            if (d < 5.f) {
                float s = clamp01(0.5f - (dx + dy) / 7.f);
                return mix(hex(0x4A5262), hex(0xF0F4F8), s);
            }
            if (d < 7.f) c = c * (0.6f + 0.4f * (d - 5.f) / 2.f);
        }
        // faint diagonal scratches
        float scratch = std::pow(clamp01(1.f - std::fabs(std::sin(float(x + y * 2) * 0.37f)) * 30.f), 2.f) *
                        smoothstep(0.7f, 0.8f, fbm(lat(x, 40), lat(y, 40), per_x(40), per_y(40), 2, 903u));
        return c + rgb{0.15f, 0.15f, 0.17f} * scratch;
    });
    return p;
}

}  // namespace pic
