// The scan-line machinery shared by object and object_2: corner sort, edge
// walks into the per-row tables, white lines, and the row/span loop. Works
// on the caller's fields; every walk does work bounded by the 640 x 480
// screen while writing exactly what the unbounded walk would write.
#pragma once

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <utility>

#include "exact.h"
#include "object.h"
#include "quotients.h"

namespace raster {

struct coord {
    int u, v;  // texel column and row
};

inline constexpr int rows = 480;
inline constexpr int cols = 640;
// Edge-walk arguments are kept within +-2^30 so their differences fit an int.
inline constexpr long arg_limit = 1L << 30;
// A flat edge of at most this many columns is walked column by column.
inline constexpr long long short_edge = 4096;

inline long long clamp_arg(long a) { return std::clamp(a, -arg_limit, arg_limit); }

// Edges and spans whose ends, rows and texture coordinates all lie within
// +-small_arg (every on-screen face with texture coordinates near the
// texture) walk exactly in plain doubles, with no further checks: every
// float step s is 0 or has 2^-14 <= |s| < 2^14 (differences are at most
// 2^13, divisors at least 0.9999; a flat edge with dx = 0 writes one column
// before any step is added), so its last bit is at least 2^-37 and
// 2^(e - 23) for an exponent e, while the partial sums stay below 2^15 for
// |s| < 2 and below 2^(e + 15) + 2^12 otherwise: inside the 53 bits of a double.
inline constexpr long small_arg = 4096;

// trunc(a) and trunc(b) of two doubles within +-2^31, in one packed
// conversion: per lane the same integers as two scalar ones.
inline pair_i trunc_pair(pair_d ab) { return __builtin_convertvector(ab, pair_i); }

// The first double a walk moving up (`up`) or down from inside trunc's
// interval of row w reaches outside it: trunc(a) == w exactly while a stays
// below (up) or above (down) this bound; the interval is [w, w + 1) for
// w > 0, (-1, 1) for w = 0 and (w - 1, w] for w < 0.
inline double row_exit(int w, bool up) {
    // the double next to w towards zero: its bits less one (w != 0)
    auto towards_zero = [](int w) {
        const double d = w;
        std::int64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        --bits;
        double next;
        std::memcpy(&next, &bits, sizeof next);
        return next;
    };
    if (up) return w >= 0 ? static_cast<double>(w) + 1 : towards_zero(w);
    return w <= 0 ? static_cast<double>(w) - 1 : towards_zero(w);
}

// f * 2^40 per lane for floats f that are 0 or of size [2^-15, 2^13), as
// integers, without a float-to-integer conversion (a browser spends several
// instructions on each). Such a product is a multiple of 4 below 2^53 in
// size; added to 3 * 2^53 it lands exactly in [2^54, 2^55), where doubles
// lie 4 apart, so the sum's bits less those of 3 * 2^53 are a quarter of it.
inline pair_l times_2_40(pair_f f) {
    const pair_d x = __builtin_convertvector(f, pair_d) * 0x1p40 + 0x3p53;
    pair_l bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits - 0x4358000000000000) * 4;
}

// Orders the corners by y; x, y, z and the texture coordinates travel together.
template <class O>
void sort_corners(O& o) {
    auto swap_corners = [](screen_point& a, tex_coord& ta, screen_point& b, tex_coord& tb) {
        std::swap(a, b);
        std::swap(ta, tb);
    };
    const int ya = o.p0.y, yb = o.p1.y, yc = o.p2.y;
    if (ya <= yb && ya <= yc) {
        if (yc < yb) swap_corners(o.p1, o.t1, o.p2, o.t2);  // (a, c, b)
    } else if (yb <= ya && yb <= yc) {
        swap_corners(o.p0, o.t0, o.p1, o.t1);               // (b, a, c)
        if (yc < ya) swap_corners(o.p1, o.t1, o.p2, o.t2);  // (b, c, a)
    } else {
        swap_corners(o.p0, o.t0, o.p2, o.t2);               // (c, b, a)
        if (ya < yb) swap_corners(o.p1, o.t1, o.p2, o.t2);  // (c, a, b)
    }
}

