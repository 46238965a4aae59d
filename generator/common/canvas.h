// Picture canvas of the generator: float RGB images and coverage masks, the
// few compositing operations the pictures are painted with, and the final
// quantisation to 8-bit bytes. Knows nothing of files or of any one picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pic {

struct rgb {
    float r = 0, g = 0, b = 0;
};
inline rgb operator+(rgb a, rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
inline rgb operator-(rgb a, rgb b) { return {a.r - b.r, a.g - b.g, a.b - b.b}; }
inline rgb operator*(rgb a, float k) { return {a.r * k, a.g * k, a.b * k}; }
inline rgb operator*(rgb a, rgb b) { return {a.r * b.r, a.g * b.g, a.b * b.b}; }
// out = a + (b - a) * t
inline rgb mix(rgb a, rgb b, float t) { return a + (b - a) * t; }
// 8-bit colour literal helper: hex(0xRRGGBB)
inline rgb hex(uint32_t c) {
    return {float((c >> 16) & 255) / 255.f, float((c >> 8) & 255) / 255.f, float(c & 255) / 255.f};
}

float clamp01(float v);
float smoothstep(float e0, float e1, float v);

// Colour ramp: stops at positions 0..1, linear between them.
struct ramp_stop {
    float at;
    rgb colour;
};
rgb ramp(const std::vector<ramp_stop>& stops, float t);

// Coverage plane, 0 = empty, 1 = full.
struct mask {
    int w = 0, h = 0;
    std::vector<float> a;
    mask() = default;
    mask(int w_, int h_) : w(w_), h(h_), a(size_t(w_) * size_t(h_), 0.f) {}
    float& at(int x, int y) { return a[size_t(y) * size_t(w) + size_t(x)]; }
    float get(int x, int y) const {
        return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : a[size_t(y) * size_t(w) + size_t(x)];
    }
};

// RGB image, channels nominally 0..1 (values outside are clamped on output).
struct image {
    int w = 0, h = 0;
    std::vector<float> d;  // r, g, b per pixel, row by row
    image() = default;
    image(int w_, int h_, rgb fill = {});
    float* at(int x, int y) { return &d[(size_t(y) * size_t(w) + size_t(x)) * 3]; }
    rgb get(int x, int y) const {
        const float* p = &d[(size_t(y) * size_t(w) + size_t(x)) * 3];
        return {p[0], p[1], p[2]};
    }
    void set(int x, int y, rgb c) {
        float* p = at(x, y);
        p[0] = c.r, p[1] = c.g, p[2] = c.b;
    }
};

// Calls f(x, y) for every pixel and stores the colour it returns.
template <class F>
void paint(image& img, F f) {
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) img.set(x, y, f(x, y));
}

// out = dst * (1 - a * k) + colour * a * k
void over(image& dst, const mask& m, rgb colour, float k = 1.f, int dx = 0, int dy = 0);
// out = dst * (1 - a) + paint(x, y) * a, with a = m(x, y) * k
template <class F>
void over_paint(image& dst, const mask& m, F paint_fn, float k = 1.f) {
    for (int y = 0; y < dst.h; ++y)
        for (int x = 0; x < dst.w; ++x) {
            float a = m.get(x, y) * k;
            if (a <= 0.f) continue;
            dst.set(x, y, mix(dst.get(x, y), paint_fn(x, y), a > 1.f ? 1.f : a));
        }
}
// out = dst + colour * a * k (additive light)
void add(image& dst, const mask& m, rgb colour, float k = 1.f, int dx = 0, int dy = 0);
// out = dst * (1 - a * k) (darkening, for shadows)
void darken(image& dst, const mask& m, float k, int dx = 0, int dy = 0);

// Box blur repeated `passes` times (three passes approximate a Gaussian);
// outside the plane counts as 0.
void blur(mask& m, int radius, int passes = 3);
void blur(image& img, int radius, int passes = 3);
// a = min(1, a * gain)
void gain(mask& m, float k);
// Union (max) of two masks of the same size.
void unite(mask& dst, const mask& src);
// Outline band: dilate by `radius` (blur + gain), minus nothing (the fill
// is drawn over it afterwards).
mask grow(const mask& m, int radius, float hardness = 4.f);

// Shapes, anti-aliased over a one-pixel edge (or `soft` pixels).
void disc(mask& m, float cx, float cy, float r, float soft = 1.f);
void ring(mask& m, float cx, float cy, float r, float width, float soft = 1.f);
void line(mask& m, float x0, float y0, float x1, float y1, float width, float soft = 1.f);
void rect(mask& m, float x0, float y0, float x1, float y1, float soft = 1.f);
void rounded_rect(mask& m, float x0, float y0, float x1, float y1, float radius, float soft = 1.f);

// Quantises to 8-bit RGB bytes. With `dither565` the values are spread over
// the RGB565 levels by an ordered dither and written as exact level values
// (level L of n bits becomes round(L * 255 / (2^n - 1)), which converts back
// to L by truncation), so gradients do not band once the show converts them.
std::vector<uint8_t> to_bytes(const image& img, bool dither565);

}  // namespace pic
