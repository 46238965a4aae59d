// scope: spectrum bars, drawn row by row from per-column bar tops.
#include "scope.h"

#include <algorithm>
#include <cmath>

#include "pixel.h"
#include "sound_layer.h"

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
    const int base = std::min(base_row, rows - 1);
    int highest = base + 1;  // smallest top row of any bar
    const double step = index_step;
    for (int i = i0; i < i1; ++i) {
        // bin = trunc(i * step) with the product in double precision, kept in 0..511
        const double bin_f = i * step;
        const int bin = bin_f >= 0.0 ? static_cast<int>(std::min(bin_f, 511.0)) : 0;
        // bar height = trunc(weighted spectrum[bin] * scale), kept in int range
        const float bar = spectrum[bin] * static_cast<float>(scale);
        bar_height = bar >= 1.0f ? static_cast<int>(std::min(bar, 2.0e9f)) : 0;
        // rows base_row .. base_row - bar_height + 1
        const long long top = static_cast<long long>(base_row) - bar_height + 1;
        top_[i] = bar_height > 0 ? static_cast<int>(std::max<long long>(top, 0)) : base + 1;
        highest = std::min(highest, top_[i]);
    }
    // Row by row: pixel (i + column_offset, j) takes the colour when j is at or
    // below the top of bar i.
    for (int j = std::max(highest, 0); j <= base; ++j) {
        Uint16* d = lock.row(j) + column_offset;
        const Uint16 c = colour;
        for (int i = i0; i < i1; ++i) d[i] = top_[i] <= j ? c : d[i];
    }
    target_pixels = nullptr;
}
