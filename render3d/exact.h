// Numeric helpers of the renderer: clamped conversions to int and exact
// fixed-point accumulators (64 integer, 64 fraction bits) for the edge walks
// and spans. Draws nothing.
#pragma once

#include <cmath>
#include <cstdint>
#include <algorithm>
#include <cstring>

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

// A finite float as M * 2^E with an integer |M| < 2^24 (E = -149 for
// subnormals); returns false for zero, infinities and NaN.
inline bool float_parts(float s, long long& mant, int& e) {
    std::uint32_t b = 0;
    std::memcpy(&b, &s, sizeof b);  // the float's bits (older C++ libraries lack std::bit_cast)
    const int eb = static_cast<int>((b >> 23) & 0xFF);
    const std::uint32_t m = b & 0x7FFFFF;
    if (eb == 255 || (eb == 0 && m == 0)) return false;
    mant = eb == 0 ? m : (m | 0x800000);
    e = eb == 0 ? -149 : eb - 150;
    if (b >> 31) mant = -mant;
    return true;
}

inline i128 fx_from_float(float s) {
    long long mant = 0;
    int e = 0;
    if (!float_parts(s, mant, e)) return 0;
    int sh = e + fx_shift;
    sh = std::min(sh, 100);  // beyond any step the walks form
    if (sh >= 0) return static_cast<i128>(mant) * (static_cast<i128>(1) << sh);
    // Below 2^-64: rounded toward zero (no walk forms such a step).
    const int down = -sh;
    if (down >= 24) return 0;
    return static_cast<i128>(mant / (1LL << down));
}

// trunc(a / 2^64) toward zero.
inline long long fx_trunc(i128 a) { return static_cast<long long>(a / (static_cast<i128>(1) << fx_shift)); }

// The value as a double (rounded if it has more than 53 significant bits).
inline double fx_to_double(i128 a) { return std::ldexp(static_cast<double>(a), -fx_shift); }
