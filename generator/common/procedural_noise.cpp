// Deterministic noise functions for the pictures (hash, value, gradient,
// fractal and cellular noise). Pure functions, no tables, no global state.
#include "common/procedural_noise.h"

#include <cmath>

namespace pic {

uint32_t hash2(int x, int y, uint32_t seed) {
    uint32_t h = seed * 0x27D4EB2Du ^ uint32_t(x) * 0x85EBCA6Bu ^ uint32_t(y) * 0xC2B2AE35u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

namespace {
inline int wrap(int v, int p) {
    if (p <= 0) return v;
    int m = v % p;
    return m < 0 ? m + p : m;
}
inline float fade(float t) { return t * t * t * (t * (t * 6.f - 15.f) + 10.f); }
inline float lerp(float a, float b, float t) { return a + (b - a) * t; }

// 256 unit gradients around the circle, built once.
struct gradient_table {
    float gx[256], gy[256];
    gradient_table() {
        for (int i = 0; i < 256; ++i) {
            double a = double(i) * 6.283185307179586 / 256.0;
            gx[i] = float(std::cos(a)), gy[i] = float(std::sin(a));
        }
    }
};
const gradient_table& gradients() {
    static const gradient_table t;
    return t;
}

inline float grad(int ix, int iy, int px, int py, uint32_t seed, float dx, float dy) {
    uint32_t h = hash2(wrap(ix, px), wrap(iy, py), seed) >> 24;  // 0..255
    const gradient_table& g = gradients();
    return g.gx[h] * dx + g.gy[h] * dy;
}
}  // namespace

float value_noise(float x, float y, int px, int py, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float tx = fade(x - fx), ty = fade(y - fy);
    float a = hash01(wrap(ix, px), wrap(iy, py), seed), b = hash01(wrap(ix + 1, px), wrap(iy, py), seed);
    float c = hash01(wrap(ix, px), wrap(iy + 1, py), seed), d = hash01(wrap(ix + 1, px), wrap(iy + 1, py), seed);
    return lerp(lerp(a, b, tx), lerp(c, d, tx), ty);
}

float gradient_noise(float x, float y, int px, int py, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    float dx = x - fx, dy = y - fy;
    float tx = fade(dx), ty = fade(dy);
    float a = grad(ix, iy, px, py, seed, dx, dy), b = grad(ix + 1, iy, px, py, seed, dx - 1.f, dy);
    float c = grad(ix, iy + 1, px, py, seed, dx, dy - 1.f), d = grad(ix + 1, iy + 1, px, py, seed, dx - 1.f, dy - 1.f);
    return lerp(lerp(a, b, tx), lerp(c, d, tx), ty) * 1.41f;
}

float fbm(float x, float y, int px, int py, int octaves, uint32_t seed, float persist) {
    float sum = 0.f, amp = 1.f, norm = 0.f;
    for (int o = 0; o < octaves; ++o) {
        sum += value_noise(x, y, px, py, seed + uint32_t(o) * 101u) * amp;
        norm += amp;
        amp *= persist;
        x *= 2.f, y *= 2.f, px *= 2, py *= 2;
    }
    return sum / norm;
}

float fbm_gradient(float x, float y, int px, int py, int octaves, uint32_t seed, float persist) {
    float sum = 0.f, amp = 1.f, norm = 0.f;
    for (int o = 0; o < octaves; ++o) {
        sum += gradient_noise(x, y, px, py, seed + uint32_t(o) * 131u) * amp;
        norm += amp;
        amp *= persist;
        x *= 2.f, y *= 2.f, px *= 2, py *= 2;
    }
    return sum / norm;
}

cell_hit cellular(float x, float y, int px, int py, uint32_t seed, float jitter) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = int(fx), iy = int(fy);
    cell_hit best{1e9f, 1e9f, 0, 0.f, 0.f};
    for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) {
            int cx = ix + i, cy = iy + j;
            uint32_t h = hash2(wrap(cx, px), wrap(cy, py), seed);
            float ox = 0.5f + jitter * (float(h & 0xFFFF) / 65535.f - 0.5f);
            float oy = 0.5f + jitter * (float(h >> 16) / 65535.f - 0.5f);
            float fpx = float(cx) + ox, fpy = float(cy) + oy;
            float d = std::hypot(fpx - x, fpy - y);
            if (d < best.f1) {
                best.f2 = best.f1;
                best.f1 = d;
                best.id = h;
                best.cx = fpx, best.cy = fpy;
            } else if (d < best.f2) {
                best.f2 = d;
            }
        }
    return best;
}

}  // namespace pic
