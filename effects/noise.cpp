// noise: the sine-shifted band copy of the title cards.
// Reads only inside the source, writes only inside the destination.
#include "noise.h"

#include <algorithm>
#include <cmath>

#include "float_steps.h"
#include "pixel.h"

namespace {
// d = s unless s is the key colour; built for AVX2 as well, picked at load time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__)
[[gnu::target_clones("avx2", "default")]]
#endif
void copy_keyed(Uint16* d, const Uint16* s, int n, Uint16 key) {
    for (int x = 0; x < n; ++x) {
        const Uint16 p = s[x];
        d[x] = p != key ? p : d[x];
    }
}
}  // namespace

void noise::wave(int x, int y, int w, int h, float phase, float step, int amplitude) {
    if (!source || !destination) return;
    surface_lock sl(source);
    surface_lock dl(destination);  // released first
    source_pixels = sl.pixels;
    source_pitch = sl.pitch;
    destination_pixels = dl.pixels;
    destination_pitch = dl.pitch;

    // Pixels outside the 640 x 480 screen are skipped and do not advance the
    // phase; rows outside it are skipped whole.
    const long long xe = static_cast<long long>(x) + w;
    const long long ye = static_cast<long long>(y) + h;
    const int sx0 = std::max(x, 0);
    const int sx1 = static_cast<int>(std::min<long long>(xe, 640));
    const int sy0 = std::max(y, 0);
    const int sy1 = static_cast<int>(std::min<long long>(ye, 480));
    if (sx1 <= sx0) return;
    const int steps_per_row = sx1 - sx0;  // phase additions per row

    // Of those, only columns inside both surfaces are copied.
    const int cx1 = std::min({sx1, sl.width, dl.width});
    const int dy1 = std::min(sy1, dl.height);

    for (int yy = sy0; yy < sy1; ++yy) {
        // shift = trunc(sin(phase) * amplitude), in double precision; |shift| <= |amplitude|
        const double sv = std::sin(static_cast<double>(phase));
        shift = std::isfinite(sv) ? static_cast<int>(std::clamp(sv * amplitude, -2147483647.0, 2147483647.0)) : 0;
        const long long src_row = static_cast<long long>(yy) + shift;
        if (yy < dy1 && src_row >= 0 && src_row < sl.height) {
            if (cx1 > sx0) copy_keyed(dl.row(yy) + sx0, sl.row(static_cast<int>(src_row)) + sx0, cx1 - sx0, key);
        }
        // phase = phase + step, once per screen column, single precision
        phase = repeated_add(phase, step, steps_per_row);
    }
    source_pixels = nullptr;
    destination_pixels = nullptr;
}