// Whether stepping `start` by `step` `steps` times in double precision is
// exact (and stays inside +-2^30): then the double walk equals the exact one.
// Every partial sum is a multiple of 2^min(E, 0), E the exponent of the
// step's last bit, and a double holds such multiples exactly below 2^(53 + E).
inline bool double_walk_exact(long long start, float step, long long steps) {
    const double a = static_cast<double>(start < 0 ? -start : start);
    long long mant = 0;
    int e = 0;
    if (!float_parts(step, mant, e)) return step == 0.0f && a < 1073741824.0;
    const double bound = (a + static_cast<double>(steps) * std::fabs(static_cast<double>(step))) * (1 + 1e-9) + 1;
    const int lim_exp = std::min(30, 53 + std::min(e, 0));
    return lim_exp > 0 && bound < static_cast<double>(1LL << lim_exp);
}

// Whether the walk from `start` by `step` can run in 32.32 fixed point:
// the step's last bit is at least 2^-32 (so the step is exact there) and
// every partial sum stays inside +-2^30.
inline bool fixed32_walk_exact(long long start, float step, long long steps, std::int64_t& step_fx) {
    const double a = static_cast<double>(start < 0 ? -start : start);
    long long mant = 0;
    int e = 0;
    if (!float_parts(step, mant, e)) {
        step_fx = 0;
        return step == 0.0f && a < 1073741824.0;
    }
    if (e < -32 || e > 6) return false;
    const double bound = (a + static_cast<double>(steps) * std::fabs(static_cast<double>(step))) * (1 + 1e-9) + 1;
    if (!(bound < 1073741824.0)) return false;
    step_fx = static_cast<std::int64_t>(mant) * (static_cast<std::int64_t>(1) << (e + 32));
    return true;
}

// Row r of an edge: off the bottom clips y_bottom to 479, off the top clips
// y_top to 0, otherwise x, trunc(u), trunc(v) go into the tables. The
// accumulators are exact 64.64 sums, or doubles where their sums are exact.
inline long long acc_trunc(i128 a) { return fx_trunc(a); }
inline long long acc_trunc(double a) { return static_cast<long long>(a); }

template <class O, class Acc>
inline void edge_row(O& o, span_end* t, long long r, long long x, Acc u, Acc v) {
    if (r > rows - 1) {
        o.y_bottom = rows - 1;
    } else if (r < 0) {
        o.y_top = 0;
    } else {
        t[r] = span_end{static_cast<int>(x), static_cast<int>(acc_trunc(u)), static_cast<int>(acc_trunc(v))};
    }
}

