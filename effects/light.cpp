// light: sprite point lists and their weighted blend onto the target.
// Owns the point list; reads the source only in set_sprite, writes only the target.
#include "light.h"

#include <algorithm>

#include "pixel.h"

void light::set_sprite(SDL_Surface* source, int x0, int y0, int x1, int y1, unsigned short key, int use_key) {
    x_offsets.reset();
    y_offsets.reset();
    colours.reset();
    runs.reset();
    replaced_.reset();
    cut = {source, x0, y0, x1, y1, key, use_key};
    count = 0;
    run_count = 0;
    left_dx = right_dx = top_dy = bottom_dy = 0;
    if (!source) return;
    surface_lock lock(source);
    source_pixels = lock.pixels;
    source_pitch = lock.pitch;

    // Offsets are taken from the whole rectangle's centre; only the part
    // inside the source is scanned.
    const long long cx = static_cast<long long>(x0) + ((static_cast<long long>(x1) - x0) >> 1);
    const long long cy = static_cast<long long>(y0) + ((static_cast<long long>(y1) - y0) >> 1);
    const int sx0 = std::max(x0, 0), sy0 = std::max(y0, 0);
    const int sx1 = std::min(x1, lock.width), sy1 = std::min(y1, lock.height);
    const bool keyed = use_key != 0;

    // First pass: count the kept pixels and the runs they form.
    long long n = 0, n_runs = 0;
    for (int y = sy0; y < sy1; ++y) {
        const Uint16* s = lock.row(y);
        bool in_run = false;
        for (int x = sx0; x < sx1; ++x) {
            const bool kept = !(keyed && s[x] == key);
            n += kept;
            n_runs += kept && !in_run;
            in_run = kept;
        }
    }
    if (n > 0) {
        x_offsets.reset(new int[n]);
        y_offsets.reset(new int[n]);
        colours.reset(new Uint16[n]);
        runs.reset(new run[n_runs]);
        int i = 0, r = 0;
        for (int y = sy0; y < sy1; ++y) {
            const Uint16* s = lock.row(y);
            bool in_run = false;
            for (int x = sx0; x < sx1; ++x) {
                if (keyed && s[x] == key) {
                    in_run = false;
                    continue;
                }
                x_offsets[i] = static_cast<int>(x - cx);
                y_offsets[i] = static_cast<int>(y - cy);
                colours[i] = s[x];
                if (!in_run) runs[r++] = run{x_offsets[i], y_offsets[i], i, 0};
                ++runs[r - 1].length;
                in_run = true;
                ++i;
            }
        }
        count = i;
        run_count = static_cast<int>(n_runs);  // the second pass fills exactly as many
        left_dx = top_dy = 1LL << 40;
        right_dx = bottom_dy = -(1LL << 40);
        for (int k = 0; k < r; ++k) {
            left_dx = std::min<long long>(left_dx, runs[k].dx);
            right_dx = std::max<long long>(right_dx, static_cast<long long>(runs[k].dx) + runs[k].length);
            top_dy = std::min<long long>(top_dy, runs[k].dy);
            bottom_dy = std::max<long long>(bottom_dy, runs[k].dy);
        }
    }
    source_pixels = nullptr;
}

namespace {
// Blends n consecutive points of colours c onto d:
//   out.c = min(31, tab[C.c*31 + s.c] + tab[D.c*31 + b.c]), all three channels in one sum
// through the per-call tables (red and green by p >> 6, blue by p & 31).
inline void blend_points(Uint16* d, const Uint16* c, int n, const Uint32* srg, const Uint32* sb, const Uint32* brg,
                         const Uint32* bb) {
    for (int j = 0; j < n; ++j) {
        const Uint16 sc = c[j];
        const Uint16 bc = d[j];
        d[j] = px::pack_capped(srg[sc >> 6] + sb[sc & 31] + brg[bc >> 6] + bb[bc & 31]);
    }
}

#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
#define OSTRA_LIGHT_AVX2 1
// With AVX2 the loop vectorises eight points at a time (about 1.3x faster);
// with SSE2 alone GCC's emulated gathers are slower than the plain loop.
[[gnu::target("avx2")]] void blend_points_avx2(Uint16* d, const Uint16* c, int n, const Uint32* srg,
                                               const Uint32* sb, const Uint32* brg, const Uint32* bb) {
    blend_points(d, c, n, srg, sb, brg, bb);
}
[[gnu::optimize("no-tree-vectorize")]] void blend_points_plain(Uint16* d, const Uint16* c, int n,
                                                               const Uint32* srg, const Uint32* sb,
                                                               const Uint32* brg, const Uint32* bb) {
    blend_points(d, c, n, srg, sb, brg, bb);
}
// Static initialisation may run before libgcc's own CPU probe: probe first.
const bool has_avx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();
#endif
}  // namespace

