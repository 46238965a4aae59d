// The shared weight table of light blending and 3D cross-fades, and the
// per-weight tables of a cross-fade.
#include "pixel.h"

int pre_RGB_tab[pre_RGB_rows * pre_RGB_weights];

void fill_pre_RGB_tab() {
    // trunc(v * k * 0.034), formed in double precision; equals (34 * v * k) / 1000
    for (int v = 0; v < pre_RGB_rows; ++v)
        for (int k = 0; k < pre_RGB_weights; ++k)
            pre_RGB_tab[v * pre_RGB_weights + k] = static_cast<int>(v * k * 0.034);
}

void cross_fade::set(int sr, int sg, int sb, int dr, int dg, int db) {
    const int* const t = pre_RGB_tab;
    for (int k = 0; k < 1024; ++k) {
        // k = r << 5 | g: the weighted red in bits 11.., green in bits 6..
        const int r = k >> 5, g = k & 31;
        src_rg[k] = static_cast<Uint16>((t[r * 31 + sr] << 11) + (t[g * 31 + sg] << 6));
        dst_rg[k] = static_cast<Uint16>((t[r * 31 + dr] << 11) + (t[g * 31 + dg] << 6));
    }
    for (int b = 0; b < 32; ++b) {
        src_b[b] = static_cast<Uint16>(t[b * 31 + sb]);
        dst_b[b] = static_cast<Uint16>(t[b * 31 + db]);
    }
}
