// The sound layer's spectrum read-out. Until the engine is behind it, the
// spectrum is silent unless a test supplies one.
#include "sound_layer.h"

#include <algorithm>
#include <array>

namespace {
std::array<float, sound_layer::spectrum_size> spectrum_out{};
std::array<float, sound_layer::spectrum_size> test_spectrum{};
bool use_test_spectrum = false;
}  // namespace

float* FSOUND_DSP_GetSpectrum() {
    if (use_test_spectrum)
        spectrum_out = test_spectrum;
    else
        spectrum_out.fill(0.0f);
    return spectrum_out.data();
}

namespace sound_layer {
void set_test_spectrum(const float* values, int n) {
    test_spectrum.fill(0.0f);
    std::copy_n(values, std::clamp(n, 0, spectrum_size), test_spectrum.begin());
    use_test_spectrum = true;
}
void clear_test_spectrum() { use_test_spectrum = false; }
}  // namespace sound_layer
