// noise: the sine-shifted band copy of the title cards.
#include "noise.h"

#include <algorithm>
#include <cmath>

#include "float_steps.h"
#include "pixel.h"

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
    if (sx1 <= sx0 || sy1 <= sy0) return;
    const int steps_per_row = sx1 - sx0;  // phase additions per row

    // Of those, only columns inside both surfaces are copied.
    const int cx1 = std::min({sx1, sl.width, dl.width});
    const int dy1 = std::min(sy1, dl.height);

    for (int yy = sy0; yy < sy1; ++yy) {
        // shift = trunc(sin(phase) * amplitude), in double precision; |shift| <= |amplitude|
        const double sv = std::sin(static_cast<double>(phase));
        shift = std::isfinite(sv) ? static_cast<int>(sv * amplitude) : 0;
        const long long src_row = static_cast<long long>(yy) + shift;
        if (yy < dy1 && src_row >= 0 && src_row < sl.height) {
            const Uint16* s = sl.row(static_cast<int>(src_row));
            Uint16* d = dl.row(yy);
            const Uint16 k = key;
            // d = s unless s is the key colour
            for (int xx = sx0; xx < cx1; ++xx) {
                const Uint16 p = s[xx];
                d[xx] = p != k ? p : d[xx];
            }
        }
        // phase = phase + step, once per screen column, single precision
        phase = repeated_add(phase, step, steps_per_row);
    }
    source_pixels = nullptr;
    destination_pixels = nullptr;
}