// The walk proper, its arguments already clamped; `small` tells whether
// they all lie within +-small_arg (then only the plain double walks run).
template <bool small, class O>
void walk_edge_clamped(O& o, span_end* t, long long x1, long long y1, long long x2, long long y2,
                       long long us, long long vs, long long ue, long long ve) {
    const long long dx = x2 - x1, dy = y2 - y1;
    // Short edges of small faces take their quotients from the reciprocal
    // tables (a slope over dx = 0 is the division's: dy / 0.00001).
    const bool short_dx = small && dx != 0 && edge_slope.holds(dx);
    // m = dy / (dx + 0.00001) as a float
    auto slope = [dx, dy, short_dx] {
        if (short_dx) return edge_slope.step(static_cast<double>(dy), dx);
        return static_cast<float>(static_cast<double>(dy) / (static_cast<double>(dx) + 0.00001));
    };
    // Flat where -1 <= m <= 1. On small edges with |dy| != |dx| the integers
    // decide without waiting for the division: |dy| < |dx| makes the quotient
    // smaller than 1 in size, and |dy| > |dx| makes it at least
    // (|dx| + 1) / (|dx| + 0.00001) > 1 + 2^-14 (|dx| <= 2^13), well above
    // the float next to 1. A steep edge never needs m itself.
    const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    bool flat;
    if (small && adx != ady) {
        flat = ady < adx;
    } else {
        const float q = slope();
        flat = q >= -1.0f && q <= 1.0f;
    }
    if (flat) {
        const float m = slope();
        // flat: by columns; su = (ue - us) / (dx - 0.0001) as a float
        const double du = static_cast<double>(ue - us), dv = static_cast<double>(ve - vs);
        const pair_f suv = short_dx ? edge_steps.steps(du, dv, dx) : steps_pair(du, dv, static_cast<double>(dx) - 0.0001);
        const float su = suv[0], sv = suv[1];
        long long xs, r0, u0, v0;
        if (x1 < x2) {
            xs = x1, r0 = y1, u0 = us, v0 = vs;
        } else {
            xs = x2, r0 = y2, u0 = ue, v0 = ve;
        }
        const long long count = (dx < 0 ? -dx : dx) + 1;
        if (small || (count <= short_edge && double_walk_exact(r0, m, count) &&
                      double_walk_exact(u0, su, count) && double_walk_exact(v0, sv, count))) {
            // Plain double sums are exact here. Of a run of columns on one
            // row only the last one's write stays, so only it is written,
            // with u and v at column j formed as u0 + j * su: the product has
            // at most 13 + 24 bits and the sum is the exact partial sum, so
            // both equal the stepped sums.
            // The row changes only when a leaves trunc's interval of the
            // current row, found by one comparison per column.
            double a = static_cast<double>(r0);
            const double dm = m;
            const pair_d uv0 = {static_cast<double>(u0), static_cast<double>(v0)}, duv = {su, sv};
            auto write_row = [&](int row, long long j) {
                const double k = static_cast<double>(j);
                const pair_i uv = trunc_pair(uv0 + k * duv);
                if (row > rows - 1) {
                    o.y_bottom = rows - 1;
                } else if (row < 0) {
                    o.y_top = 0;
                } else {
                    t[row] = span_end{static_cast<int>(xs + j), uv[0], uv[1]};
                }
            };
            int wy = static_cast<int>(r0);
            if (dm > 0) {
                double exit = row_exit(wy, true);
                for (long long j = 1; j < count; ++j) {
                    a += dm;
                    if (a >= exit) {
                        write_row(wy, j - 1);
                        wy = static_cast<int>(a);
                        exit = row_exit(wy, true);
                    }
                }
            } else if (dm < 0) {
                double exit = row_exit(wy, false);
                for (long long j = 1; j < count; ++j) {
                    a += dm;
                    if (a <= exit) {
                        write_row(wy, j - 1);
                        wy = static_cast<int>(a);
                        exit = row_exit(wy, false);
                    }
                }
            }
            write_row(wy, count - 1);
            o.walk_y = wy;
            return;
        }
        const i128 mf = fx_from_float(m), suf = fx_from_float(su), svf = fx_from_float(sv);
        const i128 a0 = fx_from_int(r0), ua0 = fx_from_int(u0), va0 = fx_from_int(v0);
        if (count <= short_edge) {
            i128 a = a0, ua = ua0, va = va0;
            for (long long j = 0; j < count; ++j) {
                o.walk_y = static_cast<int>(fx_trunc(a));
                edge_row(o, t, o.walk_y, xs + j, ua, va);
                a += mf, ua += suf, va += svf;
            }
            return;
        }
        // Long edge: the row never decreases (m >= 0) or never increases, so
        // each on-screen row is written by its last column only, found directly.
        const long long last = count - 1;
        const long long r_first = r0;
        const long long r_last = fx_trunc(a0 + static_cast<i128>(last) * mf);
        if (std::max(r_first, r_last) > rows - 1) o.y_bottom = rows - 1;
        if (std::min(r_first, r_last) < 0) o.y_top = 0;
        const long long lo = std::max<long long>(0, std::min(r_first, r_last));
        const long long hi = std::min<long long>(rows - 1, std::max(r_first, r_last));
        const i128 one = fx_from_int(1);
        for (long long r = lo; r <= hi; ++r) {
            long long j;
            if (mf > 0) {  // last j with a_j < r + 1
                const i128 n = fx_from_int(r + 1) - a0;
                j = static_cast<long long>(std::min<i128>((n - 1) / mf, last));
            } else if (mf < 0) {  // last j with trunc(a_j) >= r
                const i128 n = r >= 1 ? a0 - fx_from_int(r) : a0 + one - 1;
                j = static_cast<long long>(std::min<i128>(n / -mf, last));
            } else {
                j = last;
            }
            const i128 a = a0 + static_cast<i128>(j) * mf;
            if (fx_trunc(a) != r) continue;
            edge_row(o, t, r, xs + j, ua0 + static_cast<i128>(j) * suf,
                     va0 + static_cast<i128>(j) * svf);
        }
        o.walk_y = static_cast<int>(r_last);
        return;
    }
    // steep: by rows, downward only
    if (y1 > y2) return;
    // n = dx / (dy + 0.00001), su = (ue - us) / (dy - 0.0001), as floats
    const bool short_dy = small && edge_slope.holds(dy);
    const double du = static_cast<double>(ue - us), dv = static_cast<double>(ve - vs);
    const float n = short_dy ? edge_slope.step(static_cast<double>(dx), dy)
                             : static_cast<float>(static_cast<double>(dx) / (static_cast<double>(dy) + 0.00001));
    const pair_f suv = short_dy ? edge_steps.steps(du, dv, dy) : steps_pair(du, dv, static_cast<double>(dy) - 0.0001);
    const float su = suv[0], sv = suv[1];
    if (y2 > rows - 1) o.y_bottom = rows - 1;
    if (y1 < 0) o.y_top = 0;
    const long long j0 = std::max<long long>(0, -y1);
    const long long j1 = std::min<long long>(dy, rows - 1 - y1);
    if (j0 <= j1 && (small || (double_walk_exact(x1, n, j1 + 1) && double_walk_exact(us, su, j1 + 1) &&
                               double_walk_exact(vs, sv, j1 + 1)))) {
        // plain double sums are exact here: start at row y1 + j0 by j0 additions
        // when few, otherwise by the exact product (in doubles for small
        // edges: j0 * step has at most 13 + 24 bits and the sum is a partial sum)
        double a, ua, va;
        if (j0 == 0) {
            a = static_cast<double>(x1), ua = static_cast<double>(us), va = static_cast<double>(vs);
        } else if (small) {
            const double k = static_cast<double>(j0);
            a = static_cast<double>(x1) + k * static_cast<double>(n);
            ua = static_cast<double>(us) + k * static_cast<double>(su);
            va = static_cast<double>(vs) + k * static_cast<double>(sv);
        } else {
            a = fx_to_double(fx_from_int(x1) + static_cast<i128>(j0) * fx_from_float(n));
            ua = fx_to_double(fx_from_int(us) + static_cast<i128>(j0) * fx_from_float(su));
            va = fx_to_double(fx_from_int(vs) + static_cast<i128>(j0) * fx_from_float(sv));
        }
        // rows y1 + j0 .. y1 + j1 all lie on the screen
        const double dn = n;
        pair_d uv = {ua, va};
        const pair_d duv = {static_cast<double>(su), static_cast<double>(sv)};
        int wx = o.walk_x;
        for (long long j = j0; j <= j1; ++j) {
            const long long r = y1 + j;
            wx = static_cast<int>(a);
            const pair_i tuv = trunc_pair(uv);
            t[r] = span_end{wx, tuv[0], tuv[1]};
            a += dn;
            uv += duv;
        }
        o.walk_x = wx;
        return;
    }
    const i128 nf = fx_from_float(n), suf = fx_from_float(su), svf = fx_from_float(sv);
    i128 a = fx_from_int(x1) + static_cast<i128>(j0) * nf;
    i128 ua = fx_from_int(us) + static_cast<i128>(j0) * suf;
    i128 va = fx_from_int(vs) + static_cast<i128>(j0) * svf;
    for (long long j = j0; j <= j1; ++j) {
        o.walk_x = static_cast<int>(fx_trunc(a));
        edge_row(o, t, y1 + j, o.walk_x, ua, va);
        a += nf, ua += suf, va += svf;
    }
}

