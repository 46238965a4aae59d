// Light pictures whose black is transparent: the light sheet (four sprites and
// the flame palette column), texmex (light laid over the final room) and the
// soft glow added over the corner room. Nothing outside the shapes is non-black.
#include <algorithm>
#include <cmath>
#include <vector>

#include "pictures/designs.h"
#include "pictures/picture_effects.h"
#include "common/procedural_noise.h"

namespace pic {

namespace {
constexpr float pi = 3.14159265f;

// Rectangles of the light sheet (inclusive), as the show cuts them.
struct sheet_rect {
    int x0, y0, x1, y1;
    float cx() const { return float(x0 + x1 + 1) * 0.5f; }
    float cy() const { return float(y0 + y1 + 1) * 0.5f; }
};
constexpr sheet_rect lamp_rect{182, 1, 379, 238}, flare_rect{382, 1, 567, 229}, beam_rect{182, 240, 351, 478},
                     streak_rect{354, 240, 638, 478};

// Black outside every sprite rectangle.
void keep_only(image& img, const std::vector<sheet_rect>& rects) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            bool in = false;
            for (const sheet_rect& r : rects) in = in || (x >= r.x0 && x <= r.x1 && y >= r.y0 && y <= r.y1);
            if (!in) img.set(x, y, {});
        }
}

// Adds colour * f(dx, dy) over a rectangle, (dx, dy) from its centre; the
// value is faded to 0 over the last 6 pixels of the rectangle.
template <class F>
void light_in(image& img, const sheet_rect& r, rgb colour, F f) {
    for (int y = r.y0; y <= r.y1; ++y)
        for (int x = r.x0; x <= r.x1; ++x) {
            float edge = float(std::min({x - r.x0, r.x1 - x, y - r.y0, r.y1 - y}));
            float v = f(float(x) + 0.5f - r.cx(), float(y) + 0.5f - r.cy()) * clamp01(edge / 6.f);
            if (v <= 0.f) continue;
            float* p = img.at(x, y);
            // out = d + c * v
            p[0] += colour.r * v, p[1] += colour.g * v, p[2] += colour.b * v;
        }
}

void lamp(image& img) {
    const sheet_rect& r = lamp_rect;
    // Halo, core and an eight-armed star; warm white.
    light_in(img, r, hex(0xFFC070), [](float dx, float dy) {
        float d = std::hypot(dx, dy);
        return 0.9f * std::exp(-d / 26.f) * clamp01(1.f - d / 96.f);
    });
    light_in(img, r, hex(0xFFFFF0), [](float dx, float dy) {
        float d = std::hypot(dx, dy);
        return std::exp(-d * d / (2.f * 11.f * 11.f)) * 1.4f;
    });
    light_in(img, r, hex(0xFFE8C0), [](float dx, float dy) {
        float d = std::hypot(dx, dy), a = std::atan2(dy, dx);
        float arms = std::pow(std::fabs(std::cos(a * 2.f)), 60.f) + 0.5f * std::pow(std::fabs(std::cos(a * 2.f + pi / 2.f)), 90.f);
        return arms * clamp01(1.f - d / 110.f) * 0.9f;
    });
    light_in(img, r, hex(0xFF9AD0), [](float dx, float dy) {
        float d = std::hypot(dx, dy);
        return 0.35f * std::exp(-std::pow((d - 70.f) / 3.f, 2.f));
    });
}

void flare(image& img) {
    const sheet_rect& r = flare_rect;
    // Bright source in the upper left, ghosts along the diagonal through the
    // rectangle's centre, and a rainbow ring.
    const float sx = -48.f, sy = -58.f;
    light_in(img, r, hex(0xE0F4FF), [&](float dx, float dy) {
        float d = std::hypot(dx - sx, dy - sy);
        return std::exp(-d * d / (2.f * 9.f * 9.f)) * 1.5f + 0.5f * std::exp(-d / 20.f) * clamp01(1.f - d / 70.f);
    });
    light_in(img, r, hex(0xFFFFFF), [](float dx, float dy) {
        float d = std::hypot(dx, dy);
        float hue = (d - 74.f) / 6.f;
        return 0.55f * std::exp(-hue * hue) * (0.6f + 0.4f * std::sin(std::atan2(dy, dx) * 3.f));
    });
    struct ghost {
        float t, radius;
        uint32_t colour;
    };
    const ghost ghosts[] = {{0.45f, 14.f, 0x60FF90}, {0.9f, 8.f, 0xFF70C0}, {1.45f, 22.f, 0x70A0FF},
                            {1.8f, 11.f, 0xFFD060}, {2.1f, 22.f, 0xA070FF}};
    for (const ghost& g : ghosts) {
        float gx = sx + (-sx * 2.f) * g.t * 0.5f, gy = sy + (-sy * 2.f) * g.t * 0.5f;
        light_in(img, r, hex(g.colour), [&](float dx, float dy) {
            // hexagon: max of three projections
            float ux = dx - gx, uy = dy - gy, hexd = 0.f;
            for (int k = 0; k < 3; ++k) {
                float a = float(k) * pi / 3.f;
                hexd = std::max(hexd, std::fabs(ux * std::cos(a) + uy * std::sin(a)));
            }
            float inside = smoothstep(g.radius + 1.5f, g.radius - 1.5f, hexd);
            float rim = std::exp(-std::pow((hexd - g.radius) / 1.5f, 2.f));
            return inside * 0.4f + rim * 0.6f;
        });
    }
}

