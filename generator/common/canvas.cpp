// Picture canvas of the generator: compositing, blur, shapes and the
// quantisation to bytes. Pure in-memory work; files are written elsewhere.
#include "common/canvas.h"

#include <algorithm>
#include <cmath>

namespace pic {

float clamp01(float v) { return v < 0.f ? 0.f : (v > 1.f ? 1.f : v); }

float smoothstep(float e0, float e1, float v) {
    float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.f - 2.f * t);
}

rgb ramp(const std::vector<ramp_stop>& stops, float t) {
    if (stops.empty()) return {};
    if (t <= stops.front().at) return stops.front().colour;
    for (size_t i = 1; i < stops.size(); ++i)
        if (t <= stops[i].at) {
            float span = stops[i].at - stops[i - 1].at;
            float k = span > 0.f ? (t - stops[i - 1].at) / span : 1.f;
            return mix(stops[i - 1].colour, stops[i].colour, k);
        }
    return stops.back().colour;
}

image::image(int w_, int h_, rgb fill) : w(w_), h(h_), d(size_t(w_) * size_t(h_) * 3) {
    for (size_t i = 0; i < d.size(); i += 3) d[i] = fill.r, d[i + 1] = fill.g, d[i + 2] = fill.b;
}

void over(image& dst, const mask& m, rgb colour, float k, int dx, int dy) {
    for (int y = std::max(0, dy); y < std::min(dst.h, dy + m.h); ++y)
        for (int x = std::max(0, dx); x < std::min(dst.w, dx + m.w); ++x) {
            float a = m.get(x - dx, y - dy) * k;
            if (a <= 0.f) continue;
            if (a > 1.f) a = 1.f;
            float* p = dst.at(x, y);
            // out = d * (1 - a) + c * a
            p[0] += (colour.r - p[0]) * a;
            p[1] += (colour.g - p[1]) * a;
            p[2] += (colour.b - p[2]) * a;
        }
}

void add(image& dst, const mask& m, rgb colour, float k, int dx, int dy) {
    for (int y = std::max(0, dy); y < std::min(dst.h, dy + m.h); ++y)
        for (int x = std::max(0, dx); x < std::min(dst.w, dx + m.w); ++x) {
            float a = m.get(x - dx, y - dy) * k;
            if (a <= 0.f) continue;
            float* p = dst.at(x, y);
            // out = d + c * a
            p[0] += colour.r * a;
            p[1] += colour.g * a;
            p[2] += colour.b * a;
        }
}

void darken(image& dst, const mask& m, float k, int dx, int dy) {
    for (int y = std::max(0, dy); y < std::min(dst.h, dy + m.h); ++y)
        for (int x = std::max(0, dx); x < std::min(dst.w, dx + m.w); ++x) {
            float a = clamp01(m.get(x - dx, y - dy) * k);
            float* p = dst.at(x, y);
            // out = d * (1 - a)
            p[0] *= 1.f - a, p[1] *= 1.f - a, p[2] *= 1.f - a;
        }
}

namespace {
// One box pass along a line of n samples spaced `step` apart; outside is 0.
void box_line(float* base, int n, size_t step, int r, std::vector<float>& tmp) {
    tmp.assign(size_t(n), 0.f);
    const float inv = 1.f / float(2 * r + 1);
    double sum = 0.0;
    for (int i = 0; i <= r && i < n; ++i) sum += base[size_t(i) * step];
    for (int i = 0; i < n; ++i) {
        tmp[size_t(i)] = float(sum) * inv;
        int add_i = i + r + 1, sub_i = i - r;
        if (add_i < n) sum += base[size_t(add_i) * step];
        if (sub_i >= 0) sum -= base[size_t(sub_i) * step];
    }
    for (int i = 0; i < n; ++i) base[size_t(i) * step] = tmp[size_t(i)];
}

void blur_plane(float* base, int w, int h, size_t step, int radius, int passes) {
    if (radius <= 0) return;
    std::vector<float> tmp;
    for (int p = 0; p < passes; ++p) {
        for (int y = 0; y < h; ++y) box_line(base + size_t(y) * size_t(w) * step, w, step, radius, tmp);
        for (int x = 0; x < w; ++x) box_line(base + size_t(x) * step, h, size_t(w) * step, radius, tmp);
    }
}
}  // namespace

void blur(mask& m, int radius, int passes) { blur_plane(m.a.data(), m.w, m.h, 1, radius, passes); }

void blur(image& img, int radius, int passes) {
    for (int c = 0; c < 3; ++c) blur_plane(img.d.data() + c, img.w, img.h, 3, radius, passes);
}

void gain(mask& m, float k) {
    for (float& v : m.a) v = std::min(1.f, v * k);
}