// Walks the edge (x1, y1) -> (x2, y2) carrying (us, vs) -> (ue, ve) into the
// table t. Accumulators are exact (see exact.h): on every edge
// whose ends lie on the screen they equal double-precision accumulators.
template <class O>
inline void walk_edge(O& o, span_end* t, long ax1, long ay1, long ax2, long ay2, long aus,
                      long avs, long aue, long ave) {
    // All eight within +-small_arg: shifted up by small_arg (unsigned, so a
    // value below -small_arg wraps to a huge one) none exceeds 2 * small_arg.
    auto up = [](long a) { return static_cast<unsigned long>(a) + static_cast<unsigned long>(small_arg); };
    const unsigned long top = std::max({up(ax1), up(ay1), up(ax2), up(ay2), up(aus), up(avs), up(aue), up(ave)});
    if (top <= 2 * static_cast<unsigned long>(small_arg))
        walk_edge_clamped<true>(o, t, ax1, ay1, ax2, ay2, aus, avs, aue, ave);
    else
        walk_edge_clamped<false>(o, t, clamp_arg(ax1), clamp_arg(ay1), clamp_arg(ax2), clamp_arg(ay2),
                                 clamp_arg(aus), clamp_arg(avs), clamp_arg(aue), clamp_arg(ave));
}

