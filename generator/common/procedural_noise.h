// Deterministic randomness for the pictures: a seeded PRNG, integer hashes,
// tileable value and gradient noise, fractal sums and cellular (Worley) noise.
// No global state: every call is a pure function of its arguments.
#pragma once

#include <cstdint>

namespace pic {

// splitmix64: the same sequence for the same seed on every run.
struct rng {
    uint64_t s;
    explicit rng(uint64_t seed) : s(seed) {}
    uint32_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return uint32_t((z ^ (z >> 31)) >> 32);
    }
    float uniform() { return float(next() >> 8) * (1.f / 16777216.f); }  // 0 <= u < 1
    float range(float a, float b) { return a + (b - a) * uniform(); }
};

uint32_t hash2(int x, int y, uint32_t seed);
inline float hash01(int x, int y, uint32_t seed) { return float(hash2(x, y, seed) >> 8) * (1.f / 16777216.f); }

// Value noise in 0..1 at lattice coordinates (x, y); the lattice repeats every
// px by py cells (0 = no repeat), so a picture spanning whole periods tiles.
float value_noise(float x, float y, int px, int py, uint32_t seed);
// Gradient (Perlin-style) noise, about -1..1, same repeat rule.
float gradient_noise(float x, float y, int px, int py, uint32_t seed);
// Sum of `octaves` value-noise layers, frequency x2 and amplitude x`persist`
// per layer, normalised to 0..1; repeats like the first layer.
float fbm(float x, float y, int px, int py, int octaves, uint32_t seed, float persist = 0.5f);
// Same with gradient noise, about -1..1.
float fbm_gradient(float x, float y, int px, int py, int octaves, uint32_t seed, float persist = 0.5f);

// Cellular noise: distances to the nearest and second nearest feature point
// (one jittered point per lattice cell) and the nearest cell's id hash.
struct cell_hit {
    float f1, f2;
    uint32_t id;
    float cx, cy;  // nearest feature point, lattice coordinates
};
cell_hit cellular(float x, float y, int px, int py, uint32_t seed, float jitter = 0.85f);

}  // namespace pic