void light::blend_span(Uint16* d, const Uint16* c, int n) const {
#ifdef OSTRA_LIGHT_AVX2
    if (has_avx2)
        blend_points_avx2(d, c, n, sprite_rg_, sprite_b_, back_rg_, back_b_);
    else
        blend_points_plain(d, c, n, sprite_rg_, sprite_b_, back_rg_, back_b_);
#else
    blend_points(d, c, n, sprite_rg_, sprite_b_, back_rg_, back_b_);
#endif
}

const Uint16* light::replacements(const int* sr, const int* sg, const int* sb) {
    const int* cols[3] = {sr, sg, sb};
    bool same = replaced_ != nullptr;
    for (int c = 0; c < 3 && same; ++c) same = std::equal(cols[c], cols[c] + 32, replaced_cols_[c]);
    if (same) return replaced_.get();
    if (!replaced_) replaced_.reset(new Uint16[count]);
    for (int c = 0; c < 3; ++c) std::copy_n(cols[c], 32, replaced_cols_[c]);
    // out.c = min(31, pre_RGB_tab[C.c*31 + sprite_c]); the columns are capped already
    for (int i = 0; i < count; ++i) {
        const Uint16 p = colours[i];
        replaced_[i] = px::pack(sr[px::red(p)], sg[px::green(p)], sb[px::blue(p)]);
    }
    return replaced_.get();
}

void light::plot_light(int x, int y, int sprite_r, int sprite_g, int sprite_b, int back_r, int back_g,
                       int back_b) {
    if (!target) return;
    surface_lock lock(target);
    target_pixels = lock.pixels;
    target_pitch = lock.pitch;
    if (count == 0) {
        target_pixels = nullptr;
        return;
    }

    // The table entries each channel value reads, weights kept in 0..30:
    // sr[c] = pre_RGB_tab[c*31 + sprite_r], br[c] = pre_RGB_tab[c*31 + back_r], ...
    auto column = [](int* out, int w) {
        w = std::clamp(w, 0, 30);
        for (int c = 0; c < 32; ++c) out[c] = std::min(pre_RGB_tab[c * 31 + w], 31);
    };
    int sr[32], sg[32], sb[32], br[32], bg[32], bb[32];
    column(sr, sprite_r);
    column(sg, sprite_g);
    column(sb, sprite_b);
    column(br, back_r);
    column(bg, back_g);
    column(bb, back_b);
    // Background weights of 0 add nothing (every pre_RGB_tab[c*31 + 0] is 0):
    // each point is replaced by its own result, made once per weight set.
    const bool replace = std::all_of(br, br + 32, [](int v) { return v == 0; }) &&
                         std::all_of(bg, bg + 32, [](int v) { return v == 0; }) &&
                         std::all_of(bb, bb + 32, [](int v) { return v == 0; });
    const Uint16* out = replace ? replacements(sr, sg, sb) : nullptr;
    // Packed per call: red and green share one table indexed by p >> 6, with
    // the channels in 10-bit fields (red bits 20.., green 10.., blue 0..), so
    // both terms of all three channels add in one 32-bit sum.
    if (!replace) {
        for (int k = 0; k < 1024; ++k) {
            sprite_rg_[k] = px::fields(sr[k >> 5], sg[k & 31], 0);
            back_rg_[k] = px::fields(br[k >> 5], bg[k & 31], 0);
        }
        for (int k = 0; k < 32; ++k) {
            sprite_b_[k] = static_cast<Uint32>(sb[k]);
            back_b_[k] = static_cast<Uint32>(bb[k]);
        }
    }

    // Points land at (x + dx, y + dy); those outside 0..639 x 0..479 or the
    // surface are skipped, a run at a time.
    const long long w = std::min(640, lock.width);
    const long long h = std::min(480, lock.height);
    // A sprite lying wholly inside needs no clipping, run by run.
    const bool inside = x + left_dx >= 0 && x + right_dx <= w && y + top_dy >= 0 && y + bottom_dy < h;
    auto each_run = [&](auto draw) {
        if (inside) {
            for (int ri = 0; ri < run_count; ++ri) {
                const run& rn = runs[ri];
                draw(lock.row(y + rn.dy) + (x + rn.dx), rn.first, rn.length);
            }
            return;
        }
        for (int ri = 0; ri < run_count; ++ri) {
            const run& rn = runs[ri];
            const long long py = y + static_cast<long long>(rn.dy);
            if (static_cast<unsigned long long>(py) >= static_cast<unsigned long long>(h)) continue;
            const long long px0 = x + static_cast<long long>(rn.dx);
            const long long a = std::max(px0, 0LL);
            const long long e = std::min(px0 + rn.length, w);
            if (a >= e) continue;
            draw(lock.row(static_cast<int>(py)) + a, rn.first + (a - px0), static_cast<int>(e - a));
        }
    };
    if (replace) {
        // most runs of a speckled sprite are single points: no copy call for those
        each_run([out](Uint16* d, long long first, int n) {
            if (n == 1)
                *d = out[first];
            else
                std::copy_n(out + first, n, d);
        });
    } else {
        const Uint16* cs = colours.get();
        each_run([this, cs](Uint16* d, long long first, int n) { blend_span(d, cs + first, n); });
    }
    target_pixels = nullptr;
}