// The three edges of the sorted face p0, p1, p2 (with t0, t1, t2): p0-p1
// and p1-p2 into the left tables, p0-p2 into the right ones, as the
// calc_vector calls walk them. When all twelve coordinates lie within
// -4096..4095 every edge is small, and the per-edge test is skipped.
template <class O>
void walk_face(O& o) {
    auto off = [](int a) { return static_cast<unsigned>(a) + static_cast<unsigned>(small_arg); };
    const unsigned any = off(o.p0.x) | off(o.p0.y) | off(o.p1.x) | off(o.p1.y) | off(o.p2.x) | off(o.p2.y) |
                         off(o.t0.u) | off(o.t0.v) | off(o.t1.u) | off(o.t1.v) | off(o.t2.u) | off(o.t2.v);
    if ((any & ~static_cast<unsigned>(2 * small_arg - 1)) == 0) {
        walk_edge_clamped<true>(o, o.left, o.p0.x, o.p0.y, o.p1.x, o.p1.y, o.t0.u, o.t0.v,
                                o.t1.u, o.t1.v);
        walk_edge_clamped<true>(o, o.left, o.p1.x, o.p1.y, o.p2.x, o.p2.y, o.t1.u, o.t1.v,
                                o.t2.u, o.t2.v);
        walk_edge_clamped<true>(o, o.right, o.p0.x, o.p0.y, o.p2.x, o.p2.y, o.t0.u,
                                o.t0.v, o.t2.u, o.t2.v);
        return;
    }
    o.calc_vector_left(o.p0.x, o.p0.y, o.p0.z, o.p1.x, o.p1.y, o.p1.z, o.t0.u, o.t0.v, o.t1.u, o.t1.v);
    o.calc_vector_left(o.p1.x, o.p1.y, o.p1.z, o.p2.x, o.p2.y, o.p2.z, o.t1.u, o.t1.v, o.t2.u, o.t2.v);
    o.calc_vector_right(o.p0.x, o.p0.y, o.p0.z, o.p2.x, o.p2.y, o.p2.z, o.t0.u, o.t0.v, o.t2.u, o.t2.v);
}

// Mode 1 of a face: its corners p0..p2 in red (0xF800), then the texture
// coordinates of its vertices v[0..2] as points in 0x003F; dot() clips.
template <class O, class Dot, class Tex>
void corner_dots(O& o, const int* v, Dot dot, Tex tex_at) {
    dot(o.p0.x, o.p0.y, 0xF800);
    dot(o.p1.x, o.p1.y, 0xF800);
    dot(o.p2.x, o.p2.y, 0xF800);
    o.t0 = tex_at(v[0]);
    o.t1 = tex_at(v[1]);
    o.t2 = tex_at(v[2]);
    dot(o.t0.u, o.t0.v, 0x003F);
    dot(o.t1.u, o.t1.v, 0x003F);
    dot(o.t2.u, o.t2.v, 0x003F);
}

// Mode 2 of a face: the lines p0-p1, p0-p2, p1-p2 in white.
template <class O>
void wire_edges(O& o) {
    o.plot_wire(o.p0.x, o.p0.y, o.p1.x, o.p1.y);
    o.plot_wire(o.p0.x, o.p0.y, o.p2.x, o.p2.y);
    o.plot_wire(o.p1.x, o.p1.y, o.p2.x, o.p2.y);
}