void unite(mask& dst, const mask& src) {
    for (size_t i = 0; i < dst.a.size() && i < src.a.size(); ++i) dst.a[i] = std::max(dst.a[i], src.a[i]);
}

mask grow(const mask& m, int radius, float hardness) {
    // Blur only the shape's bounds grown by the blur's reach.
    int x0 = m.w, y0 = m.h, x1 = -1, y1 = -1;
    for (int y = 0; y < m.h; ++y)
        for (int x = 0; x < m.w; ++x)
            if (m.a[size_t(y) * size_t(m.w) + size_t(x)] > 0.f)
                x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    mask g = m;
    if (x1 < 0) return g;
    int reach = radius * 2 + 2;
    x0 = std::max(0, x0 - reach), y0 = std::max(0, y0 - reach);
    x1 = std::min(m.w - 1, x1 + reach), y1 = std::min(m.h - 1, y1 + reach);
    mask part(x1 - x0 + 1, y1 - y0 + 1);
    for (int y = 0; y < part.h; ++y)
        for (int x = 0; x < part.w; ++x) part.at(x, y) = m.a[size_t(y + y0) * size_t(m.w) + size_t(x + x0)];
    blur(part, radius, 2);
    gain(part, hardness);
    for (int y = 0; y < part.h; ++y)
        for (int x = 0; x < part.w; ++x) {
            float& a = g.at(x + x0, y + y0);
            a = std::max(a, part.at(x, y));  // out = max(shape, hard-edged blur)
        }
    return g;
}

namespace {
// Coverage from a signed distance (negative inside) over an edge `soft` wide.
inline float coverage(float dist, float soft) { return clamp01(0.5f - dist / soft); }

template <class D>
void shape(mask& m, float x0, float y0, float x1, float y1, float soft, D dist) {
    int ax = std::max(0, int(std::floor(x0 - soft - 1))), ay = std::max(0, int(std::floor(y0 - soft - 1)));
    int bx = std::min(m.w - 1, int(std::ceil(x1 + soft + 1))), by = std::min(m.h - 1, int(std::ceil(y1 + soft + 1)));
    for (int y = ay; y <= by; ++y)
        for (int x = ax; x <= bx; ++x) {
            float c = coverage(dist(float(x) + 0.5f, float(y) + 0.5f), soft);
            float& a = m.at(x, y);
            a = std::max(a, c);
        }
}
}  // namespace

void disc(mask& m, float cx, float cy, float r, float soft) {
    shape(m, cx - r, cy - r, cx + r, cy + r, soft,
          [&](float x, float y) { return std::hypot(x - cx, y - cy) - r; });
}

void ring(mask& m, float cx, float cy, float r, float width, float soft) {
    float o = r + width * 0.5f;
    shape(m, cx - o, cy - o, cx + o, cy + o, soft,
          [&](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - r) - width * 0.5f; });
}

void line(mask& m, float x0, float y0, float x1, float y1, float width, float soft) {
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    float hw = width * 0.5f;
    shape(m, std::min(x0, x1) - hw, std::min(y0, y1) - hw, std::max(x0, x1) + hw, std::max(y0, y1) + hw, soft,
          [&](float x, float y) {
              float t = len2 > 0.f ? clamp01(((x - x0) * dx + (y - y0) * dy) / len2) : 0.f;
              return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - hw;
          });
}

void rect(mask& m, float x0, float y0, float x1, float y1, float soft) {
    rounded_rect(m, x0, y0, x1, y1, 0.f, soft);
}

void rounded_rect(mask& m, float x0, float y0, float x1, float y1, float radius, float soft) {
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    shape(m, x0, y0, x1, y1, soft, [&](float x, float y) {
        float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        float ox = std::max(qx, 0.f), oy = std::max(qy, 0.f);
        return std::hypot(ox, oy) + std::min(std::max(qx, qy), 0.f) - radius;
    });
}

std::vector<uint8_t> to_bytes(const image& img, bool dither565) {
    static const int bayer[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                    {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                    {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                    {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    std::vector<uint8_t> out(size_t(img.w) * size_t(img.h) * 3);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            const float* p = &img.d[(size_t(y) * size_t(img.w) + size_t(x)) * 3];
            uint8_t* o = &out[(size_t(y) * size_t(img.w) + size_t(x)) * 3];
            float t = (float(bayer[y & 7][x & 7]) + 0.5f) / 64.f;
            for (int c = 0; c < 3; ++c) {
                float v = clamp01(p[c]);
                if (!dither565) {
                    o[c] = uint8_t(std::lround(v * 255.f));
                    continue;
                }
                // level = floor(v * max + t), byte = round(level * 255 / max)
                int max = c == 1 ? 63 : 31;
                int level = std::min(max, int(v * float(max) + t));
                o[c] = uint8_t((level * 255 + max / 2) / max);
            }
        }
    return out;
}

}  // namespace pic