void beam(image& img) {
    const sheet_rect& r = beam_rect;
    // A spotlight cone opening downward from a small lamp at the top.
    const float top = float(r.y0) + 10.f, bottom = float(r.y1);
    light_in(img, r, hex(0xB8E8FF), [&](float dx, float dy) {
        float y = dy + r.cy();
        if (y < top) return 0.f;
        float t = (y - top) / (bottom - top);
        float half = 6.f + 74.f * t;
        float across = dx / half;
        float body = std::exp(-across * across * 2.2f) * (1.f - 0.55f * t);
        float streaks = 0.8f + 0.2f * std::sin(std::atan2(dx, y - top + 20.f) * 60.f);
        return body * streaks * 0.95f;
    });
    light_in(img, r, hex(0xFFFFFF), [&](float dx, float dy) {
        float d = std::hypot(dx, dy + r.cy() - top);
        return std::exp(-d * d / (2.f * 7.f * 7.f)) * 1.5f;
    });
}

void streak(image& img) {
    const sheet_rect& r = streak_rect;
    // Anamorphic flare: a long thin horizontal streak, blue at its ends.
    light_in(img, r, hex(0x70B8FF), [](float dx, float dy) {
        return std::exp(-std::fabs(dx) / 70.f) * std::exp(-dy * dy / 6.f) * 1.4f;
    });
    light_in(img, r, hex(0xFFFFFF), [](float dx, float dy) {
        float d = std::hypot(dx, dy * 1.2f);
        return std::exp(-d * d / (2.f * 8.f * 8.f)) * 1.6f + 0.35f * std::exp(-d / 18.f);
    });
    light_in(img, r, hex(0x4060FF), [](float dx, float dy) {
        float d = std::hypot(dx * 0.55f, dy);
        return 0.5f * std::exp(-std::pow((d - 60.f) / 4.f, 2.f));
    });
    light_in(img, r, hex(0x90D0FF), [](float dx, float dy) {
        return 0.5f * std::exp(-std::fabs(dx) / 30.f) * std::exp(-std::pow(std::fabs(dy) - 14.f, 2.f) / 2.f);
    });
}

// Flame colour for palette entry k (0 = base, 199 = tip).
rgb flame_colour(int k) {
    float t = float(k) / 199.f;
    return ramp({{0.f, hex(0x5A0400)}, {0.25f, hex(0xB81C00)}, {0.5f, hex(0xF06A08)}, {0.72f, hex(0xFFB830)},
                 {0.88f, hex(0xFFE890)}, {1.f, hex(0xFFFCEC)}},
                t);
}
}  // namespace

picture make_lights(typesetter&) {
    picture p;
    p.file = &show_files::lights;
    image& img = p.img;
    lamp(img);
    flare(img);
    beam(img);
    streak(img);
    // Half-blended sprites darken where they are dim, so soft falloffs are
    // drawn as a thinning spread of bright points instead.
    for (const sheet_rect& r : {lamp_rect, flare_rect, beam_rect, streak_rect})
        screen_door(img, r.x0, r.y0, r.x1, r.y1, 0.55f, 0x11647u + uint32_t(r.x0));
    keep_only(img, {lamp_rect, flare_rect, beam_rect, streak_rect});
    // Flame palette: column 15, row 479 - k holds entry k, written exactly.
    p.finish = [](std::vector<uint8_t>& bytes) {
        for (int k = 0; k < 200; ++k) {
            rgb c = flame_colour(k);
            uint8_t* px = &bytes[(size_t(479 - k) * size_t(frame_w) + 15) * 3];
            px[0] = uint8_t(std::lround(clamp01(c.r) * 255.f));
            px[1] = uint8_t(std::lround(clamp01(c.g) * 255.f));
            px[2] = uint8_t(std::lround(clamp01(c.b) * 255.f));
        }
    };
    return p;
}