// White line (x1, y1) -> (x2, y2) into o.dst_pixels, clipped to w x h. The
// start column (or row) of a flat line is not plotted and its row lags the
// exact line by one column. Only on-screen columns or rows are visited.
template <class O>
void line(O& o, long ax1, long ay1, long ax2, long ay2, int w, int h) {
    const long long x1 = clamp_arg(ax1), y1 = clamp_arg(ay1), x2 = clamp_arg(ax2),
                    y2 = clamp_arg(ay2);
    const long long dx = x2 - x1, dy = y2 - y1;
    const float m = static_cast<float>(static_cast<double>(dy) / (static_cast<double>(dx) + 0.00001));
    auto plot = [&o, w, h](long long x, long long y) {
        o.walk_x = static_cast<int>(x), o.walk_y = static_cast<int>(y);
        if (x >= 0 && x < w && y >= 0 && y < h)
            o.dst_pixels[static_cast<std::ptrdiff_t>(y) * o.dst_pitch + x] = 0xFFFF;
    };
    if (m >= -1.0f && m <= 1.0f) {
        // columns xs + 1 .. xe, column xs + 1 + k at row trunc(ys + k * m)
        const long long xs = x1 < x2 ? x1 : x2, xe = x1 < x2 ? x2 : x1, ys = x1 < x2 ? y1 : y2;
        const i128 a0 = fx_from_int(ys), mf = fx_from_float(m);
        const long long lo = std::max<long long>(xs + 1, 0), hi = std::min<long long>(xe, w - 1);
        for (long long x = lo; x <= hi; ++x)
            plot(x, fx_trunc(a0 + static_cast<i128>(x - xs - 1) * mf));
        return;
    }
    // rows ys .. ye, row ys + k at column trunc(xs + k * n)
    const float n = static_cast<float>(static_cast<double>(dx) / (static_cast<double>(dy) + 0.00001));
    const long long ys = y1 < y2 ? y1 : y2, ye = y1 < y2 ? y2 : y1, xs = y1 < y2 ? x1 : x2;
    const i128 a0 = fx_from_int(xs), nf = fx_from_float(n);
    const long long lo = std::max<long long>(ys, 0), hi = std::min<long long>(ye, h - 1);
    for (long long y = lo; y <= hi; ++y) plot(fx_trunc(a0 + static_cast<i128>(y - ys) * nf), y);
}

// One span whose ends or texture coordinates fall outside the common case
// of spans(): u, v stepped in 32.32 fixed point, plain doubles or exact
// sums, whichever holds every sum exactly. Kept out of line (with its own
// copy of the pixel writer, set to row y) so the common case's loop stays
// small and its writer can live in registers.
template <class Px>
[[gnu::noinline]] void general_span(const Px& pixels, int y, double den, long long x0, long long xa, long long xb,
                                    long long lu, long long lv, long long ru, long long rv) {
    Px px = pixels;
    px.row(y);
    float du, dv;
    steps_over(static_cast<double>(ru - lu), static_cast<double>(rv - lv), den, du, dv);
    const long long skip = xa - x0;
    const long long steps = xb - 1 - x0;
    std::int64_t du_fx = 0, dv_fx = 0;
    if (fixed32_walk_exact(lu, du, steps, du_fx) && fixed32_walk_exact(lv, dv, steps, dv_fx)) {
        // 32.32 fixed point holds every sum exactly; with u and v never
        // negative on this span, the shift truncates toward zero
        const std::int64_t u0 = static_cast<std::int64_t>(lu) * (static_cast<std::int64_t>(1) << 32) + skip * du_fx;
        const std::int64_t v0 = static_cast<std::int64_t>(lv) * (static_cast<std::int64_t>(1) << 32) + skip * dv_fx;
        const std::int64_t n = xb - 1 - xa;
        if (u0 >= 0 && v0 >= 0 && u0 + n * du_fx >= 0 && v0 + n * dv_fx >= 0) {
            px.template span<false>(static_cast<int>(xa), static_cast<int>(xb), [u = u0, v = v0, du_fx, dv_fx]() mutable {
                const coord c{static_cast<int>(u >> 32), static_cast<int>(v >> 32)};
                u += du_fx, v += dv_fx;
                return c;
            });
            return;
        }
    }
    if (double_walk_exact(lu, du, steps) && double_walk_exact(lv, dv, steps)) {
        // Columns skipped at the left edge: exact in fixed point (none: lu, lv).
        double u = fx_to_double(fx_from_int(lu) + static_cast<i128>(skip) * fx_from_float(du));
        double v = fx_to_double(fx_from_int(lv) + static_cast<i128>(skip) * fx_from_float(dv));
        px.template span<false>(static_cast<int>(xa), static_cast<int>(xb), [u, v, ddu = static_cast<double>(du), ddv = static_cast<double>(dv)]() mutable {
            const coord c{static_cast<int>(u), static_cast<int>(v)};
            u += ddu, v += ddv;
            return c;
        });
    } else {
        const i128 duf = fx_from_float(du), dvf = fx_from_float(dv);
        const i128 u0 = fx_from_int(lu) + static_cast<i128>(skip) * duf;
        const i128 v0 = fx_from_int(lv) + static_cast<i128>(skip) * dvf;
        px.template span<false>(static_cast<int>(xa), static_cast<int>(xb), [u = u0, v = v0, duf, dvf]() mutable {
            const coord c{static_cast<int>(fx_trunc(u)), static_cast<int>(fx_trunc(v))};
            u += duf, v += dvf;
            return c;
        });
    }
}

