// Numeric helpers of the renderer: clamped conversions to int and exact
// fixed-point accumulators (64 integer, 64 fraction bits) for the edge walks
// and spans. Draws nothing.
#pragma once

#include <cmath>
#include <cstdint>

using i128 = __int128;

// trunc(d) toward zero, with d clamped to +-lim first (NaN gives -lim), so
// the conversion is always defined.
inline long long clamp_trunc(double d, double lim) {
    if (!(d >= -lim)) d = -lim;
    if (d > lim) d = lim;
    return static_cast<long long>(d);
}

// An exact accumulator: value * 2^64 in a 128-bit integer. Every step of the
// walks is a float, which is M * 2^E with a 24-bit M and E >= -64 for every
// step the walks can form, so sums and products stay exact.
inline constexpr int fx_shift = 64;

inline i128 fx_from_int(long long a) { return static_cast<i128>(a) * (static_cast<i128>(1) << fx_shift); }

inline i128 fx_from_float(float s) {
    if (s == 0.0f || !std::isfinite(s)) return 0;
    int e = 0;
    const float m = std::frexp(s, &e);                              // s = m * 2^e, 0.5 <= |m| < 1
    const long long mant = static_cast<long long>(std::ldexp(m, 24));  // s = mant * 2^(e - 24)
    int sh = e - 24 + fx_shift;
    if (sh > 100) sh = 100;  // beyond any step the walks form
    if (sh >= 0) return static_cast<i128>(mant) * (static_cast<i128>(1) << sh);
    // Below 2^-64: rounded toward zero (no walk forms such a step).
    const int down = -sh;
    if (down >= 24) return 0;
    return static_cast<i128>(mant / (1LL << down));
}

// trunc(a / 2^64) toward zero.
inline long long fx_trunc(i128 a) {
    if (a >= 0) return static_cast<long long>(a >> fx_shift);
    return -static_cast<long long>((-a) >> fx_shift);
}

// The value as a double (rounded if it has more than 53 significant bits).
inline double fx_to_double(i128 a) { return std::ldexp(static_cast<double>(a), -fx_shift); }
