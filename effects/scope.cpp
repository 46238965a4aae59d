// scope: spectrum bars, drawn row by row from per-column bar tops.
// Weights the sound layer's spectrum array in place; writes only inside the target.
#include "scope.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "pixel.h"
#include "sound_layer.h"

namespace {
// One row of bars: d[i] = colour where the bar of column i reaches row j.
// 16-bit lanes, built for AVX2 as well, picked at load time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
[[gnu::target_clones("avx2", "default")]]
#endif
void fill_bars(Uint16* d, const std::int16_t* tops, int n, std::int16_t j, Uint16 colour) {
    for (int i = 0; i < n; ++i) d[i] = tops[i] <= j ? colour : d[i];
}
}  // namespace

void scope::plot(int r, int g, int b) {
    colour_r = r;
    colour_g = g;
    colour_b = b;
    colour = px::pack(std::clamp(r, 0, 31), std::clamp(g, 0, 31), std::clamp(b, 0, 31));
    if (!target) return;
    surface_lock lock(target);
    target_pixels = lock.pixels;
    target_pitch = lock.pitch;

    // Weight in place: spectrum[k] = spectrum[k] * (k + 40) * 0.015625
    spectrum = FSOUND_DSP_GetSpectrum();
    for (int k = 0; k < sound_layer::spectrum_size; ++k)
        spectrum[k] = static_cast<float>(spectrum[k] * ((k + 40) * 0.015625));

    // Column i lands on surface column i + column_offset. It is drawn when i is
    // in 0..639 and that column lies inside the surface; rows clip to 0..479
    // and to the surface.
    const int rows = std::min(480, lock.height);
    const int i0 = static_cast<int>(std::clamp<long long>(-static_cast<long long>(column_offset), 0, 640));
    const int i1 = static_cast<int>(std::clamp<long long>(
        std::min<long long>(static_cast<long long>(last_column) + 1,
                            static_cast<long long>(lock.width) - column_offset),
        i0, 640));
    const int base = std::clamp(base_row, -1, rows - 1);  // -1: no row to draw
    int highest = base + 1;  // smallest top row of any bar
    const double step = index_step;
    for (int i = i0; i < i1; ++i) {
        // bin = trunc(i * step) with the product in double precision, kept in
        // 0..511 (a NaN step gives 0: max and min keep their first argument
        // when a comparison with NaN fails)
        const double bin_f = i * step;
        const int bin = static_cast<int>(std::max(0.0, std::min(bin_f, 511.0)));
        // bar height = trunc(weighted spectrum[bin] * scale), kept in int range
        const float bar = spectrum[bin] * static_cast<float>(scale);
        bar_height = bar >= 1.0f ? static_cast<int>(std::min(bar, 2.0e9f)) : 0;
        // rows base_row .. base_row - bar_height + 1
        const long long top = static_cast<long long>(base_row) - bar_height + 1;
        // kept in 0..base + 1, where base + 1 draws nothing
        const long long shown = bar_height > 0 ? std::clamp<long long>(top, 0, base + 1LL) : base + 1LL;
        top_[i] = static_cast<std::int16_t>(shown);
        highest = std::min<int>(highest, top_[i]);
    }
    // Row by row: pixel (i + column_offset, j) takes the colour when j is at or
    // below the top of bar i. With no column to draw, highest is base + 1 and
    // no row runs.
    for (int j = std::max(highest, 0); j <= base; ++j)  // surface column of i0 is inside the row
        fill_bars(lock.row(j) + (column_offset + i0), top_ + i0, i1 - i0, static_cast<std::int16_t>(j), colour);
    target_pixels = nullptr;
}