// Span pass: rows y_top .. y_bottom - 1 (kept inside 0..479), exchanging
// the left and right tables where a row's left end lies right of its right
// end (the exchange persists), then columns span_x0 .. span_x1 - 1 of each
// row clipped to 0..w-1 (rows past h draw nothing), with u, v stepped by du, dv from the left end:
//   du = (right u - left u) / ((span_x1 - span_x0) + div.bias) as a float.
// `px` gets row(y), then span(xa, xb, next) where next() yields trunc(u),
// trunc(v) of each column in turn (from fixed, double or exact sums);
// span<true> is used only where px.inside(umax, vmax) said that every
// texel read lies inside the texture (u and v are never negative there).
template <class O, class Px, int Lo>
[[gnu::noinline]] void spans(O& o, const reciprocals<Lo, cols>& div, int w, int h, const Px& pixels) {
    // a copy whose fields (its row pointers too) can live in registers
    Px px = pixels;
    const int y0 = std::max(o.y_top, 0);
    const int y1 = std::min(o.y_bottom, rows);
    // The tables and the last drawn row's end live in locals while the rows
    // run (the pixel stores cannot then force them to be reloaded) and are
    // left in o as the loop ends, with the last row's span ends.
    span_end *lt = o.left, *rt = o.right;
    int last_x = o.span_x;
    int y = y0;
    // rows from h on draw nothing: there only the exchanges happen
    const int yd = std::min(y1, std::max(h, y0));
    for (; y < yd; ++y) {
        span_end l = lt[y], r = rt[y];
        if (l.x > r.x) {
            std::swap(lt, rt);
            std::swap(l, r);
        }
        const int x0 = l.x, x1 = r.x;
        const int xa = std::max(x0, 0);
        const int xb = std::min(x1, w);
        if (xa >= xb) continue;
        const int lu = l.u, lv = l.v, ru = r.u, rv = r.v;
        px.row(y);
        last_x = xb;
        if (x0 >= 0 && xb - xa == 1) {
            // one column at the left end: its texel is (lu, lv) whatever the steps
            px.template span<false>(xa, xb, [c = coord{lu, lv}] { return c; });
            continue;
        }
        if (x0 >= 0 && x1 <= cols && ((lu | lv | ru | rv) & ~(small_arg - 1)) == 0) {
            // The span starts on the screen and is 1..640 wide with texture
            // coordinates in 0..4095: du and dv are 0 or within
            // [2^-10, 2^12), so their last bit is at least 2^-33, and every
            // sum stays below 4096 + 639 * 4096 < 2^22. 24.40 fixed point
            // holds them all exactly. At most width - 1 steps of a float
            // quotient (ru - lu) / (width + bias), rounded, never reach ru
            // from lu (|bias| < 0.02): u stays between lu and ru, never
            // negative, so the shift truncates toward zero and no texel
            // lies past max(lu, ru), max(lv, rv).
            const pair_l d_fx = times_2_40(div.steps(static_cast<double>(ru - lu), static_cast<double>(rv - lv), x1 - x0));
            const std::int64_t du_fx = d_fx[0], dv_fx = d_fx[1];
            auto next = [u = static_cast<std::int64_t>(lu) << 40, v = static_cast<std::int64_t>(lv) << 40, du_fx,
                         dv_fx]() mutable {
                const coord c{static_cast<int>(u >> 40), static_cast<int>(v >> 40)};
                u += du_fx, v += dv_fx;
                return c;
            };
            if (px.inside(std::max(lu, ru), std::max(lv, rv)))
                px.template span<true>(xa, xb, next);
            else
                px.template span<false>(xa, xb, next);
            continue;
        }
        const double den = static_cast<double>(static_cast<long long>(x1) - x0) + div.bias;
        general_span(pixels, y, den, x0, xa, xb, lu, lv, ru, rv);
    }
    for (; y < y1; ++y)
        if (lt[y].x > rt[y].x) std::swap(lt, rt);
    o.span_y = y;
    o.left = lt, o.right = rt;
    if (y0 < y1) o.span_x0 = lt[y1 - 1].x, o.span_x1 = rt[y1 - 1].x;
    o.span_x = last_x;
}

}  // namespace raster