picture make_texmex(typesetter&) {
    picture p;
    p.file = &show_files::texmex;
    image& img = p.img;
    // Light beams from a skylight above the room, as a thin spread of bright
    // points (they replace the room's pixels, so only a few may be set).
    struct beam_def {
        float x_top, x_bottom, w_top, w_bottom;
    };
    const beam_def beams[] = {{250.f, 120.f, 26.f, 120.f}, {320.f, 330.f, 30.f, 140.f}, {390.f, 540.f, 26.f, 120.f}};
    image light(frame_w, frame_h);
    paint(light, [&](int x, int y) {
        float fy = float(y) / float(frame_h);
        float v = 0.f;
        for (const beam_def& b : beams) {
            float cx = b.x_top + (b.x_bottom - b.x_top) * fy, half = (b.w_top + (b.w_bottom - b.w_top) * fy) * 0.5f;
            float across = (float(x) - cx) / half;
            v += std::exp(-across * across * 1.6f) * (1.f - 0.85f * fy);
        }
        float d = std::hypot(float(x) - 320.f, float(y) + 30.f);
        v += 0.9f * std::exp(-d * d / (2.f * 70.f * 70.f));
        v *= 0.8f + 0.2f * fbm(float(x) / 14.f, float(y) / 40.f, 0, 0, 3, 301u);
        return hex(0xFFE6B8) * clamp01(v * 0.22f);
    });
    screen_door(light, 0, 0, frame_w - 1, frame_h - 1, 0.85f, 302u);
    img = light;
    // Dust motes in the beams.
    rng r(0xD057);
    for (int i = 0; i < 160; ++i) {
        const beam_def& b = beams[i % 3];
        float fy = r.range(0.05f, 0.8f);
        float cx = b.x_top + (b.x_bottom - b.x_top) * fy, half = (b.w_top + (b.w_bottom - b.w_top) * fy) * 0.5f;
        float x = cx + r.range(-half, half), y = fy * float(frame_h);
        img.set(std::clamp(int(x), 0, frame_w - 1), std::clamp(int(y), 0, frame_h - 1), hex(0xFFF4D8));
    }
    // The frame: a bevelled bronze border with corner ornaments.
    mask frame(frame_w, frame_h), hole(frame_w, frame_h);
    rect(frame, 0.f, 0.f, float(frame_w), float(frame_h), 0.5f);
    rounded_rect(hole, 14.f, 14.f, float(frame_w) - 14.f, float(frame_h) - 14.f, 10.f, 1.f);
    for (size_t i = 0; i < frame.a.size(); ++i) frame.a[i] = clamp01(frame.a[i] - hole.a[i]);
    for (float cx : {14.f, float(frame_w) - 14.f})
        for (float cy : {14.f, float(frame_h) - 14.f}) {
            ring(frame, cx, cy, 22.f, 3.f, 1.f);
            disc(frame, cx, cy, 9.f, 1.f);
        }
    mask inner_line(frame_w, frame_h);
    rounded_rect(inner_line, 19.f, 19.f, float(frame_w) - 19.f, float(frame_h) - 19.f, 8.f, 1.f);
    mask inner_hole(frame_w, frame_h);
    rounded_rect(inner_hole, 20.5f, 20.5f, float(frame_w) - 20.5f, float(frame_h) - 20.5f, 7.f, 1.f);
    for (size_t i = 0; i < inner_line.a.size(); ++i) inner_line.a[i] = clamp01(inner_line.a[i] - inner_hole.a[i]);
    over_paint(img, frame, [](int x, int y) {
        float e = float(std::min({x, y, frame_w - 1 - x, frame_h - 1 - y}));
        float bevel = 0.5f + 0.5f * std::cos(e * 0.45f);
        float n = fbm(float(x) / 5.f, float(y) / 5.f, 0, 0, 3, 303u);
        return ramp({{0.f, hex(0x2A1808)}, {0.6f, hex(0x8A5A24)}, {1.f, hex(0xE8B870)}}, clamp01(bevel * 0.85f + n * 0.3f));
    });
    over(img, inner_line, hex(0xC89850));
    // Anything that would quantise to black stays black; nothing dim and
    // non-black is left to darken the room.
    for (size_t i = 0; i < img.d.size(); i += 3) {
        float b = std::max({img.d[i], img.d[i + 1], img.d[i + 2]});
        if (b < 0.06f) img.d[i] = img.d[i + 1] = img.d[i + 2] = 0.f;
    }
    p.dither = false;
    return p;
}

picture make_light(typesetter&) {
    picture p;
    p.file = &show_files::light;
    // A large soft glow, added over the corner room: a rose core turning
    // violet towards its edge (at a third of full strength a yellow core
    // reads as olive), faint rays and a halo ring.
    paint(p.img, [](int x, int y) {
        float dx = float(x) - 320.f, dy = float(y) - 240.f, d = std::hypot(dx, dy), a = std::atan2(dy, dx);
        float body = std::exp(-d / 70.f) + 0.5f * std::exp(-d * d / (2.f * 150.f * 150.f));
        float rays = 1.f + 0.35f * std::pow(0.5f + 0.5f * std::sin(a * 12.f + std::sin(a * 5.f)), 3.f);
        float halo = 0.35f * std::exp(-std::pow((d - 185.f) / 10.f, 2.f));
        float v = body * rays + halo;
        v *= clamp01((300.f - d) / 60.f);
        rgb c = ramp({{0.f, hex(0xFFA8D0)}, {0.25f, hex(0xF070B0)}, {0.5f, hex(0xC050D0)}, {1.f, hex(0x6A3AD0)}},
                     clamp01(d / 260.f));
        // The show adds it at a third of its strength (weight 10 of 30), so
        // the inner glow runs at full colour.
        return v < 0.02f ? rgb{} : c * clamp01(v * 1.25f);
    });
    return p;
}

}  // namespace pic
