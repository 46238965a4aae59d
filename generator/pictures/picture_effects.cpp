// Effects shared by several pictures (glow, shadow, chrome and fire ramps,
// stars, vignette, screen-door dither). Canvas operations only.
#include "pictures/picture_effects.h"

#include <algorithm>
#include <cmath>

#include "common/procedural_noise.h"

namespace pic {

namespace {
// The mask blurred by `radius`, computed only over the shape's bounds grown
// by the blur's reach; (ox, oy) is where the returned plane's origin lies.
mask blurred_part(const mask& m, int radius, int& ox, int& oy) {
    box b = bounds(m);
    if (b.x0 > b.x1) {
        ox = oy = 0;
        return mask(1, 1);
    }
    int reach = radius * 3 + 2;
    ox = std::max(0, b.x0 - reach), oy = std::max(0, b.y0 - reach);
    int x1 = std::min(m.w - 1, b.x1 + reach), y1 = std::min(m.h - 1, b.y1 + reach);
    mask part(x1 - ox + 1, y1 - oy + 1);
    for (int y = 0; y < part.h; ++y)
        for (int x = 0; x < part.w; ++x) part.at(x, y) = m.a[size_t(y + oy) * size_t(m.w) + size_t(x + ox)];
    blur(part, radius);
    return part;
}
}  // namespace

void glow(image& dst, const mask& m, rgb colour, int radius, float k) {
    int ox, oy;
    mask g = blurred_part(m, radius, ox, oy);
    add(dst, g, colour, k, ox, oy);
}

void shadow(image& dst, const mask& m, int dx, int dy, int radius, float k) {
    int ox, oy;
    mask g = blurred_part(m, radius, ox, oy);
    darken(dst, g, k, ox + dx, oy + dy);
}

rgb chrome(float v, float horizon) {
    return ramp({{0.00f, hex(0xF4F8FF)},
                 {horizon * 0.55f, hex(0x9FC3F2)},
                 {horizon - 0.02f, hex(0x2E4A9A)},
                 {horizon, hex(0x120A2E)},
                 {horizon + 0.04f, hex(0x6A2A5A)},
                 {horizon + 0.25f, hex(0xF08A4A)},
                 {1.00f, hex(0xFFE9B0)}},
                v);
}

rgb fire(float v) {
    return ramp({{0.00f, hex(0xFFF6C8)},
                 {0.25f, hex(0xFFD24A)},
                 {0.55f, hex(0xFF7A10)},
                 {0.80f, hex(0xC8200A)},
                 {1.00f, hex(0x5A0408)}},
                v);
}

void stars(image& img, uint32_t seed, int count, float brightness) {
    stars(img, seed, count, brightness, [](int, int) { return true; });
}

void star(image& img, float x, float y, float r, float arm, rgb colour) {
    int reach = int(std::ceil(std::max(r * 3.f, arm))) + 1;
    int x0 = std::max(0, int(x) - reach), x1 = std::min(img.w - 1, int(x) + reach);
    int y0 = std::max(0, int(y) - reach), y1 = std::min(img.h - 1, int(y) + reach);
    for (int py = y0; py <= y1; ++py)
        for (int px = x0; px <= x1; ++px) {
            float dx = float(px) + 0.5f - x, dy = float(py) + 0.5f - y;
            float d2 = dx * dx + dy * dy;
            // core: Gaussian; arms: thin exponential streaks along x and y
            float v = std::exp(-d2 / (r * r));
            if (arm > 0.f) {
                v += 0.6f * std::exp(-std::fabs(dx) / (arm * 0.35f)) * std::exp(-dy * dy / 0.35f);
                v += 0.6f * std::exp(-std::fabs(dy) / (arm * 0.35f)) * std::exp(-dx * dx / 0.35f);
            }
            if (v < 0.004f) continue;
            float* p = img.at(px, py);
            // out = d + c * v
            p[0] += colour.r * v, p[1] += colour.g * v, p[2] += colour.b * v;
        }
}

void vignette(image& img, float k) {
    float cx = float(img.w) * 0.5f, cy = float(img.h) * 0.5f, r2 = cx * cx + cy * cy;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            float dx = float(x) + 0.5f - cx, dy = float(y) + 0.5f - cy;
            float f = 1.f - k * (dx * dx + dy * dy) / r2;
            float* p = img.at(x, y);
            p[0] *= f, p[1] *= f, p[2] *= f;
        }
}

void screen_door(image& img, int x0, int y0, int x1, int y1, float floor, uint32_t seed) {
    x0 = std::max(0, x0), y0 = std::max(0, y0), x1 = std::min(img.w - 1, x1), y1 = std::min(img.h - 1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            float* p = img.at(x, y);
            float b = std::max({p[0], p[1], p[2]});
            if (b >= floor) continue;
            if (b <= 0.f || hash01(x, y, seed) * floor >= b) {
                p[0] = p[1] = p[2] = 0.f;
                continue;
            }
            float s = floor / b;
            p[0] *= s, p[1] *= s, p[2] *= s;
        }
}

box bounds(const mask& m) {
    box b{m.w, m.h, -1, -1};
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.a[size_t(y) * size_t(m.w) + size_t(x)] > 0.02f) {
                b.x0 = std::min(b.x0, x), b.y0 = std::min(b.y0, y);
                b.x1 = std::max(b.x1, x), b.y1 = std::max(b.y1, y);
            }
    return b;
}

int fit_size(typesetter& ts, const std::string& font, const std::string& s, float max_width, int start,
             float tracking) {
    int size = start;
    while (size > 6 && ts.width(font, size, s, tracking) > max_width) --size;
    return size;
}

}  // namespace pic
