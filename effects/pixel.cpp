// The shared weight table of light blending and 3D cross-fades.
#include "pixel.h"

int pre_RGB_tab[pre_RGB_rows * pre_RGB_weights];

void fill_pre_RGB_tab() {
    // trunc(v * k * 0.034), formed in double precision; equals (34 * v * k) / 1000
    for (int v = 0; v < pre_RGB_rows; ++v)
        for (int k = 0; k < pre_RGB_weights; ++k)
            pre_RGB_tab[v * pre_RGB_weights + k] = static_cast<int>(v * k * 0.034);
}
