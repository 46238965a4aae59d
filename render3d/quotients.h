// The quotients the edge walks and spans step by: an integer difference over
// a divisor k + bias (k a small integer), rounded to double and then to
// float. Formed by one packed division, or by a multiply with a table of
// reciprocals that rounds to the same floats. Draws nothing.
#pragma once

#include <cstdint>
#include <cstring>

namespace raster {

typedef double pair_d __attribute__((vector_size(16)));
typedef float pair_f __attribute__((vector_size(8)));
typedef int pair_i __attribute__((vector_size(8)));
typedef std::int64_t pair_l __attribute__((vector_size(16)));

// {float(a / den), float(b / den)}: both quotients in one packed division,
// each lane rounded to double and then to float exactly as two scalar
// divisions would be (plain vector types, so wasm builds it too).
inline pair_f steps_pair(double a, double b, double den) {
    const pair_d num = {a, b};
    return __builtin_convertvector(num / den, pair_f);
}

inline void steps_over(double a, double b, double den, float& du, float& dv) {
    const pair_f f = steps_pair(a, b, den);
    du = f[0];
    dv = f[1];
}

// 1 / (k + bias) for k = Lo..Hi, each the double nearest to the reciprocal
// of the double k + bias (never zero: 0 < |bias| < 1).
//
// For an integer a, p = a * (1 / den) (two roundings) lies within 1.5
// units of the last place of x = a / den, and the division q = a / den
// within 0.5: p and q are at most 2 apart. A double rounds to the float
// nearest to it, so float(p) and float(q) differ only where a midpoint
// between two floats lies between p and q or on one of them. For the
// divisors below and every numerator the walks form (integers within
// +-8192) no product comes nearer than 10 units to a midpoint, with one
// exception: over den = 0.00001 (k = 0 of the slopes) quotients are large
// and land close to integers, some of which are midpoints, so that entry is
// never used. The renderer's tests compare every other entry's products
// with the divisions for every such numerator.
template <int Lo, int Hi>
struct reciprocals {
    double bias;
    double r[Hi - Lo + 1];

    constexpr explicit reciprocals(double b) : bias(b), r{} {
        for (int k = Lo; k <= Hi; ++k) r[k - Lo] = 1.0 / (static_cast<double>(k) + b);
    }
    static constexpr bool holds(long long k) { return k >= Lo && k <= Hi; }

    // float(a / (k + bias)) for an integer a within +-8192, k inside Lo..Hi
    float step(double a, long long k) const { return static_cast<float>(a * r[k - Lo]); }
    // steps_pair(a, b, k + bias) for integers a, b within +-8192, k inside Lo..Hi
    pair_f steps(double a, double b, long long k) const {
        return __builtin_convertvector(pair_d{a, b} * r[k - Lo], pair_f);
    }
};

// Span widths over 0..640 columns: `width + 0.01` (object) and
// `width - 0.0001` (object_2).
inline constexpr reciprocals<0, 640> span_plus_hundredth{0.01};
inline constexpr reciprocals<0, 640> span_less_ten_thousandth{-0.0001};
// Edge lengths in rows or columns up to 256 either way: slopes divide by
// `d + 0.00001`, texture steps by `d - 0.0001`.
inline constexpr reciprocals<-256, 256> edge_slope{0.00001};
inline constexpr reciprocals<-256, 256> edge_steps{-0.0001};

}  // namespace raster
